// EXIF section reader: marker scan, the tags taken, both byte orders, and every bound check.
#include "image/MemStream.h"
#include "image/formats/ExifReader.h"
#include "tests/TestData.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Builds a TIFF-structured EXIF block ("Exif\0\0" + TIFF header + directories) in either
// byte order. Offsets are relative to the TIFF header, as in the files.
class ExifBuilder {
public:
    explicit ExifBuilder(bool motorola) : m_Motorola(motorola)
    {
        m_Tiff = {static_cast<uint8_t>(motorola ? 'M' : 'I'), static_cast<uint8_t>(motorola ? 'M' : 'I')};
        Put16(m_Tiff, 42);
        Put32(m_Tiff, 8);
    }

    struct Entry {
        uint16_t tag;
        uint16_t format;
        uint32_t count;
        Bytes value;  // stored inline when 4 bytes or fewer, else appended to the data area
    };

    Bytes Short(uint16_t v) const
    {
        Bytes b;
        Put16(b, v);
        return b;
    }
    Bytes Long(uint32_t v) const
    {
        Bytes b;
        Put32(b, v);
        return b;
    }
    Bytes Rational(uint32_t n, uint32_t d) const
    {
        Bytes b;
        Put32(b, n);
        Put32(b, d);
        return b;
    }

    // Appends one directory at the current end; answers its offset. Data of long values
    // follows the directory.
    uint32_t AddDirectory(const std::vector<Entry>& entries, uint32_t link = 0)
    {
        const uint32_t start = static_cast<uint32_t>(m_Tiff.size());
        uint32_t data = start + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
        Bytes dir;
        Bytes area;
        Put16(dir, static_cast<uint16_t>(entries.size()));
        for (const Entry& e : entries) {
            Put16(dir, e.tag);
            Put16(dir, e.format);
            Put32(dir, e.count);
            if (e.value.size() <= 4) {
                Bytes inlineValue = e.value;
                inlineValue.resize(4, 0);
                dir.insert(dir.end(), inlineValue.begin(), inlineValue.end());
            } else {
                Put32(dir, data + static_cast<uint32_t>(area.size()));
                area.insert(area.end(), e.value.begin(), e.value.end());
            }
        }
        Put32(dir, link);
        m_Tiff.insert(m_Tiff.end(), dir.begin(), dir.end());
        m_Tiff.insert(m_Tiff.end(), area.begin(), area.end());
        return start;
    }

    Bytes& Tiff() { return m_Tiff; }

    Bytes Block() const
    {
        Bytes block = {'E', 'x', 'i', 'f', 0, 0};
        block.insert(block.end(), m_Tiff.begin(), m_Tiff.end());
        return block;
    }

    void Put16(Bytes& b, uint32_t v) const
    {
        if (m_Motorola)
            b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
        else
            b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
    }
    void Put32(Bytes& b, uint32_t v) const
    {
        if (m_Motorola)
            b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        else
            b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }

private:
    bool m_Motorola;
    Bytes m_Tiff;
};

// The literal's bytes, embedded zeros included, without the terminating zero.
template <size_t N>
Bytes Text(const char (&literal)[N])
{
    return Bytes(literal, literal + N - 1);
}

// SOI, the given sections (marker, payload), a minimal frame header and start of scan.
Bytes JpegWithSections(const std::vector<std::pair<uint8_t, Bytes>>& sections)
{
    Bytes file = {0xFF, 0xD8};
    for (const auto& [marker, payload] : sections) {
        const size_t length = payload.size() + 2;
        file.insert(file.end(), {0xFF, marker, uint8_t(length >> 8), uint8_t(length)});
        file.insert(file.end(), payload.begin(), payload.end());
    }
    file.insert(file.end(), {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x01, 0x2C, 0x02, 0x80, 0x01, 0x01, 0x11, 0x00});
    file.insert(file.end(), {0xFF, 0xDA, 0x00, 0x02});
    return file;
}

