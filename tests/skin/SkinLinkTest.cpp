// CSkinLink: colours by cursor state, the focus rectangle while pressed, the click.
#include "tests/skin/ControlStage.h"

#include "skin/SkinLink.h"

#include <gtest/gtest.h>

namespace {

constexpr RECT kLink = {730, 490, 790, 505};
constexpr uint32_t kTeal = 0x00C8C8;  // COLORREF 0xC8C800
constexpr uint32_t kWhite = 0xFFFFFF;

class CountingLink : public CSkinLink {
public:
    int timers = 0;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_TIMER)
            ++timers;
        return CSkinLink::OnWndMsg(message, wParam, lParam, result);
    }
};

struct LinkStage {
    LinkStage() : stage(desktop, 800, 600)
    {
        link.Create(nullptr, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kLink, &stage.parent, 0xFFFF);
        link.SetBackColor(0x000000);
        link.SetText("点击下载");
        link.SetURL("http://downloads.example/tessmark");
        link.Invalidate(TRUE);
        desktop.backend->Run();
        RECT text = link.GetTextRect();
        OffsetRect(&text, kLink.left, kLink.top);
        textOnParent = text;
        centre = {(text.left + text.right) / 2, (text.top + text.bottom) / 2};
    }
    int Count(uint32_t colour) const { return stage.Count(kLink, colour); }
    // Lit pixels on the left edge of the focus rectangle, 2 pixels left of the text.
    int FocusEdge() const
    {
        int lit = 0;
        for (int y = kLink.top; y < kLink.bottom; ++y)
            lit += stage.Pixel(textOnParent.left - 2, y) != 0x000000;
        return lit;
    }

    HeadlessDesktop desktop;
    ControlStage stage;
    CountingLink link;
    RECT textOnParent;
    POINT centre;
};

TEST(SkinLink, TextIsWhiteUntilTheCursorIsOnTheTextItself)
{
    LinkStage bench;
    EXPECT_GT(bench.Count(kWhite), 20);
    EXPECT_EQ(bench.Count(kTeal), 0);
    // Underline along the text's bottom edge.
    EXPECT_EQ(bench.stage.Pixel(bench.textOnParent.left, bench.textOnParent.bottom), kWhite);

    bench.desktop.backend->MoveMouse(kLink.left + 1, kLink.top + 1).Run();
    EXPECT_EQ(bench.Count(kTeal), 0) << "the rest of the control does not react";
    EXPECT_EQ(bench.desktop.backend->cursor, CursorShape::Arrow);

    bench.desktop.backend->MoveMouse(bench.centre.x, bench.centre.y).Run();
    EXPECT_GT(bench.Count(kTeal), 20);
    EXPECT_EQ(bench.Count(kWhite), 0);
    EXPECT_EQ(bench.desktop.backend->cursor, CursorShape::Hand);
    EXPECT_EQ(bench.FocusEdge(), 0) << "no focus rectangle without the button held";

    bench.desktop.backend->MoveMouse(10, 10).Run();
    EXPECT_EQ(bench.Count(kTeal), 0) << "leaving repaints the normal colour";
}

TEST(SkinLink, HeldButtonOverTheTextShowsTheFocusRectangle)
{
    LinkStage bench;
    bench.desktop.backend->MoveMouse(bench.centre.x, bench.centre.y).PressLeft().Run();
    EXPECT_GT(bench.FocusEdge(), 4);
    EXPECT_GT(bench.Count(kTeal), 20);
}

TEST(SkinLink, ReleaseOnTheTextOpensTheAddressAndRepaintsForTenSeconds)
{
    LinkStage bench;
    auto& script = *bench.desktop.backend;
    script.MoveMouse(bench.centre.x, bench.centre.y).PressLeft().MoveMouse(kLink.left + 1, kLink.top + 1).ReleaseLeft();
    script.Advance(100).Run();
    EXPECT_TRUE(script.openedAddresses.empty()) << "released off the text";
    EXPECT_EQ(bench.link.timers, 0);

    script.MoveMouse(bench.centre.x, bench.centre.y).PressLeft().ReleaseLeft().Advance(100).Run();
    EXPECT_EQ(script.openedAddresses, std::vector<std::string>{"http://downloads.example/tessmark"});
    EXPECT_EQ(bench.link.timers, 10);
    script.Advance(10000).Run();
    int afterTenSeconds = bench.link.timers;
    script.Advance(1000).Run();
    EXPECT_EQ(bench.link.timers, afterTenSeconds) << "both timers stop after ten seconds";
}

}  // namespace
