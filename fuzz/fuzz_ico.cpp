// libFuzzer target: the icon decoder over arbitrary bytes (first and last entry), and a
// re-encode of what it accepts.
#include "fuzz/FuzzDecode.h"
#include "image/formats/PictureICO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzDecodeFirstAndLastFrame<CPictureICO>(data, size, kMaxEncodedPixels);
}
