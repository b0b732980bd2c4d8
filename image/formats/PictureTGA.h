// Targa decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureTGA : public CPicture {
public:
    CPictureTGA() : CPicture(PICTURE_FORMAT_TGA) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
