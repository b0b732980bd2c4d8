// A desktop demonstration of the GTK back end: the notice box drawn from its skin bitmaps, with
// a shaped window, a hovering close button, a caption drag and a pressable OK button. With
// --probe it answers SIGUSR1 by comparing the screen with the skin bitmaps (for the X test).
#include "platform/Dialog.h"
#include "platform/WindowSystem.h"
#include "platform/gtk/GtkBackend.h"
#include "res/ProgramResources.h"
#include "res/ResourceIds.h"
#include "res/SkinBitmaps.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr int kCaptionHeight = 30;
constexpr RECT kCloseRect = {249, 1, 270, 18};   // right edge 6 pixels from the window's
constexpr RECT kMessageRect = {99, 68, 224, 109};  // the label's place on the teal panel
constexpr POINT kOkPlace = {105, 131};

bool Inside(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

// The window shape: the background's runs of non-magenta pixels, row by row.
HRGN RegionFromBitmap(const SkinBitmap& bitmap)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < bitmap.height; ++y) {
        const uint32_t* row = bitmap.pixels + static_cast<size_t>(y) * bitmap.width;
        int x = 0;
        while (x < bitmap.width) {
            while (x < bitmap.width && row[x] == 0xFF00FF) ++x;
            int start = x;
            while (x < bitmap.width && row[x] != 0xFF00FF) ++x;
            if (x > start) {
                HRGN run = CreateRectRgn(start, y, x, y + 1);
                CombineRgn(region, region, run, RGN_OR);
                DeleteObject(run);
            }
        }
    }
    return region;
}

// Copies a bitmap onto a DC, leaving out its magenta pixels.
void DrawKeyed(HDC target, HBITMAP bitmap, int x, int y)
{
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HDC source = CreateCompatibleDC(target);
    HGDIOBJ old = SelectObject(source, bitmap);
    TransparentBlt(target, x, y, info.bmWidth, info.bmHeight, source, 0, 0, info.bmWidth, info.bmHeight, kKey);
    SelectObject(source, old);
    DeleteDC(source);
}

// The OK button's hover state: set when the pointer enters it, cleared on leave.
class HoverButton final : public CWnd {
public:
    bool Hover() const { return m_Hover; }

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_MOUSEMOVE && !m_Hover && !(wParam & MK_LBUTTON)) {
            m_Hover = true;
            TRACKMOUSEEVENT track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = m_hWnd;
            TrackMouseEvent(&track);
            Invalidate(TRUE);
        } else if (message == WM_MOUSELEAVE) {
            m_Hover = false;
            Invalidate(TRUE);
            *result = 0;
            return true;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }

private:
    bool m_Hover = false;
};

class NoticeDemo final : public CDialog {
public:
    explicit NoticeDemo(std::string message) : CDialog(IDD_NOTICE), m_Message(std::move(message)) {}
    ~NoticeDemo() override
    {
        for (HBITMAP bitmap : {m_Background, m_CloseHover, m_CloseNormal, m_ClosePressed, m_OkHoverFace, m_OkNormalFace,
                               m_OkPressedFace})
            if (bitmap) DeleteObject(bitmap);
    }

