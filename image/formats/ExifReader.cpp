// Reader of a JPEG file's marker sections that collects EXIF camera data and resolution.
#include "image/formats/ExifReader.h"

#include "image/Stream.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kTooManySections[] = "Too many sections in jpg file";
constexpr char kInvalidMarker[] = "invalid marker";
constexpr char kNoMemory[] = "Could not allocate memory";
constexpr char kPrematureEnd[] = "Premature end of file?";
constexpr char kIncorrectHeader[] = "Incorrect Exif header";
constexpr char kInvalidAlignment[] = "Invalid Exif alignment marker.";
constexpr char kInvalidStart[] = "Invalid Exif start (1)";
constexpr char kIllegalDirSize[] = "Illegally sized directory";
constexpr char kIllegalFormat[] = "Illegal format code in EXIF dir";
constexpr char kIllegalPointer[] = "Illegal pointer offset value in EXIF.";
constexpr char kIllegalSubdir[] = "Illegal subdirectory link";
constexpr char kUndefinedRotation[] = "Undefined rotation value";

// JPEG markers (ITU-T T.81, table B.1).
constexpr int M_SOS = 0xDA;
constexpr int M_EOI = 0xD9;
constexpr int M_JFIF = 0xE0;
constexpr int M_EXIF = 0xE1;
constexpr int M_COM = 0xFE;

// TIFF field types 1 to 12 (TIFF 6.0, section 2) and their sizes.
constexpr int kFormatBytes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
constexpr int FMT_BYTE = 1;
constexpr int FMT_USHORT = 3;
constexpr int FMT_ULONG = 4;
constexpr int FMT_URATIONAL = 5;
constexpr int FMT_SBYTE = 6;
constexpr int FMT_SSHORT = 8;
constexpr int FMT_SLONG = 9;
constexpr int FMT_SRATIONAL = 10;
constexpr int FMT_SINGLE = 11;
constexpr int FMT_DOUBLE = 12;

// EXIF 2.2 tags.
constexpr uint32_t TAG_MAKE = 0x010F;
constexpr uint32_t TAG_MODEL = 0x0110;
constexpr uint32_t TAG_ORIENTATION = 0x0112;
constexpr uint32_t TAG_XRESOLUTION = 0x011A;
constexpr uint32_t TAG_YRESOLUTION = 0x011B;
constexpr uint32_t TAG_RESOLUTIONUNIT = 0x0128;
constexpr uint32_t TAG_THUMBNAIL_OFFSET = 0x0201;
constexpr uint32_t TAG_THUMBNAIL_LENGTH = 0x0202;
constexpr uint32_t TAG_EXPOSURETIME = 0x829A;
constexpr uint32_t TAG_FNUMBER = 0x829D;
constexpr uint32_t TAG_EXIF_OFFSET = 0x8769;
constexpr uint32_t TAG_EXPOSURE_PROGRAM = 0x8822;
constexpr uint32_t TAG_ISO_EQUIVALENT = 0x8827;
constexpr uint32_t TAG_EXIF_VERSION = 0x9000;
constexpr uint32_t TAG_DATETIME_ORIGINAL = 0x9003;
constexpr uint32_t TAG_COMPRESSION_LEVEL = 0x9102;
constexpr uint32_t TAG_SHUTTERSPEED = 0x9201;
constexpr uint32_t TAG_APERTURE = 0x9202;
constexpr uint32_t TAG_BRIGHTNESS = 0x9203;
constexpr uint32_t TAG_EXPOSURE_BIAS = 0x9204;
constexpr uint32_t TAG_MAXAPERTURE = 0x9205;
constexpr uint32_t TAG_SUBJECT_DISTANCE = 0x9206;
constexpr uint32_t TAG_METERING_MODE = 0x9207;
constexpr uint32_t TAG_WHITEBALANCE = 0x9208;
constexpr uint32_t TAG_FLASH = 0x9209;
constexpr uint32_t TAG_FOCALLENGTH = 0x920A;
constexpr uint32_t TAG_USERCOMMENT = 0x9286;
constexpr uint32_t TAG_EXIF_IMAGEWIDTH = 0xA002;
constexpr uint32_t TAG_EXIF_IMAGELENGTH = 0xA003;
constexpr uint32_t TAG_INTEROP_OFFSET = 0xA005;
constexpr uint32_t TAG_FOCALPLANEXRES = 0xA20E;
constexpr uint32_t TAG_FOCALPLANEYRES = 0xA20F;
constexpr uint32_t TAG_FOCALPLANEUNITS = 0xA210;

