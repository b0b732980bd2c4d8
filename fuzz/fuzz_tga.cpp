// libFuzzer target: the Targa decoder over arbitrary bytes, and a re-encode of what it accepts.
#include "fuzz/FuzzDecode.h"
#include "image/formats/PictureTGA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzDecodeAndEncode<CPictureTGA>(data, size, kMaxEncodedPixels);
}