    bool ClosedByCaptionButton() const { return m_ClosedByCaptionButton; }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        ModifyStyle(WS_CAPTION | DS_MODALFRAME, 0);
        HINSTANCE instance = AfxGetResourceHandle();
        m_Background = LoadBitmapA(instance, IDB_NOTICE_BACKGROUND);
        m_CloseHover = LoadBitmapA(instance, IDB_CLOSE_HOVER);
        m_CloseNormal = LoadBitmapA(instance, IDB_CLOSE_NORMAL);
        m_ClosePressed = LoadBitmapA(instance, IDB_CLOSE_PRESSED);
        m_OkHoverFace = LoadBitmapA(instance, IDB_GREY_HOVER);
        m_OkNormalFace = LoadBitmapA(instance, IDB_GREY_NORMAL);
        m_OkPressedFace = LoadBitmapA(instance, IDB_GREY_PRESSED);
        const SkinBitmap* background = FindSkinBitmap(IDB_NOTICE_BACKGROUND);
        SetWindowPos(nullptr, 0, 0, background->width, background->height, SWP_NOMOVE | SWP_NOZORDER);
        SetWindowRgn(m_hWnd, RegionFromBitmap(*background), TRUE);
        ::ShowWindow(GetDlgItem(IDC_NOTICE_MESSAGE), SW_HIDE);
        m_OkButton.SubclassDlgItem(IDOK, this);
        HWND ok = GetDlgItem(IDOK);
        ::SendMessageA(ok, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
        ::SetWindowPos(ok, nullptr, kOkPlace.x, kOkPlace.y, 69, 23, SWP_NOZORDER);
        CenterWindow();
        return TRUE;
    }

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        switch (message) {
        case WM_ERASEBKGND:
            Paint(reinterpret_cast<HDC>(wParam));
            *result = TRUE;
            return true;
        case WM_MOUSEMOVE:
            OnMouseMove(static_cast<UINT>(wParam), point);
            *result = 0;
            return true;
        case WM_LBUTTONDOWN:
            m_Press = point;
            m_DragArmed = point.y < kCaptionHeight && !Inside(kCloseRect, point);
            if (Inside(kCloseRect, point)) ::InvalidateRect(m_hWnd, &kCloseRect, TRUE);
            *result = 0;
            return true;
        case WM_LBUTTONUP:
            if (Inside(kCloseRect, point) && Inside(kCloseRect, m_Press)) {
                m_ClosedByCaptionButton = true;
                EndDialog(IDCANCEL);
            }
            m_Press = {-1, -1};
            m_DragArmed = false;
            ::InvalidateRect(m_hWnd, &kCloseRect, TRUE);
            *result = 0;
            return true;
        case WM_MOUSELEAVE:
            m_Tracking = false;
            m_Hover = false;
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
            *result = 0;
            return true;
        case WM_DRAWITEM:
            DrawOk(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            *result = TRUE;
            return true;
        default: break;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }

private:
    void OnMouseMove(UINT flags, POINT point)
    {
        if (m_DragArmed && flags == MK_LBUTTON && point.y < kCaptionHeight) {
            m_DragArmed = false;
            ::PostMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
        }
        bool hover = Inside(kCloseRect, point);
        if (hover != m_Hover) {
            m_Hover = hover;
            ::InvalidateRect(m_hWnd, &kCloseRect, TRUE);
        }
        if (!m_Tracking) {
            TRACKMOUSEEVENT track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = m_hWnd;
            m_Tracking = TrackMouseEvent(&track) != FALSE;
        }
    }

    void Paint(HDC target)
    {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        HDC memory = CreateCompatibleDC(target);
        HBITMAP frame = CreateCompatibleBitmap(target, client.right, client.bottom);
        HGDIOBJ oldFrame = SelectObject(memory, frame);
        HDC source = CreateCompatibleDC(target);
        HGDIOBJ old = SelectObject(source, m_Background);
        BitBlt(memory, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        bool pressed = m_Hover && Inside(kCloseRect, m_Press) && (GetAsyncKeyState(VK_LBUTTON) & 0x8000);
        DrawKeyed(memory, pressed ? m_ClosePressed : m_Hover ? m_CloseHover : m_CloseNormal, kCloseRect.left,
                  kCloseRect.top);
        RECT text = kMessageRect;
        SetBkMode(memory, TRANSPARENT);
        SetTextColor(memory, RGB(255, 255, 255));
        HGDIOBJ oldFont = SelectObject(memory, reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
        DrawTextA(memory, m_Message.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(memory, oldFont);
        BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldFrame);
        DeleteObject(frame);
        DeleteDC(memory);
    }

    void DrawOk(const DRAWITEMSTRUCT& item)
    {
        bool pressed = (item.itemState & ODS_SELECTED) != 0;
        DrawKeyed(item.hDC, pressed ? m_OkPressedFace : m_OkButton.Hover() ? m_OkHoverFace : m_OkNormalFace, 0, 0);
        RECT text = item.rcItem;
        if (pressed) {
            text.left += 1;
            text.top += 1;
            text.right += 1;
            text.bottom += 1;
        }
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, RGB(0, 0, 0));
        DrawTextA(item.hDC, "确 定", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

    std::string m_Message;
    HBITMAP m_Background = nullptr;
    HBITMAP m_CloseHover = nullptr;
    HBITMAP m_CloseNormal = nullptr;
    HBITMAP m_ClosePressed = nullptr;
    HBITMAP m_OkHoverFace = nullptr;
    HBITMAP m_OkNormalFace = nullptr;
    HBITMAP m_OkPressedFace = nullptr;
    bool m_Hover = false;
    HoverButton m_OkButton;
    bool m_Tracking = false;
    bool m_DragArmed = false;
    bool m_ClosedByCaptionButton = false;
    POINT m_Press = {-1, -1};
};

// Which of the three faces of a keyed bitmap triple the screen shows at `origin`; pixels in
// `ignore` (face coordinates, where a caption is drawn) are not compared.
const char* FaceOnScreen(const std::vector<uint32_t>& screen, int screenWidth, POINT origin, const int (&ids)[3],
                         RECT ignore = {})
{
    const char* names[3] = {"hover", "normal", "pressed"};
    for (int face = 0; face < 3; ++face) {
        const SkinBitmap* bitmap = FindSkinBitmap(ids[face]);
        bool same = true;
        for (int y = 0; y < bitmap->height && same; ++y) {
            for (int x = 0; x < bitmap->width; ++x) {
                uint32_t want = bitmap->pixels[static_cast<size_t>(y) * bitmap->width + x];
                if (want == 0xFF00FF || Inside(ignore, {x, y})) continue;
                if (screen[static_cast<size_t>(origin.y + y) * screenWidth + origin.x + x] != want) {
                    same = false;
                    break;
                }
            }
        }
        if (same) return names[face];
    }
    return "none";
}

// Prints what the screen shows of the dialog: its place, the faces of its two buttons, whether
// the background matches the bitmap and whether the cut corners show the desktop.
void Probe(GtkBackend& backend, HWND dialog)
{
    RECT window;
    GetWindowRect(dialog, &window);
    std::vector<uint32_t> screen;
    int width = window.right - window.left;
    if (!backend.ScreenPixels(window, screen)) {
        printf("probe=failed\n");
        fflush(stdout);
        return;
    }
    const SkinBitmap* background = FindSkinBitmap(IDB_NOTICE_BACKGROUND);
    RECT okRect = {kOkPlace.x, kOkPlace.y, kOkPlace.x + 69, kOkPlace.y + 23};
    long mismatches = 0;
    long cutShowingWindow = 0;
    for (int y = 0; y < background->height; ++y) {
        for (int x = 0; x < background->width; ++x) {
            POINT point = {x, y};
            uint32_t want = background->pixels[static_cast<size_t>(y) * background->width + x];
            uint32_t shown = screen[static_cast<size_t>(y) * width + x];
            if (want == 0xFF00FF) {
                // The desktop shows through a cut pixel; the window's own colours never do.
                if (shown == 0xFF00FF) ++cutShowingWindow;
                continue;
            }
            if (Inside(kCloseRect, point) || Inside(okRect, point) || Inside(kMessageRect, point)) continue;
            if (shown != want) ++mismatches;
        }
    }
    const int closeIds[3] = {IDB_CLOSE_HOVER, IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED};
    const int okIds[3] = {IDB_GREY_HOVER, IDB_GREY_NORMAL, IDB_GREY_PRESSED};
    printf("window=%d,%d background-mismatches=%ld cut-pixels-drawn=%ld close=%s ok=%s\n", window.left, window.top,
           mismatches, cutShowingWindow, FaceOnScreen(screen, width, {kCloseRect.left, kCloseRect.top}, closeIds),
           FaceOnScreen(screen, width, kOkPlace, okIds, {4, 3, 65, 20}));
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    bool probe = false;
    std::string message = "处理完毕";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--probe") == 0)
            probe = true;
        else
            message = argv[i];
    }
    std::unique_ptr<GtkBackend> backend = GtkBackend::Create();
    if (!backend) {
        fprintf(stderr, "tessmark-skin-demo: cannot open a display (is DISPLAY set?)\n");
        return 1;
    }
    GtkBackend& gtk = *backend;
    WindowSystem system(std::move(backend));
    AddProgramResources(system.Resources());
    NoticeDemo dialog(message);
    if (probe) {
        gtk.WatchSignal(SIGUSR1, [&dialog, &gtk] {
            if (IsWindow(dialog.m_hWnd)) Probe(gtk, dialog.m_hWnd);
        });
        printf("ready\n");
        fflush(stdout);
    }
    intptr_t result = dialog.DoModal();
    printf("result=%s\n", result == IDOK ? "ok" : dialog.ClosedByCaptionButton() ? "close-button" : "cancel");
    return result == IDOK || result == IDCANCEL ? 0 : 1;
}
