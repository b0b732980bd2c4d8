// JPEG 2000 family, PGX, PNM and Sun raster (ids 11 to 15).
#pragma once

#include "image/Picture.h"

class CPictureJAS : public CPicture {
public:
    CPictureJAS() : CPicture(0) {}
    bool Decode(CStream* hFile, DWORD imagetype);
    bool Encode(CStream* hFile, DWORD imagetype);
};
