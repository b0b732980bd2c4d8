// Tests of the compiled-in resources: bitmap ids, sizes and key colour, icon images, templates.
#include "res/DialogTemplates.h"
#include "res/ResourceIds.h"
#include "res/SkinBitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMagenta = 0xFF00FF;
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t PixelAt(const SkinBitmap& bitmap, int x, int y)
{
    return bitmap.pixels[static_cast<size_t>(y) * bitmap.width + x];
}

const SkinBitmap& Bitmap(int id)
{
    const SkinBitmap* bitmap = FindSkinBitmap(id);
    if (bitmap == nullptr)
        throw std::runtime_error("missing bitmap " + std::to_string(id));
    return *bitmap;
}

struct BitmapSize {
    int id;
    int width;
    int height;
};

constexpr BitmapSize kBitmapSizes[] = {
    {131, 15, 14},   {132, 15, 14},   {133, 800, 600}, {134, 21, 17},   {135, 21, 17},   {136, 21, 17},
    {137, 21, 17},   {138, 21, 17},   {139, 21, 17},   {143, 65, 54},   {144, 65, 54},   {145, 65, 54},
    {146, 65, 54},   {147, 65, 54},   {148, 65, 54},   {149, 65, 54},   {150, 65, 54},   {151, 65, 54},
    {152, 89, 27},   {153, 89, 27},   {154, 89, 27},   {155, 639, 461}, {156, 276, 169}, {157, 69, 23},
    {158, 69, 23},   {159, 69, 23},   {160, 394, 215}, {161, 18, 18},   {162, 18, 18},   {163, 18, 18},
    {164, 394, 161}, {165, 394, 161}, {166, 394, 215}, {167, 276, 169}, {168, 227, 53},
};

constexpr int kWindowBackgrounds[] = {133, 156, 160, 164, 165, 166, 167};
// Hover, normal, pressed.
constexpr int kButtonTriples[][3] = {{134, 135, 136}, {137, 138, 139}, {143, 144, 145}, {146, 147, 148},
                                     {149, 150, 151}, {152, 153, 154}, {157, 158, 159}, {161, 162, 163}};

TEST(SkinBitmaps, EveryIdExistsWithItsSizeAndNoOthers)
{
    std::set<int> expected;
    for (const BitmapSize& size : kBitmapSizes) {
        SCOPED_TRACE(size.id);
        expected.insert(size.id);
        const SkinBitmap* bitmap = FindSkinBitmap(size.id);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->width, size.width);
        EXPECT_EQ(bitmap->height, size.height);
    }
    std::set<int> present;
    for (const SkinBitmap& bitmap : SkinBitmaps())
        present.insert(bitmap.id);
    EXPECT_EQ(present, expected);
    EXPECT_EQ(FindSkinBitmap(140), nullptr);
}

TEST(SkinBitmaps, PixelsAreOpaqueRgbWords)
{
    for (const SkinBitmap& bitmap : SkinBitmaps()) {
        SCOPED_TRACE(bitmap.id);
        size_t count = static_cast<size_t>(bitmap.width) * bitmap.height;
        EXPECT_TRUE(std::all_of(bitmap.pixels, bitmap.pixels + count, [](uint32_t p) { return (p >> 24) == 0; }));
    }
}

// The window region keeps, per row, the runs of non-magenta pixels. A background must give one
// run per row (rounded corners, no holes), full rows away from the corners, and cut corners.
TEST(SkinBitmaps, WindowBackgroundsCutOnlyTheirRoundedCorners)
{
    for (int id : kWindowBackgrounds) {
        SCOPED_TRACE(id);
        const SkinBitmap& bitmap = Bitmap(id);
        for (int y = 0; y < bitmap.height; ++y) {
            int runs = 0;
            int opaque = 0;
            bool inside = false;
            for (int x = 0; x < bitmap.width; ++x) {
                bool keyed = PixelAt(bitmap, x, y) == kMagenta;
                if (!keyed && !inside)
                    ++runs;
                inside = !keyed;
                opaque += keyed ? 0 : 1;
            }
            ASSERT_EQ(runs, 1) << "row " << y;
            if (y >= 10 && y < bitmap.height - 10) {
                ASSERT_EQ(opaque, bitmap.width) << "row " << y;
            }
        }
        for (auto [x, y] :
             {std::pair{0, 0}, {bitmap.width - 1, 0}, {0, bitmap.height - 1}, {bitmap.width - 1, bitmap.height - 1}})
            EXPECT_EQ(PixelAt(bitmap, x, y), kMagenta) << x << "," << y;
    }
}

