// libFuzzer target: the WBMP decoder over arbitrary bytes, and a re-encode of what it accepts.
#include "image/MemStream.h"
#include "image/formats/PictureWBMP.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// The encoders cost time per pixel; pictures beyond this are decoded only, so the
// fuzzer keeps its pace on the decoder.
constexpr uint64_t kMaxEncodedPixels = 1u << 18;

bool SmallEnoughToEncode(const CPicture& picture)
{
    return uint64_t{picture.GetWidth()} * picture.GetHeight() <= kMaxEncodedPixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CPictureWBMP picture;
    if (picture.Decode(&stream) && picture.IsValid() && SmallEnoughToEncode(picture)) {
        CMemStream out;
        out.Open();
        picture.Encode(&out);
    }
    return 0;
}
