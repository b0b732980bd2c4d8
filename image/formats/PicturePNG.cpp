// PNG decoder and encoder over libpng, with read and write callbacks on CStream.
#include "image/formats/PicturePNG.h"

#include "image/Messages.h"
#include "image/Stream.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kCreateStructFailed[] = "Failed to create PNG structure";
constexpr char kCreateInfoFailed[] = "Failed to initialize PNG info structure";
constexpr char kReadError[] = "Read Error";
constexpr char kWriteError[] = "Write Error";
constexpr char kFlushError[] = "Flush Error";
constexpr char kSaveError[] = "Error saving PNG file";
constexpr char kNotEnoughData[] = "Not enough image data";

constexpr png_alloc_size_t kMaxChunkBytes = 8000000;
// Chunk names, 5 bytes each with their terminating zero, in libpng's list form.
constexpr png_byte kSkippedChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0eXIf\0pCAL\0sCAL\0tIME";

// Deflate never expands more than about 1032 times (a 258-byte match per 2-bit code), so a
// stream shorter than the raw pixel bytes / this factor cannot hold the picture.
constexpr uint64_t kMaxDeflateRatio = 1032;

// Everything the decode and encode set up that must be released whichever way they end.
// Plain data only: the functions that call setjmp hold nothing with a destructor.
struct PngReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    BYTE* row = nullptr;
};

struct PngWriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    BYTE* row = nullptr;
    png_colorp palette = nullptr;
};

void ReadCallback(png_structp png, png_bytep data, png_size_t length)
{
    auto* stream = static_cast<CStream*>(png_get_io_ptr(png));
    if (stream->Read(data, 1, length) != length)
        png_error(png, kReadError);
}

void WriteCallback(png_structp png, png_bytep data, png_size_t length)
{
    auto* stream = static_cast<CStream*>(png_get_io_ptr(png));
    if (stream->Write(data, 1, length) != length)
        png_error(png, kWriteError);
}

void FlushCallback(png_structp png)
{
    auto* stream = static_cast<CStream*>(png_get_io_ptr(png));
    if (!stream->Flush())
        png_error(png, kFlushError);
}

// Stores libpng's message in the picture's last-error text and jumps back to the decode.
[[noreturn]] void ErrorRoutine(png_structp png, png_const_charp message)
{
    auto* lastError = static_cast<char*>(png_get_error_ptr(png));
    if (lastError)
        snprintf(lastError, kLastErrorSize, "%s", message ? message : "");
    png_longjmp(png, 1);
}

long MetresToInches(png_uint_32 perMetre)
{
    return static_cast<long>(std::floor(perMetre * 254.0 / 10000.0 + 0.5));
}

