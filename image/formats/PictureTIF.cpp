// TIFF decoder and encoder over libtiff, with client-stream callbacks and quiet message handlers.
#include "image/formats/PictureTIF.h"

#include "image/Messages.h"
#include "image/MemStream.h"
#include "image/Stream.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr char kOpenError[] = "Error encountered while opening TIFF file";
constexpr char kNoPage[] = "Error: page not present in TIFF file";
constexpr char kDimensionsOnly[] = "output dimensions returned";
constexpr char kCantCreate[] = "CPictureTIF can't create image";
constexpr char kNoRaster[] = "No space for raster buffer";
constexpr char kCorrupted[] = "Corrupted TIFF file!";
constexpr char kNoPalette[] = "Unable to allocate TIFF palette";
constexpr char kCorruptedTiled[] = "Corrupted tiled TIFF file!";
constexpr char kUnsupported[] = "Unsupported TIFF sample layout";
constexpr char kInitFail[] = "initialization fail";
constexpr char kSaveError[] = "Error saving TIFF file";
constexpr char kSaveDirectoryError[] = "Error saving TIFF directory";

constexpr char kStreamName[] = "TIFF IMAGE";

// Largest block libtiff may allocate at once for one file, and the largest strip or raster
// buffer the decoder itself takes; a header that asks for more is refused before allocating.
constexpr tmsize_t kMaxLibraryAlloc = 512 * 1024 * 1024;
constexpr uint64_t kMaxBufferBytes = 1024ull * 1024 * 1024;

// Client procedures: the handle is the CStream.
tmsize_t StreamRead(thandle_t handle, void* buffer, tmsize_t size)
{
    if (size <= 0)
        return 0;
    return static_cast<tmsize_t>(static_cast<CStream*>(handle)->Read(buffer, 1, static_cast<size_t>(size)));
}

tmsize_t StreamWrite(thandle_t handle, void* buffer, tmsize_t size)
{
    if (size <= 0)
        return 0;
    return static_cast<tmsize_t>(static_cast<CStream*>(handle)->Write(buffer, 1, static_cast<size_t>(size)));
}

toff_t StreamSeek(thandle_t handle, toff_t offset, int whence)
{
    auto* stream = static_cast<CStream*>(handle);
    constexpr toff_t kFail = static_cast<toff_t>(-1);
    if (offset == 0xFFFFFFFFu)
        return kFail;
    // The stream keeps 32-bit signed positions: anything that does not fit fails instead of wrapping.
    int64_t signedOffset = static_cast<int64_t>(offset);
    if (whence == SEEK_SET && offset > static_cast<toff_t>(INT32_MAX))
        return kFail;
    if (whence != SEEK_SET && (signedOffset > INT32_MAX || signedOffset < INT32_MIN))
        return kFail;
    if (!stream->Seek(static_cast<int32_t>(signedOffset), whence))
        return kFail;
    if (whence == SEEK_SET)
        return offset;
    int32_t position = stream->Tell();
    return position < 0 ? kFail : static_cast<toff_t>(position);
}

int StreamClose(thandle_t)
{
    return 0;
}

toff_t StreamSize(thandle_t handle)
{
    int32_t size = static_cast<CStream*>(handle)->Size();
    return size < 0 ? 0 : static_cast<toff_t>(size);
}

// Memory streams are handed to the library as mapped contents: its readers of uncompressed
// tiles refuse tiles whose size is no multiple of its read-buffer granule unless the file is mapped.
int StreamMap(thandle_t handle, void** base, toff_t* size)
{
    auto* memory = dynamic_cast<CMemStream*>(static_cast<CStream*>(handle));
    if (!memory)
        return 0;
    const uint8_t* data = memory->Data();
    int32_t length = memory->Size();
    if (!data || length <= 0)
        return 0;
    // The library only reads mapped contents.
    *base = const_cast<uint8_t*>(data);
    *size = static_cast<toff_t>(length);
    return 1;
}

void StreamUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* tif) const
    {
        if (tif)
            TIFFClose(tif);
    }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct TiffFree {
    void operator()(void* block) const { _TIFFfree(block); }
};

