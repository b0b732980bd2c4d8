// PNG decoder and encoder.
#pragma once

#include "image/Picture.h"

class CPicturePNG : public CPicture {
public:
    CPicturePNG() : CPicture(PICTURE_FORMAT_PNG) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
};
