// PCX decoder and encoder with the format's run-length coding.
#pragma once

#include "image/Picture.h"

#include <cstdint>

class CStream;

class CPicturePCX : public CPicture {
public:
    CPicturePCX() : CPicture(PICTURE_FORMAT_PCX) {}
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);

    // Row routines. The decode-side ones answer an error text, or null on success.
    static const char* PCX_PlanesToPixels(BYTE* pixels, const BYTE* bitplanes, int bytesperline, int planes,
                                          int bitsperpixel);
    static const char* PCX_UnpackPixels(BYTE* pixels, const BYTE* bitplanes, int bytesperline, int planes,
                                        int bitsperpixel);
    // Feeds one value to the run coder; -1 flushes the pending run, -2 flushes it and pads with a 0 byte.
    static void PCX_PackPixels(int value, int& lastValue, int& runCount, CStream* stream);
    static void PCX_PackPlanes(const BYTE* buffer, int length, CStream* stream);
    // Extracts bit `plane` of each index into a bit row, most significant bit first.
    static void PCX_PixelsToPlanes(const BYTE* pixels, int width, BYTE* bitplanes, int plane);
};
