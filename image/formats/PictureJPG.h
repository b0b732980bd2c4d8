// JPEG decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureJPG : public CPicture {
public:
    CPictureJPG() : CPicture(PICTURE_FORMAT_JPG) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