bool ReadPng(CPicture& pic, PngReadState& state, CStream* stream)
{
    if (setjmp(png_jmpbuf(state.png)))
        return false;
    png_structp png = state.png;
    png_infop pngInfo = state.info;

    png_read_info(png, pngInfo);
    const png_uint_32 width = png_get_image_width(png, pngInfo);
    const png_uint_32 height = png_get_image_height(png, pngInfo);
    const int bitDepth = png_get_bit_depth(png, pngInfo);
    const int colorType = png_get_color_type(png, pngInfo);
    const int pixelDepth = bitDepth * png_get_channels(png, pngInfo);
    const bool interlaced = png_get_interlace_type(png, pngInfo) != PNG_INTERLACE_NONE;

    // A picture bigger than the rest of the stream could ever inflate to is refused before
    // its pixel block is allocated.
    const int32_t streamSize = stream->Size();
    const int32_t streamPos = stream->Tell();
    if (streamSize >= 0 && streamPos >= 0 && streamSize >= streamPos) {
        const uint64_t rawBytes = (static_cast<uint64_t>(width) * pixelDepth / 8) * height;
        if (rawBytes / kMaxDeflateRatio > static_cast<uint64_t>(streamSize - streamPos) + 64)
            png_error(png, kNotEnoughData);
    }

    // Grey files with a tRNS chunk keep their pixels and mark the transparent grey level
    // (as the transparent index, or in an alpha plane for 16-bit files) instead of being composited.
    const bool greyTransparency = colorType == PNG_COLOR_TYPE_GRAY && png_get_valid(png, pngInfo, PNG_INFO_tRNS) != 0;

    png_color_16p fileBackground = nullptr;
    const bool hasBackground = png_get_bKGD(png, pngInfo, &fileBackground) != 0 && fileBackground;
    if (pixelDepth != 32) {
        if (!greyTransparency) {
            if (hasBackground) {
                png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
            } else {
                png_color_16 grey{};
                grey.red = grey.green = grey.blue = 192;
                png_set_background(png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
            }
        }
    } else if (hasBackground) {
        pic.info.nBkgndColor.rgbRed = static_cast<BYTE>(fileBackground->red);
        pic.info.nBkgndColor.rgbGreen = static_cast<BYTE>(fileBackground->green);
        pic.info.nBkgndColor.rgbBlue = static_cast<BYTE>(fileBackground->blue);
        pic.info.nBkgndColor.rgbReserved = 0;
    }

    // A 16-bit grey key names one 16-bit level: it is matched at that depth by libpng, which
    // turns it into an alpha sample before the reduction to 8 bits; levels that differ only in
    // the low byte would otherwise all share the key's 8-bit index.
    const bool wideGreyKey = greyTransparency && bitDepth == 16;
    if (wideGreyKey)
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_strip_16(png);

    const DWORD depth = pixelDepth > 16 ? 24 : (pixelDepth == 16 ? 8 : static_cast<DWORD>(pixelDepth));
    if (!pic.Create(width, height, depth, PICTURE_FORMAT_PNG))
        return false;

    png_uint_32 resX = 0;
    png_uint_32 resY = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    png_get_pHYs(png, pngInfo, &resX, &resY, &unit);
    if (unit == PNG_RESOLUTION_METER) {
        pic.SetXDPI(MetresToInches(resX));
        pic.SetYDPI(MetresToInches(resY));
    } else {
        pic.SetXDPI(static_cast<long>(resX));
        pic.SetYDPI(static_cast<long>(resY));
    }

    png_colorp palette = nullptr;
    int paletteSize = 0;
    if (png_get_PLTE(png, pngInfo, &palette, &paletteSize) != 0 && palette && paletteSize > 0) {
        static_assert(sizeof(png_color) == 3, "PLTE entries are red, green, blue triples");
        pic.SetPalette(reinterpret_cast<const BYTE*>(palette), static_cast<DWORD>(paletteSize));
    } else if (bitDepth == 2) {
        for (BYTE i = 0; i < 4; ++i)
            pic.SetPaletteColor(i, i * 85, i * 85, i * 85);
    } else {
        pic.SetGrayPalette();
    }

    png_bytep transAlpha = nullptr;
    int transCount = 0;
    png_color_16p transColor = nullptr;
    if (png_get_tRNS(png, pngInfo, &transAlpha, &transCount, &transColor) != 0) {
        if (greyTransparency && transColor && !wideGreyKey) {
            const int level = bitDepth == 16 ? transColor->gray >> 8 : transColor->gray;
            if (level < static_cast<int>(pic.GetNumColors()))
                pic.SetTransIndex(level);
        } else if (colorType == PNG_COLOR_TYPE_PALETTE && transAlpha && pic.GetNumColors() != 0) {
            RGBQUAD* entries = pic.GetPalette();
            const int colors = static_cast<int>(pic.GetNumColors());
            const int applied = std::min(colors, transCount);
            for (int i = 0; i < applied; ++i)
                entries[i].rgbReserved = transAlpha[i];
            if (transCount == 1 && entries[0].rgbReserved == 0) {
                pic.SetTransIndex(0);
            } else {
                pic.info.bAlphaPaletteEnabled = true;
                for (int i = std::max(applied, 0); i < colors; ++i)
                    entries[i].rgbReserved = 255;
            }
        }
    }

    const bool withAlpha =
        colorType == PNG_COLOR_TYPE_RGB_ALPHA || (colorType == PNG_COLOR_TYPE_GRAY_ALPHA && pixelDepth == 32);
    if (wideGreyKey && !pic.AlphaCreate())
        png_error(png, kCreateNoMemoryMessage);
    if (withAlpha) {
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(png);
            png_set_expand(png);
        }
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        if (!pic.AlphaCreate())
            png_error(png, kCreateNoMemoryMessage);
    }
    if (colorType & PNG_COLOR_MASK_COLOR)
        png_set_bgr(png);

    if (pic.info.nEscape != 0)
        return false;

    // Room for the stored row and for every row form the transformations above deliver
    // (at most 4 bytes a pixel); zeroed so rows an interlace pass skips hold no stale bytes.
    const size_t bytesPerPixel = std::max<size_t>((pixelDepth + 7) / 8, 4);
    state.row = static_cast<BYTE*>(calloc(bytesPerPixel * width + 10, 1));
    if (!state.row)
        png_error(png, kCreateNoMemoryMessage);
    BYTE* row = state.row;

    const int passes = png_set_interlace_handling(png);
    const DWORD effWidth = pic.GetEffWidth();
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if (pic.info.nEscape != 0)
                return false;
            const long memoryRow = static_cast<long>(height - 1 - y);
            BYTE* pixels = pic.GetBits(static_cast<DWORD>(memoryRow));
            if (withAlpha) {
                if (interlaced && pass > 0) {
                    for (png_uint_32 x = 0; x < width; ++x) {
                        memcpy(row + 4 * x, pixels + 3 * x, 3);
                        row[4 * x + 3] = pic.AlphaGet(static_cast<long>(x), memoryRow);
                    }
                }
                png_read_row(png, row, nullptr);
                for (png_uint_32 x = 0; x < width; ++x) {
                    memcpy(pixels + 3 * x, row + 4 * x, 3);
                    pic.AlphaSet(static_cast<long>(x), memoryRow, row[4 * x + 3]);
                }
            } else if (wideGreyKey) {
                // Rows arrive as 8-bit grey and alpha pairs.
                if (interlaced && pass > 0) {
                    for (png_uint_32 x = 0; x < width; ++x) {
                        row[2 * x] = pixels[x];
                        row[2 * x + 1] = pic.AlphaGet(static_cast<long>(x), memoryRow);
                    }
                }
                png_read_row(png, row, nullptr);
                for (png_uint_32 x = 0; x < width; ++x) {
                    pixels[x] = row[2 * x];
                    pic.AlphaSet(static_cast<long>(x), memoryRow, row[2 * x + 1]);
                }
            } else {
                if (interlaced && pass > 0)
                    memcpy(row, pixels, effWidth);
                png_read_row(png, row, nullptr);
                if (bitDepth == 2 && pass == passes - 1)
                    CPicturePNG::expand2to4bpp(row, width);
                memcpy(pixels, row, effWidth);
            }
        }
    }

    png_read_end(png, pngInfo);
    return true;
}

