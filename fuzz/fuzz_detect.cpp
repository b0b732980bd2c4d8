// libFuzzer target: format detection (every decoder in turn) over arbitrary bytes.
#include "image/MemStream.h"
#include "image/Picture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CPicture picture;
    picture.Decode(&stream, PICTURE_FORMAT_UNKNOWN);
    return 0;
}
