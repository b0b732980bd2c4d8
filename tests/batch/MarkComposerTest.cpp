// The composer: the extension table, corner placement, the intermediate bitmap at every
// display depth, output files, failures, and the preview painter.
#include "batch/MarkComposer.h"
#include "image/Picture.h"
#include "platform/gdi/Gdi.h"
#include "tests/TestData.h"
#include "tests/batch/ComposeFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

uint32_t LE32(const BYTE* p, size_t offset)
{
    return p[offset] | (p[offset + 1] << 8) | (p[offset + 2] << 16) | (static_cast<uint32_t>(p[offset + 3]) << 24);
}

uint16_t LE16(const BYTE* p, size_t offset)
{
    return static_cast<uint16_t>(p[offset] | (p[offset + 1] << 8));
}

// Sets the display depth for one test and puts the true-colour default back.
class DisplayDepth {
public:
    explicit DisplayDepth(int bits) { SetDisplayBitsPerPixel(bits); }
    ~DisplayDepth() { SetDisplayBitsPerPixel(32); }
};

// Bounding box of the pixels of a 32-bit intermediate bitmap that have the given colour.
RECT FindColour(const BYTE* file, BYTE red, BYTE green, BYTE blue)
{
    LONG width = static_cast<LONG>(LE32(file, 18));
    LONG height = static_cast<LONG>(LE32(file, 22));
    const BYTE* pixels = file + LE32(file, 10);
    RECT box{width, height, 0, 0};
    for (LONG row = 0; row < height; ++row) {
        for (LONG x = 0; x < width; ++x) {
            const BYTE* p = pixels + (static_cast<size_t>(row) * width + x) * 4;
            if (p[0] == blue && p[1] == green && p[2] == red) {
                LONG y = height - 1 - row;
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
        }
    }
    return box;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

}  // namespace

TEST(MarkComposer, ImageTypeComesFromTheTextAfterTheLastDot)
{
    struct Case {
        const char* path;
        int32_t type;
    };
    const Case cases[] = {
        {"Photo.JPG", 3},
        {"photo.jpeg", 3},
        {"x.jpe", 3},
        {"x.JFIF", 3},
        {"anim.gif", 3},
        {"a.PNG", 4},
        {"scan.TIFF", 1},
        {"x.tif", 1},
        {"x.bmp", 1},
        {"x.dib", 1},
        {"x.pcx", 1},
        {"x.wbmp", 1},
        {"x.wmf", 1},
        {"x.tga", 1},
        {"readme.txt", 0},
        {"png", 4},
        {"/pics.old/photo", 0},
        {"archive.tar.png", 4},
        {"x.jpg ", 0},
        {"照片.Jpg", 3},
        {"x.ｊｐｇ", 0},
        {"", 0},
        {"x.", 0},
        {"/a/b.ico", 0},
    };
    CMarkComposer composer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(composer.GetImageType(c.path), c.type);
    }
}

