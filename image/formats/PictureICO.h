// Windows icon and cursor decoder (one entry, AND mask as transparency) and single-entry encoder.
#pragma once

#include "image/Picture.h"

#include <cstdint>

class CStream;

class CPictureICO : public CPicture {
public:
    CPictureICO() : CPicture(PICTURE_FORMAT_ICO) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);

private:
    // Entries stored as PNG files go through the PNG codec.
    bool DecodePngEntry(CStream* hFile, int32_t frameCount);
};
