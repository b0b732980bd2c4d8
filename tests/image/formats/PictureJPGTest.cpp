// JPEG decoder and encoder: the corpus against an independent decode, resolution rules,
// scaling, grey and colour round trips, the density written, and failures.
#include "image/MemStream.h"
#include "image/formats/PictureJPG.h"
#include "tests/TestData.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;

bool DecodeBytes(CPictureJPG& pic, const Bytes& bytes)
{
    CMemStream stream(const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    return pic.Decode(&stream);
}

bool DecodeFile(CPictureJPG& pic, const char* relative)
{
    return DecodeBytes(pic, ReadFileBytes(TestDataDir() / relative));
}

Bytes EncodeToBytes(CPicture& pic)
{
    CMemStream stream;
    stream.Open();
    if (!pic.Encode(&stream, PICTURE_FORMAT_JPG))
        return {};
    const uint8_t* data = stream.GetBuffer(false);
    return Bytes(data, data + stream.Size());
}

// Red, green, blue of a pixel counted from the top row.
void PixelFromTop(const CPicture& pic, long x, long top, int rgb[3])
{
    const long y = static_cast<long>(pic.GetHeight()) - 1 - top;
    if (pic.GetNumColors() != 0) {
        const RGBQUAD c = pic.GetPaletteColor(pic.GetPixelIndex(x, y));
        rgb[0] = c.rgbRed;
        rgb[1] = c.rgbGreen;
        rgb[2] = c.rgbBlue;
        return;
    }
    const BYTE* p = pic.GetBits(static_cast<DWORD>(y)) + 3 * x;
    rgb[0] = p[2];
    rgb[1] = p[1];
    rgb[2] = p[0];
}

double Psnr(const CPicture& a, const CPicture& b)
{
    double squared = 0;
    const long width = static_cast<long>(a.GetWidth());
    const long height = static_cast<long>(a.GetHeight());
    for (long y = 0; y < height; ++y) {
        for (long x = 0; x < width; ++x) {
            int pa[3], pb[3];
            PixelFromTop(a, x, y, pa);
            PixelFromTop(b, x, y, pb);
            for (int c = 0; c < 3; ++c)
                squared += (pa[c] - pb[c]) * (pa[c] - pb[c]);
        }
    }
    const double mse = squared / (3.0 * width * height);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

// reference.tsv is ImageMagick's decode of every valid corpus file (tests/fixtures/jpeg/
// make-reference.py), 4-component files converted with this codec's rule. Two libjpeg
// set-ups may round the inverse DCT and the chroma upsampling differently, so each grid
// sample may differ by 3 levels per channel and each channel mean by 1.
TEST(JpegDecode, CorpusMatchesIndependentDecode)
{
    REQUIRE_TESTDATA();
    std::ifstream in(std::string(TESSMARK_SOURCE_DIR) + "/tests/fixtures/jpeg/reference.tsv");
    std::string line;
    int files = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string path;
        DWORD width = 0, height = 0, bpp = 0;
        double means[3];
        fields >> path >> width >> height >> bpp >> means[0] >> means[1] >> means[2];
        SCOPED_TRACE(path);
        ++files;
        CPictureJPG pic;
        ASSERT_TRUE(DecodeFile(pic, path.c_str())) << pic.GetLastError();
        ASSERT_EQ(pic.GetWidth(), width);
        ASSERT_EQ(pic.GetHeight(), height);
        ASSERT_EQ(pic.GetBpp(), bpp);
        EXPECT_EQ(pic.GetType(), PICTURE_FORMAT_JPG);
        EXPECT_FALSE(pic.AlphaIsValid());
        if (bpp == 8) {
            EXPECT_TRUE(pic.IsGrayScale());
        }

        double sums[3] = {0, 0, 0};
        for (long y = 0; y < static_cast<long>(height); ++y) {
            for (long x = 0; x < static_cast<long>(width); ++x) {
                int rgb[3];
                PixelFromTop(pic, x, y, rgb);
                for (int c = 0; c < 3; ++c)
                    sums[c] += rgb[c];
            }
        }
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(sums[c] / (double(width) * height), means[c], 1.0) << "channel " << c;

        for (int gy = 0; gy < 4; ++gy) {
            for (int gx = 0; gx < 4; ++gx) {
                std::string hex;
                fields >> hex;
                const long value = std::strtol(hex.c_str(), nullptr, 16);
                const int expected[3] = {int(value >> 16), int((value >> 8) & 0xFF), int(value & 0xFF)};
                int rgb[3];
                PixelFromTop(pic, gx * (long(width) - 1) / 3, gy * (long(height) - 1) / 3, rgb);
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(rgb[c], expected[c], 3) << "grid " << gx << "," << gy << " channel " << c;
            }
        }
    }
    EXPECT_GT(files, 40);
}

// Files cut short decode to their end (libjpeg fills what is missing), so a bad file either
// fails with a message or decodes to the size its header gives.
TEST(JpegDecode, BadAndQuestionableFilesFailCleanlyOrDecode)
{
    REQUIRE_TESTDATA();
    int failed = 0;
    for (const ManifestRow& row : ManifestRows("jpeg/")) {
        if (row.valid == "yes")
            continue;
        SCOPED_TRACE(row.path);
        CPictureJPG pic;
        if (!DecodeFile(pic, row.path.c_str())) {
            ++failed;
            EXPECT_STRNE(pic.GetLastError(), "");
        } else if (row.width > 0) {
            EXPECT_EQ(pic.GetWidth(), static_cast<DWORD>(row.width));
            EXPECT_EQ(pic.GetHeight(), static_cast<DWORD>(row.height));
        }
    }
    EXPECT_GE(failed, 12);
}

TEST(JpegDecode, ResolutionFromExifElseJfif)
{
    REQUIRE_TESTDATA();
    struct Case {
        const char* path;
        long xDpi;
        long yDpi;
        const char* why;
    };
    const Case cases[] = {
        {"jpeg/pillow/hopper.jpg", 96, 96, "JFIF 96 dots per inch"},
        {"jpeg/pillow/jfif_unit_cm.jpg", 3, 5, "JFIF 1 x 2 dots per centimetre, rounded"},
        {"jpeg/pillow/flower.jpg", 180, 180, "EXIF 180 wins over JFIF 72"},
        {"jpeg/pillow/exif-200dpcm.jpg", 508, 508, "EXIF 200 per centimetre / 0.3937"},
        {"jpeg/pillow/no-dpi-in-exif.jpg", 96, 96, "EXIF without resolution keeps the default"},
        {"jpeg/pillow/exif-dpi-zerodivision.jpg", 96, 96, "EXIF 0/0 keeps the default"},
        {"jpeg/pillow/pil_sample_rgb.jpg", 72, 72, "EXIF 72"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        CPictureJPG pic;
        ASSERT_TRUE(DecodeFile(pic, c.path)) << pic.GetLastError();
        EXPECT_EQ(pic.GetXDPI(), c.xDpi);
        EXPECT_EQ(pic.GetYDPI(), c.yDpi);
    }
}

// An EXIF resolution that no bitmap header can hold (4294967295 per 1/100 mm) leaves the
// resolution as it was.
TEST(JpegDecode, AbsurdExifResolutionKeepsTheDefault)
{
    REQUIRE_TESTDATA();
    const Bytes file = ReadFileBytes(TestDataDir() / "jpeg/mozilla/jpg-size-8x8.jpg");
    const Bytes exif = {
        'E',  'x',  'i',  'f',  0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,  // TIFF header, IFD0 at 8
        2,    0,                                                    // two entries
        0x1A, 0x01, 5,    0,    1, 0, 0,   0,   38, 0, 0, 0,        // XResolution at 38
        0x28, 0x01, 3,    0,    1, 0, 0,   0,   4,  0, 0, 0,        // ResolutionUnit 4 (mm)
        0,    0,    0,    0,                                        // no next directory
        0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0,   0,                       // 4294967295 / 1
    };
    Bytes patched(file.begin(), file.begin() + 2);
    const size_t length = exif.size() + 2;
    patched.insert(patched.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)});
    patched.insert(patched.end(), exif.begin(), exif.end());
    patched.insert(patched.end(), file.begin() + 2, file.end());
    CPictureJPG pic;
    ASSERT_TRUE(DecodeBytes(pic, patched)) << pic.GetLastError();
    EXPECT_TRUE(pic.m_exifinfo.IsExif);
    EXPECT_EQ(pic.GetXDPI(), 96);
}

