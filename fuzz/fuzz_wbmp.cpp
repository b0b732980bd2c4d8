// libFuzzer target: the WBMP decoder over arbitrary bytes, and a re-encode of what it accepts.
#include "fuzz/FuzzDecode.h"
#include "image/formats/PictureWBMP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzDecodeAndEncode<CPictureWBMP>(data, size, kMaxEncodedPixels);
}
