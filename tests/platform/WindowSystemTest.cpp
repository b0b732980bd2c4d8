// Window system behaviour through messages and composed surface pixels.
#include "tests/platform/HeadlessDesktop.h"

#include "platform/Button.h"
#include "platform/Static.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

// A 200 x 150 pop-up at (100, 100) that erases in `colour`.
struct PaintedWindow {
    explicit PaintedWindow(COLORREF initial) : colour(initial)
    {
        window.handlers[WM_ERASEBKGND] = [this](WPARAM dc, LPARAM) {
            FillClient(window.m_hWnd, reinterpret_cast<HDC>(dc), colour);
            return LRESULT{1};
        };
        window.CreateEx(0, nullptr, "probe", WS_POPUP | WS_VISIBLE, {100, 100, 300, 250}, nullptr, 0);
    }
    COLORREF colour;
    ProbeWindow window;
};

TEST(WindowPaint, ErasesInsideThePaintAndOnlyWithinTheInvalidRegion)
{
    HeadlessDesktop desktop;
    PaintedWindow painted(kBlue);
    desktop.backend->Run();
    EXPECT_EQ(desktop.backend->Pixel(painted.window.m_hWnd, 5, 5), Px(kBlue));

    painted.window.log.clear();
    painted.colour = kGreen;
    RECT area = {10, 10, 20, 20};
    painted.window.InvalidateRect(&area, TRUE);
    desktop.backend->Run();

    EXPECT_EQ(desktop.backend->Pixel(painted.window.m_hWnd, 15, 15), Px(kGreen));
    EXPECT_EQ(desktop.backend->Pixel(painted.window.m_hWnd, 20, 15), Px(kBlue)) << "right edge is exclusive";
    EXPECT_EQ(desktop.backend->Pixel(painted.window.m_hWnd, 5, 5), Px(kBlue));
    ASSERT_EQ(painted.window.Count(WM_PAINT), 1u);
    ASSERT_EQ(painted.window.Count(WM_ERASEBKGND), 1u);
    auto paint = std::find(painted.window.log.begin(), painted.window.log.end(), WM_PAINT);
    auto erase = std::find(painted.window.log.begin(), painted.window.log.end(), WM_ERASEBKGND);
    EXPECT_LT(paint, erase) << "the erase is sent from BeginPaint of the paint";

    // Without erase only WM_PAINT comes.
    painted.window.log.clear();
    painted.window.InvalidateRect(nullptr, FALSE);
    desktop.backend->Run();
    EXPECT_EQ(painted.window.Count(WM_PAINT), 1u);
    EXPECT_EQ(painted.window.Count(WM_ERASEBKGND), 0u);
}

TEST(WindowPaint, ParentInvalidationRepaintsChildrenOnTopUnlessClipChildren)
{
    for (DWORD clipChildren : {DWORD{0}, WS_CLIPCHILDREN}) {
        SCOPED_TRACE(clipChildren);
        HeadlessDesktop desktop;
        ProbeWindow parent;
        ProbeWindow child;
        parent.handlers[WM_ERASEBKGND] = [&](WPARAM dc, LPARAM) {
            FillClient(parent.m_hWnd, reinterpret_cast<HDC>(dc), kBlue);
            return LRESULT{1};
        };
        child.handlers[WM_ERASEBKGND] = [&](WPARAM dc, LPARAM) {
            FillClient(child.m_hWnd, reinterpret_cast<HDC>(dc), kRed);
            return LRESULT{1};
        };
        parent.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE | clipChildren, {0, 0, 100, 100}, nullptr, 0);
        child.CreateEx(0, nullptr, "", WS_CHILD | WS_VISIBLE, {20, 20, 40, 40}, &parent, 7);
        desktop.backend->Run();
        child.log.clear();
        parent.Invalidate(TRUE);
        desktop.backend->Run();
        EXPECT_EQ(desktop.backend->Pixel(parent.m_hWnd, 30, 30), Px(kRed));
        EXPECT_EQ(desktop.backend->Pixel(parent.m_hWnd, 10, 10), Px(kBlue));
        EXPECT_EQ(child.Count(WM_PAINT), clipChildren ? 0u : 1u);
    }
}

TEST(WindowPaint, PrintRendersTheEraseIntoAMemoryDC)
{
    HeadlessDesktop desktop;
    PaintedWindow painted(kGreen);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 150);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(painted.window.m_hWnd, WM_PRINT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | PRF_ERASEBKGND | PRF_OWNED);
    EXPECT_EQ(GetPixel(memory, 50, 50), kGreen);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