// Copies at most maxChars characters of a value of byteCount bytes, stopping at a NUL.
void CopyText(char* target, size_t maxChars, const BYTE* value, uint64_t byteCount)
{
    size_t n = 0;
    while (n < maxChars && n < byteCount && value[n] != 0) {
        target[n] = static_cast<char>(value[n]);
        ++n;
    }
    target[n] = 0;
}

// Maps a TIFF resolution unit to the factor that turns a resolution into dots per inch.
bool UnitFactor(int unit, float& factor)
{
    switch (unit) {
    case 1:
    case 2:
        factor = 1.0f;
        return true;
    case 3:
        factor = 0.3937f;
        return true;
    case 4:
        factor = 0.03937f;
        return true;
    case 5:
        factor = 0.00003937f;
        return true;
    default:
        return false;
    }
}

// Whole-number tags saturate instead of overflowing the field (NaN reads as 0).
int32_t ToInt32(double value)
{
    if (!(value == value))
        return 0;
    return static_cast<int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

uint32_t ToUInt32(double value)
{
    if (!(value > 0))
        return 0;
    return static_cast<uint32_t>(std::min(value, 4294967295.0));
}

bool IsStartOfFrame(int marker)
{
    return (marker >= 0xC0 && marker <= 0xC3) || (marker >= 0xC5 && marker <= 0xC7) ||
           (marker >= 0xC9 && marker <= 0xCB) || (marker >= 0xCD && marker <= 0xCF);
}

}  // namespace

CExifReader::CExifReader(EXIFINFO* info) : m_exifinfo(info), m_bOwnsInfo(info == nullptr)
{
    if (!m_exifinfo)
        m_exifinfo = static_cast<EXIFINFO*>(malloc(sizeof(EXIFINFO)));
    if (m_exifinfo)
        memset(m_exifinfo, 0, sizeof(EXIFINFO));
    m_szLastError[0] = 0;
}

CExifReader::~CExifReader()
{
    for (int i = 0; i < SectionsRead; ++i)
        free(Sections[i].Data);
    if (m_bOwnsInfo)
        free(m_exifinfo);
}

bool CExifReader::Fail(const char* message)
{
    snprintf(m_szLastError, sizeof m_szLastError, "%s", message);
    return false;
}

void CExifReader::DropLastSection()
{
    --SectionsRead;
    free(Sections[SectionsRead].Data);
    Sections[SectionsRead] = Section{};
}

bool CExifReader::DecodeExif(CStream* hFile)
{
    if (!hFile || !m_exifinfo)
        return false;
    if (hFile->GetC() != 0xFF || hFile->GetC() != 0xD8)
        return false;

    for (;;) {
        if (SectionsRead >= MAX_SECTIONS)
            return Fail(kTooManySections);

        int marker = 0;
        for (int a = 0; a < 7; ++a) {
            marker = hFile->GetC();
            if (marker != 0xFF)
                break;
            if (a >= 6) {
                printf("too many padding bytes\n");
                return false;
            }
        }
        if (marker < 0)
            return Fail(kPrematureEnd);

        const int lengthHigh = hFile->GetC();
        const int lengthLow = hFile->GetC();
        if (lengthHigh < 0 || lengthLow < 0)
            return Fail(kPrematureEnd);
        const uint32_t length = (static_cast<uint32_t>(lengthHigh) << 8) | static_cast<uint32_t>(lengthLow);
        if (length < 2)
            return Fail(kInvalidMarker);

        BYTE* data = static_cast<BYTE*>(malloc(length));
        if (!data)
            return Fail(kNoMemory);
        data[0] = static_cast<BYTE>(lengthHigh);
        data[1] = static_cast<BYTE>(lengthLow);
        if (hFile->Read(data + 2, 1, length - 2) != length - 2) {
            free(data);
            return Fail(kPrematureEnd);
        }
        Sections[SectionsRead].Data = data;
        Sections[SectionsRead].Type = marker;
        Sections[SectionsRead].Size = length;
        ++SectionsRead;

        switch (marker) {
        case M_SOS:
            return true;
        case M_EOI:
            printf("No image in jpeg!\n");
            return false;
        case M_JFIF:
            DropLastSection();
            break;
        case M_EXIF:
            if (length >= 6 && memcmp(data + 2, "Exif", 4) == 0)
                m_exifinfo->IsExif = ProcessExif(data + 2, length - 2);
            else
                DropLastSection();
            break;
        case M_COM:
            if (m_bHaveComment) {
                DropLastSection();
            } else {
                ProcessComment(data, length);
                m_bHaveComment = true;
            }
            break;
        default:
            if (IsStartOfFrame(marker))
                ProcessSof(data, length, marker);
            break;
        }
    }
}

