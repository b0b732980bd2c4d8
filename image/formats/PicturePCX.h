// PCX decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPicturePCX : public CPicture {
public:
    CPicturePCX() : CPicture(PICTURE_FORMAT_PCX) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