TEST(MarkComposer, CornerTablePlacesTheWatermark)
{
    struct Case {
        int32_t posType;
        long posX, posY;
        POINT expected;
    };
    const Case cases[] = {
        {0, 20, 20, {20, 20}},   {1, 20, 20, {880, 20}}, {2, 20, 20, {20, 600}},  {3, 20, 20, {880, 600}},
        {7, 20, 20, {880, 600}}, {-1, 0, 0, {900, 620}}, {0, -15, -5, {-15, -5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.posType);
        POINT at = PlaceWatermark(c.posType, c.posX, c.posY, 1000, 700, 100, 80);
        EXPECT_EQ(at.x, c.expected.x);
        EXPECT_EQ(at.y, c.expected.y);
    }
}

TEST(MarkComposer, PreviewGeometryOfTheWorkedExamples)
{
    const RECT preview{28, 41, 667, 502};
    struct Case {
        const char* name;
        long sw, sh, ww, wh;
        int32_t posType;
        long posX, posY;
        RECT source, mark;
    };
    const Case cases[] = {
        {"1000x700 corner 3", 1000, 700, 100, 80, 3, 20, 20, {28, 48, 667, 495}, {592, 432, 655, 483}},
        {"1000x700 corner 0", 1000, 700, 100, 80, 0, 20, 20, {28, 48, 667, 495}, {40, 60, 103, 111}},
        {"400x300 fits", 400, 300, 100, 80, 1, 20, 20, {147, 121, 547, 421}, {427, 141, 527, 221}},
        {"2000x3000 corner 2", 2000, 3000, 300, 100, 2, 50, 40, {194, 41, 501, 502}, {201, 481, 247, 496}},
        {"exactly the rectangle", 639, 461, 10, 10, 0, 0, 0, {28, 41, 667, 502}, {28, 41, 38, 51}},
        {"one pixel too wide", 640, 461, 10, 10, 0, 0, 0, {28, 41, 667, 501}, {28, 41, 37, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PreviewGeometry g = ComputePreviewGeometry(preview, c.sw, c.sh, c.ww, c.wh, c.posType, c.posX, c.posY);
        EXPECT_TRUE(SameRect(g.source, c.source)) << Describe(g.source);
        EXPECT_TRUE(SameRect(g.mark, c.mark)) << Describe(g.mark);
    }
}

TEST(MarkComposer, IntermediateBitmapFollowsTheDisplayDepth)
{
    TempDir dir;
    WriteBmp24(dir / "src.bmp", SolidImage(13, 5, 255, 0, 0));
    WriteBmp24(dir / "mark.bmp", SolidImage(2, 2, 0, 0, 255));
    WriteBmp24(dir / "wide.bmp", GradientImage(701, 500, 4));  // temp.bmp gets it in several bands
    struct Case {
        int displayBits;
        uint16_t depth;
        uint32_t tableBytes;
        RGBQUAD firstEntry, lastEntry;
    };
    const Case cases[] = {
        {1, 1, 8, {0, 0, 0, 0}, {255, 255, 255, 0}},
        {4, 4, 64, {0, 0, 0, 0}, {255, 255, 255, 0}},
        {8, 8, 1024, {0, 0, 0, 0}, {255, 255, 255, 0}},
        {16, 24, 0, {}, {}},
        {24, 24, 0, {}, {}},
        {32, 32, 0, {}, {}},
    };
    CMarkComposer composer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.displayBits);
        DisplayDepth display(c.displayBits);
        ComposeWorkspace workspace;
        const BYTE* file = nullptr;
        size_t size = 0;
        WatermarkJob job{(dir / "src.bmp").string(), (dir / "mark.bmp").string(), (dir / "out.bmp").string(), 0, 1, 1};
        ASSERT_EQ(composer.BuildIntermediate(job, workspace, file, size), ComposeResult::Written);

        uint32_t rowBytes = ((c.depth * 13u + 31) / 32) * 4;
        EXPECT_EQ(LE16(file, 0), 0x4D42);
        EXPECT_EQ(LE32(file, 2), size);
        EXPECT_EQ(size, 14 + 40 + c.tableBytes + rowBytes * 5);
        EXPECT_EQ(LE32(file, 6), 0u);
        EXPECT_EQ(LE32(file, 10), 54 + c.tableBytes);
        EXPECT_EQ(LE32(file, 14), 40u);
        EXPECT_EQ(LE32(file, 18), 13u);
        EXPECT_EQ(LE32(file, 22), 5u);
        EXPECT_EQ(LE16(file, 26), 1);
        EXPECT_EQ(LE16(file, 28), c.depth);
        EXPECT_EQ(LE32(file, 30), 0u);
        if (c.tableBytes != 0) {
            const BYTE* table = file + 54;
            const BYTE* last = table + c.tableBytes - 4;
            EXPECT_EQ(RGBQUAD({table[0], table[1], table[2], table[3]}), c.firstEntry);
            EXPECT_EQ(RGBQUAD({last[0], last[1], last[2], last[3]}), c.lastEntry);
        }
        if (c.depth >= 24) {
            // Top-left pixel (last row of the file) is the red source; (1, 1) the blue mark.
            const BYTE* top = file + 54 + static_cast<size_t>(rowBytes) * 4;
            size_t step = c.depth / 8;
            EXPECT_EQ(top[0], 0);
            EXPECT_EQ(top[2], 255);
            const BYTE* mark = file + 54 + static_cast<size_t>(rowBytes) * 3 + step;
            EXPECT_EQ(mark[0], 255);
            EXPECT_EQ(mark[2], 0);
        }

        // temp.bmp, written band by band, holds the same bytes as the one-buffer capture, also
        // over an older, longer temp.bmp.
        job.SrcPath = (dir / "wide.bmp").string();
        ASSERT_EQ(composer.BuildIntermediate(job, workspace, file, size), ComposeResult::Written);
        WriteFileBytes(dir / "temp.bmp", std::vector<uint8_t>(size + 4099, 0xAB));
        ComposeWorkspace fileWorkspace;
        ASSERT_EQ(composer.ComposeFile(job, (dir / "temp.bmp").string(), fileWorkspace), ComposeResult::Written);
        EXPECT_EQ(ReadFileBytes(dir / "temp.bmp"), std::vector<uint8_t>(file, file + size));
    }
}

TEST(MarkComposer, WatermarkLandsAtItsCornerAndIsClippedToTheCanvas)
{
    TempDir dir;
    WriteBmp24(dir / "src.bmp", SolidImage(40, 30, 128, 128, 128));
    WriteBmp24(dir / "mark.bmp", SolidImage(6, 4, 0, 0, 255));
    WriteBmp24(dir / "big.bmp", SolidImage(50, 10, 0, 0, 255));
    struct Case {
        const char* mark;
        int32_t posType, posX, posY;
        RECT expected;
    };
    const Case cases[] = {
        {"mark.bmp", 0, 3, 2, {3, 2, 9, 6}},       {"mark.bmp", 1, 3, 2, {31, 2, 37, 6}},
        {"mark.bmp", 2, 3, 2, {3, 24, 9, 28}},     {"mark.bmp", 3, 3, 2, {31, 24, 37, 28}},
        {"mark.bmp", 9, 3, 2, {31, 24, 37, 28}},   {"mark.bmp", 0, -2, -1, {0, 0, 4, 3}},
        {"mark.bmp", 3, -3, -2, {37, 28, 40, 30}}, {"big.bmp", 0, 0, 25, {0, 25, 40, 30}},
    };
    CMarkComposer composer;
    ComposeWorkspace workspace;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mark) + " corner " + std::to_string(c.posType));
        const BYTE* file = nullptr;
        size_t size = 0;
        WatermarkJob job{
            (dir / "src.bmp").string(), (dir / c.mark).string(), (dir / "o.bmp").string(), c.posType, c.posX, c.posY};
        ASSERT_EQ(composer.BuildIntermediate(job, workspace, file, size), ComposeResult::Written);
        RECT found = FindColour(file, 0, 0, 255);
        EXPECT_TRUE(SameRect(found, c.expected)) << Describe(found);
    }
}

