// libFuzzer target: the icon decoder over arbitrary bytes (first and last entry), and a
// re-encode of what it accepts.
#include "image/MemStream.h"
#include "image/formats/PictureICO.h"

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

void DecodeAndEncode(std::vector<uint8_t>& bytes, int32_t frame, int32_t& frames)
{
    CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
    CPictureICO picture;
    picture.info.nFrame = frame;
    const bool decoded = picture.Decode(&stream);
    frames = picture.info.nNumFrames;
    if (decoded && picture.IsValid() && SmallEnoughToEncode(picture)) {
        CMemStream out;
        out.Open();
        picture.Encode(&out);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    int32_t frames = 0;
    DecodeAndEncode(bytes, 0, frames);
    if (frames > 1) {
        int32_t ignored = 0;
        DecodeAndEncode(bytes, frames - 1, ignored);
    }
    return 0;
}
