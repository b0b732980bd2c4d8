// A desktop demonstration of the GTK back end: a dialog drawn from its skin bitmaps, with a
// shaped window, hovering and pressable bitmap buttons, a caption drag and, in the field
// layouts, a native edit field with the file or folder chooser. With --probe it answers
// SIGUSR2 (WebKit's collector takes SIGUSR1) by comparing the screen with the skin bitmaps and
// printing what it sees, for the X test. --field shows the watermark-file dialog, --output the
// output-folder dialog, --folder DIR starts their choosers in DIR, and --web ADDRESS shows a
// web page in the notice box. --toolkit shows the notice box built with the skin toolkit.
#include "platform/DataExchange.h"
#include "platform/Dialog.h"
#include "platform/WindowSystem.h"
#include "platform/gtk/GtkBackend.h"
#include "res/ProgramResources.h"
#include "res/ResourceIds.h"
#include "res/SkinBitmaps.h"
#include "skin/SkinButton.h"
#include "skin/SkinDlg.h"
#include "skin/SkinLabel.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr uint32_t kKeyPixel = 0xFF00FF;
constexpr int kCaptionHeight = 30;

struct DemoButton {
    int id;
    const char* name;
    POINT place;
    int faces[3];  // hover, normal, pressed
    const char* caption;
};

// Where things stand on one of the two demonstrated dialogs, in client pixels.
struct DemoLayout {
    int templateId;
    int backgroundId;
    RECT closeRect;
    std::vector<DemoButton> buttons;
    int messageId;  // static whose text is drawn on the background (0: none)
    RECT messageRect;
    int editId;  // native edit field (0: none)
    RECT editRect;
    int browseId;  // opens the file chooser, or the folder chooser when `chooseFolder`
    bool chooseFolder;
};

const DemoLayout kNoticeLayout = {
    IDD_NOTICE,
    IDB_NOTICE_BACKGROUND,
    {249, 1, 270, 18},
    {{IDOK, "ok", {105, 131}, {IDB_GREY_HOVER, IDB_GREY_NORMAL, IDB_GREY_PRESSED}, "确 定"}},
    IDC_NOTICE_MESSAGE,
    {99, 68, 224, 109},
    0,
    {},
    0,
    false,
};

const DemoLayout kFieldLayout = {
    IDD_MARKFILE,
    IDB_MARKFILE_BACKGROUND,
    {365, 1, 386, 18},
    {{IDOK, "ok", {110, 120}, {IDB_GREY_HOVER, IDB_GREY_NORMAL, IDB_GREY_PRESSED}, "确 定"},
     {IDCANCEL, "cancel", {220, 120}, {IDB_GREY_HOVER, IDB_GREY_NORMAL, IDB_GREY_PRESSED}, "取 消"},
     {IDC_MARK_BROWSE, "browse", {328, 71}, {IDB_BROWSE_HOVER, IDB_BROWSE_NORMAL, IDB_BROWSE_PRESSED}, ""}},
    0,
    {},
    IDC_MARK_EDIT,
    {75, 73, 320, 86},
    IDC_MARK_BROWSE,
    false,
};

const DemoLayout kFolderLayout = {
    IDD_OUTPUT,
    IDB_OUTPUT_BACKGROUND,
    {365, 1, 386, 18},
    {{IDOK, "ok", {110, 120}, {IDB_GREY_HOVER, IDB_GREY_NORMAL, IDB_GREY_PRESSED}, "确 定"},
     {IDCANCEL, "cancel", {220, 120}, {IDB_GREY_HOVER, IDB_GREY_NORMAL, IDB_GREY_PRESSED}, "取 消"},
     {IDC_OUTPUT_BROWSE, "browse", {328, 71}, {IDB_BROWSE_HOVER, IDB_BROWSE_NORMAL, IDB_BROWSE_PRESSED}, ""}},
    0,
    {},
    IDC_OUTPUT_EDIT,
    {75, 73, 320, 86},
    IDC_OUTPUT_BROWSE,
    true,
};