TEST(WindowTimers, TicksFollowTheVirtualClockUntilKilled)
{
    HeadlessDesktop desktop;
    ProbeWindow window;
    std::vector<std::pair<UINT_PTR, uint64_t>> ticks;
    window.handlers[WM_TIMER] = [&](WPARAM id, LPARAM) {
        ticks.push_back({id, desktop.backend->Now()});
        return LRESULT{0};
    };
    window.CreateEx(0, nullptr, "", WS_POPUP, {0, 0, 10, 10}, nullptr, 0);
    window.SetTimer(1, 10);
    window.SetTimer(2, 25);
    window.SetTimer(3, 1);  // raised to the 10 ms minimum
    desktop.backend->Advance(50).Run();
    auto count = [&](UINT_PTR id) {
        return std::count_if(ticks.begin(), ticks.end(), [&](auto& t) { return t.first == id; });
    };
    EXPECT_EQ(count(1), 5);
    EXPECT_EQ(count(2), 2);
    EXPECT_EQ(count(3), 5);
    EXPECT_EQ(ticks.front().second, 10u);
    EXPECT_TRUE(std::is_sorted(ticks.begin(), ticks.end(), [](auto& a, auto& b) { return a.second < b.second; }));

    window.KillTimer(1);
    ticks.clear();
    desktop.backend->Advance(100).Run();
    EXPECT_EQ(count(1), 0);
    EXPECT_EQ(count(2), 4);
}

// An owner-drawn push button in a parent that records its clicks and draw states.
struct ButtonBench {
    ButtonBench()
    {
        parent.handlers[WM_COMMAND] = [this](WPARAM w, LPARAM) {
            if (HIWORD(w) == BN_CLICKED)
                clicks.push_back(LOWORD(w));
            return LRESULT{0};
        };
        parent.handlers[WM_DRAWITEM] = [this](WPARAM, LPARAM l) {
            states.push_back(reinterpret_cast<DRAWITEMSTRUCT*>(l)->itemState);
            return LRESULT{1};
        };
        parent.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, {0, 0, 200, 200}, nullptr, 0);
        button = CreateWindowExA(0, WC_BUTTON, "ok", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 50, 50, 40, 20,
                                 parent.m_hWnd, reinterpret_cast<HMENU>(intptr_t{42}), nullptr, nullptr);
    }
    ProbeWindow parent;
    HWND button = nullptr;
    std::vector<int> clicks;
    std::vector<UINT> states;
};

TEST(OwnerDrawnButton, ClicksOnlyWhenReleasedOverItself)
{
    struct Case {
        const char* name;
        POINT release;
        size_t clicks;
    };
    for (const Case& c : {Case{"release inside", {60, 55}, 1}, Case{"release outside", {150, 150}, 0}}) {
        SCOPED_TRACE(c.name);
        HeadlessDesktop desktop;
        ButtonBench bench;
        desktop.backend->Run();
        desktop.backend->MoveMouse(60, 55).Then([&] { bench.states.clear(); }).PressLeft();
        desktop.backend->Run();
        EXPECT_EQ(bench.states.size(), 1u);
        EXPECT_TRUE(bench.states.back() & ODS_SELECTED) << "pressed face while held";
        desktop.backend->MoveMouse(c.release.x, c.release.y).ReleaseLeft().Run();
        EXPECT_EQ(bench.clicks.size(), c.clicks);
        EXPECT_FALSE(bench.states.back() & ODS_SELECTED);
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST(OwnerDrawnButton, DisabledButtonDrawsDisabledAndIgnoresClicks)
{
    HeadlessDesktop desktop;
    ButtonBench bench;
    EnableWindow(bench.button, FALSE);
    desktop.backend->Run();
    ASSERT_FALSE(bench.states.empty());
    EXPECT_TRUE(bench.states.back() & ODS_DISABLED);
    desktop.backend->Click(60, 55).Run();
    EXPECT_TRUE(bench.clicks.empty());
}

TEST(MouseTracking, LeaveNoticeWhenTheCursorLeavesOrEntersAChild)
{
    HeadlessDesktop desktop;
    ButtonBench bench;
    desktop.backend->MoveMouse(10, 10).Then([&] {
        TRACKMOUSEEVENT track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = bench.parent.m_hWnd;
        _TrackMouseEvent(&track);
    });
    desktop.backend->MoveMouse(20, 20).Run();
    EXPECT_EQ(bench.parent.Count(WM_MOUSELEAVE), 0u) << "still over the window";
    desktop.backend->MoveMouse(60, 55).Run();
    EXPECT_EQ(bench.parent.Count(WM_MOUSELEAVE), 1u) << "over the child button";
    desktop.backend->MoveMouse(500, 500).Run();
    EXPECT_EQ(bench.parent.Count(WM_MOUSELEAVE), 1u) << "one notice per request";
}

TEST(MouseTracking, SetCursorAsksTheParentFirstThenSetsTheArrow)
{
    HeadlessDesktop desktop;
    ButtonBench bench;
    bool parentTakes = true;
    bench.parent.handlers[WM_SETCURSOR] = [&](WPARAM, LPARAM) {
        if (parentTakes)
            SetCursor(LoadCursorA(nullptr, IDC_HAND));
        return LRESULT{parentTakes};
    };
    desktop.backend->MoveMouse(60, 55).Run();
    EXPECT_EQ(desktop.backend->cursor, CursorShape::Hand);
    parentTakes = false;
    desktop.backend->MoveMouse(61, 55).Run();
    EXPECT_EQ(desktop.backend->cursor, CursorShape::Arrow);
}

TEST(MoveLoop, CaptionPressMovesTheWindowWithTheCursor)
{
    for (bool fullWindows : {true, false}) {
        SCOPED_TRACE(fullWindows);
        HeadlessDesktop desktop;
        desktop.system->SetDragFullWindows(fullWindows);
        PaintedWindow painted(kBlue);
        RECT during{};
        desktop.backend->MoveMouse(110, 110).PressLeft().Then(
            [&] { PostMessageA(painted.window.m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(10, 10)); });
        desktop.backend->MoveMouse(130, 150).Then([&] { GetWindowRect(painted.window.m_hWnd, &during); });
        desktop.backend->ReleaseLeft().Run();
        RECT after;
        GetWindowRect(painted.window.m_hWnd, &after);
        EXPECT_EQ(after.left, 120);
        EXPECT_EQ(after.top, 140);
        EXPECT_EQ(during.left, fullWindows ? 120 : 100) << "contents follow only with full-window dragging";
        EXPECT_FALSE(desktop.system->IsMoveLoopRunning());
        EXPECT_EQ(painted.window.Count(WM_EXITSIZEMOVE), 1u);
    }
}

TEST(SystemCommands, MinimiseMaximiseRestoreAndClose)
{
    HeadlessDesktop desktop;
    PaintedWindow painted(kBlue);
    HWND window = painted.window.m_hWnd;
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(window));

    SendMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ(rect, desktop.backend->workArea);
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect, (RECT{100, 100, 300, 250}));

    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(painted.window.m_hWnd, nullptr);
}

