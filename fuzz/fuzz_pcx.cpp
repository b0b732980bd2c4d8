// libFuzzer target: the PCX decoder over arbitrary bytes, and a re-encode of what it accepts.
#include "fuzz/FuzzDecode.h"
#include "image/formats/PicturePCX.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzDecodeAndEncode<CPicturePCX>(data, size, kMaxEncodedPixels);
}
