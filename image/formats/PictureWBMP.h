// wireless bitmap decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPictureWBMP : public CPicture {
public:
    CPictureWBMP() : CPicture(PICTURE_FORMAT_WBMP) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