TEST(JpegDecode, ScaleAndOptionsShapeTheOutput)
{
    REQUIRE_TESTDATA();
    struct Case {
        BYTE scale;
        DWORD option;
        DWORD width;
        DWORD height;
        WORD bpp;
    };
    // flower.jpg is 480 x 360.
    const Case cases[] = {
        {0, 0, 480, 360, 24}, {1, 0, 480, 360, 24}, {2, 0, 240, 180, 24},
        {3, 0, 240, 180, 24}, {4, 0, 120, 90, 24},  {7, 0, 120, 90, 24},
        {8, 0, 60, 45, 24},   {200, 0, 60, 45, 24}, {0, JPG_OPTION_DECODE_GRAYSCALE, 480, 360, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "scale " << int{c.scale} << " option " << c.option);
        CPictureJPG pic;
        pic.info.nJpegScale = c.scale;
        pic.info.dwCodecOption = c.option;
        ASSERT_TRUE(DecodeFile(pic, "jpeg/pillow/flower.jpg")) << pic.GetLastError();
        EXPECT_EQ(pic.GetWidth(), c.width);
        EXPECT_EQ(pic.GetHeight(), c.height);
        EXPECT_EQ(pic.GetBpp(), c.bpp);
    }
}

TEST(JpegDecode, TruncatedFilesDecodeAndEmptyOnesFail)
{
    REQUIRE_TESTDATA();
    const Bytes file = ReadFileBytes(TestDataDir() / "jpeg/pillow/flower.jpg");
    CPictureJPG cut;
    EXPECT_TRUE(DecodeBytes(cut, Bytes(file.begin(), file.begin() + static_cast<long>(file.size() / 2))))
        << cut.GetLastError();
    EXPECT_EQ(cut.GetWidth(), 480u);

    CPictureJPG empty;
    EXPECT_FALSE(DecodeBytes(empty, Bytes{}));
    EXPECT_STREQ(empty.GetLastError(), "Empty input file");

    CPictureJPG text;
    EXPECT_FALSE(DecodeBytes(text, Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_STREQ(text.GetLastError(), "Not a JPEG file: starts with 0x68 0x65");
}

// Every prefix of a small file either decodes or fails with a message (run under ASan too).
TEST(JpegDecode, EveryPrefixFailsCleanlyOrDecodes)
{
    REQUIRE_TESTDATA();
    const Bytes file = ReadFileBytes(TestDataDir() / "jpeg/mozilla/jpg-progressive.jpg");
    for (size_t length = 0; length < file.size(); length += 7) {
        CPictureJPG pic;
        if (!DecodeBytes(pic, Bytes(file.begin(), file.begin() + static_cast<long>(length)))) {
            EXPECT_STRNE(pic.GetLastError(), "") << length;
        }
    }
}

// A stray byte run before the frame stops the EXIF scan at a length of 1, yet libjpeg
// skips the bytes and the decode goes on; so do 30 APP2 sections past the scan's limit.
TEST(JpegDecode, ExifScanFailuresDoNotFailTheDecode)
{
    REQUIRE_TESTDATA();
    const Bytes file = ReadFileBytes(TestDataDir() / "jpeg/mozilla/jpg-size-8x8.jpg");
    Bytes stray(file.begin(), file.begin() + 2);
    stray.insert(stray.end(), {0x07, 0x00, 0x01});
    stray.insert(stray.end(), file.begin() + 2, file.end());

    Bytes manySections(file.begin(), file.begin() + 2);
    for (int i = 0; i < 30; ++i)
        manySections.insert(manySections.end(), {0xFF, 0xE2, 0x00, 0x04, 0x00, 0x00});
    manySections.insert(manySections.end(), file.begin() + 2, file.end());

    for (const Bytes* bytes : {&stray, &manySections}) {
        CPictureJPG pic;
        ASSERT_TRUE(DecodeBytes(pic, *bytes)) << pic.GetLastError();
        EXPECT_EQ(pic.GetWidth(), 8u);
        EXPECT_FALSE(pic.m_exifinfo.IsExif);
    }
}

// A 16 x 16 grey JPEG whose frame header declares width x height, followed by `padding`
// bytes after its end: the scan holds only the first blocks, libjpeg would fill the rest.
Bytes GreyShell(uint16_t width, uint16_t height, size_t padding)
{
    CPicture grey(16, 16, 8);
    grey.SetGrayPalette();
    grey.Clear(0x80);
    Bytes bytes = EncodeToBytes(grey);
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = static_cast<uint8_t>(height >> 8);
            bytes[i + 6] = static_cast<uint8_t>(height);
            bytes[i + 7] = static_cast<uint8_t>(width >> 8);
            bytes[i + 8] = static_cast<uint8_t>(width);
            break;
        }
    }
    bytes.insert(bytes.end(), padding, 0x00);
    return bytes;
}

