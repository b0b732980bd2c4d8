// libFuzzer target: the BMP decoder over arbitrary bytes, and a re-encode of what it accepts.
#include "fuzz/FuzzDecode.h"
#include "image/formats/PictureBMP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzDecodeAndEncode<CPictureBMP>(data, size, kNoEncodeLimit);
}