void CExifReader::ProcessComment(const BYTE* data, uint32_t length)
{
    const uint32_t end = std::min<uint32_t>(length, MAX_COMMENT);
    size_t count = 0;
    for (uint32_t a = 2; a < end; ++a) {
        const BYTE ch = data[a];
        // A carriage return directly followed by a line feed is left out.
        if (ch == '\r' && a + 1 < length && data[a + 1] == '\n')
            continue;
        m_exifinfo->Comments[count++] = (isprint(ch) || ch == '\n' || ch == '\t') ? static_cast<char>(ch) : '?';
    }
    m_exifinfo->Comments[count] = 0;
}

void CExifReader::ProcessSof(const BYTE* data, uint32_t length, int marker)
{
    // Frame header (T.81, B.2.2): length, precision, height, width, component count.
    if (length < 8)
        return;
    m_exifinfo->Height = static_cast<int32_t>((data[3] << 8) | data[4]);
    m_exifinfo->Width = static_cast<int32_t>((data[5] << 8) | data[6]);
    m_exifinfo->IsColor = data[7] == 3 ? 1 : 0;
    m_exifinfo->Process = marker;
}

uint32_t CExifReader::Get16u(const BYTE* p) const
{
    return MotorolaOrder ? (static_cast<uint32_t>(p[0]) << 8) | p[1] : (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

uint32_t CExifReader::Get32u(const BYTE* p) const
{
    if (MotorolaOrder)
        return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
               (static_cast<uint32_t>(p[2]) << 8) | p[3];
    return (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

int32_t CExifReader::Get32s(const BYTE* p) const
{
    return static_cast<int32_t>(Get32u(p));
}

double CExifReader::ConvertAnyFormat(const BYTE* value, int format) const
{
    switch (format) {
    case FMT_SBYTE:
        return static_cast<int8_t>(value[0]);
    case FMT_BYTE:
        return value[0];
    case FMT_USHORT:
        return Get16u(value);
    case FMT_ULONG:
        return Get32u(value);
    case FMT_URATIONAL:
    case FMT_SRATIONAL: {
        double numerator;
        double denominator;
        if (format == FMT_SRATIONAL) {
            numerator = Get32s(value);
            denominator = Get32s(value + 4);
        } else {
            numerator = Get32u(value);
            denominator = Get32u(value + 4);
        }
        return denominator == 0 ? 0 : numerator / denominator;
    }
    case FMT_SSHORT:
        return static_cast<int16_t>(Get16u(value));
    case FMT_SLONG:
        return Get32s(value);
    case FMT_SINGLE: {
        const uint32_t bits = Get32u(value);
        float result;
        memcpy(&result, &bits, sizeof result);
        return result;
    }
    case FMT_DOUBLE: {
        const uint64_t bits = MotorolaOrder ? (static_cast<uint64_t>(Get32u(value)) << 32) | Get32u(value + 4)
                                            : (static_cast<uint64_t>(Get32u(value + 4)) << 32) | Get32u(value);
        double result;
        memcpy(&result, &bits, sizeof result);
        return result;
    }
    default:
        return 0;
    }
}

bool CExifReader::ProcessExif(const BYTE* block, uint32_t length)
{
    m_exifinfo->FlashUsed = 0;
    m_exifinfo->Comments[0] = 0;
    ExifImageWidth = 0;
    m_DirectoriesWalked = 0;

    // TIFF header after "Exif\0\0" (EXIF 2.2, section 4.5.2): byte order, 42, first IFD offset.
    if (length < 6 || memcmp(block, "Exif\0\0", 6) != 0)
        return Fail(kIncorrectHeader);
    if (length < 14)
        return Fail(kInvalidAlignment);
    if (block[6] == 'I' && block[7] == 'I')
        MotorolaOrder = false;
    else if (block[6] == 'M' && block[7] == 'M')
        MotorolaOrder = true;
    else
        return Fail(kInvalidAlignment);
    if (Get16u(block + 8) != 42)
        return Fail(kInvalidStart);

    const uint32_t firstOffset = Get32u(block + 10);
    const BYTE* offsetBase = block + 6;
    const uint32_t exifLength = length - 6;

    if (!ProcessExifDir(8, offsetBase, exifLength, 0))
        return false;
    if (firstOffset > 8 && !ProcessExifDir(firstOffset, offsetBase, exifLength, 0))
        return false;

    if (m_exifinfo->FocalplaneXRes != 0)
        m_exifinfo->CCDWidth =
            static_cast<float>(ExifImageWidth * m_exifinfo->FocalplaneUnits / m_exifinfo->FocalplaneXRes);
    return true;
}

bool CExifReader::ProcessExifDir(uint32_t dirOffset, const BYTE* offsetBase, uint32_t exifLength, int depth)
{
    if (depth >= kMaxDirectoryDepth || m_DirectoriesWalked >= kMaxDirectories)
        return true;
    ++m_DirectoriesWalked;

    if (static_cast<uint64_t>(dirOffset) + 2 > exifLength)
        return Fail(kIllegalDirSize);
    const BYTE* dirStart = offsetBase + dirOffset;
    const uint32_t entries = Get16u(dirStart);
    const uint64_t dirEnd = static_cast<uint64_t>(dirOffset) + 2 + 12ull * entries;
    if (dirEnd > exifLength)
        return Fail(kIllegalDirSize);

    uint32_t thumbnailOffset = 0;
    uint32_t thumbnailSize = 0;
    EXIFINFO& exif = *m_exifinfo;

    for (uint32_t de = 0; de < entries; ++de) {
        const BYTE* entry = dirStart + 2 + 12 * de;
        const uint32_t tag = Get16u(entry);
        const uint32_t format = Get16u(entry + 2);
        const uint32_t components = Get32u(entry + 4);
        if (format < 1 || format > 12)
            return Fail(kIllegalFormat);

        const uint64_t byteCount = static_cast<uint64_t>(components) * kFormatBytes[format];
        const BYTE* value;
        if (byteCount > 4) {
            const uint32_t offsetVal = Get32u(entry + 8);
            if (offsetVal + byteCount > exifLength)
                return Fail(kIllegalPointer);
            value = offsetBase + offsetVal;
        } else {
            value = entry + 8;
        }
        // A count of 0 holds no value to convert.
        const double number = components > 0 ? ConvertAnyFormat(value, static_cast<int>(format)) : 0;

        switch (tag) {
        case TAG_MAKE:
            CopyText(exif.CameraMake, 31, value, byteCount);
            break;
        case TAG_MODEL:
            CopyText(exif.CameraModel, 39, value, byteCount);
            break;
        case TAG_ORIENTATION:
            exif.Orientation = ToInt32(number);
            if (exif.Orientation < 1 || exif.Orientation > 8) {
                snprintf(m_szLastError, sizeof m_szLastError, "%s", kUndefinedRotation);
                exif.Orientation = 0;
            }
            break;
        case TAG_XRESOLUTION:
            exif.Xresolution = static_cast<float>(number);
            break;
        case TAG_YRESOLUTION:
            exif.Yresolution = static_cast<float>(number);
            break;
        case TAG_RESOLUTIONUNIT:
            UnitFactor(ToInt32(number), exif.ResolutionUnit);
            break;
        case TAG_THUMBNAIL_OFFSET:
            thumbnailOffset = ToUInt32(number);
            break;
        case TAG_THUMBNAIL_LENGTH:
            thumbnailSize = ToUInt32(number);
            break;
        case TAG_EXPOSURETIME:
            exif.ExposureTime = static_cast<float>(number);
            break;
        case TAG_FNUMBER:
            exif.ApertureFNumber = static_cast<float>(number);
            break;
        case TAG_EXPOSURE_PROGRAM:
            exif.ExposureProgram = ToInt32(number);
            break;
        case TAG_ISO_EQUIVALENT:
            exif.ISOequivalent = ToInt32(number);
            if (exif.ISOequivalent < 50)
                exif.ISOequivalent = ToInt32(exif.ISOequivalent * 200.0);
            break;
        case TAG_EXIF_VERSION:
            CopyText(exif.Version, 4, value, byteCount);
            break;
        case TAG_DATETIME_ORIGINAL:
            CopyText(exif.DateTime, 19, value, byteCount);
            break;
        case TAG_COMPRESSION_LEVEL:
            exif.CompressionLevel = ToInt32(number);
            break;
        case TAG_SHUTTERSPEED:
            if (exif.ExposureTime == 0)
                exif.ExposureTime = static_cast<float>(1.0 / std::exp(number * std::log(2.0)));
            break;
        case TAG_APERTURE:
        case TAG_MAXAPERTURE:
            if (exif.ApertureFNumber == 0)
                exif.ApertureFNumber = static_cast<float>(std::exp(number * std::log(2.0) * 0.5));
            break;
        case TAG_BRIGHTNESS:
            exif.Brightness = static_cast<float>(number);
            break;
        case TAG_EXPOSURE_BIAS:
            exif.ExposureBias = static_cast<float>(number);
            break;
        case TAG_SUBJECT_DISTANCE:
            exif.Distance = static_cast<float>(number);
            break;
        case TAG_METERING_MODE:
            exif.MeteringMode = ToInt32(number);
            break;
        case TAG_WHITEBALANCE:
            exif.Whitebalance = ToInt32(number);
            break;
        case TAG_FLASH:
            exif.FlashUsed = (ToInt32(number) & 7) ? 1 : 0;
            break;
        case TAG_FOCALLENGTH:
            exif.FocalLength = static_cast<float>(number);
            break;
        case TAG_USERCOMMENT: {
            // Trailing spaces are cut; an "ASCII" character-code prefix and the padding
            // after it are skipped.
            uint64_t textLength = byteCount;
            while (textLength > 0 && value[textLength - 1] == ' ')
                --textLength;
            const BYTE* text = value;
            uint64_t textSize = textLength;
            bool copy = true;
            if (textLength >= 5 && memcmp(value, "ASCII", 5) == 0) {
                copy = false;
                for (uint64_t a = 5; a < 10 && a < textLength; ++a) {
                    if (value[a] != 0 && value[a] != ' ') {
                        text = value + a;
                        textSize = textLength - a;
                        copy = true;
                        break;
                    }
                }
            }
            if (copy)
                CopyText(exif.Comments, 199, text, textSize);
            break;
        }
        case TAG_EXIF_IMAGEWIDTH:
        case TAG_EXIF_IMAGELENGTH: {
            const int32_t dimension = ToInt32(number);
            if (ExifImageWidth < dimension)
                ExifImageWidth = dimension;
            break;
        }
        case TAG_FOCALPLANEXRES:
            exif.FocalplaneXRes = static_cast<float>(number);
            break;
        case TAG_FOCALPLANEYRES:
            exif.FocalplaneYRes = static_cast<float>(number);
            break;
        case TAG_FOCALPLANEUNITS:
            UnitFactor(ToInt32(number), exif.FocalplaneUnits);
            break;
        case TAG_EXIF_OFFSET:
        case TAG_INTEROP_OFFSET: {
            if (byteCount < 4)
                break;
            const uint32_t subdirOffset = Get32u(value);
            if (subdirOffset >= exifLength)
                return Fail(kIllegalSubdir);
            ProcessExifDir(subdirOffset, offsetBase, exifLength, depth + 1);
            break;
        }
        default:
            break;
        }
    }

    // The link to a following directory sits right after the last entry; only its first
    // two bytes are read, as a 16-bit value.
    if (dirEnd + 2 <= exifLength) {
        const uint32_t link = Get16u(offsetBase + dirEnd);
        if (link != 0) {
            if (link >= exifLength)
                return Fail(kIllegalSubdir);
            ProcessExifDir(link, offsetBase, exifLength, depth + 1);
        }
    }

    if (thumbnailOffset != 0 && thumbnailSize != 0 &&
        static_cast<uint64_t>(thumbnailOffset) + thumbnailSize <= exifLength) {
        exif.ThumbnailPointer = offsetBase + thumbnailOffset;
        exif.ThumbnailSize = thumbnailSize;
    }
    return true;
}