TEST(MarkComposer, BitmapOutputMatchesTheHandComputedComposition)
{
    TempDir dir;
    TestImage source = GradientImage(37, 23, 1);
    TestImage mark = SoftMark(16, 11);
    WriteBmp24(dir / "src.bmp", source);
    ASSERT_TRUE(EncodeWithEngine(dir / "mark.png", mark, PICTURE_FORMAT_PNG));
    TestImage markAsStored;
    ASSERT_TRUE(DecodeWithEngine(dir / "mark.png", markAsStored));
    ASSERT_FALSE(markAsStored.alpha.empty());

    CMarkComposer composer;
    ComposeWorkspace workspace;
    for (int32_t posType : {0, 1, 2, 3}) {
        SCOPED_TRACE(posType);
        WatermarkJob job{
            (dir / "src.bmp").string(), (dir / "mark.png").string(), (dir / "out.bmp").string(), posType, 4, -3};
        ASSERT_EQ(composer.ComposeFile(job, (dir / "temp.bmp").string(), workspace), ComposeResult::Written);
        EXPECT_EQ(ReadFileBytes(dir / "out.bmp"), EncodeBmp24(ExpectedComposite(source, markAsStored, posType, 4, -3)));
        // The intermediate file is exactly as long as its size field says.
        std::vector<uint8_t> temp = ReadFileBytes(dir / "temp.bmp");
        ASSERT_GE(temp.size(), 6u);
        EXPECT_EQ(LE32(temp.data(), 2), temp.size());
    }
}

