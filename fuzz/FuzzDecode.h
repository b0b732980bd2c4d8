// Shared body of the decoder fuzz targets: decode arbitrary bytes, re-encode what decodes.
#pragma once

#include "image/MemStream.h"
#include "image/Picture.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// The encoders cost time per pixel; pictures beyond this are decoded only, so the
// fuzzer keeps its pace on the decoder.
constexpr uint64_t kMaxEncodedPixels = 1u << 18;
constexpr uint64_t kNoEncodeLimit = std::numeric_limits<uint64_t>::max();

// Default hook run on a decoded picture just before it is encoded: leaves it as it is.
struct KeepCodecOption {
    void operator()(CPicture&) const {}
};

// Decodes `bytes` as a Format picture and, when it decodes to a valid picture of at most
// maxEncodedPixels pixels, runs beforeEncode on it and encodes it into memory. A frame of
// -1 leaves the picture's frame choice at its default. Returns the frame count the decoder
// reported.
template <typename Format, typename BeforeEncode = KeepCodecOption>
int32_t FuzzDecodeFrame(std::vector<uint8_t>& bytes, int32_t frame, uint64_t maxEncodedPixels,
                        BeforeEncode beforeEncode = {})
{
    CMemStream stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
    Format picture;
    if (frame >= 0)
        picture.info.nFrame = frame;
    const bool decoded = picture.Decode(&stream);
    if (decoded && picture.IsValid() && uint64_t{picture.GetWidth()} * picture.GetHeight() <= maxEncodedPixels) {
        beforeEncode(picture);
        CMemStream out;
        out.Open();
        picture.Encode(&out);
    }
    return picture.info.nNumFrames;
}

// One decode (and maybe encode) of the whole input.
template <typename Format, typename BeforeEncode = KeepCodecOption>
int FuzzDecodeAndEncode(const uint8_t* data, size_t size, uint64_t maxEncodedPixels, BeforeEncode beforeEncode = {})
{
    std::vector<uint8_t> bytes(data, data + size);
    FuzzDecodeFrame<Format>(bytes, -1, maxEncodedPixels, beforeEncode);
    return 0;
}

// Decodes (and maybe encodes) the first frame and, when there are more, the last one.
template <typename Format, typename BeforeEncode = KeepCodecOption>
int FuzzDecodeFirstAndLastFrame(const uint8_t* data, size_t size, uint64_t maxEncodedPixels,
                                BeforeEncode beforeEncode = {})
{
    std::vector<uint8_t> bytes(data, data + size);
    const int32_t frames = FuzzDecodeFrame<Format>(bytes, 0, maxEncodedPixels, beforeEncode);
    if (frames > 1)
        FuzzDecodeFrame<Format>(bytes, frames - 1, maxEncodedPixels, beforeEncode);
    return 0;
}
