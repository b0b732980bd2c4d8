// Windows metafile and enhanced metafile decoder: the metafile is played onto a bitmap.
#pragma once

#include "image/Picture.h"

#include <cstdint>
#include <vector>

// The 22-byte header in front of a placeable Windows metafile.
struct MetafileHeader {
    uint32_t key = 0;
    uint16_t hmf = 0;
    int16_t bboxLeft = 0, bboxTop = 0, bboxRight = 0, bboxBottom = 0;
    uint16_t inch = 0;
    uint32_t reserved = 0;
    uint16_t checksum = 0;
};

// The fields of an enhanced metafile's header record that decide its size.
struct EnhancedMetafileHeader {
    RECT bounds;  // device units, inclusive
    RECT frame;   // 0.01 mm
};

class CPictureWMF : public CPicture {
public:
    CPictureWMF() : CPicture(PICTURE_FORMAT_WMF) {}
    bool Decode(CStream* hFile, long nForceWidth = 0, long nForceHeight = 0);
    bool Encode(CStream* hFile);

    // Reads the 22 bytes into the header and answers whether they form a placeable header:
    // the key, a checksum equal to the XOR of the ten words before it, 1 to 2540 units per inch.
    static bool IsPlaceableHeader(const uint8_t* bytes, MetafileHeader& header);
    // Reads a placeable Windows metafile (the stream just past the 22 bytes): the metafile
    // bytes from its 18-byte header on, or nothing when they are not a Windows metafile.
    std::vector<uint8_t> ReadPlaceableMetafile(CStream* hFile, const MetafileHeader& header);
    // Reads the rest of the stream as an enhanced metafile: its bytes, or nothing when the
    // header record is not a valid one.
    std::vector<uint8_t> ReadEnhancedMetafile(CStream* hFile, EnhancedMetafileHeader& header);
    // Limits the picture to 4000 pixels in each direction, keeping the proportions.
    static void ShrinkMetafile(long& width, long& height);
};