TEST(SkinBitmaps, ButtonFacesShareOneShapeAndDifferByState)
{
    for (const auto& triple : kButtonTriples) {
        SCOPED_TRACE(triple[1]);
        const SkinBitmap& hover = Bitmap(triple[0]);
        const SkinBitmap& normal = Bitmap(triple[1]);
        const SkinBitmap& pressed = Bitmap(triple[2]);
        size_t count = static_cast<size_t>(normal.width) * normal.height;
        size_t keyed = 0;
        for (size_t i = 0; i < count; ++i) {
            bool normalKeyed = normal.pixels[i] == kMagenta;
            keyed += normalKeyed ? 1 : 0;
            ASSERT_EQ(hover.pixels[i] == kMagenta, normalKeyed) << i;
            ASSERT_EQ(pressed.pixels[i] == kMagenta, normalKeyed) << i;
        }
        EXPECT_GT(keyed, 0u);
        EXPECT_EQ(PixelAt(normal, 0, 0), kMagenta);
        EXPECT_NE(PixelAt(normal, normal.width / 2, normal.height / 2), kMagenta);
        EXPECT_FALSE(std::equal(hover.pixels, hover.pixels + count, normal.pixels));
        EXPECT_FALSE(std::equal(pressed.pixels, pressed.pixels + count, normal.pixels));
        EXPECT_FALSE(std::equal(pressed.pixels, pressed.pixels + count, hover.pixels));
    }
}

// Bitmaps copied without a key must not carry it; the default preview is drawn keyed around
// its centred card.
TEST(SkinBitmaps, UnkeyedBitmapsHaveNoMagentaAndPreviewIsKeyedAroundItsCard)
{
    for (int id : {131, 132, 168}) {
        SCOPED_TRACE(id);
        const SkinBitmap& bitmap = Bitmap(id);
        size_t count = static_cast<size_t>(bitmap.width) * bitmap.height;
        EXPECT_EQ(std::count(bitmap.pixels, bitmap.pixels + count, kMagenta), 0);
    }
    const SkinBitmap& preview = Bitmap(IDB_DEFAULT_PREVIEW);
    EXPECT_EQ(PixelAt(preview, 0, 0), kMagenta);
    EXPECT_EQ(PixelAt(preview, 638, 460), kMagenta);
    EXPECT_NE(PixelAt(preview, 319, 230), kMagenta);
}

struct Area {
    int bitmap;
    int left;
    int top;
    int width;
    int height;
    uint32_t colour;
    const char* what;
};

// Places where controls sit on a background must show the colour those controls expect: the
// labels of the about and notice boxes paint RGB(38, 77, 77), the check marks are copied opaque
// onto the dialog body, and edits sit on white fields.
TEST(SkinBitmaps, BackgroundsMatchTheControlsPlacedOnThem)
{
    const uint32_t panel = (38u << 16) | (77u << 8) | 77u;
    const uint32_t checkBody = PixelAt(Bitmap(IDB_CHECK_OFF), 0, 0);
    EXPECT_EQ(PixelAt(Bitmap(IDB_CHECK_ON), 0, 0), checkBody);
    const Area areas[] = {
        {156, 134, 87, 116, 12, panel, "about label"},
        {167, 99, 68, 125, 41, panel, "notice label"},
        {160, 53, 75, 1, 1, checkBody, "folder mark"},
        {160, 53, 114, 1, 1, checkBody, "files mark"},
        {166, 50, 72, 1, 1, checkBody, "top-left mark"},
        {166, 50, 141, 1, 1, checkBody, "bottom-right mark"},
        {160, 75, 95, 245, 13, kWhite, "folder field"},
        {160, 75, 135, 245, 13, kWhite, "files field"},
        {164, 75, 73, 245, 13, kWhite, "watermark field"},
        {165, 75, 73, 245, 13, kWhite, "output field"},
        {166, 174, 74, 25, 13, kWhite, "top-left horizontal field"},
        {166, 285, 143, 25, 13, kWhite, "bottom-right vertical field"},
    };
    for (const Area& area : areas) {
        SCOPED_TRACE(area.what);
        const SkinBitmap& bitmap = Bitmap(area.bitmap);
        for (int y = area.top; y < area.top + area.height; ++y)
            for (int x = area.left; x < area.left + area.width; ++x)
                ASSERT_EQ(PixelAt(bitmap, x, y), area.colour) << x << "," << y;
    }
}

TEST(SkinIcon, HasThreeSizesWithTransparentCorners)
{
    std::vector<int> sizes;
    for (const SkinIconImage& image : SkinIconImages()) {
        SCOPED_TRACE(image.size);
        EXPECT_EQ(image.id, IDI_MAINFRAME);
        sizes.push_back(image.size);
        EXPECT_LT(image.pixels[0] >> 24, 64u);
        EXPECT_EQ(image.pixels[static_cast<size_t>(image.size) * (image.size / 2) + image.size / 2] >> 24, 255u);
    }
    EXPECT_EQ(sizes, (std::vector<int>{48, 32, 16}));
}

const DialogItemTemplate* FindItem(const DialogTemplate& dialog, int id)
{
    auto found = std::find_if(dialog.items.begin(), dialog.items.end(),
                              [id](const DialogItemTemplate& item) { return item.id == id; });
    return found == dialog.items.end() ? nullptr : &*found;
}

struct ControlNeed {
    int dialog;
    int id;
    const char* className;
    const char* text;  // null: any
};

