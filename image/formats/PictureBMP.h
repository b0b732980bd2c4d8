// Windows bitmap decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureBMP : public CPicture {
public:
    CPictureBMP() : CPicture(PICTURE_FORMAT_BMP) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);

    // Reads an information header (12, 40, 64 or a plain larger one) into its 40-byte form and
    // leaves the stream after it. A 12-byte header keeps biSize 12.
    static bool DibReadBitmapInfo(CStream* fh, BITMAPINFOHEADER* pdib);
};