bool WritePng(CPicture& pic, PngWriteState& state)
{
    if (setjmp(png_jmpbuf(state.png)))
        return false;
    png_structp png = state.png;
    png_infop pngInfo = state.info;

    const DWORD width = pic.GetWidth();
    const DWORD height = pic.GetHeight();
    const DWORD bpp = pic.GetBpp();
    const DWORD colors = pic.GetNumColors();
    RGBQUAD* entries = pic.GetPalette();
    const int channels = bpp <= 8 ? 1 : 3;
    const int bitDepth = static_cast<int>(bpp) / channels;

    // A transparent index that names no palette entry marks nothing.
    const long transIndex = pic.GetTransIndex();
    const bool paletteTransparency = entries && transIndex >= 0 && transIndex < static_cast<long>(colors);
    const bool colourTransparency = bpp == 24 && transIndex >= 0;
    const bool withAlpha = pic.AlphaIsValid() || colourTransparency;
    const int colorType =
        withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : (entries ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB);

    png_set_IHDR(png, pngInfo, width, height, withAlpha ? 8 : bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

    png_color_16 background{};
    if (entries) {
        background.index = 0;
        background.red = entries[0].rgbRed;
        background.green = entries[0].rgbGreen;
        background.blue = entries[0].rgbBlue;
    } else if (transIndex != -1) {
        background.red = pic.info.nBkgndColor.rgbRed;
        background.green = pic.info.nBkgndColor.rgbGreen;
        background.blue = pic.info.nBkgndColor.rgbBlue;
    } else {
        background.red = background.green = background.blue = 255;
    }
    png_set_bKGD(png, pngInfo, &background);
    png_set_pHYs(png, pngInfo, static_cast<png_uint_32>(std::max<LONG>(pic.head.biXPelsPerMeter, 0)),
                 static_cast<png_uint_32>(std::max<LONG>(pic.head.biYPelsPerMeter, 0)), PNG_RESOLUTION_METER);

    if (entries) {
        png_byte trans[256];
        int transCount = 0;
        if (paletteTransparency) {
            trans[0] = 0;
            transCount = 1;
            if (transIndex != 0) {
                // The transparent entry moves to index 0; the pixels follow so the picture
                // looks the same, and the caller's picture learns the new index.
                pic.SwapIndex(0, static_cast<BYTE>(transIndex));
                pic.SetTransIndex(0);
                if (pic.info.pGhost)
                    pic.info.pGhost->SetTransIndex(0);
            }
        }
        DWORD paletteLength = colors;
        if (colors > 2 && static_cast<uint64_t>(width) * height < 65536) {
            BYTE largest = 0;
            for (DWORD y = 0; y < height; ++y)
                for (DWORD x = 0; x < width; ++x)
                    largest = std::max(largest, pic.GetPixelIndex(static_cast<long>(x), static_cast<long>(y)));
            paletteLength = std::min<DWORD>(largest + 1u, colors);
        }
        if (pic.info.bAlphaPaletteEnabled) {
            for (DWORD i = 0; i < paletteLength; ++i)
                trans[i] = entries[i].rgbReserved;
            transCount = static_cast<int>(paletteLength);
        }
        state.palette = static_cast<png_colorp>(malloc(sizeof(png_color) * paletteLength));
        if (!state.palette)
            png_error(png, "out of memory");
        for (DWORD i = 0; i < paletteLength; ++i) {
            state.palette[i].red = entries[i].rgbRed;
            state.palette[i].green = entries[i].rgbGreen;
            state.palette[i].blue = entries[i].rgbBlue;
        }
        png_set_PLTE(png, pngInfo, state.palette, static_cast<int>(paletteLength));
        // tRNS belongs to palette files only; an RGBA file carries its alpha per pixel.
        if (transCount > 0 && colorType == PNG_COLOR_TYPE_PALETTE)
            png_set_tRNS(png, pngInfo, trans, transCount, nullptr);
    }

    png_write_info(png, pngInfo);

    if (withAlpha) {
        state.row = static_cast<BYTE*>(malloc(static_cast<size_t>(width) * 4 + 4));
        if (!state.row)
            png_error(png, "out of memory");
        const RGBQUAD transColor = pic.GetTransColor();
        const unsigned alphaMax = pic.info.nAlphaMax;
        for (DWORD top = 0; top < height; ++top) {
            const long y = static_cast<long>(height - 1 - top);
            const BYTE* pixels = pic.GetBits(static_cast<DWORD>(y));
            for (long x = static_cast<long>(width) - 1; x >= 0; --x) {
                BYTE blue;
                BYTE green;
                BYTE red;
                if (entries) {
                    const RGBQUAD c = pic.GetPaletteColor(pic.GetPixelIndex(x, y));
                    blue = c.rgbBlue;
                    green = c.rgbGreen;
                    red = c.rgbRed;
                } else {
                    blue = pixels[3 * x];
                    green = pixels[3 * x + 1];
                    red = pixels[3 * x + 2];
                }
                unsigned alpha = pic.AlphaIsValid() ? pic.AlphaGet(x, y) : 255;
                if (colourTransparency && blue == transColor.rgbBlue && green == transColor.rgbGreen &&
                    red == transColor.rgbRed && transColor.rgbReserved == pic.info.nBkgndColor.rgbReserved)
                    alpha = 0;
                BYTE* out = state.row + 4 * x;
                out[0] = red;
                out[1] = green;
                out[2] = blue;
                out[3] = static_cast<BYTE>(alphaMax * alpha / 255);
            }
            png_write_row(png, state.row);
        }
    } else {
        const DWORD effWidth = pic.GetEffWidth();
        state.row = static_cast<BYTE*>(malloc(effWidth + 4));
        if (!state.row)
            png_error(png, "out of memory");
        for (DWORD top = 0; top < height; ++top) {
            memcpy(state.row, pic.GetBits(height - 1 - top), effWidth);
            if (colorType == PNG_COLOR_TYPE_RGB) {
                for (DWORD x = 0; x < width; ++x)
                    std::swap(state.row[3 * x], state.row[3 * x + 2]);
            }
            png_write_row(png, state.row);
        }
    }
    free(state.row);
    state.row = nullptr;
    png_write_end(png, pngInfo);
    return true;
}

}  // namespace