TEST(MarkComposer, MemoryIntermediateGivesTheSameBytesAsTheFile)
{
    TempDir dir;
    TestImage source = GradientImage(61, 47, 2);
    source.alpha.assign(static_cast<size_t>(61) * 47, 200);  // a partly transparent source shows the white canvas
    ASSERT_TRUE(EncodeWithEngine(dir / "src.png", source, PICTURE_FORMAT_PNG));
    ASSERT_TRUE(EncodeWithEngine(dir / "mark.png", SoftMark(20, 9), PICTURE_FORMAT_PNG));
    CMarkComposer composer;
    ComposeWorkspace workspace;
    for (const char* output : {"a.png", "a.jpg", "a.bmp", "a.gif"}) {
        SCOPED_TRACE(output);
        WatermarkJob job{
            (dir / "src.png").string(), (dir / "mark.png").string(), (dir / "file" / output).string(), 3, 5, 5};
        std::filesystem::create_directories(dir / "file");
        std::filesystem::create_directories(dir / "memory");
        ASSERT_EQ(composer.ComposeFile(job, (dir / "temp.bmp").string(), workspace), ComposeResult::Written);
        job.OutPath = (dir / "memory" / output).string();
        ASSERT_EQ(composer.ComposeFileInMemory(job, workspace), ComposeResult::Written);
        std::vector<uint8_t> fromFile = ReadFileBytes(dir / "file" / output);
        ASSERT_FALSE(fromFile.empty());
        EXPECT_EQ(fromFile, ReadFileBytes(dir / "memory" / output));
    }
    // The output format follows the output name: .gif holds JPEG data, .png has no alpha.
    std::vector<uint8_t> gif = ReadFileBytes(dir / "file" / "a.gif");
    ASSERT_GE(gif.size(), 3u);
    EXPECT_EQ(gif[0], 0xFF);
    EXPECT_EQ(gif[1], 0xD8);
    TestImage png;
    ASSERT_TRUE(DecodeWithEngine(dir / "file" / "a.png", png));
    EXPECT_TRUE(png.alpha.empty());
}

