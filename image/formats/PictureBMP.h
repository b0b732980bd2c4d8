// Windows bitmap decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureBMP : public CPicture {
public:
    CPictureBMP() : CPicture(PICTURE_FORMAT_BMP) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
