// Loading with a typed attempt and detection; saving through the encode dispatch.
#include "image/MemStream.h"
#include "image/Picture.h"
#include "image/formats/PictureJPG.h"
#include "tests/TestData.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

// A 2 x 1 24-bit BMP file.
std::vector<uint8_t> SmallBmp()
{
    CPicture picture(2, 1, 24);
    picture.SetPixelColor(0, 0, RGB(10, 20, 30));
    picture.SetPixelColor(1, 0, RGB(40, 50, 60));
    picture.SetXDPI(72);
    CMemStream stream;
    stream.Open();
    EXPECT_TRUE(picture.Encode(&stream, PICTURE_FORMAT_BMP));
    const uint8_t* data = stream.GetBuffer(false);
    return std::vector<uint8_t>(data, data + stream.Size());
}

const std::string kText = "This is a plain text file, long enough to fill any header a decoder reads first.\n";

std::vector<uint8_t> TextBytes()
{
    return std::vector<uint8_t>(kText.begin(), kText.end());
}

}  // namespace

TEST(Load, DecodesWithTheTypedIdOrFallsBackToDetection)
{
    TempDir dir;
    const auto path = dir / "picture.dat";
    WriteFileBytes(path, SmallBmp());
    for (DWORD id : {PICTURE_FORMAT_UNKNOWN, PICTURE_FORMAT_BMP, PICTURE_FORMAT_JPG, PICTURE_FORMAT_PNG, 16u, 99u}) {
        SCOPED_TRACE(id);
        CPicture picture(path.c_str(), id);
        ASSERT_TRUE(picture.IsValid()) << picture.GetLastError();
        EXPECT_EQ(picture.GetType(), PICTURE_FORMAT_BMP);
        EXPECT_EQ(picture.GetPixelColor(1, 0), (RGBQUAD{60, 50, 40, 0}));
        EXPECT_EQ(picture.GetXDPI(), 72);
    }
}

TEST(Load, FailureMessagesFollowTheAttempts)
{
    TempDir dir;
    const auto path = dir / "notes.txt";
    WriteFileBytes(path, TextBytes());

    // Detection alone: the final message.
    CPicture detected;
    EXPECT_FALSE(detected.Load(path.c_str(), PICTURE_FORMAT_UNKNOWN));
    EXPECT_STREQ(detected.GetLastError(), "Decode: Unknown or wrong format");

    // A typed attempt: its decoder's own message survives the failed detection.
    CPicture typedBmp;
    EXPECT_FALSE(typedBmp.Load(path.c_str(), PICTURE_FORMAT_BMP));
    EXPECT_STREQ(typedBmp.GetLastError(), "Error reading BMP info");

    CPictureJPG direct;
    CMemStream text(reinterpret_cast<uint8_t*>(const_cast<char*>(kText.data())), static_cast<uint32_t>(kText.size()));
    EXPECT_FALSE(direct.Decode(&text));
    CPicture typedJpeg;
    EXPECT_FALSE(typedJpeg.Load(path.c_str(), PICTURE_FORMAT_JPG));
    EXPECT_STREQ(typedJpeg.GetLastError(), direct.GetLastError());
    EXPECT_STRNE(typedJpeg.GetLastError(), "Decode: Unknown or wrong format");

    // An id beyond the table skips the typed attempt and restores the earlier text.
    CPicture beyond;
    beyond.Fail("earlier text");
    EXPECT_FALSE(beyond.Load(path.c_str(), 16));
    EXPECT_STREQ(beyond.GetLastError(), "earlier text");
}

TEST(Load, MissingFileLeavesTheMessageAlone)
{
    for (DWORD id : {0u, 1u, 20u}) {
        CPicture picture;
        picture.Fail("untouched");
        EXPECT_FALSE(picture.Load("/nonexistent/folder/picture.bmp", id));
        EXPECT_STREQ(picture.GetLastError(), "untouched");
    }
}

TEST(Decode, FailedDecodeLeavesTheCallersPicture)
{
    CPicture picture(3, 3, 8);
    picture.Clear(0x21);
    BYTE* dib = picture.pDib;
    std::vector<uint8_t> text = TextBytes();
    for (DWORD id : {0u, 1u, 40u}) {
        CMemStream stream(text.data(), static_cast<uint32_t>(text.size()));
        EXPECT_FALSE(picture.Decode(&stream, id));
        EXPECT_EQ(picture.pDib, dib);
        EXPECT_EQ(picture.GetBits(2)[2], 0x21);
    }
    EXPECT_FALSE(picture.Decode(static_cast<CStream*>(nullptr), 0));
}

TEST(Decode, DetectionStartsWhereTheStreamStands)
{
    std::vector<uint8_t> data = {0xEE, 0xEE, 0xEE};
    const std::vector<uint8_t> bmp = SmallBmp();
    data.insert(data.end(), bmp.begin(), bmp.end());
    CMemStream stream(data.data(), static_cast<uint32_t>(data.size()));
    ASSERT_TRUE(stream.Seek(3, 0));
    CPicture picture;
    picture.SetTransIndex(5);  // the caller's settings travel through the decoder
    ASSERT_TRUE(picture.Decode(&stream, PICTURE_FORMAT_UNKNOWN)) << picture.GetLastError();
    EXPECT_EQ(picture.GetWidth(), 2u);
    EXPECT_EQ(picture.GetTransIndex(), 5);
}

TEST(Save, WritesTheEncodedFile)
{
    TempDir dir;
    CPicture picture(2, 1, 24);
    picture.Clear(0x44);
    const auto path = dir / "out.bmp";
    ASSERT_TRUE(picture.Save(path.c_str(), PICTURE_FORMAT_BMP)) << picture.GetLastError();
    CMemStream expected;
    expected.Open();
    ASSERT_TRUE(picture.Encode(&expected, PICTURE_FORMAT_BMP));
    const uint8_t* data = expected.GetBuffer(false);
    EXPECT_EQ(ReadFileBytes(path), std::vector<uint8_t>(data, data + expected.Size()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(Save, FailedSaveLeavesTheExistingFileAndNoLeftovers)
{
    TempDir dir;
    const auto path = dir / "out.xyz";
    WriteFileBytes(path, {1, 2, 3});
    CPicture picture(2, 1, 24);
    EXPECT_FALSE(picture.Save(path.c_str(), PICTURE_FORMAT_UNKNOWN));
    EXPECT_STREQ(picture.GetLastError(), "Encode: Unknown format");
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));

    CPicture empty;
    EXPECT_FALSE(empty.Save(path.c_str(), PICTURE_FORMAT_BMP));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    CPicture noFolder(1, 1, 24);
    noFolder.Fail("before");
    EXPECT_FALSE(noFolder.Save((dir / "missing" / "out.bmp").c_str(), PICTURE_FORMAT_BMP));
    EXPECT_STREQ(noFolder.GetLastError(), "before");

    CPicture unknown(1, 1, 24);
    CMemStream stream;
    stream.Open();
    EXPECT_FALSE(unknown.Encode(&stream, 16));
    EXPECT_STREQ(unknown.GetLastError(), "Encode: Unknown format");
}
