// libFuzzer target: the GIF decoder over arbitrary bytes (first and last frame), and a
// re-encode of what it accepts with the packer chosen by the input.
#include "fuzz/FuzzDecode.h"
#include "image/formats/PictureGIF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzDecodeFirstAndLastFrame<CPictureGIF>(
        data, size, kMaxEncodedPixels, [size](CPicture& picture) { picture.info.dwCodecOption = size % 3; });
}
