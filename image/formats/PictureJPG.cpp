// JPEG decoder and encoder over libjpeg, with source and destination managers on CStream.
#include "image/formats/PictureJPG.h"

#include "image/Messages.h"
#include "image/Stream.h"
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

namespace {

constexpr char kOnlyRgbOrGrey[] = "JPEG can save only RGB or GreyScale images";
constexpr char kFrameTooLarge[] = "JPEG frame too large";
constexpr char kFrameBeyondData[] = "JPEG frame larger than its data can hold";

constexpr size_t kStreamBufferSize = 4096;
// Rows handed to libjpeg per call: a whole 4:2:0 row group (2 x 8), so the library
// upsamples and converts without copying through its spare row.
constexpr JDIMENSION kRowsPerCall = 16;

// Whole-image arrays (progressive and multi-scan files) beyond this fail with libjpeg's
// "Backing store not supported" instead of asking the system for gigabytes.
constexpr long kMaxLibjpegMemory = 1024L * 1024 * 1024;

// The most pixels one byte of a Huffman-coded file can describe. A frame needs at least one
// bit per 8 x 8 block (a progressive file with only its first DC scan), so 512; twice that
// leaves room for headers. A file far below that is a truncated shell whose missing rows
// libjpeg would fill, at full pixel cost. Arithmetic coding packs a flat picture into a few
// bytes whatever its size (3000 x 3000 in 125), so only the canvas limit bounds it.
constexpr uint64_t kHuffmanPixelsPerByte = 1024;

// Adapter handed to libjpeg as both source and destination manager over a CStream.
class CStreamJpg {
public:
    explicit CStreamJpg(CStream* file) : m_pFile(file), m_pBuffer(static_cast<JOCTET*>(malloc(kStreamBufferSize)))
    {
        memset(&m_Dest, 0, sizeof m_Dest);
        memset(&m_Src, 0, sizeof m_Src);
        m_Src.init_source = InitSource;
        m_Src.fill_input_buffer = FillInputBuffer;
        m_Src.skip_input_data = SkipInputData;
        m_Src.resync_to_restart = jpeg_resync_to_restart;
        m_Src.term_source = TermSource;
        m_Dest.init_destination = InitDestination;
        m_Dest.empty_output_buffer = EmptyOutputBuffer;
        m_Dest.term_destination = TermDestination;
    }
    ~CStreamJpg() { free(m_pBuffer); }

    CStreamJpg(const CStreamJpg&) = delete;
    CStreamJpg& operator=(const CStreamJpg&) = delete;

    bool IsValid() const { return m_pBuffer != nullptr; }

    void AttachSource(j_decompress_ptr cinfo)
    {
        cinfo->client_data = this;
        cinfo->src = &m_Src;
    }

    void AttachDestination(j_compress_ptr cinfo)
    {
        cinfo->client_data = this;
        cinfo->dest = &m_Dest;
    }

private:
    static CStreamJpg* Self(j_decompress_ptr cinfo) { return static_cast<CStreamJpg*>(cinfo->client_data); }
    static CStreamJpg* Self(j_compress_ptr cinfo) { return static_cast<CStreamJpg*>(cinfo->client_data); }

    static void InitSource(j_decompress_ptr cinfo) { Self(cinfo)->m_bStartOfFile = true; }

    static boolean FillInputBuffer(j_decompress_ptr cinfo)
    {
        CStreamJpg* self = Self(cinfo);
        size_t count = self->m_pFile->Read(self->m_pBuffer, 1, kStreamBufferSize);
        if (count == 0) {
            if (self->m_bStartOfFile)
                ERREXIT(cinfo, JERR_INPUT_EMPTY);
            // A truncated file ends with an inserted end-of-image marker; libjpeg fills
            // the missing data.
            WARNMS(cinfo, JWRN_JPEG_EOF);
            self->m_pBuffer[0] = 0xFF;
            self->m_pBuffer[1] = JPEG_EOI;
            count = 2;
        }
        self->m_Src.next_input_byte = self->m_pBuffer;
        self->m_Src.bytes_in_buffer = count;
        self->m_bStartOfFile = false;
        return TRUE;
    }

    static void SkipInputData(j_decompress_ptr cinfo, long count)
    {
        CStreamJpg* self = Self(cinfo);
        if (count <= 0)
            return;
        while (count > static_cast<long>(self->m_Src.bytes_in_buffer)) {
            count -= static_cast<long>(self->m_Src.bytes_in_buffer);
            FillInputBuffer(cinfo);
        }
        self->m_Src.next_input_byte += count;
        self->m_Src.bytes_in_buffer -= static_cast<size_t>(count);
    }