bool Inside(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

RECT ButtonRect(const DemoButton& button)
{
    const SkinBitmap* face = FindSkinBitmap(button.faces[1]);
    return {button.place.x, button.place.y, button.place.x + face->width, button.place.y + face->height};
}

// The window shape: the background's runs of non-magenta pixels, row by row.
HRGN RegionFromBitmap(const SkinBitmap& bitmap)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < bitmap.height; ++y) {
        const uint32_t* row = bitmap.pixels + static_cast<size_t>(y) * bitmap.width;
        int x = 0;
        while (x < bitmap.width) {
            while (x < bitmap.width && row[x] == kKeyPixel)
                ++x;
            int start = x;
            while (x < bitmap.width && row[x] != kKeyPixel)
                ++x;
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

// A template push button that tracks whether the pointer is over it.
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

class SkinDemo final : public CDialog {
public:
    SkinDemo(const DemoLayout& layout, std::string message, std::string chooserFolder, std::string webAddress)
        : CDialog(layout.templateId), m_Layout(layout), m_Message(std::move(message)),
          m_ChooserFolder(std::move(chooserFolder)), m_WebAddress(std::move(webAddress))
    {}

    HWND WebView() const { return m_WebView; }
    ~SkinDemo() override
    {
        for (auto& [id, bitmap] : m_Bitmaps)
            DeleteObject(bitmap);
    }

    const DemoLayout& Layout() const { return m_Layout; }
    bool ClosedByCaptionButton() const { return m_ClosedByCaptionButton; }
    const std::string& EditText() const { return m_EditText; }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        ModifyStyle(WS_CAPTION | DS_MODALFRAME, 0);
        const SkinBitmap* background = FindSkinBitmap(m_Layout.backgroundId);
        SetWindowPos(nullptr, 0, 0, background->width, background->height, SWP_NOMOVE | SWP_NOZORDER);
        SetWindowRgn(m_hWnd, RegionFromBitmap(*background), TRUE);
        if (m_Layout.messageId != 0)
            ::ShowWindow(GetDlgItem(m_Layout.messageId), SW_HIDE);
        for (const DemoButton& button : m_Layout.buttons) {
            auto control = std::make_unique<HoverButton>();
            control->SubclassDlgItem(button.id, this);
            HWND handle = GetDlgItem(button.id);
            ::SendMessageA(handle, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
            RECT rect = ButtonRect(button);
            ::SetWindowPos(handle, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                           SWP_NOZORDER);
            m_Controls[button.id] = std::move(control);
        }
        if (m_Layout.editId != 0) {
            const RECT& edit = m_Layout.editRect;
            ::SetWindowPos(GetDlgItem(m_Layout.editId), nullptr, edit.left, edit.top, edit.right - edit.left,
                           edit.bottom - edit.top, SWP_NOZORDER);
        }
        if (!m_WebAddress.empty() && m_Layout.messageId != 0) {
            // A web page in place of the message, as the main window shows its advertisement.
            const RECT& area = m_Layout.messageRect;
            m_WebView = CreateWindowExA(0, WC_WEBVIEW, "", WS_CHILD | WS_VISIBLE, area.left, area.top,
                                        area.right - area.left, area.bottom - area.top, m_hWnd,
                                        reinterpret_cast<HMENU>(static_cast<uintptr_t>(IDC_WEB_AD)), nullptr, nullptr);
            WebViewNavigate(m_WebView, m_WebAddress);
        }
        HICON icon = LoadIconA(AfxGetResourceHandle(), IDI_MAINFRAME);
        SetIcon(icon, TRUE);
        SetIcon(icon, FALSE);
        CenterWindow();
        return TRUE;
    }

    // An empty field is refused with a message box, and the dialog stays open.
    void OnOK() override
    {
        if (m_Layout.editId != 0) {
            m_EditText = GetWindowTextString(GetDlgItem(m_Layout.editId));
            if (m_EditText.empty()) {
                ::MessageBoxA(m_hWnd, "请选择水印文件", "Tessmark", MB_OK | MB_ICONEXCLAMATION);
                ::SetFocus(GetDlgItem(m_Layout.editId));
                return;
            }
        }
        CDialog::OnOK();
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
            m_DragArmed = point.y < kCaptionHeight && !Inside(m_Layout.closeRect, point);
            if (Inside(m_Layout.closeRect, point))
                ::InvalidateRect(m_hWnd, &m_Layout.closeRect, TRUE);
            *result = 0;
            return true;
        case WM_LBUTTONUP:
            if (Inside(m_Layout.closeRect, point) && Inside(m_Layout.closeRect, m_Press)) {
                m_ClosedByCaptionButton = true;
                EndDialog(IDCANCEL);
            }
            m_Press = {-1, -1};
            m_DragArmed = false;
            ::InvalidateRect(m_hWnd, &m_Layout.closeRect, TRUE);
            *result = 0;
            return true;
        case WM_RBUTTONUP:
            // The window's menu on a right click in the caption band.
            if (point.y < kCaptionHeight) {
                POINT screen = point;
                ::ClientToScreen(m_hWnd, &screen);
                TrackPopupMenu(GetSystemMenu(FALSE), 0, screen.x, screen.y, 0, m_hWnd, nullptr);
            }
            *result = 0;
            return true;
        case WM_MOUSELEAVE:
            m_Tracking = false;
            m_Hover = false;
            ::InvalidateRect(m_hWnd, &m_Layout.closeRect, TRUE);
            *result = 0;
            return true;
        case WM_DRAWITEM:
            DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            *result = TRUE;
            return true;
        case WM_COMMAND:
            // Commands of the window's menu go on as system commands.
            if (lParam == 0 && LOWORD(wParam) >= SC_SIZE) {
                *result = ::SendMessageA(m_hWnd, WM_SYSCOMMAND, LOWORD(wParam), 0);
                return true;
            }
            if (m_Layout.browseId != 0 && LOWORD(wParam) == m_Layout.browseId && HIWORD(wParam) == BN_CLICKED) {
                Browse();
                *result = 0;
                return true;
            }
            break;
        default:
            break;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }

private:
    HBITMAP Bitmap(int id)
    {
        HBITMAP& bitmap = m_Bitmaps[id];
        if (!bitmap)
            bitmap = LoadBitmapA(AfxGetResourceHandle(), static_cast<uintptr_t>(id));
        return bitmap;
    }

    void OnMouseMove(UINT flags, POINT point)
    {
        if (m_DragArmed && flags == MK_LBUTTON && point.y < kCaptionHeight) {
            m_DragArmed = false;
            ::PostMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
        }
        bool hover = Inside(m_Layout.closeRect, point);
        if (hover != m_Hover) {
            m_Hover = hover;
            ::InvalidateRect(m_hWnd, &m_Layout.closeRect, TRUE);
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
        HGDIOBJ old = SelectObject(source, Bitmap(m_Layout.backgroundId));
        BitBlt(memory, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        bool pressed = m_Hover && Inside(m_Layout.closeRect, m_Press) && (GetAsyncKeyState(VK_LBUTTON) & 0x8000);
        DrawKeyed(memory,
                  Bitmap(pressed   ? IDB_CLOSE_PRESSED
                         : m_Hover ? IDB_CLOSE_HOVER
                                   : IDB_CLOSE_NORMAL),
                  m_Layout.closeRect.left, m_Layout.closeRect.top);
        if (m_Layout.messageId != 0) {
            RECT text = m_Layout.messageRect;
            SetBkMode(memory, TRANSPARENT);
            SetTextColor(memory, RGB(255, 255, 255));
            HGDIOBJ oldFont = SelectObject(memory, reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
            DrawTextA(memory, m_Message.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(memory, oldFont);
        }
        BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldFrame);
        DeleteObject(frame);
        DeleteDC(memory);
    }

    void DrawButton(const DRAWITEMSTRUCT& item)
    {
        for (const DemoButton& button : m_Layout.buttons) {
            if (button.id != static_cast<int>(item.CtlID))
                continue;
            bool pressed = (item.itemState & ODS_SELECTED) != 0;
            bool hover = m_Controls[button.id]->Hover();
            DrawKeyed(item.hDC, Bitmap(button.faces[pressed ? 2 : hover ? 0 : 1]), 0, 0);
            RECT text = item.rcItem;
            if (pressed)
                ::OffsetRect(&text, 1, 1);
            SetBkMode(item.hDC, TRANSPARENT);
            SetTextColor(item.hDC, RGB(0, 0, 0));
            DrawTextA(item.hDC, button.caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }

    void Browse()
    {
        HWND edit = GetDlgItem(m_Layout.editId);
        if (m_Layout.chooseFolder) {
            FolderChooserRequest request;
            request.owner = m_hWnd;
            request.title = "请选择您的目录";
            std::string typed = GetWindowTextString(edit);
            request.initialFolder = typed.empty() ? m_ChooserFolder : typed;
            request.editBox = true;
            request.statusText = true;
            request.newStyle = true;
            auto folder = WindowSystem::Current().GetBackend().ChooseFolder(request);
            if (folder)
                ::SetWindowTextA(edit, folder->c_str());
            return;
        }
        FileChooserRequest request;
        request.owner = m_hWnd;
        request.title = "请选择水印文件";
        request.initialFolder = m_ChooserFolder;
        request.filters = {{"全部图片文件", "*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.tif;*.tiff;*.tga"}, {"全部文件", "*.*"}};
        auto chosen = WindowSystem::Current().GetBackend().ChooseFiles(request);
        if (chosen && !chosen->empty())
            ::SetWindowTextA(edit, chosen->front().c_str());
    }

    const DemoLayout& m_Layout;
    std::string m_Message;
    std::string m_EditText;
    std::string m_ChooserFolder;
    std::string m_WebAddress;
    HWND m_WebView = nullptr;
    std::map<int, HBITMAP> m_Bitmaps;
    std::map<int, std::unique_ptr<HoverButton>> m_Controls;
    bool m_Hover = false;
    bool m_Tracking = false;
    bool m_DragArmed = false;
    bool m_ClosedByCaptionButton = false;
    POINT m_Press = {-1, -1};
};

// The notice box built with the skin toolkit itself: the skinned frame, a bitmap button and a
// label on the teal panel, set up as the program's dialogs set themselves up.
class ToolkitNotice final : public CSkinDlg {
public:
    explicit ToolkitNotice(std::string message) : CSkinDlg(IDD_NOTICE, nullptr), m_strMessage(std::move(message)) {}

    void DoDataExchange(CDataExchange* exchange) override
    {
        DDX_Control(exchange, IDOK, m_Ok);
        DDX_Control(exchange, IDC_NOTICE_MESSAGE, m_Label);
        DDX_Text(exchange, IDC_NOTICE_MESSAGE, m_strMessage);
    }

    BOOL OnInitDialog() override
    {
        UseWindowRegion();
        CSkinDlg::OnInitDialog();
        SetBackgroundBitmap(IDB_NOTICE_BACKGROUND);
        SetCloseButtonBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_PRESSED);
        SetCaptionHeight(30);
        SetDragFullWindows(TRUE);
        ShowCaptionTitle(FALSE);
        m_Ok.SetBitmaps(IDB_GREY_NORMAL, IDB_GREY_HOVER, IDB_GREY_PRESSED, IDB_GREY_PRESSED, 0x1000000, 0);
        m_Ok.ShowText(TRUE);
        m_Ok.SetWindowPos(nullptr, 105, 131, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        m_Label.SetBackground(RGB(38, 77, 77), RGB(38, 77, 77), 0x1000000, 0);
        m_Label.SetTextColor(RGB(255, 255, 255));
        CenterWindow();
        return TRUE;
    }

    // The close button stands 6 pixels from the right edge and 1 pixel below the top.
    RECT GetCloseButtonRect() override
    {
        RECT client;
        GetClientRect(&client);
        RECT standard = CSkinDlg::GetCloseButtonRect();
        int width = standard.right - standard.left;
        int height = standard.bottom - standard.top;
        if (width <= 0)
            return standard;
        return {client.right - 6 - width, client.top + 1, client.right - 6, client.top + 1 + height};
    }

private:
    CSkinButton m_Ok;
    CSkinLabel m_Label;
    std::string m_strMessage;
};

// Which face of a keyed bitmap triple the screen shows at `origin` (window pixels); pixels in
// `ignore` (face coordinates, where a caption is drawn) are not compared.
const char* FaceOnScreen(const std::vector<uint32_t>& screen, int screenWidth, POINT origin, const int (&ids)[3],
                         RECT ignore)
{
    const char* names[3] = {"hover", "normal", "pressed"};
    for (int face = 0; face < 3; ++face) {
        const SkinBitmap* bitmap = FindSkinBitmap(ids[face]);
        bool same = true;
        for (int y = 0; y < bitmap->height && same; ++y) {
            for (int x = 0; x < bitmap->width; ++x) {
                uint32_t want = bitmap->pixels[static_cast<size_t>(y) * bitmap->width + x];
                if (want == kKeyPixel || Inside(ignore, {x, y}))
                    continue;
                if (screen[static_cast<size_t>(origin.y + y) * screenWidth + origin.x + x] != want) {
                    same = false;
                    break;
                }
            }
        }
        if (same)
            return names[face];
    }
    return "none";
}

// Prints what the screen shows of the dialog: its place, whether the background matches its
// bitmap outside the controls, whether cut pixels show the desktop, each button's face and
// the edit field's text.
void Probe(GtkBackend& backend, HWND dialog, const DemoLayout& layout, HWND webView)
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
    std::vector<RECT> controls = {layout.closeRect, layout.messageRect, layout.editRect};
    for (const DemoButton& button : layout.buttons)
        controls.push_back(ButtonRect(button));
    const SkinBitmap* background = FindSkinBitmap(layout.backgroundId);
    long mismatches = 0;
    long cutShowingWindow = 0;
    for (int y = 0; y < background->height; ++y) {
        for (int x = 0; x < background->width; ++x) {
            uint32_t want = background->pixels[static_cast<size_t>(y) * background->width + x];
            uint32_t shown = screen[static_cast<size_t>(y) * width + x];
            if (want == kKeyPixel) {
                // The desktop shows through a cut pixel; the window's own colours never do.
                if (shown == kKeyPixel)
                    ++cutShowingWindow;
                continue;
            }
            bool onControl = false;
            for (const RECT& rect : controls)
                onControl = onControl || Inside(rect, {x, y});
            if (!onControl && shown != want)
                ++mismatches;
        }
    }
    const int closeIds[3] = {IDB_CLOSE_HOVER, IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED};
    printf("window=%d,%d background-mismatches=%ld cut-pixels-drawn=%ld close=%s", window.left, window.top, mismatches,
           cutShowingWindow, FaceOnScreen(screen, width, {layout.closeRect.left, layout.closeRect.top}, closeIds, {}));
    for (const DemoButton& button : layout.buttons) {
        RECT rect = ButtonRect(button);
        RECT captionArea =
            button.caption[0] ? RECT{4, 3, rect.right - rect.left - 4, rect.bottom - rect.top - 3} : RECT{};
        printf(" %s=%s", button.name, FaceOnScreen(screen, width, button.place, button.faces, captionArea));
    }
    if (webView) {
        POINT centre = {(layout.messageRect.left + layout.messageRect.right) / 2,
                        (layout.messageRect.top + layout.messageRect.bottom) / 2};
        printf(" web=%06x", screen[static_cast<size_t>(centre.y) * width + centre.x]);
    }
    if (layout.editId != 0)
        printf(" edit=[%s]", GetWindowTextString(GetDlgItem(dialog, layout.editId)).c_str());
    printf("\n");
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    bool probe = false;
    bool toolkit = false;
    const DemoLayout* layout = &kNoticeLayout;
    std::string message = "处理完毕";
    std::string chooserFolder;
    std::string webAddress;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--probe") == 0)
            probe = true;
        else if (std::strcmp(argv[i], "--field") == 0)
            layout = &kFieldLayout;
        else if (std::strcmp(argv[i], "--toolkit") == 0)
            toolkit = true;
        else if (std::strcmp(argv[i], "--output") == 0)
            layout = &kFolderLayout;
        else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc)
            chooserFolder = argv[++i];
        else if (std::strcmp(argv[i], "--web") == 0 && i + 1 < argc)
            webAddress = argv[++i];
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
    if (toolkit) {
        ToolkitNotice notice(message);
        if (probe) {
            gtk.WatchSignal(SIGUSR2, [&notice, &gtk] {
                if (IsWindow(notice.m_hWnd))
                    Probe(gtk, notice.m_hWnd, kNoticeLayout, nullptr);
            });
            printf("ready\n");
            fflush(stdout);
        }
        intptr_t result = notice.DoModal();
        printf("result=%s\n", result == IDOK ? "ok" : "cancel");
        return result == IDOK || result == IDCANCEL ? 0 : 1;
    }
    SkinDemo dialog(*layout, message, chooserFolder, webAddress);
    if (probe) {
        gtk.WatchSignal(SIGUSR2, [&dialog, &gtk] {
            if (IsWindow(dialog.m_hWnd))
                Probe(gtk, dialog.m_hWnd, dialog.Layout(), dialog.WebView());
        });
        printf("ready\n");
        fflush(stdout);
    }
    intptr_t result = dialog.DoModal();
    printf("result=%s\n", result == IDOK ? "ok" : dialog.ClosedByCaptionButton() ? "close-button" : "cancel");
    if (layout->editId != 0)
        printf("edit=[%s]\n", dialog.EditText().c_str());
    return result == IDOK || result == IDCANCEL ? 0 : 1;
}
