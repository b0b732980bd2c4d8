// libFuzzer target: the JPEG decoder (with its EXIF scan) over arbitrary bytes, and a
// re-encode of what it accepts.
#include "fuzz/FuzzDecode.h"
#include "image/MemStream.h"
#include "image/formats/PictureJPG.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A cut-off JPEG decodes to its full declared size, so a few bytes can ask for gigabytes
// within the picture limit; the harness skips frames above this many pixels.
constexpr uint64_t kMaxFuzzPixels = 16u * 1024 * 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    {
        CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
        CPictureJPG probe;
        probe.info.nEscape = -1;
        if (!probe.Decode(&stream))
            return 0;
        if (static_cast<uint64_t>(probe.head.biWidth) * static_cast<uint64_t>(probe.head.biHeight) > kMaxFuzzPixels)
            return 0;
    }
    return FuzzDecodeAndEncode<CPictureJPG>(data, size, kNoEncodeLimit);
}