TEST(DialogTemplates, HaveTheControlsTheDialogsBind)
{
    const ControlNeed needs[] = {
        {102, 1001, WC_BUTTON, "指定图片文件"}, {102, 1002, "{8856F961-340A-11D0-A96B-00C04FD705A2}", nullptr},
        {102, 1003, WC_BUTTON, "指定水印文件"}, {102, 1004, WC_BUTTON, "指定输出目录"},
        {102, 1005, WC_BUTTON, "指定水印位置"}, {102, 1006, WC_BUTTON, "开始"},
        {102, 1010, WC_STATIC, "处理情况"},     {102, 1011, WC_BUTTON, nullptr},
        {102, 1012, WC_BUTTON, nullptr},        {102, 1013, WC_BUTTON, nullptr},
        {102, 1021, WC_STATIC, "版本"},         {130, IDOK, WC_BUTTON, "确 定"},
        {130, IDCANCEL, WC_BUTTON, "取 消"},    {130, 1003, WC_EDIT, nullptr},
        {130, 1004, WC_BUTTON, "..."},          {130, 1005, WC_EDIT, nullptr},
        {130, 1006, WC_BUTTON, "..."},          {130, 1007, WC_BUTTON, nullptr},
        {130, 1008, WC_BUTTON, nullptr},        {131, IDOK, WC_BUTTON, "确 定"},
        {131, IDCANCEL, WC_BUTTON, "取 消"},    {131, 1005, WC_EDIT, nullptr},
        {131, 1006, WC_BUTTON, "..."},          {132, IDOK, WC_BUTTON, "确 定"},
        {132, IDCANCEL, WC_BUTTON, "取 消"},    {132, 1003, WC_EDIT, nullptr},
        {132, 1004, WC_BUTTON, "..."},          {133, IDOK, WC_BUTTON, "确 定"},
        {133, IDCANCEL, WC_BUTTON, "取 消"},    {133, 1020, WC_BUTTON, "应用"},
        {134, IDOK, WC_BUTTON, "关 闭"},        {134, 1021, WC_STATIC, "Tessmark 1.00"},
        {135, IDOK, WC_BUTTON, "确 定"},        {135, 1023, WC_STATIC, "Static"},
    };
    std::vector<ProgramDialog> dialogs = ProgramDialogTemplates();
    auto dialogOf = [&dialogs](int id) -> const DialogTemplate* {
        for (const ProgramDialog& entry : dialogs)
            if (entry.id == id)
                return &entry.dialog;
        return nullptr;
    };
    for (int id : {102, 130, 131, 132, 133, 134, 135})
        EXPECT_NE(dialogOf(id), nullptr) << id;
    for (const ControlNeed& need : needs) {
        SCOPED_TRACE(std::to_string(need.dialog) + "/" + std::to_string(need.id));
        const DialogTemplate* dialog = dialogOf(need.dialog);
        ASSERT_NE(dialog, nullptr);
        const DialogItemTemplate* item = FindItem(*dialog, need.id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->className, need.className);
        EXPECT_TRUE(item->style & WS_CHILD);
        if (need.text != nullptr) {
            EXPECT_EQ(item->text, need.text);
        }
    }
    // The position dialog: a check box and two visible fields per corner, sixteen hidden labels.
    const DialogTemplate& position = *dialogOf(133);
    for (int id : {1022, 1023, 1024, 1025, 1009, 1010, 1012, 1013, 1015, 1016, 1018, 1019}) {
        const DialogItemTemplate* item = FindItem(position, id);
        ASSERT_NE(item, nullptr) << id;
        EXPECT_TRUE(item->style & WS_VISIBLE) << id;
        EXPECT_EQ(item->className, id >= 1022 ? WC_BUTTON : WC_EDIT) << id;
    }
    long hidden = std::count_if(position.items.begin(), position.items.end(), [](const DialogItemTemplate& item) {
        return item.className == WC_STATIC && !(item.style & WS_VISIBLE);
    });
    EXPECT_EQ(hidden, 16);
}

// Controls that keep their template places must stand where the backgrounds expect them.
TEST(DialogTemplates, KeepTheFixedPlacesOfUnmovedControls)
{
    struct Place {
        int dialog, id, x, y, cx, cy;
    };
    const Place places[] = {
        {130, 1007, 35, 50, 10, 9},  {130, 1008, 35, 76, 10, 9},  {134, 1021, 89, 58, 77, 8},
        {135, 1023, 66, 45, 83, 27}, {102, 1010, 112, 7, 58, 39}, {102, 1021, 119, 89, 127, 21},
    };
    std::vector<ProgramDialog> dialogs = ProgramDialogTemplates();
    for (const Place& place : places) {
        SCOPED_TRACE(std::to_string(place.dialog) + "/" + std::to_string(place.id));
        auto dialog =
            std::find_if(dialogs.begin(), dialogs.end(), [&](const ProgramDialog& d) { return d.id == place.dialog; });
        ASSERT_NE(dialog, dialogs.end());
        const DialogItemTemplate* item = FindItem(dialog->dialog, place.id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ((std::vector<int>{item->x, item->y, item->cx, item->cy}),
                  (std::vector<int>{place.x, place.y, place.cx, place.cy}));
    }
}

}  // namespace