// Reads sample `index` of a line of packed samples of `bits` bits each. 16- and 32-bit samples
// are in the host's byte order (libtiff swaps them), narrower and odd widths are packed from
// the most significant bit.
uint32_t GetSample(const BYTE* line, uint64_t index, int bits)
{
    switch (bits) {
    case 8:
        return line[index];
    case 16: {
        uint16_t value;
        std::memcpy(&value, line + index * 2, 2);
        return value;
    }
    case 32: {
        uint32_t value;
        std::memcpy(&value, line + index * 4, 4);
        return value;
    }
    default: {
        uint64_t bit = index * static_cast<uint64_t>(bits);
        uint32_t value = 0;
        for (int i = 0; i < bits; ++i, ++bit)
            value = (value << 1) | ((line[bit >> 3] >> (7 - (bit & 7))) & 1);
        return value;
    }
    }
}

// Narrows one sample to 8 bits: the high byte of wide samples; narrow grey levels are spread
// over 0..255 so that they index the 256-level grey palette, narrow palette indices stay as they are.
BYTE NarrowSample(uint32_t value, int bits, bool spread)
{
    if (bits == 8)
        return static_cast<BYTE>(value);
    if (bits > 8)
        return static_cast<BYTE>(value >> (bits - 8));
    if (spread)
        return static_cast<BYTE>(value * 255 / ((1u << bits) - 1));
    return static_cast<BYTE>(value);
}

BYTE LabChannel(double value)
{
    value = value > 0.00304 ? 1.055 * std::pow(value, 0.41667) - 0.055 : 12.92 * value;
    double scaled = value * 255.0;
    if (!(scaled >= 0.0))
        return 0;
    if (scaled >= 256.0)
        return 255;
    return static_cast<BYTE>(scaled);
}

RGBQUAD LabToRgb(BYTE lightness, int8_t a, int8_t b)
{
    double fy = (lightness / 2.55 + 16.0) / 116.0;
    double x = std::pow(fy + 0.002 * a, 3) * 0.95047;
    double y = fy * fy * fy;
    double z = std::pow(fy - 0.005 * b, 3) * 1.0883;
    RGBQUAD c;
    c.rgbRed = LabChannel(3.240479 * x - 1.53715 * y - 0.498535 * z);
    c.rgbGreen = LabChannel(-0.969256 * x + 1.875992 * y + 0.041556 * z);
    c.rgbBlue = LabChannel(0.055648 * x - 0.204043 * y + 1.057311 * z);
    return c;
}

// A resolution value from the file, or 0 when it is absent or not a sane number.
long ResolutionToDpi(TIFF* tif, ttag_t tag, uint16_t unit)
{
    float value = 0;
    if (!TIFFGetField(tif, tag, &value))
        return 0;
    double dpi = value;
    if (unit == RESUNIT_CENTIMETER)
        dpi = dpi * 2.54 + 0.5;
    if (!(dpi >= 1.0 && dpi < 1e6))
        return 0;
    return static_cast<long>(dpi);
}

int32_t PositionToOffset(TIFF* tif, ttag_t tag)
{
    float value = 0;
    if (!TIFFGetField(tif, tag, &value) || !(value > -1e9f && value < 1e9f))
        return 0;
    return static_cast<int32_t>(value);
}

}  // namespace

CPictureTIF::~CPictureTIF()
{
    CloseHandle();
}

void CPictureTIF::CloseHandle()
{
    if (m_tif2)
        TIFFClose(m_tif2);
    m_tif2 = nullptr;
    m_Buffer.reset();
    m_Target = nullptr;
    m_multipage = false;
    m_pages = 0;
}

