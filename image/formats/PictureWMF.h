// Windows metafile and enhanced metafile decoder (played into a bitmap).
#pragma once

#include "image/Picture.h"

class CPictureWMF : public CPicture {
public:
    CPictureWMF() : CPicture(PICTURE_FORMAT_WMF) {}
    bool Decode(CStream* hFile, long nForceWidth = 0, long nForceHeight = 0);
    bool Encode(CStream* hFile);
};