void CPicturePNG::expand2to4bpp(BYTE* row, DWORD width)
{
    for (long x = static_cast<long>(width) - 1; x >= 0; --x) {
        const BYTE value = (row[x / 4] >> (6 - 2 * (x % 4))) & 3;
        const int shift = 4 - 4 * (x % 2);
        BYTE& target = row[x / 2];
        target = static_cast<BYTE>((target & ~(0x0F << shift)) | (value << shift));
    }
}

bool CPicturePNG::Decode(CStream* hFile)
{
    if (!hFile)
        return Fail(kNullFileHandlerMessage);
    PngReadState state;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!state.png)
        return Fail(kCreateStructFailed);
    state.info = png_create_info_struct(state.png);
    if (!state.info) {
        png_destroy_read_struct(&state.png, nullptr, nullptr);
        return Fail(kCreateInfoFailed);
    }
    png_set_read_fn(state.png, hFile, ReadCallback);
    png_set_error_fn(state.png, info.szLastError, ErrorRoutine, nullptr);
    // Text and other metadata chunks are never used: skipping them unread means a chunk
    // that claims a gigabyte of text costs nothing. Other ancillary chunks bigger than the
    // limit are dropped by libpng with a warning.
    png_set_keep_unknown_chunks(state.png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks,
                                static_cast<int>(sizeof kSkippedChunks / 5));
    png_set_chunk_malloc_max(state.png, kMaxChunkBytes);

    const bool ok = ReadPng(*this, state, hFile);
    free(state.row);
    png_destroy_read_struct(&state.png, &state.info, nullptr);
    return ok;
}

bool CPicturePNG::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;
    PngWriteState state;
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!state.png)
        return Fail(kCreateStructFailed);
    state.info = png_create_info_struct(state.png);
    if (!state.info) {
        png_destroy_write_struct(&state.png, nullptr);
        return Fail(kCreateInfoFailed);
    }
    png_set_write_fn(state.png, hFile, WriteCallback, FlushCallback);

    const bool ok = WritePng(*this, state);
    free(state.row);
    free(state.palette);
    png_destroy_write_struct(&state.png, &state.info);
    return ok ? true : Fail(kSaveError);
}