    static void TermSource(j_decompress_ptr) {}

    static void InitDestination(j_compress_ptr cinfo)
    {
        CStreamJpg* self = Self(cinfo);
        self->m_Dest.next_output_byte = self->m_pBuffer;
        self->m_Dest.free_in_buffer = kStreamBufferSize;
    }

    static boolean EmptyOutputBuffer(j_compress_ptr cinfo)
    {
        CStreamJpg* self = Self(cinfo);
        if (self->m_pFile->Write(self->m_pBuffer, 1, kStreamBufferSize) != kStreamBufferSize)
            ERREXIT(cinfo, JERR_FILE_WRITE);
        self->m_Dest.next_output_byte = self->m_pBuffer;
        self->m_Dest.free_in_buffer = kStreamBufferSize;
        return TRUE;
    }

    static void TermDestination(j_compress_ptr cinfo)
    {
        CStreamJpg* self = Self(cinfo);
        const size_t count = kStreamBufferSize - self->m_Dest.free_in_buffer;
        // A short write loses the end of the file: it fails like an empty one.
        if (count > 0 && self->m_pFile->Write(self->m_pBuffer, 1, count) != count)
            ERREXIT(cinfo, JERR_FILE_WRITE);
        self->m_pFile->Flush();
        if (self->m_pFile->Error())
            ERREXIT(cinfo, JERR_FILE_WRITE);
    }

    jpeg_destination_mgr m_Dest;
    jpeg_source_mgr m_Src;
    CStream* m_pFile;
    JOCTET* m_pBuffer;
    bool m_bStartOfFile = false;
};

// libjpeg's standard error manager whose error exit formats the message into the picture's
// last-error text and jumps back to the running decode or encode.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char* message;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    snprintf(manager->message, kLastErrorSize, "%s", text);
    longjmp(manager->jump, 1);
}

// Plain data only: the functions that call setjmp hold nothing with a destructor.
struct JpegDecodeState {
    jpeg_decompress_struct cinfo;
    JpegErrorManager error;
};

struct JpegEncodeState {
    jpeg_compress_struct cinfo;
    JpegErrorManager error;
};

// libjpeg 6b's choice for a numerator of 1: denominators 2 and 3 give one half, 4 to 7 one
// quarter, 8 and above one eighth. Later libraries scale by n/8 steps, so the request is
// rounded down to the power of two first.
unsigned ScaleDenominator(BYTE requested)
{
    if (requested >= 8)
        return 8;
    if (requested >= 4)
        return 4;
    if (requested >= 2)
        return 2;
    return 1;
}

// An EXIF resolution, truncated to whole dots per inch, when the bitmap header's pixels per
// metre can hold it; absurd values (a corrupt or hostile tag) leave the resolution as it was.
bool UsableDpi(double value, long& dpi)
{
    constexpr double kMaxDpi = 54000000.0;  // 2^31 pixels per metre
    if (!(value >= -kMaxDpi && value <= kMaxDpi))
        return false;
    dpi = static_cast<long>(value);
    return true;
}

// Refuses, before any pixel memory, a frame no canvas can hold and one whose data is far too
// small for it. `dataBytes` is what the stream holds from the start of the file, or -1.
bool FrameIsAcceptable(CPictureJPG& pic, const jpeg_decompress_struct& cinfo, int64_t dataBytes)
{
    const uint64_t outputPixels = uint64_t{cinfo.output_width} * cinfo.output_height;
    if (outputPixels > static_cast<uint64_t>(kMaxBitmapPixels))
        return pic.Fail(kFrameTooLarge);
    const uint64_t framePixels = uint64_t{cinfo.image_width} * cinfo.image_height;
    if (!cinfo.arith_code && dataBytes >= 0 && framePixels > static_cast<uint64_t>(dataBytes) * kHuffmanPixelsPerByte)
        return pic.Fail(kFrameBeyondData);
    return true;
}