bool CPictureTIF::OpenForWriting(CStream* hFile)
{
    m_Buffer = std::make_unique<CMemStream>();
    if (!m_Buffer->Open())
        return false;
    m_Target = hFile;
    m_TargetStart = std::max<int32_t>(0, hFile->Tell());
    // A TIFF already in the stream gets the new pages appended.
    int32_t size = hFile->Size();
    if (size > m_TargetStart) {
        std::vector<BYTE> existing(static_cast<size_t>(size - m_TargetStart));
        if (hFile->Read(existing.data(), 1, existing.size()) == existing.size())
            m_Buffer->Write(existing.data(), 1, existing.size());
        m_Buffer->Seek(0, SEEK_SET);
    }
    m_tif2 = OpenStream(m_Buffer.get(), m_Buffer->Size() > 0 ? "a" : "w");
    return m_tif2 != nullptr;
}

bool CPictureTIF::CommitFile()
{
    TIFFClose(m_tif2);
    m_tif2 = nullptr;
    size_t size = static_cast<size_t>(std::max<int32_t>(0, m_Buffer->Size()));
    const BYTE* data = m_Buffer->GetBuffer(false);
    bool written = m_Target->Seek(m_TargetStart, SEEK_SET) && m_Target->Write(data, 1, size) == size;
    CloseHandle();
    return written;
}

// libtiff's messages never interrupt the user: errors are formatted the way a message box would
// title them and kept for diagnostics; warnings are dropped.
int CPictureTIF::OnLibraryError(TIFF*, void* userData, const char* module, const char* fmt, va_list ap)
{
    auto* self = static_cast<CPictureTIF*>(userData);
    char text[512];
    vsnprintf(text, sizeof text, fmt, ap);
    char line[640];
    snprintf(line, sizeof line, "%s Error: %s", module ? module : "TIFFLIB", text);
    self->m_LibraryMessage = line;
    return 1;
}

int CPictureTIF::OnLibraryWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