// A flat grey picture coded arithmetically by libjpeg itself (the engine writes Huffman only).
Bytes FlatArithmeticJpeg(JDIMENSION side)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = side;
    cinfo.image_height = side;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    cinfo.arith_code = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(side, 0x80);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(buffer, buffer + size);
    free(buffer);
    return bytes;
}

// A frame beyond the canvas limit, or far larger than its data can describe, is refused from
// its header, before the picture is made; one its data can cover still decodes, truncated.
TEST(JpegDecode, FramesBeyondTheCanvasOrTheirDataAreRefusedFromTheHeader)
{
    struct Case {
        uint16_t width;
        uint16_t height;
        size_t padding;
        const char* error;  // nullptr: decodes
    };
    const Case cases[] = {
        {65000, 65000, 0, "JPEG frame too large"},                      // 4.2 gigapixels in a few hundred bytes
        {20000, 20000, 400000, "JPEG frame too large"},                 // 400 megapixels, data enough
        {16000, 16000, 0, "JPEG frame larger than its data can hold"},  // 256 megapixels, inside the canvas
        {16384, 16384, 200000, "JPEG frame larger than its data can hold"},
        {4000, 4000, 16000, nullptr},  // 16 megapixels over 16 kB: a plausible truncated file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " + " << c.padding);
        const Bytes bytes = GreyShell(c.width, c.height, c.padding);
        CPictureJPG pic;
        if (c.error == nullptr) {
            ASSERT_TRUE(DecodeBytes(pic, bytes)) << pic.GetLastError();
            EXPECT_EQ(pic.GetWidth(), c.width);
            EXPECT_EQ(pic.GetHeight(), c.height);
            continue;
        }
        EXPECT_FALSE(DecodeBytes(pic, bytes));
        EXPECT_STREQ(pic.GetLastError(), c.error);
        EXPECT_EQ(pic.pDib, nullptr);

        // The size query still answers the declared frame without decoding it.
        CPictureJPG query;
        query.info.nEscape = -1;
        DecodeBytes(query, bytes);
        EXPECT_EQ(query.head.biWidth, c.width);
    }

    // Arithmetic coding packs a flat picture far tighter than Huffman coding can; only the
    // canvas limit applies to it.
    const Bytes flat = FlatArithmeticJpeg(3000);
    ASSERT_LT(flat.size() * 1024, 3000u * 3000u) << flat.size();
    CPictureJPG arithmetic;
    ASSERT_TRUE(DecodeBytes(arithmetic, flat)) << arithmetic.GetLastError();
    EXPECT_EQ(arithmetic.GetWidth(), 3000u);
}

