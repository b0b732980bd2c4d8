// GIF decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureGIF : public CPicture {
public:
    CPictureGIF() : CPicture(PICTURE_FORMAT_GIF) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
