// TIFF decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureTIF : public CPicture {
public:
    CPictureTIF() : CPicture(PICTURE_FORMAT_TIF) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