TIFF* CPictureTIF::OpenStream(CStream* hFile, const char* mode)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibraryAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(options, &CPictureTIF::OnLibraryError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &CPictureTIF::OnLibraryWarning, this);
    TIFF* tif = TIFFClientOpenExt(kStreamName, mode, static_cast<thandle_t>(hFile), StreamRead, StreamWrite, StreamSeek,
                                  StreamClose, StreamSize, StreamMap, StreamUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

void CPictureTIF::TileToStrip(BYTE* out, const BYTE* in, uint32_t rows, uint32_t cols, int outskip, int inskip)
{
    for (uint32_t row = 0; row < rows; ++row) {
        std::memcpy(out, in, cols);
        out += cols + outskip;
        in += cols + inskip;
    }
}

bool CPictureTIF::Decode(CStream* hFile)
{
    if (!hFile)
        return Fail(kOpenError);
    TiffHandle tif(OpenStream(hFile, "rb"));
    if (!tif)
        return Fail(kOpenError);
    info.nNumFrames = TIFFNumberOfDirectories(tif.get());
    if (info.nFrame < 0 || info.nFrame > 65535 || !TIFFSetDirectory(tif.get(), static_cast<tdir_t>(info.nFrame)))
        return Fail(kNoPage);
    if (!TIFFIsTiled(tif.get()) || dynamic_cast<CMemStream*>(hFile) || info.nEscape == -1)
        return DecodeBody(tif.get());

    // A tiled page of another stream is decoded from a copy in memory, which the library maps.
    tif.reset();
    std::vector<BYTE> contents;
    int32_t size = hFile->Size();
    try {
        contents.resize(static_cast<size_t>(std::max<int32_t>(0, size)));
    } catch (const std::bad_alloc&) {
        return Fail(kNoRaster);
    }
    if (contents.empty() || !hFile->Seek(0, SEEK_SET) ||
        hFile->Read(contents.data(), 1, contents.size()) != contents.size())
        return Fail(kOpenError);
    CMemStream memory(contents.data(), static_cast<uint32_t>(contents.size()));
    TiffHandle copy(OpenStream(&memory, "rb"));
    if (!copy)
        return Fail(kOpenError);
    if (!TIFFSetDirectory(copy.get(), static_cast<tdir_t>(info.nFrame)))
        return Fail(kNoPage);
    return DecodeBody(copy.get());
}

bool CPictureTIF::DecodeBody(TIFF* tif)
{
    uint16_t compression = COMPRESSION_NONE;
    uint32_t width = 0, height = 0, rowsPerStrip = 0;
    uint16_t samples = 1, bits = 1, photometric = 0, orientation = ORIENTATION_TOPLEFT;
    uint16_t planar = PLANARCONFIG_CONTIG, unit = RESUNIT_INCH;

    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    info.dwCodecOption = compression;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    info.xOffset = PositionToOffset(tif, TIFFTAG_XPOSITION);
    info.yOffset = PositionToOffset(tif, TIFFTAG_YPOSITION);
    if (rowsPerStrip > height)
        rowsPerStrip = height;

    if (info.nEscape == -1) {
        head.biWidth = static_cast<LONG>(std::min<uint32_t>(width, INT32_MAX));
        head.biHeight = static_cast<LONG>(std::min<uint32_t>(height, INT32_MAX));
        Fail(kDimensionsOnly);
        return true;
    }

    if (long dpi = ResolutionToDpi(tif, TIFFTAG_XRESOLUTION, unit))
        SetXDPI(dpi);
    if (long dpi = ResolutionToDpi(tif, TIFFTAG_YRESOLUTION, unit))
        SetYDPI(dpi);

    head.biClrUsed = 0;
    info.nBkgndIndex = -1;

    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX || samples == 0 || bits == 0 || bits > 32)
        return Fail(kCorrupted);

    bool rgbaPath = (photometric == PHOTOMETRIC_RGB && bits >= 8) || photometric == PHOTOMETRIC_SEPARATED ||
                    photometric == PHOTOMETRIC_YCBCR || photometric == PHOTOMETRIC_LOGL ||
                    photometric == PHOTOMETRIC_LOGLUV;
    bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    DWORD depth;
    if (rgbaPath)
        depth = 24;
    else if (grey)
        depth = bits == 1 ? 1 : bits == 4 ? 4 : 8;
    else
        depth = bits == 4 ? 4 : 8;

    if (info.nEscape)
        return Fail(kCancelledMessage);
    if (!Create(width, height, depth, PICTURE_FORMAT_TIF))
        return Fail(kCantCreate);
    bool withAlpha = samples == 4 || samples == 2;
    if (withAlpha)
        AlphaCreate();

    // An error the library reports while reading pixels (a bad code word, a short strip) means
    // the data is damaged even when the library carries on with filler.
    m_LibraryMessage.clear();
    bool decoded = false;
    if (rgbaPath) {
        // Our own orientation step below turns the picture, so the library must hand over the
        // stored rows as they are (bottom-up), not already flipped by the Orientation tag.
        char message[1024] = {};
        if (!TIFFRGBAImageOK(tif, message))
            return Fail(kCorrupted);
        uint64_t pixels = static_cast<uint64_t>(width) * height;
        if (pixels * 4 > kMaxBufferBytes)
            return Fail(kNoRaster);
        std::unique_ptr<uint32_t, TiffFree> raster(
            static_cast<uint32_t*>(_TIFFmalloc(static_cast<tmsize_t>(pixels * 4))));
        if (!raster)
            return Fail(kNoRaster);
        TIFFRGBAImage image;
        if (!TIFFRGBAImageBegin(&image, tif, 1, message))
            return Fail(kCorrupted);
        image.req_orientation = ORIENTATION_BOTLEFT;
        image.orientation = ORIENTATION_TOPLEFT;
        int ok = TIFFRGBAImageGet(&image, raster.get(), width, height);
        bool premultiplied = image.alpha != 0;
        TIFFRGBAImageEnd(&image);
        if (!ok)
            return Fail(kCorrupted);
        for (uint32_t y = 0; y < height; ++y) {
            if (info.nEscape)
                return Fail(kCancelledMessage);
            const uint32_t* source = raster.get() + static_cast<uint64_t>(y) * width;
            BYTE* row = GetBits(y);
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t v = source[x];
                BYTE red = TIFFGetR(v), green = TIFFGetG(v), blue = TIFFGetB(v), alpha = TIFFGetA(v);
                // The raster carries colour premultiplied by alpha; the picture keeps straight colour.
                if (premultiplied && alpha != 0 && alpha != 255) {
                    red = static_cast<BYTE>(std::min(255, (red * 255 + alpha / 2) / alpha));
                    green = static_cast<BYTE>(std::min(255, (green * 255 + alpha / 2) / alpha));
                    blue = static_cast<BYTE>(std::min(255, (blue * 255 + alpha / 2) / alpha));
                }
                row[x * 3] = blue;
                row[x * 3 + 1] = green;
                row[x * 3 + 2] = red;
                if (samples == 4)
                    AlphaSet(x, y, alpha);
            }
        }
        decoded = true;
    }

    if (!decoded) {
        // Palette for the strip path.
        RGBQUAD palette[256] = {};
        DWORD colors = head.biClrUsed;
        if (grey && bits == 1) {
            BYTE zero = photometric == PHOTOMETRIC_MINISWHITE ? 255 : 0;
            palette[0].rgbRed = palette[0].rgbGreen = palette[0].rgbBlue = zero;
            palette[1].rgbRed = palette[1].rgbGreen = palette[1].rgbBlue = static_cast<BYTE>(255 - zero);
        } else if (grey && colors > 1) {
            for (DWORD i = 0; i < colors; ++i) {
                BYTE level = static_cast<BYTE>(255 / (colors - 1) * i);
                if (photometric == PHOTOMETRIC_MINISWHITE)
                    level = static_cast<BYTE>(255 - level);
                palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = level;
            }
        } else if (photometric == PHOTOMETRIC_PALETTE) {
            uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
            if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
                return Fail(kNoPalette);
            int entries = bits >= 8 ? 256 : 1 << bits;
            bool wide = false;
            for (int i = 0; i < entries; ++i)
                wide = wide || red[i] >= 256 || green[i] >= 256 || blue[i] >= 256;
            for (int i = 0; i < entries; ++i) {
                palette[i].rgbRed = static_cast<BYTE>(wide ? red[i] * 255u / 65535u : red[i]);
                palette[i].rgbGreen = static_cast<BYTE>(wide ? green[i] * 255u / 65535u : green[i]);
                palette[i].rgbBlue = static_cast<BYTE>(wide ? blue[i] * 255u / 65535u : blue[i]);
            }
        }
        SetPalette(palette, colors);

        bool separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
        bool lab = photometric == PHOTOMETRIC_CIELAB && bits == 8 && (samples == 3 || samples == 4);
        if (samples > 2 && !lab)
            return Fail(kUnsupported);
        uint32_t planes = separate ? samples : 1;
        uint64_t planeLineBytes = (static_cast<uint64_t>(bits) * width * (separate ? 1 : samples) + 7) / 8;

        bool tiled = TIFFIsTiled(tif);
        uint32_t tileWidth = 0, tileLength = 0;
        if (tiled) {
            TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
            TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
            if (tileWidth == 0 || tileLength == 0)
                return Fail(kCorruptedTiled);
            rowsPerStrip = std::min(tileLength, height);
        }
        if (rowsPerStrip == 0)
            rowsPerStrip = height;

        uint64_t planeBytes = planeLineBytes * rowsPerStrip;
        uint64_t bufferBytes = planeBytes * planes;
        if (bufferBytes > kMaxBufferBytes)
            return Fail(kNoRaster);
        std::vector<BYTE> buffer;
        std::vector<BYTE> tileBuffer;
        try {
            buffer.resize(bufferBytes);
            if (tiled) {
                tmsize_t tileSize = TIFFTileSize(tif);
                if (tileSize <= 0 || static_cast<uint64_t>(tileSize) > kMaxBufferBytes)
                    return Fail(kCorruptedTiled);
                tileBuffer.resize(static_cast<size_t>(tileSize));
            }
        } catch (const std::bad_alloc&) {
            return Fail(kNoRaster);
        }

        bool direct = !separate && samples == 1 && static_cast<DWORD>(bits) == depth;
        uint16_t extraCount = 0;
        uint16_t* extraTypes = nullptr;
        TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
        bool associated = grey && extraCount > 0 && extraTypes && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
        bool spread = grey;
        bool labCreated = false;
        for (uint32_t ys = 0; ys < height; ys += rowsPerStrip) {
            if (info.nEscape)
                return Fail(kCancelledMessage);
            uint32_t rows = std::min(rowsPerStrip, height - ys);
            std::fill(buffer.begin(), buffer.end(), 0);
            for (uint32_t plane = 0; plane < planes; ++plane) {
                BYTE* planeStart = buffer.data() + plane * planeBytes;
                if (tiled) {
                    uint64_t tileRowBytes = static_cast<uint64_t>(TIFFTileRowSize(tif));
                    if (tileRowBytes == 0 || tileRowBytes * rows > tileBuffer.size())
                        return Fail(kCorruptedTiled);
                    uint64_t columnBytes = 0;
                    for (uint32_t col = 0; col < width && columnBytes < planeLineBytes; col += tileWidth) {
                        if (TIFFReadTile(tif, tileBuffer.data(), col, ys, 0, static_cast<uint16_t>(plane)) < 0)
                            return Fail(kCorruptedTiled);
                        // The last tile column may reach past the image's right edge.
                        uint64_t copyBytes = std::min(tileRowBytes, planeLineBytes - columnBytes);
                        TileToStrip(planeStart + columnBytes, tileBuffer.data(), rows, static_cast<uint32_t>(copyBytes),
                                    static_cast<int>(planeLineBytes - copyBytes),
                                    static_cast<int>(tileRowBytes - copyBytes));
                        columnBytes += tileRowBytes;
                    }
                } else {
                    uint32_t strip = TIFFComputeStrip(tif, ys, static_cast<uint16_t>(plane));
                    if (TIFFReadEncodedStrip(tif, strip, planeStart, static_cast<tmsize_t>(rows * planeLineBytes)) ==
                        -1)
                        return Fail(kCorrupted);
                }
            }

            for (uint32_t y = 0; y < rows; ++y) {
                uint64_t lineOffset = static_cast<uint64_t>(rows - y - 1) * planeLineBytes;
                const BYTE* line = buffer.data() + lineOffset;
                long memoryRow = static_cast<long>(height) - static_cast<long>(ys) - static_cast<long>(rows) + y;
                // Sample s of pixel x, wherever the planar configuration puts it.
                auto sample = [&](uint64_t x, uint32_t s) -> uint32_t {
                    if (separate)
                        return GetSample(line + s * planeBytes, x, bits);
                    return GetSample(line, x * samples + s, bits);
                };
                if (direct) {
                    uint64_t copyBytes = std::min<uint64_t>(planeLineBytes, info.dwEffWidth);
                    std::memcpy(GetBits(memoryRow), line, copyBytes);
                } else if (samples == 1) {
                    BYTE* row = GetBits(memoryRow);
                    for (uint32_t x = 0; x < width; ++x) {
                        BYTE index = NarrowSample(sample(x, 0), bits, spread);
                        if (depth == 8)
                            row[x] = index;
                        else
                            SetPixelIndex(x, memoryRow, index);
                    }
                } else if (samples == 2) {
                    for (uint32_t x = 0; x < width; ++x) {
                        BYTE level = NarrowSample(sample(x, 0), bits, spread);
                        BYTE alpha = NarrowSample(sample(x, 1), bits, true);
                        // Associated alpha stores grey premultiplied; the picture keeps it straight.
                        if (associated && alpha != 0 && alpha != 255)
                            level = static_cast<BYTE>(std::min(255, (level * 255 + alpha / 2) / alpha));
                        SetPixelIndex(x, memoryRow, level);
                        AlphaSet(x, memoryRow, alpha);
                    }
                } else {
                    if (!labCreated) {
                        if (!Create(width, height, 24, PICTURE_FORMAT_TIF))
                            return Fail(kCantCreate);
                        if (samples == 4)
                            AlphaCreate();
                        labCreated = true;
                    }
                    for (uint32_t x = 0; x < width; ++x) {
                        RGBQUAD c = LabToRgb(static_cast<BYTE>(sample(x, 0)), static_cast<int8_t>(sample(x, 1)),
                                             static_cast<int8_t>(sample(x, 2)));
                        SetPixelColor(x, memoryRow, c);
                        if (samples == 4)
                            AlphaSet(x, memoryRow, static_cast<BYTE>(sample(x, 3)));
                    }
                }
            }
        }
    }

    if (!m_LibraryMessage.empty())
        return Fail(kCorrupted);

    // Orientation tag (TIFF 6.0, section 8): turn the stored rows into the visual picture.
    bool turned = true;
    switch (orientation) {
    case ORIENTATION_TOPRIGHT:
        turned = Mirror();
        break;
    case ORIENTATION_BOTRIGHT:
        turned = Flip() && Mirror();
        break;
    case ORIENTATION_BOTLEFT:
        turned = Flip();
        break;
    case ORIENTATION_LEFTTOP:
        turned = RotateRight() && Mirror();
        break;
    case ORIENTATION_RIGHTTOP:
        // Row 0 is the right side, column 0 the top: a clockwise quarter turn.
        turned = RotateRight();
        break;
    case ORIENTATION_RIGHTBOT:
        turned = RotateLeft() && Mirror();
        break;
    case ORIENTATION_LEFTBOT:
        // Row 0 is the left side, column 0 the bottom: a counter-clockwise quarter turn.
        turned = RotateLeft();
        break;
    default:
        break;
    }
    if (!turned)
        return Fail(kCantCreate);
    return true;
}