struct Scan {
    EXIFINFO info;
    bool result;
    std::string error;
};

Scan Read(const Bytes& file)
{
    Scan scan{};
    CMemStream stream(const_cast<uint8_t*>(file.data()), static_cast<uint32_t>(file.size()));
    CExifReader reader(&scan.info);
    scan.result = reader.DecodeExif(&stream);
    scan.error = reader.GetLastError();
    return scan;
}

std::string ParseError(const Bytes& block)
{
    CExifReader reader;
    EXPECT_FALSE(reader.ProcessExif(block.data(), static_cast<uint32_t>(block.size())));
    return reader.GetLastError();
}

TEST(ExifReader, TakesTheTagsInBothByteOrders)
{
    for (bool motorola : {false, true}) {
        SCOPED_TRACE(motorola ? "MM" : "II");
        ExifBuilder b(motorola);
        const uint32_t exifDirAt = 8 + 2 + 12 * 7 + 4 + 6 + 6 + 8 + 8;  // after IFD0 and its data
        b.AddDirectory({
            {0x010F, 2, 6, Text("Maker\0")},
            {0x0110, 2, 6, Text("Model\0")},
            {0x0112, 3, 1, b.Short(6)},
            {0x011A, 5, 1, b.Rational(300, 1)},
            {0x011B, 5, 1, b.Rational(150, 2)},
            {0x0128, 3, 1, b.Short(3)},
            {0x8769, 4, 1, b.Long(exifDirAt)},
        });
        ASSERT_EQ(b.Tiff().size(), exifDirAt);
        b.AddDirectory({
            {0x829D, 5, 1, b.Rational(28, 10)},
            {0x9202, 5, 1, b.Rational(4, 1)},   // ignored: FNumber already set
            {0x9201, 10, 1, b.Rational(7, 1)},  // exposure 1 / 2^7
            {0x8827, 3, 1, b.Short(2)},         // below 50: times 200
            {0x9000, 7, 4, Text("0220")},
            {0x9003, 2, 20, Text("2026:12:10 01:02:03\0")},
            {0x9209, 3, 1, b.Short(0x19)},
            {0x920A, 5, 1, b.Rational(50, 1)},
            {0x9286, 7, 16, Text("ASCII\0\0\0Hello   ")},
            {0xA002, 4, 1, b.Long(4000)},
            {0xA003, 4, 1, b.Long(3000)},
            {0xA20E, 5, 1, b.Rational(2000, 1)},
            {0xA210, 3, 1, b.Short(2)},
        });
        const Scan scan = Read(JpegWithSections({{0xE1, b.Block()}}));
        EXPECT_TRUE(scan.result) << scan.error;
        const EXIFINFO& e = scan.info;
        EXPECT_TRUE(e.IsExif);
        EXPECT_STREQ(e.CameraMake, "Maker");
        EXPECT_STREQ(e.CameraModel, "Model");
        EXPECT_EQ(e.Orientation, 6);
        EXPECT_FLOAT_EQ(e.Xresolution, 300);
        EXPECT_FLOAT_EQ(e.Yresolution, 75);
        EXPECT_FLOAT_EQ(e.ResolutionUnit, 0.3937f);
        EXPECT_FLOAT_EQ(e.ApertureFNumber, 2.8f);
        EXPECT_FLOAT_EQ(e.ExposureTime, 1.0f / 128);
        EXPECT_EQ(e.ISOequivalent, 400);
        EXPECT_STREQ(e.Version, "0220");
        EXPECT_STREQ(e.DateTime, "2026:12:10 01:02:03");
        EXPECT_EQ(e.FlashUsed, 1);
        EXPECT_FLOAT_EQ(e.FocalLength, 50);
        EXPECT_STREQ(e.Comments, "Hello");
        EXPECT_FLOAT_EQ(e.CCDWidth, 2.0f);  // 4000 pixels * 1 inch / 2000
        // The frame header after the EXIF section.
        EXPECT_EQ(e.Height, 300);
        EXPECT_EQ(e.Width, 640);
        EXPECT_EQ(e.IsColor, 0);
        EXPECT_EQ(e.Process, 0xC0);
    }
}

