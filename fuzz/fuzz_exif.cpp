// libFuzzer target: the EXIF reader's section scan over arbitrary bytes, and its block parse
// over the same bytes taken as the data of an APP1 section.
#include "image/MemStream.h"
#include "image/formats/ExifReader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    {
        CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
        CExifReader reader;
        reader.DecodeExif(&stream);
    }
    std::vector<uint8_t> block(data, data + size);
    CExifReader reader;
    reader.ProcessExif(block.data(), static_cast<uint32_t>(block.size()));
    return 0;
}
