// Windows metafile and enhanced metafile decoder: the metafile is played onto a bitmap.
#include "image/formats/PictureWMF.h"

#include "image/Messages.h"
#include "image/Stream.h"
#include "platform/base/ByteOrder.h"
#include "image/formats/MetafilePlayer.h"

#include <cairo.h>

#include <algorithm>
#include <memory>

namespace {

constexpr char kCorrupted[] = "corrupted WMF";
constexpr char kEmpty[] = "empty WMF";
constexpr char kNotSupported[] = "Save WMF not supported";

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint32_t kEnhancedSignature = 0x464D4520;  // " EMF"
constexpr long kMaxSide = 4000;

// The screen the picture is made for: 96 dots per inch, true colour.
constexpr long kScreenDpi = 96;
constexpr DWORD kScreenBits = 24;

// The system window colour (white on the standard desktop scheme) under the played metafile.
constexpr double kWindowColor[3] = {1.0, 1.0, 1.0};

// Enhanced metafiles are read whole; this bounds what one file may make us hold.
constexpr int32_t kMaxEnhancedBytes = 256 * 1024 * 1024;

struct CairoDestroy {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

}  // namespace

bool CPictureWMF::IsPlaceableHeader(const uint8_t* bytes, MetafileHeader& header)
{
    header.key = ReadLE32(bytes, 0);
    header.hmf = ReadLE16(bytes, 4);
    header.bboxLeft = static_cast<int16_t>(ReadLE16(bytes, 6));
    header.bboxTop = static_cast<int16_t>(ReadLE16(bytes, 8));
    header.bboxRight = static_cast<int16_t>(ReadLE16(bytes, 10));
    header.bboxBottom = static_cast<int16_t>(ReadLE16(bytes, 12));
    header.inch = ReadLE16(bytes, 14);
    header.reserved = ReadLE32(bytes, 16);
    header.checksum = ReadLE16(bytes, 20);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= ReadLE16(bytes, i * 2);
    return header.key == kPlaceableKey && header.checksum == sum && header.inch >= 1 && header.inch <= 2540;
}

std::vector<uint8_t> CPictureWMF::ReadPlaceableMetafile(CStream* hFile, const MetafileHeader&)
{
    uint8_t wmfHeader[18];
    if (hFile->Read(wmfHeader, 1, 18) != 18)
        return {};
    uint16_t type = ReadLE16(wmfHeader, 0);
    uint64_t bytes = static_cast<uint64_t>(ReadLE32(wmfHeader, 6)) * 2;
    int32_t streamSize = hFile->Size();
    if ((type != 1 && type != 2) || bytes < 18 || streamSize < 0 || bytes > static_cast<uint64_t>(streamSize))
        return {};
    // Some writers count the placeable header into the size as well, so the file may end
    // before the stated size: the records that are there are played.
    std::vector<uint8_t> data(static_cast<size_t>(bytes));
    std::copy(wmfHeader, wmfHeader + 18, data.begin());
    size_t rest = data.size() - 18;
    size_t got = rest ? hFile->Read(data.data() + 18, 1, rest) : 0;
    data.resize(18 + got);
    return data;
}

std::vector<uint8_t> CPictureWMF::ReadEnhancedMetafile(CStream* hFile, EnhancedMetafileHeader& header)
{
    int32_t start = hFile->Tell(), size = hFile->Size();
    if (start < 0 || size <= start || size - start < 88 || size - start > kMaxEnhancedBytes)
        return {};
    std::vector<uint8_t> data(static_cast<size_t>(size - start));
    if (hFile->Read(data.data(), 1, data.size()) != data.size())
        return {};
    // EMR_HEADER ([MS-EMF] 2.3.4.2): type 1, a size inside the file, the " EMF" signature, and
    // a description that lies inside the header record.
    const uint8_t* p = data.data();
    uint32_t type = ReadLE32(p, 0), recordSize = ReadLE32(p, 4), signature = ReadLE32(p, 40);
    uint32_t descriptionChars = ReadLE32(p, 60), descriptionOffset = ReadLE32(p, 64);
    if (type != 1 || signature != kEnhancedSignature || recordSize < 88 || recordSize > data.size() || recordSize % 4)
        return {};
    if (descriptionChars != 0 && (descriptionOffset < 88 || descriptionOffset > recordSize ||
                                  static_cast<uint64_t>(descriptionChars) * 2 > recordSize - descriptionOffset))
        return {};
    header.bounds = {static_cast<LONG>(ReadLE32(p, 8)), static_cast<LONG>(ReadLE32(p, 12)),
                     static_cast<LONG>(ReadLE32(p, 16)), static_cast<LONG>(ReadLE32(p, 20))};
    header.frame = {static_cast<LONG>(ReadLE32(p, 24)), static_cast<LONG>(ReadLE32(p, 28)),
                    static_cast<LONG>(ReadLE32(p, 32)), static_cast<LONG>(ReadLE32(p, 36))};
    return data;
}

void CPictureWMF::ShrinkMetafile(long& width, long& height)
{
    if (width > kMaxSide) {
        height = static_cast<long>(static_cast<int64_t>(height) * kMaxSide / width);
        width = kMaxSide;
    }
    if (height > kMaxSide) {
        width = static_cast<long>(static_cast<int64_t>(width) * kMaxSide / height);
        height = kMaxSide;
    }
}

bool CPictureWMF::Decode(CStream* hFile, long nForceWidth, long nForceHeight)
{
    if (!hFile)
        return Fail(kCorrupted);
    int32_t start = hFile->Tell();

    std::vector<uint8_t> data;
    bool enhanced = false;
    RECT window;
    long width = 0, height = 0;

    uint8_t placeable[22];
    MetafileHeader header;
    if (hFile->Read(placeable, 1, 22) == 22 && IsPlaceableHeader(placeable, header)) {
        data = ReadPlaceableMetafile(hFile, header);
        if (data.empty())
            return Fail(kCorrupted);
        width = (static_cast<long>(header.bboxRight) - header.bboxLeft) * kScreenDpi / header.inch;
        height = (static_cast<long>(header.bboxBottom) - header.bboxTop) * kScreenDpi / header.inch;
        window = {header.bboxLeft, header.bboxTop, header.bboxRight, header.bboxBottom};
    } else {
        EnhancedMetafileHeader enhancedHeader{};
        if (!hFile->Seek(start, SEEK_SET))
            return Fail(kCorrupted);
        data = ReadEnhancedMetafile(hFile, enhancedHeader);
        if (data.empty())
            return Fail(kCorrupted);
        enhanced = true;
        width = static_cast<long>(static_cast<int64_t>(enhancedHeader.bounds.right) - enhancedHeader.bounds.left);
        height = static_cast<long>(static_cast<int64_t>(enhancedHeader.bounds.bottom) - enhancedHeader.bounds.top);
    }

    if (info.nEscape)
        return Fail(kCancelledMessage);
    // A reversed bounding box has no area either.
    if (width <= 0 || height <= 0)
        return Fail(kEmpty);

    if (nForceWidth > 0)
        width = nForceWidth;
    if (nForceHeight > 0)
        height = nForceHeight;
    ShrinkMetafile(width, height);
    width = std::max(width, 1L);
    height = std::max(height, 1L);

    std::unique_ptr<cairo_surface_t, CairoDestroy> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return Fail(kCreateNoMemoryMessage);
    {
        std::unique_ptr<cairo_t, CairoDestroy> cr(cairo_create(surface.get()));
        cairo_set_source_rgb(cr.get(), kWindowColor[0], kWindowColor[1], kWindowColor[2]);
        cairo_paint(cr.get());
        if (enhanced)
            MetafilePlayer::PlayEnhancedMetafile(data, cr.get(), static_cast<int>(width), static_cast<int>(height));
        else
            MetafilePlayer::PlayWindowsMetafile(data, window, cr.get(), static_cast<int>(width),
                                                static_cast<int>(height));
    }
    data.clear();
    data.shrink_to_fit();
    cairo_surface_flush(surface.get());

    if (info.nEscape)
        return Fail(kCancelledMessage);
    if (!Create(static_cast<DWORD>(width), static_cast<DWORD>(height), kScreenBits, PICTURE_FORMAT_WMF))
        return false;
    const unsigned char* pixels = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (long y = 0; y < height; ++y) {
        const auto* source = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride);
        BYTE* row = GetBits(static_cast<DWORD>(height - 1 - y));
        for (long x = 0; x < width; ++x) {
            uint32_t v = source[x];
            row[x * 3] = static_cast<BYTE>(v);
            row[x * 3 + 1] = static_cast<BYTE>(v >> 8);
            row[x * 3 + 2] = static_cast<BYTE>(v >> 16);
        }
    }
    return true;
}

bool CPictureWMF::Encode(CStream* hFile)
{
    if (hFile)
        Fail(kNotSupported);
    return false;
}