TEST(MarkComposer, FailuresLeaveNoOutputAndKeepAnOldOne)
{
    TempDir dir;
    WriteBmp24(dir / "src.bmp", SolidImage(8, 8, 10, 20, 30));
    WriteBmp24(dir / "mark.bmp", SolidImage(2, 2, 0, 0, 255));
    WriteFileBytes(dir / "broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3});
    WriteFileBytes(dir / "notes.txt", {'h', 'i'});
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    std::filesystem::create_directory(dir / "temp-is-a-folder.bmp");

    struct Case {
        const char* name;
        std::string source;
        std::string temp;
        ComposeResult expected;
        std::string reason;  // what the reason starts with
    };
    const Case cases[] = {
        {"source not a picture name", (dir / "notes.txt").string(), (dir / "temp.bmp").string(),
         ComposeResult::NotAPicture, ""},
        {"source does not decode", (dir / "broken.jpg").string(), (dir / "temp.bmp").string(),
         ComposeResult::SourceUnreadable, "cannot read " + (dir / "broken.jpg").string() + ": "},
        {"source missing", (dir / "absent.bmp").string(), (dir / "temp.bmp").string(), ComposeResult::SourceUnreadable,
         "cannot read " + (dir / "absent.bmp").string() + ": "},
        {"temp.bmp cannot be written", (dir / "src.bmp").string(), (dir / "temp-is-a-folder.bmp").string(),
         ComposeResult::IntermediateFailed, "temp.bmp cannot be written: Is a directory"},
        {"temp.bmp folder missing", (dir / "src.bmp").string(), (dir / "no" / "temp.bmp").string(),
         ComposeResult::IntermediateFailed, "temp.bmp cannot be written: No such file or directory"},
    };
    CMarkComposer composer;
    ComposeWorkspace workspace;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir / "out.bmp", old);
        WatermarkJob job{c.source, (dir / "mark.bmp").string(), (dir / "out.bmp").string(), 0, 0, 0};
        std::string reason;
        EXPECT_EQ(composer.ComposeFile(job, c.temp, workspace, &reason), c.expected);
        EXPECT_EQ(reason.substr(0, c.reason.size()), c.reason);
        EXPECT_EQ(reason.empty(), c.reason.empty()) << reason;
        EXPECT_EQ(ReadFileBytes(dir / "out.bmp"), old);
        EXPECT_FALSE(std::filesystem::exists(dir / "temp.bmp"));
    }
    // A watermark name outside the table stops the composition before anything is read.
    WatermarkJob job{(dir / "src.bmp").string(), (dir / "notes.txt").string(), (dir / "new.bmp").string(), 0, 0, 0};
    EXPECT_EQ(composer.ComposeFile(job, (dir / "temp.bmp").string(), workspace), ComposeResult::NotAPicture);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.bmp"));
}

TEST(MarkComposer, PreviewPaintsTheScaledSourceAndWatermark)
{
    TempDir dir;
    WriteBmp24(dir / "big.bmp", SolidImage(1000, 700, 255, 0, 0));
    WriteBmp24(dir / "small.bmp", SolidImage(400, 300, 255, 0, 0));
    WriteBmp24(dir / "mark.bmp", SolidImage(100, 80, 0, 0, 255));
    WriteFileBytes(dir / "notes.txt", {'x'});
    const RECT preview{28, 41, 667, 502};
    struct Case {
        const char* source;
        const char* mark;
        int posType;
        RECT sourceBox, markBox;  // empty right/bottom: nothing painted
    };
    const Case cases[] = {
        {"big.bmp", "mark.bmp", 3, {28, 48, 667, 495}, {592, 432, 655, 483}},
        {"small.bmp", "mark.bmp", 1, {147, 121, 547, 421}, {427, 141, 527, 221}},
        {"notes.txt", "mark.bmp", 0, {800, 600, 0, 0}, {800, 600, 0, 0}},
        {"big.bmp", "notes.txt", 0, {800, 600, 0, 0}, {800, 600, 0, 0}},
    };
    CMarkComposer composer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 800, 600);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        PatBlt(memory, 0, 0, 800, 600, WHITENESS);
        composer.DrawPreview(memory, preview, (dir / c.source).string(), (dir / c.mark).string(), c.posType, 20, 20);
        SelectObject(memory, previous);

        const Surface* surface = GetBitmapSurface(bitmap);
        ASSERT_NE(surface, nullptr);
        RECT painted{800, 600, 0, 0};
        RECT blue{800, 600, 0, 0};
        for (int y = 0; y < 600; ++y) {
            for (int x = 0; x < 800; ++x) {
                uint32_t pixel = surface->Pixel(x, y) & 0xFFFFFF;
                auto grow = [x, y](RECT& r) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                };
                if (pixel != 0xFFFFFF)
                    grow(painted);
                if (pixel == 0x0000FF)
                    grow(blue);
            }
        }
        EXPECT_TRUE(SameRect(painted, c.sourceBox)) << Describe(painted);
        EXPECT_TRUE(SameRect(blue, c.markBox)) << Describe(blue);
        DeleteObject(bitmap);
        DeleteDC(memory);
        DeleteDC(screen);
    }
}