TEST(Dispatcher, AHandlerThatThrowsLosesOnlyItsMessage)
{
    HeadlessDesktop desktop;
    ProbeWindow window;
    window.handlers[WM_USER + 1] = [](WPARAM, LPARAM) -> LRESULT { throw std::runtime_error("handler failed"); };
    window.handlers[WM_USER + 2] = [](WPARAM, LPARAM) { return LRESULT{7}; };
    window.CreateEx(0, nullptr, "", WS_POPUP, {0, 0, 10, 10}, nullptr, 0);
    EXPECT_EQ(window.SendMessage(WM_USER + 1), 0);
    EXPECT_EQ(window.SendMessage(WM_USER + 2), 7);
}

// A static control whose colour request is reflected back to its own object.
class ColouredStatic : public CStatic {
public:
    CBrush brush{RGB(0, 0, 255)};

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        static const MessageMap<ColouredStatic> kMap{
            OnReflectedCtlColor(&ColouredStatic::CtlColor, WM_CTLCOLORSTATIC),
        };
        return kMap.Dispatch(*this, message, wParam, lParam, result) ||
               CStatic::OnWndMsg(message, wParam, lParam, result);
    }

private:
    HBRUSH CtlColor(CDC* dc, UINT)
    {
        dc->SetTextColor(RGB(255, 255, 255));
        dc->SetBkMode(TRANSPARENT);
        return brush;
    }
};

TEST(StaticControl, PaintsWithTheBrushOfTheReflectedColourRequest)
{
    HeadlessDesktop desktop;
    PaintedWindow painted(kGreen);
    HWND label = CreateWindowExA(0, WC_STATIC, "字", WS_CHILD | WS_VISIBLE, 10, 10, 60, 20, painted.window.m_hWnd,
                                 reinterpret_cast<HMENU>(intptr_t{5}), nullptr, nullptr);
    ColouredStatic coloured;
    ASSERT_TRUE(coloured.SubclassWindow(label));
    desktop.backend->Run();
    EXPECT_EQ(desktop.backend->Pixel(painted.window.m_hWnd, 68, 28), Px(kBlue));
    int white = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 30; ++x)
            white += desktop.backend->Pixel(painted.window.m_hWnd, x, y) == 0xFFFFFF;
    EXPECT_GT(white, 5) << "the text is drawn in the requested colour";
}

}  // namespace
