// libFuzzer target: the TIFF decoder over arbitrary bytes (first and second page), and a
// re-encode of what it accepts. Pictures the header sizes beyond 4096 x 4096 pixels are only
// measured, so that runs stay fast; the full decode of large pictures is the unit tests' part.
#include "image/MemStream.h"
#include "image/formats/PictureTIF.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    for (int32_t frame = 0; frame < 2; ++frame) {
        CMemStream probeStream(bytes.data(), static_cast<uint32_t>(bytes.size()));
        CPictureTIF probe;
        probe.info.nFrame = frame;
        probe.info.nEscape = -1;
        if (!probe.Decode(&probeStream))
            return 0;
        uint64_t pixels = static_cast<uint64_t>(probe.head.biWidth) * static_cast<uint64_t>(probe.head.biHeight);
        if (pixels > 4096ull * 4096ull)
            continue;
        CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
        CPictureTIF picture;
        picture.info.nFrame = frame;
        if (picture.Decode(&stream) && picture.IsValid() && frame == 0) {
            CMemStream out;
            out.Open();
            picture.info.dwCodecOption = 0;
            picture.Encode(&out);
        }
    }
    return 0;
}