bool ReadJpeg(CPictureJPG& pic, JpegDecodeState& state, CStreamJpg& source, bool foundExif, int64_t dataBytes)
{
    jpeg_decompress_struct& cinfo = state.cinfo;
    cinfo.err = jpeg_std_error(&state.error.pub);
    state.error.pub.error_exit = ErrorExit;
    state.error.message = pic.info.szLastError;
    if (setjmp(state.error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxLibjpegMemory;
    source.AttachSource(&cinfo);
    jpeg_read_header(&cinfo, TRUE);

    const DWORD options = pic.info.dwCodecOption;
    if (options & JPG_OPTION_DECODE_GRAYSCALE)
        cinfo.out_color_space = JCS_GRAYSCALE;
    const bool quantize = (options & JPG_OPTION_QUANTIZE) != 0;
    if (quantize) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = pic.info.nQuality;
    }
    if (options & JPG_OPTION_DITHER)
        cinfo.dither_mode = static_cast<J_DITHER_MODE>(pic.m_nDither);
    if (options & JPG_OPTION_ONE_PASS_QUANTIZE)
        cinfo.two_pass_quantize = FALSE;
    if (options & JPG_OPTION_NO_FANCY_UPSAMPLING)
        cinfo.do_fancy_upsampling = FALSE;
    cinfo.scale_num = 1;
    cinfo.scale_denom = ScaleDenominator(pic.info.nJpegScale);

    // Colour rows come out blue, green, red straight into the picture's rows.
    const bool directBgr = cinfo.out_color_space == JCS_RGB && !quantize;
    if (directBgr)
        cinfo.out_color_space = JCS_EXT_BGR;

    jpeg_calc_output_dimensions(&cinfo);
    if (pic.info.nEscape == -1) {
        pic.head.biWidth = static_cast<LONG>(cinfo.output_width);
        pic.head.biHeight = static_cast<LONG>(cinfo.output_height);
        jpeg_destroy_decompress(&cinfo);
        return true;
    }

    // The frame is checked and the picture made before libjpeg allocates its own buffers, so
    // an oversized frame is refused before it costs memory.
    if (!FrameIsAcceptable(pic, cinfo, dataBytes)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const DWORD width = cinfo.output_width;
    const DWORD height = cinfo.output_height;
    const int components = cinfo.output_components;
    if (!pic.Create(width, height, 8 * static_cast<DWORD>(components), PICTURE_FORMAT_JPG)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    jpeg_start_decompress(&cinfo);

    const EXIFINFO& exif = pic.m_exifinfo;
    if (foundExif) {
        long dpi = 0;
        if (exif.Xresolution != 0 && exif.ResolutionUnit != 0 && UsableDpi(exif.Xresolution / exif.ResolutionUnit, dpi))
            pic.SetXDPI(dpi);
        if (exif.Yresolution != 0 && exif.ResolutionUnit != 0 && UsableDpi(exif.Yresolution / exif.ResolutionUnit, dpi))
            pic.SetYDPI(dpi);
    } else if (cinfo.density_unit == 2) {
        pic.SetXDPI(static_cast<long>(std::floor(cinfo.X_density * 2.54 + 0.5)));
        pic.SetYDPI(static_cast<long>(std::floor(cinfo.Y_density * 2.54 + 0.5)));
    } else {
        pic.SetXDPI(cinfo.X_density);
        pic.SetYDPI(cinfo.Y_density);
    }

    if (quantize && cinfo.colormap) {
        // libjpeg's colour map has actual_number_of_colors entries, every pixel index
        // below it; the rest of the 256-entry palette stays black.
        const int mapColors = cinfo.actual_number_of_colors;
        for (int i = 0; i < mapColors && i < 256; ++i) {
            const BYTE red = cinfo.colormap[0][i];
            const BYTE green = cinfo.out_color_components > 1 ? cinfo.colormap[1][i] : red;
            const BYTE blue = cinfo.out_color_components > 2 ? cinfo.colormap[2][i] : red;
            pic.SetPaletteColor(static_cast<BYTE>(i), red, green, blue);
        }
    } else if (cinfo.out_color_space == JCS_GRAYSCALE) {
        pic.SetGrayPalette();
    }

    JSAMPARRAY sampleRow = nullptr;
    const bool direct = directBgr || components == 1;
    if (!direct)
        sampleRow = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               width * static_cast<JDIMENSION>(components), 1);

    const DWORD effWidth = pic.GetEffWidth();
    while (cinfo.output_scanline < cinfo.output_height) {
        if (pic.info.nEscape != 0) {
            pic.Fail(kCancelledMessage);
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
        BYTE* target = pic.GetBits(height - 1 - cinfo.output_scanline);
        if (direct) {
            // Up to one row group at a time straight into the picture (bottom-up rows).
            JSAMPROW rowPointers[kRowsPerCall];
            JDIMENSION count = 0;
            while (count < kRowsPerCall && cinfo.output_scanline + count < height) {
                rowPointers[count] = pic.GetBits(height - 1 - (cinfo.output_scanline + count));
                ++count;
            }
            if (jpeg_read_scanlines(&cinfo, rowPointers, count) == 0)
                ERREXIT(&cinfo, JERR_INPUT_EOF);
            continue;
        }
        if (jpeg_read_scanlines(&cinfo, sampleRow, 1) != 1)
            ERREXIT(&cinfo, JERR_INPUT_EOF);
        const BYTE* samples = sampleRow[0];
        if (components == 4) {
            // Inverted CMYK (or YCCK converted by libjpeg): each ink sample times the black
            // sample gives the red, green and blue level.
            for (DWORD x = 0; x < width && 3 * x + 2 < effWidth; ++x) {
                const unsigned black = samples[4 * x + 3];
                target[3 * x] = static_cast<BYTE>(black * samples[4 * x + 2] / 255);
                target[3 * x + 1] = static_cast<BYTE>(black * samples[4 * x + 1] / 255);
                target[3 * x + 2] = static_cast<BYTE>(black * samples[4 * x] / 255);
            }
        } else {
            memcpy(target, samples, std::min<size_t>(effWidth, static_cast<size_t>(width) * components));
        }
    }

    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool WriteJpeg(CPictureJPG& pic, JpegEncodeState& state, CStreamJpg& destination)
{
    jpeg_compress_struct& cinfo = state.cinfo;
    cinfo.err = jpeg_std_error(&state.error.pub);
    state.error.pub.error_exit = ErrorExit;
    state.error.message = pic.info.szLastError;
    if (setjmp(state.error.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }

    jpeg_create_compress(&cinfo);
    destination.AttachDestination(&cinfo);
    const DWORD height = pic.GetHeight();
    const bool grey = pic.IsGrayScale();
    cinfo.image_width = pic.GetWidth();
    cinfo.image_height = height;
    cinfo.input_components = grey ? 1 : 3;
    // The picture's rows go to libjpeg as they are: blue, green, red or grey levels.
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;

    jpeg_set_defaults(&cinfo);
    const DWORD options = pic.info.dwCodecOption;
    if (options & JPG_OPTION_ENCODE_GRAYSCALE)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    if (options & JPG_OPTION_SMOOTHING)
        cinfo.smoothing_factor = pic.m_nSmoothing;
    jpeg_set_quality(&cinfo, pic.info.nQuality, (options & JPG_OPTION_FORCE_BASELINE) ? TRUE : FALSE);

    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(pic.info.xDPI & 0xFFFF);
    cinfo.Y_density = static_cast<UINT16>(pic.info.yDPI & 0xFFFF);

    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rowPointers[kRowsPerCall];
        JDIMENSION count = 0;
        while (count < kRowsPerCall && cinfo.next_scanline + count < height) {
            rowPointers[count] = pic.GetBits(height - 1 - (cinfo.next_scanline + count));
            ++count;
        }
        if (jpeg_write_scanlines(&cinfo, rowPointers, count) == 0)
            ERREXIT(&cinfo, JERR_FILE_WRITE);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

CPictureJPG::CPictureJPG() : CPicture(PICTURE_FORMAT_JPG)
{
    memset(&m_exifinfo, 0, sizeof m_exifinfo);
}

bool CPictureJPG::DecodeExif(CStream* hFile)
{
    const int32_t position = hFile->Tell();
    {
        CExifReader reader(&m_exifinfo);
        reader.DecodeExif(hFile);
    }
    // The thumbnail lived in a section the reader has freed.
    m_exifinfo.ThumbnailPointer = nullptr;
    hFile->Seek(position, 0);
    return m_exifinfo.IsExif;
}

bool CPictureJPG::Decode(CStream* hFile)
{
    if (!hFile)
        return Fail(kNullFileHandlerMessage);
    const int32_t start = hFile->Tell();
    const int32_t size = hFile->Size();
    const int64_t dataBytes = start >= 0 && size >= 0 ? std::max<int64_t>(0, int64_t{size} - start) : -1;
    const bool foundExif = DecodeExif(hFile);
    CStreamJpg source(hFile);
    if (!source.IsValid())
        return Fail(kCreateNoMemoryMessage);
    JpegDecodeState state;
    memset(&state, 0, sizeof state);
    return ReadJpeg(*this, state, source, foundExif, dataBytes);
}

bool CPictureJPG::Encode(CStream* hFile)
{
    if (EncodeSafeCheck(hFile))
        return false;
    if (GetNumColors() != 0 && !IsGrayScale())
        return Fail(kOnlyRgbOrGrey);
    CStreamJpg destination(hFile);
    if (!destination.IsValid())
        return Fail(kCreateNoMemoryMessage);
    JpegEncodeState state;
    memset(&state, 0, sizeof state);
    return WriteJpeg(*this, state, destination);
}