bool CPictureTIF::Encode(CStream* hFile, bool bAppend)
{
    if (EncodeSafeCheck(hFile))
        return false;
    if (!m_tif2 && !OpenForWriting(hFile)) {
        CloseHandle();
        return Fail(kInitFail);
    }
    if (bAppend || m_pages > 0)
        m_multipage = true;
    ++m_pages;
    if (!EncodeBody(m_tif2, m_multipage, m_pages, m_pages)) {
        CloseHandle();
        return Fail(kSaveError);
    }
    if (bAppend) {
        if (!TIFFWriteDirectory(m_tif2)) {
            CloseHandle();
            return Fail(kSaveDirectoryError);
        }
    } else if (!CommitFile()) {
        return Fail(kSaveError);
    }
    return true;
}

bool CPictureTIF::EncodeBody(TIFF* m_tif, bool multipage, int page, int pagecount)
{
    if (!m_tif || !pDib)
        return false;
    uint32_t width = GetWidth(), height = GetHeight();
    WORD bpp = GetBpp();
    uint16_t samples = bpp == 24 ? 3 : 1;
    if (bpp == 24 && AlphaIsValid())
        samples = 4;
    else if (bpp == 8 && AlphaIsValid())
        samples = 2;
    uint16_t bitsPerSample = static_cast<uint16_t>((samples == 4 ? 32 : samples == 2 ? 16 : bpp) / samples);

    uint16_t photometric;
    switch (bpp) {
    case 1: {
        // White-is-zero with entry 0 the brighter one: swap the entries and invert the pixels.
        RGBQUAD first = GetPaletteColor(0), second = GetPaletteColor(1);
        auto luminance = [](RGBQUAD c) { return (117 * c.rgbBlue + 601 * c.rgbGreen + 306 * c.rgbRed) >> 10; };
        if (luminance(first) < luminance(second)) {
            SetPaletteColor(0, second);
            SetPaletteColor(1, first);
            BYTE* bits = GetBits();
            for (DWORD i = 0; i < head.biSizeImage; ++i)
                bits[i] = static_cast<BYTE>(~bits[i]);
        }
        photometric = PHOTOMETRIC_MINISWHITE;
        break;
    }
    case 4:
    case 8: {
        photometric = PHOTOMETRIC_MINISBLACK;
        RGBQUAD* palette = GetPalette();
        for (DWORD i = 0; i < head.biClrUsed; ++i) {
            if (palette[i].rgbRed != i || palette[i].rgbGreen != i || palette[i].rgbBlue != i) {
                photometric = PHOTOMETRIC_PALETTE;
                break;
            }
        }
        break;
    }
    default:
        photometric = PHOTOMETRIC_RGB;
        break;
    }

    uint16_t compression;
    if (info.dwCodecOption)
        compression = static_cast<uint16_t>(info.dwCodecOption);
    else if (bpp == 1)
        compression = COMPRESSION_CCITTFAX4;
    else if (bpp == 8)
        compression = COMPRESSION_PACKBITS;
    else if (bpp == 24)
        compression = COMPRESSION_JPEG;
    else
        compression = COMPRESSION_NONE;

    TIFFSetField(m_tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(m_tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(m_tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(m_tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(m_tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(m_tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(m_tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (samples == 2 || samples == 4) {
        // Name the last sample as alpha, so that readers do not take it for an unknown channel.
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(m_tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (!TIFFSetField(m_tif, TIFFTAG_COMPRESSION, compression))
        return false;
    uint32_t rowsPerStrip = TIFFDefaultStripSize(m_tif, static_cast<uint32_t>(-1));
    TIFFSetField(m_tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(m_tif, TIFFTAG_XRESOLUTION, static_cast<float>(info.xDPI));
    TIFFSetField(m_tif, TIFFTAG_YRESOLUTION, static_cast<float>(info.yDPI));
    if (multipage) {
        char pageName[32];
        snprintf(pageName, sizeof pageName, "Page %d", page);
        TIFFSetField(m_tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(m_tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(page), static_cast<uint16_t>(pagecount));
        TIFFSetField(m_tif, TIFFTAG_PAGENAME, pageName);
    } else {
        TIFFSetField(m_tif, TIFFTAG_SUBFILETYPE, 0);
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t red[256] = {}, green[256] = {}, blue[256] = {};
        RGBQUAD* palette = GetPalette();
        for (DWORD i = 0; i < head.biClrUsed; ++i) {
            red[i] = static_cast<uint16_t>(palette[i].rgbRed * 65535u / 255u);
            green[i] = static_cast<uint16_t>(palette[i].rgbGreen * 65535u / 255u);
            blue[i] = static_cast<uint16_t>(palette[i].rgbBlue * 65535u / 255u);
        }
        TIFFSetField(m_tif, TIFFTAG_COLORMAP, red, green, blue);
    }
    if (compression == COMPRESSION_LZW && bpp >= 8)
        TIFFSetField(m_tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(m_tif, TIFFTAG_JPEGQUALITY, static_cast<int>(info.nQuality));
        rowsPerStrip = (rowsPerStrip + 7) / 8 * 8;
    }
    TIFFSetField(m_tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);

    size_t lineBytes = (static_cast<size_t>(width) * bitsPerSample * samples + 7) / 8;
    std::vector<BYTE> line(std::max<size_t>(lineBytes, info.dwEffWidth));
    for (uint32_t row = 0; row < height; ++row) {
        long memoryRow = static_cast<long>(height - 1 - row);
        const BYTE* source = GetBits(memoryRow);
        if (samples == 1) {
            std::memcpy(line.data(), source, info.dwEffWidth);
        } else if (samples == 2) {
            for (uint32_t x = 0; x < width; ++x) {
                line[x * 2] = source[x];
                line[x * 2 + 1] = AlphaGet(x, memoryRow);
            }
        } else if (samples == 3) {
            for (uint32_t x = 0; x < width; ++x) {
                line[x * 3] = source[x * 3 + 2];
                line[x * 3 + 1] = source[x * 3 + 1];
                line[x * 3 + 2] = source[x * 3];
            }
        } else {
            for (uint32_t x = 0; x < width; ++x) {
                line[x * 4] = source[x * 3 + 2];
                line[x * 4 + 1] = source[x * 3 + 1];
                line[x * 4 + 2] = source[x * 3];
                line[x * 4 + 3] = AlphaGet(x, memoryRow);
            }
        }
        if (TIFFWriteScanline(m_tif, line.data(), row, 0) == -1)
            return false;
    }
    return true;
}
