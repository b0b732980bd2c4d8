// PNG decoder and encoder over libpng, with read and write callbacks on CStream.
#pragma once

#include "image/Picture.h"

class CPicturePNG : public CPicture {
public:
    CPicturePNG() : CPicture(PICTURE_FORMAT_PNG) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);

    // Widens a row of 2-bit pixels in place into 4-bit pixels (the buffer must hold width / 2 bytes).
    static void expand2to4bpp(BYTE* row, DWORD width);
};