TEST(ExifReader, OrientationOutOfRangeIsClearedWithAMessage)
{
    ExifBuilder b(false);
    b.AddDirectory({{0x0112, 3, 1, b.Short(9)}, {0x0128, 3, 1, b.Short(2)}});
    const Scan scan = Read(JpegWithSections({{0xE1, b.Block()}}));
    EXPECT_TRUE(scan.info.IsExif);
    EXPECT_EQ(scan.info.Orientation, 0);
    EXPECT_FLOAT_EQ(scan.info.ResolutionUnit, 1.0f);
    EXPECT_EQ(scan.error, "Undefined rotation value");
}

TEST(ExifReader, RejectsMalformedBlocks)
{
    struct Case {
        const char* name;
        Bytes block;
        const char* error;
    };
    std::vector<Case> cases;
    cases.push_back({"signature", Text("Exif\x01\x00IIxxxxxxxx"), "Incorrect Exif header"});
    cases.push_back({"alignment", Bytes{'E', 'x', 'i', 'f', 0, 0, 'X', 'X', 42, 0, 8, 0, 0, 0, 0, 0},
                     "Invalid Exif alignment marker."});
    cases.push_back(
        {"not 42", Bytes{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0}, "Invalid Exif start (1)"});
    {
        ExifBuilder b(false);
        b.Tiff().insert(b.Tiff().end(), {200, 0});  // 200 entries, none present
        cases.push_back({"directory beyond the block", b.Block(), "Illegally sized directory"});
    }
    {
        ExifBuilder b(true);
        b.AddDirectory({{0x010F, 13, 1, b.Long(0)}});
        cases.push_back({"format 13", b.Block(), "Illegal format code in EXIF dir"});
    }
    {
        ExifBuilder b(false);
        b.AddDirectory({{0x010F, 2, 64, b.Long(20)}});
        cases.push_back({"value beyond the block", b.Block(), "Illegal pointer offset value in EXIF."});
    }
    {
        // 0x20000001 rationals of 8 bytes: a byte count that wraps to 8 in 32 bits.
        ExifBuilder b(false);
        b.AddDirectory({{0x011A, 5, 0x20000001, b.Long(8)}});
        cases.push_back({"count that overflows 32 bits", b.Block(), "Illegal pointer offset value in EXIF."});
    }
    {
        ExifBuilder b(false);
        b.AddDirectory({{0x8769, 4, 1, b.Long(5000)}});
        cases.push_back({"sub-directory outside", b.Block(), "Illegal subdirectory link"});
    }
    {
        ExifBuilder b(false);
        b.AddDirectory({{0x0112, 3, 1, b.Short(1)}}, 0x7000);
        cases.push_back({"link outside", b.Block(), "Illegal subdirectory link"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseError(c.block), c.error);
    }
}

// Directories that link to themselves, and sub-directories that name their parent, end at
// the reader's walk limits instead of recursing without end.
// Offsets are checked against the bytes the section really holds: a value that would end
// two bytes past the section is refused, not read.
TEST(ExifReader, ValuesEndingPastTheSectionAreRefused)
{
    ExifBuilder b(true);
    b.AddDirectory({{0x010F, 2, 8, Text("Maker\0\0\0")}});
    b.Tiff().resize(b.Tiff().size() - 2);
    const Scan scan = Read(JpegWithSections({{0xE1, b.Block()}}));
    EXPECT_FALSE(scan.info.IsExif);
    EXPECT_EQ(scan.error, "Illegal pointer offset value in EXIF.");
    EXPECT_STREQ(scan.info.CameraMake, "");
}

TEST(ExifReader, SelfLinkingDirectoriesEnd)
{
    for (uint16_t tag : {uint16_t{0x8769}, uint16_t{0xA005}}) {
        SCOPED_TRACE(tag);
        ExifBuilder b(false);
        // IFD0 at 8: its sub-directory link and its next-directory link both point at itself.
        b.AddDirectory({{tag, 4, 1, b.Long(8)}, {0x011A, 5, 1, b.Rational(72, 1)}}, 8);
        CExifReader reader;
        const Bytes block = b.Block();
        EXPECT_TRUE(reader.ProcessExif(block.data(), static_cast<uint32_t>(block.size())));
        EXPECT_FLOAT_EQ(reader.GetExifInfo()->Xresolution, 72);
    }
}

TEST(ExifReader, ThumbnailPointsIntoTheBlockOnlyWhenInside)
{
    for (uint32_t size : {16u, 4000u}) {
        SCOPED_TRACE(size);
        ExifBuilder b(false);
        b.AddDirectory({{0x0201, 4, 1, b.Long(40)}, {0x0202, 4, 1, b.Long(size)}});
        b.Tiff().resize(80, 0xAB);
        const Bytes block = b.Block();
        CExifReader reader;
        EXPECT_TRUE(reader.ProcessExif(block.data(), static_cast<uint32_t>(block.size())));
        if (size == 16) {
            EXPECT_EQ(reader.GetExifInfo()->ThumbnailPointer, block.data() + 6 + 40);
            EXPECT_EQ(reader.GetExifInfo()->ThumbnailSize, 16u);
        } else {
            EXPECT_EQ(reader.GetExifInfo()->ThumbnailPointer, nullptr);
        }
    }
}

TEST(ExifReader, SectionScanLimitsAndErrors)
{
    std::vector<std::pair<uint8_t, Bytes>> many(30, {0xE2, Bytes{0, 0}});
    const Scan tooMany = Read(JpegWithSections(many));
    EXPECT_FALSE(tooMany.result);
    EXPECT_EQ(tooMany.error, "Too many sections in jpg file");

    const Scan invalid = Read(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01});
    EXPECT_FALSE(invalid.result);
    EXPECT_EQ(invalid.error, "invalid marker");

    const Scan shortSection = Read(Bytes{0xFF, 0xD8, 0xFF, 0xE2, 0x00, 0x10, 1, 2, 3});
    EXPECT_FALSE(shortSection.result);
    EXPECT_EQ(shortSection.error, "Premature end of file?");

    const Scan notJpeg = Read(Bytes{0x89, 'P', 'N', 'G'});
    EXPECT_FALSE(notJpeg.result);
    EXPECT_EQ(notJpeg.error, "");

    Bytes padded = {0xFF, 0xD8};
    padded.insert(padded.end(), 7, 0xFF);
    padded.insert(padded.end(), {0xE0, 0x00, 0x02});
    EXPECT_FALSE(Read(padded).result);

    const Scan noImage = Read(Bytes{0xFF, 0xD8, 0xFF, 0xD9, 0x00, 0x02});
    EXPECT_FALSE(noImage.result);
}

TEST(ExifReader, FirstCommentIsKeptPrintable)
{
    const Bytes first = Text("line\r\nnext\x01\ttab\r");
    const Scan scan = Read(JpegWithSections({{0xFE, first}, {0xFE, Text("second")}}));
    EXPECT_TRUE(scan.result);
    EXPECT_STREQ(scan.info.Comments, "line\nnext?\ttab?");
}

TEST(ExifReader, CorpusFilesScanWithoutFault)
{
    REQUIRE_TESTDATA();
    for (const ManifestRow& row : ManifestRows("jpeg/")) {
        SCOPED_TRACE(row.path);
        const Bytes file = ReadFileBytes(TestDataDir() / row.path);
        const Scan scan = Read(file);
        if (row.path == "jpeg/pillow/flower.jpg") {
            EXPECT_TRUE(scan.info.IsExif);
            EXPECT_FLOAT_EQ(scan.info.Xresolution, 180);
        }
    }
}

}  // namespace