TEST(JpegEncode, PhotographRoundTripStaysAbovePsnr)
{
    REQUIRE_TESTDATA();
    CPictureJPG photo;
    ASSERT_TRUE(DecodeFile(photo, "jpeg/pillow/flower.jpg")) << photo.GetLastError();
    const Bytes file = EncodeToBytes(photo);
    ASSERT_FALSE(file.empty()) << photo.GetLastError();
    CPictureJPG again;
    ASSERT_TRUE(DecodeBytes(again, file)) << again.GetLastError();
    ASSERT_EQ(again.GetWidth(), photo.GetWidth());
    ASSERT_EQ(again.GetHeight(), photo.GetHeight());
    EXPECT_GT(Psnr(photo, again), 36.0);
}

TEST(JpegEncode, WritesJfifDensityAndComponents)
{
    struct Case {
        const char* name;
        WORD bpp;
        long xDpi;
        long yDpi;
        int components;
    };
    const Case cases[] = {
        {"colour", 24, 300, 72, 3},
        {"grey, density modulo 65536", 8, 70000, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPicture pic(40, 24, c.bpp);
        if (c.bpp == 8)
            pic.SetGrayPalette();
        // A smooth gradient, different in each channel.
        const DWORD channels = c.bpp / 8;
        for (DWORD y = 0; y < 24; ++y)
            for (DWORD x = 0; x < 40; ++x)
                for (DWORD k = 0; k < channels; ++k)
                    pic.GetBits(y)[x * channels + k] = static_cast<BYTE>(x * 3 + y * 2 + k * 40);
        pic.SetXDPI(c.xDpi);
        pic.SetYDPI(c.yDpi);
        const Bytes file = EncodeToBytes(pic);
        ASSERT_GT(file.size(), 20u) << pic.GetLastError();
        // SOI, then APP0 "JFIF\0", version, unit, X density, Y density (JFIF 1.02).
        ASSERT_EQ(file[3], 0xE0);
        ASSERT_EQ(memcmp(&file[6], "JFIF", 5), 0);
        EXPECT_EQ(file[13], 1) << "dots per inch";
        EXPECT_EQ((file[14] << 8) | file[15], c.xDpi & 0xFFFF);
        EXPECT_EQ((file[16] << 8) | file[17], c.yDpi & 0xFFFF);
        // The frame header's component count.
        size_t sof = 2;
        while (sof + 4 < file.size() && file[sof + 1] != 0xC0)
            sof += 2 + ((file[sof + 2] << 8) | file[sof + 3]);
        ASSERT_LT(sof + 9, file.size());
        EXPECT_EQ(file[sof + 9], c.components);

        CPictureJPG decoded;
        ASSERT_TRUE(DecodeBytes(decoded, file)) << decoded.GetLastError();
        EXPECT_EQ(decoded.GetBpp(), c.bpp);
        EXPECT_EQ(decoded.GetXDPI(), c.xDpi & 0xFFFF);
        EXPECT_GT(Psnr(pic, decoded), 35.0);
    }
}

TEST(JpegEncode, RefusesPalettePicturesAndReportsWriteErrors)
{
    CPicture palette(8, 8, 4);
    CMemStream sink;
    sink.Open();
    EXPECT_FALSE(palette.Encode(&sink, PICTURE_FORMAT_JPG));
    EXPECT_STREQ(palette.GetLastError(), "JPEG can save only RGB or GreyScale images");

    struct FullStream : CMemStream {
        FullStream() { Open(); }
        size_t Write(const void*, size_t, size_t) override { return 0; }
    } full;
    CPicture colour(64, 64, 24);
    colour.Clear(0x33);
    EXPECT_FALSE(colour.Encode(&full, PICTURE_FORMAT_JPG));
    EXPECT_STREQ(colour.GetLastError(), "Output file write error --- out of disk space?");
}

TEST(JpegLoad, DetectionFindsJpegWhateverTheName)
{
    REQUIRE_TESTDATA();
    TempDir dir;
    const auto path = dir / "photo.png";
    WriteFileBytes(path, ReadFileBytes(TestDataDir() / "jpeg/pillow/hopper.jpg"));
    CPicture pic(path.string().c_str(), PICTURE_FORMAT_PNG);
    ASSERT_TRUE(pic.IsValid()) << pic.GetLastError();
    EXPECT_EQ(pic.GetType(), PICTURE_FORMAT_JPG);
    EXPECT_EQ(pic.GetWidth(), 128u);
}

}  // namespace
