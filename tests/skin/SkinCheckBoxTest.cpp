// CSkinCheckBox: mark placement, text offset, and state changed only by its owner.
#include "tests/skin/ControlStage.h"

#include "skin/SkinCheckBox.h"

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr uint32_t kUnchecked = 0x2040E0, kChecked = 0xE04020;

struct CheckStage {
    explicit CheckStage(int height = 14, bool marks = true) : stage(desktop, 300, 200, 0xFFFFFF)
    {
        desktop.AddBitmap(131, 15, 14, kUnchecked);
        desktop.AddBitmap(132, 15, 14, kChecked);
        // The owner makes the four boxes one exclusive choice.
        stage.parent.handlers[WM_COMMAND] = [this](WPARAM w, LPARAM) {
            int id = LOWORD(w);
            if (HIWORD(w) != BN_CLICKED || id < 1022 || id > 1025)
                return LRESULT{0};
            ++clicks;
            for (int i = 0; i < 4; ++i)
                boxes[static_cast<size_t>(i)].SetCheck(1022 + i == id);
            return LRESULT{0};
        };
        for (int i = 0; i < 4; ++i) {
            HWND control = stage.AddControl(WC_BUTTON, "左上角", BS_AUTOCHECKBOX,
                                            {50, 20 + 30 * i, 170, 20 + 30 * i + height}, 1022 + i);
            boxes[static_cast<size_t>(i)].SubclassWindow(control);
            if (marks)
                boxes[static_cast<size_t>(i)].SetBitmaps(131, 132);
        }
        desktop.backend->Run();
    }
    std::array<BOOL, 4> States() const
    {
        return {boxes[0].GetCheck(), boxes[1].GetCheck(), boxes[2].GetCheck(), boxes[3].GetCheck()};
    }

    HeadlessDesktop desktop;
    ControlStage stage;
    std::array<CSkinCheckBox, 4> boxes;
    int clicks = 0;
};

TEST(SkinCheckBox, MarkSitsAtTheLeftAndTextStartsAfterIt)
{
    {
        CheckStage bench;
        RECT row = {50, 20, 170, 34};
        EXPECT_EQ(bench.stage.Box(row, kUnchecked), (RECT{50, 20, 65, 34}));
        auto text = bench.stage.Box(row, 0x000000);
        ASSERT_TRUE(text.has_value());
        EXPECT_GE(text->left, 50 + 30);
        EXPECT_LT(text->left, 50 + 34);
    }

    CheckStage tall(20);
    EXPECT_EQ(tall.stage.Box({50, 20, 170, 40}, kUnchecked), (RECT{50, 23, 65, 37})) << "centred: y = (20 - 14) / 2";
}

TEST(SkinCheckBox, ClicksReportButOnlyTheOwnerChangesTheMarks)
{
    {
        CheckStage bench;
        bench.stage.parent.handlers.erase(WM_COMMAND);
        bench.desktop.backend->Click(57, 55).Run();
        EXPECT_EQ(bench.States(), (std::array<BOOL, 4>{FALSE, FALSE, FALSE, FALSE})) << "a click alone never toggles";
    }

    CheckStage owned;
    owned.desktop.backend->Click(57, 55).Run();
    EXPECT_EQ(owned.States(), (std::array<BOOL, 4>{FALSE, TRUE, FALSE, FALSE}));
    EXPECT_EQ(owned.stage.Pixel(57, 55), kChecked);
    owned.desktop.backend->Click(57, 55).Click(57, 115).Run();
    EXPECT_EQ(owned.States(), (std::array<BOOL, 4>{FALSE, FALSE, FALSE, TRUE}));
    EXPECT_EQ(owned.stage.Pixel(57, 55), kUnchecked);
    EXPECT_EQ(owned.clicks, 3);

    owned.boxes[0].SetCheck(TRUE);
    owned.desktop.backend->Run();
    EXPECT_EQ(owned.States(), (std::array<BOOL, 4>{TRUE, FALSE, FALSE, TRUE})) << "SetCheck touches one box";
}

TEST(SkinCheckBox, WithoutMarksNothingIsDrawn)
{
    CheckStage bench(14, false);
    EXPECT_EQ(bench.stage.Count({50, 20, 170, 34}, 0xFFFFFF), 120 * 14);
}

}  // namespace
