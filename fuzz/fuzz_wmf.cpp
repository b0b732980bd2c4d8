// libFuzzer target: the metafile decoder and player over arbitrary bytes. The picture is forced
// to 256 x 256 pixels (the size checks still run first), so that runs stay fast.
#include "image/MemStream.h"
#include "image/formats/PictureWMF.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CPictureWMF picture;
    picture.Decode(&stream, 256, 256);
    return 0;
}
