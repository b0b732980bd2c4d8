// CScrollText: steps, the gap, the next-item rule, hovering links and clicks.
#include "tests/skin/ControlStage.h"

#include "skin/ScrollText.h"

#include <gtest/gtest.h>

namespace {

constexpr RECT kStrip = {6, 519, 794, 541};  // 788 x 22

struct StripStage {
    StripStage() : stage(desktop, 800, 600)
    {
        strip.Create(nullptr, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kStrip, &stage.parent, 0xFFFF);
        strip.SetBackColors(0x262626, 0x262626, 0);
        strip.SetTextColors(0xFFFFFF, 0xFFFFFF);
    }
    HeadlessDesktop desktop;
    ControlStage stage;
    CScrollText strip;
};

TEST(ScrollText, AnItemTakesStripWidthPlusItsOwnWidthPlusOneStepsToLeave)
{
    StripStage bench;
    bench.strip.SetSpeed(80);
    bench.strip.AddText("今日新闻：水印工具发布新版本");
    bench.strip.Start();
    const ScrollTextItem* item = bench.strip.GetCurrent();
    ASSERT_NE(item, nullptr);
    int width = item->rect.right - item->rect.left;
    EXPECT_EQ(item->rect.left, 788);
    ASSERT_GT(width, 100);

    auto& script = *bench.desktop.backend;
    script.Advance(80ull * static_cast<unsigned>(788 + width)).Run();
    EXPECT_EQ(item->rect.right, 0) << "still on its last visible column";
    script.Advance(80).Run();
    EXPECT_EQ(bench.strip.GetCurrent(), item) << "a single item comes back";
    EXPECT_EQ(item->rect.left, 788);
    // After the gap the steps go on at the same pace.
    script.Advance(10 + 80).Run();
    EXPECT_EQ(item->rect.left, 787);
}

TEST(ScrollText, NextItemFollowsTheFirstCaseInsensitiveMatch)
{
    StripStage bench;
    bench.strip.SetSpeed(10);
    for (const char* text : {"A", "B", "a", "C"})
        bench.strip.AddText(text);
    bench.strip.Start();
    std::vector<std::string> shown{bench.strip.GetCurrent()->text};
    for (int tick = 0; tick < 6000 && shown.size() < 6; ++tick) {
        bench.desktop.backend->Advance(10).Run();
        const ScrollTextItem* current = bench.strip.GetCurrent();
        ASSERT_NE(current, nullptr);
        if (current->rect.left == 788 && current->text != shown.back())
            shown.push_back(current->text);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"A", "B", "a", "B", "a", "B"}));
}

TEST(ScrollText, PaintsTheStripAndItsText)
{
    StripStage bench;
    bench.strip.SetSpeed(10);
    bench.strip.AddText("新闻");
    bench.strip.Start();
    bench.desktop.backend->Advance(10 * 200).Run();
    const ScrollTextItem* item = bench.strip.GetCurrent();
    RECT onParent = item->rect;
    OffsetRect(&onParent, kStrip.left, kStrip.top);
    EXPECT_EQ(bench.stage.Pixel(kStrip.left + 5, kStrip.top + 5), 0x262626u);
    EXPECT_GT(bench.stage.Count(onParent, 0xFFFFFF), 10);
    EXPECT_EQ(bench.stage.Count({kStrip.left, kStrip.top, onParent.left, kStrip.bottom}, 0xFFFFFF), 0);
}

TEST(ScrollText, RestingOnALinkStopsItAndClicksOpenOnlyLinks)
{
    StripStage bench;
    bench.strip.SetSpeed(10);
    bench.strip.AddLink("新版本下载", "http://news.example/1");
    bench.strip.Start();
    auto& script = *bench.desktop.backend;
    script.Advance(10 * 300).Run();
    const ScrollTextItem* item = bench.strip.GetCurrent();
    int left = item->rect.left;
    POINT on = {kStrip.left + (item->rect.left + item->rect.right) / 2, kStrip.top + 10};
    script.MoveMouse(on.x, on.y).Advance(500).Run();
    EXPECT_EQ(item->rect.left, left) << "a hovered link stands still";
    EXPECT_EQ(script.cursor, CursorShape::Hand);
    script.PressLeft().ReleaseLeft().Run();
    EXPECT_EQ(script.openedAddresses, std::vector<std::string>{"http://news.example/1"});
    script.MoveMouse(on.x, 100).Advance(10).Run();
    EXPECT_EQ(item->rect.left, left - 1) << "moving away resumes on the next tick";
}

TEST(ScrollText, PlainItemsOpenNothingAndAnEmptyStripNeverStarts)
{
    StripStage bench;
    bench.strip.SetSpeed(10);
    bench.strip.Start();
    EXPECT_EQ(bench.strip.GetCurrent(), nullptr);
    bench.strip.AddText("通知");
    bench.strip.Start();
    auto& script = *bench.desktop.backend;
    script.Advance(10 * 300).Run();
    const ScrollTextItem* item = bench.strip.GetCurrent();
    script.Click(kStrip.left + (item->rect.left + item->rect.right) / 2, kStrip.top + 10).Run();
    EXPECT_TRUE(script.openedAddresses.empty());
    EXPECT_EQ(script.cursor, CursorShape::Arrow);
}

}  // namespace
