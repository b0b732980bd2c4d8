// Windows icon decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureICO : public CPicture {
public:
    CPictureICO() : CPicture(PICTURE_FORMAT_ICO) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
