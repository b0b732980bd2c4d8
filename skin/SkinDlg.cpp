// CSkinDlg: layout of the caption elements, off-screen frame painting, caption dragging,
// caption-button commands, the system menu and the window region from the background.
#include "skin/SkinDlg.h"

#include "skin/SkinDraw.h"

#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kCaptionAndModalFrame = 0xC00080;
constexpr size_t kRegionGrowth = 100;
constexpr DWORD kRegionBatch = 2000;
constexpr LONG kMaxLong = INT32_MAX;  // MAXLONG

bool HasWidth(const RECT& rect)
{
    return rect.right - rect.left > 0;
}

bool BitmapSize(const CBitmap& bitmap, int& width, int& height)
{
    BITMAP info;
    if (!bitmap.GetSafeHandle() || !bitmap.GetBitmap(&info))
        return false;
    width = info.bmWidth;
    height = info.bmHeight;
    return true;
}

RECT EmptyAt(int x, int y)
{
    return {x, y, x, y};
}

// The system menu's commands, which come back from the popup as WM_COMMAND.
bool IsSystemMenuCommand(UINT id)
{
    return id == SC_RESTORE || id == SC_MOVE || id == SC_SIZE || id == SC_MINIMIZE || id == SC_MAXIMIZE ||
           id == SC_CLOSE || id == 16;
}

}  // namespace

CSkinDlg::CSkinDlg(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_CaptionHeight(GetSystemMetrics(SM_CYCAPTION))
{
    m_TitleFont.CreatePointFont(90, "宋体");
}

CSkinDlg::~CSkinDlg() = default;

// ---- Set-up --------------------------------------------------------------------------------

void CSkinDlg::UseWindowRegion()
{
    m_UseRegion = TRUE;
    m_Layered = FALSE;
}

void CSkinDlg::SetBackgroundBitmap(UINT nId)
{
    m_Background.bitmaps[0].DeleteObject();
    m_Background.bitmaps[0].LoadBitmap(nId & 0xFFFF);
    int width = 0;
    int height = 0;
    if (BitmapSize(m_Background.bitmaps[0], width, height))
        SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE);
}

void CSkinDlg::SetCloseButtonBitmaps(UINT nNormal, UINT nHover, UINT nPressed)
{
    for (int slot = 0; slot < 3; ++slot)
        m_Close.bitmaps[static_cast<size_t>(slot)].DeleteObject();
    m_Tracking = FALSE;
    m_Close.bitmaps[0].LoadBitmap(nNormal & 0xFFFF);
    m_Close.bitmaps[1].LoadBitmap(nHover & 0xFFFF);
    m_Close.bitmaps[2].LoadBitmap(nPressed & 0xFFFF);
}

void CSkinDlg::SetMinimizeButtonBitmaps(UINT nNormal, UINT nHover, UINT nPressed)
{
    for (int slot = 0; slot < 3; ++slot)
        m_Minimize.bitmaps[static_cast<size_t>(slot)].DeleteObject();
    m_Minimize.bitmaps[0].LoadBitmap(nNormal & 0xFFFF);
    m_Minimize.bitmaps[1].LoadBitmap(nHover & 0xFFFF);
    m_Minimize.bitmaps[2].LoadBitmap(nPressed & 0xFFFF);
}

void CSkinDlg::SetCaptionIcon(HICON h, BOOL bDraw)
{
    m_Icon = h;
    m_DrawIcon = bDraw;
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(h));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(h));
}

BOOL CSkinDlg::OnInitDialog()
{
    if (m_Layered) {
        // The colour-key call of layered windows does not exist here, which counts as the
        // function being missing: only the extended style changes.
        SetWindowLongA(m_hWnd, GWL_EXSTYLE, GetWindowLongA(m_hWnd, GWL_EXSTYLE) ^ WS_EX_LAYERED);
    }
    ModifyStyle(kCaptionAndModalFrame, 0);
    CDialog::OnInitDialog();
    return TRUE;
}

// ---- Layout --------------------------------------------------------------------------------

RECT CSkinDlg::GetCloseButtonRect()
{
    RECT client;
    GetClientRect(&client);
    int right = client.right - client.left - 20;
    int width = 0;
    int height = 0;
    if (!BitmapSize(m_Close.bitmaps[0], width, height))
        return EmptyAt(right, client.top + 5);
    return {right - width, client.top + 5, right, client.top + 5 + height};
}

RECT CSkinDlg::GetMaximizeButtonRect()
{
    const RECT& close = m_Close.rect;
    int width = 0;
    int height = 0;
    if (!BitmapSize(m_Maximize.bitmaps[0], width, height) || IsZoomed())
        return EmptyAt(close.left, close.top);
    return {close.left - width, close.top, close.left, close.top + height};
}

RECT CSkinDlg::GetRestoreButtonRect()
{
    const RECT& close = m_Close.rect;
    int width = 0;
    int height = 0;
    if (!BitmapSize(m_Restore.bitmaps[0], width, height) || !IsZoomed())
        return EmptyAt(close.left, close.top);
    return {close.left - width, close.top, close.left, close.top + height};
}

RECT CSkinDlg::GetMinimizeButtonRect()
{
    int width = 0;
    int height = 0;
    if (!BitmapSize(m_Minimize.bitmaps[0], width, height))
        return {0, 0, 0, 0};
    const RECT& anchor = IsZoomed() ? m_Restore.rect : m_Maximize.rect;
    return {anchor.left - width, anchor.top, anchor.left, anchor.top + height};
}

RECT CSkinDlg::GetIconRect()
{
    RECT client;
    GetClientRect(&client);
    if (m_Icon && m_ShowIcon)
        return {client.left + 30, client.top + 5, client.left + 46, client.top + 21};
    return EmptyAt(client.left + 30, client.top + 5);
}

RECT CSkinDlg::GetTitleRect()
{
    const RECT& icon = m_IconElement.rect;
    return {icon.right + 10, icon.top + 3, icon.right + 210, icon.top + 53};
}

RECT CSkinDlg::GetSystemMenuRect()
{
    return m_IconElement.rect;
}

void CSkinDlg::DrawUnderlay(CDC*) {}
void CSkinDlg::DrawOverlay(CDC*) {}

void CSkinDlg::UpdateCaptionLayout()
{
    if (!m_Background.bitmaps[0].GetSafeHandle())
        return;
    GetClientRect(&m_Background.rect);
    m_Close.rect = GetCloseButtonRect();
    m_Maximize.rect = GetMaximizeButtonRect();
    m_Restore.rect = GetRestoreButtonRect();
    m_Minimize.rect = GetMinimizeButtonRect();
    m_IconElement.rect = GetIconRect();
    m_Title.rect = GetTitleRect();
}

UINT CSkinDlg::GetElementState(const RECT& rect) const
{
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    if (!PtInRect(&rect, cursor))
        return 0;
    if (!GetAsyncKeyState(VK_LBUTTON))
        return ODS_HOTLIGHT;
    return PtInRect(&rect, m_PressPoint) ? ODS_SELECTED : 0;
}

BOOL CSkinDlg::IsOverCaptionButton()
{
    UpdateCaptionLayout();
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    for (const RECT* rect : {&m_Close.rect, &m_Maximize.rect, &m_Restore.rect, &m_Minimize.rect, &m_IconElement.rect})
        if (PtInRect(rect, cursor))
            return TRUE;
    return FALSE;
}

// ---- Painting ------------------------------------------------------------------------------

void CSkinDlg::DrawElement(const DRAWITEMSTRUCT& item)
{
    auto* element = reinterpret_cast<SkinElement*>(item.itemData);
    CDC dc;
    dc.Attach(item.hDC);
    CSkinDraw draw;
    switch (item.CtlType) {
    case kElementBackground:
        draw.DrawBitmap(&dc, &element->bitmaps[0], item.rcItem.left, item.rcItem.top);
        break;
    case kElementClose:
    case kElementMaximize:
    case kElementRestore:
    case kElementMinimize: {
        size_t slot = (item.itemState & ODS_HOTLIGHT) ? 1 : (item.itemState & ODS_SELECTED) ? 2 : 0;
        draw.StretchTransparent(&dc, &element->bitmaps[slot], item.rcItem, kSkinKey);
        break;
    }
    case kElementIcon:
        if (m_DrawIcon)
            DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, m_Icon, 16, 16, 0, nullptr, DI_NORMAL);
        break;
    case kElementTitle: {
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(m_TitleColor);
        HGDIOBJ old = dc.SelectObject(&m_TitleFont);
        dc.TextOut(item.rcItem.left, item.rcItem.top, GetWindowText());
        dc.SelectObject(old);
        break;
    }
    default:
        break;
    }
    dc.Detach();
}

void CSkinDlg::DrawCaptionButtons(CDC* pDC)
{
    auto paint = [&](SkinElement& element, SkinElementKind kind) {
        if (!HasWidth(element.rect))
            return;
        DRAWITEMSTRUCT item;
        item.CtlType = kind;
        item.CtlID = 0;
        item.itemState = GetElementState(element.rect);
        item.hwndItem = m_hWnd;
        item.hDC = pDC->GetSafeHdc();
        item.rcItem = element.rect;
        item.itemData = reinterpret_cast<uintptr_t>(&element);
        DrawElement(item);
    };
    paint(m_Close, kElementClose);
    if (!IsZoomed())
        paint(m_Maximize, kElementMaximize);
    else
        paint(m_Restore, kElementRestore);
    paint(m_Minimize, kElementMinimize);
}

BOOL CSkinDlg::OnEraseBkgnd(CDC* pDC)
{
    if (!m_Background.bitmaps[0].GetSafeHandle())
        return static_cast<BOOL>(Default());
    RECT client;
    GetClientRect(&client);
    UpdateCaptionLayout();
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    CDC memory;
    CBitmap canvas;
    if (!memory.CreateCompatibleDC(nullptr) || !canvas.CreateCompatibleBitmap(pDC, width, height))
        return TRUE;
    HGDIOBJ old = memory.SelectObject(&canvas);
    DrawUnderlay(&memory);

    auto record = [&](SkinElement& element, SkinElementKind kind) {
        DRAWITEMSTRUCT item;
        item.CtlType = kind;
        item.hwndItem = m_hWnd;
        item.hDC = memory.GetSafeHdc();
        item.rcItem = element.rect;
        item.itemData = reinterpret_cast<uintptr_t>(&element);
        return item;
    };
    DrawElement(record(m_Background, kElementBackground));
    DrawCaptionButtons(&memory);
    if (HasWidth(m_IconElement.rect) && m_ShowIcon)
        DrawElement(record(m_IconElement, kElementIcon));
    if (HasWidth(m_Title.rect) && m_ShowTitle)
        DrawElement(record(m_Title, kElementTitle));
    DrawOverlay(&memory);

    pDC->BitBlt(0, 0, width, height, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
    return TRUE;
}

// ---- Mouse ---------------------------------------------------------------------------------

void CSkinDlg::OnMouseMove(UINT nFlags, POINT point)
{
    Default();
    if (nFlags == MK_LBUTTON && point.y < m_CaptionHeight && !IsOverCaptionButton() && m_DragArmed && !IsZoomed())
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    if (IsOverCaptionButton() || m_OverButton) {
        CClientDC dc(this);
        DrawCaptionButtons(&dc);
        m_OverButton = IsOverCaptionButton();
    }
    if (!m_Tracking) {
        m_Tracking = TRUE;
        TRACKMOUSEEVENT track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        _TrackMouseEvent(&track);
    }
}

void CSkinDlg::OnLButtonDown(UINT nFlags, POINT point)
{
    m_PressPoint = point;
    m_DragArmed = FALSE;
    if (IsOverCaptionButton()) {
        CClientDC dc(this);
        DrawCaptionButtons(&dc);
    }
    if (nFlags == MK_LBUTTON && point.y < m_CaptionHeight && !IsOverCaptionButton() && !IsZoomed())
        m_DragArmed = TRUE;
    RECT menuRect = GetSystemMenuRect();
    if (PtInRect(&menuRect, point)) {
        HMENU menu = GetSystemMenu(FALSE);
        bool zoomed = IsZoomed();
        struct Item {
            UINT position;
            bool enabledWhenZoomed;
            bool enabledOtherwise;
        };
        for (const Item& item : {Item{0, true, false}, Item{1, false, true}, Item{2, false, true}, Item{3, true, true},
                                 Item{4, false, true}, Item{6, false, true}, Item{8, true, true}}) {
            bool enabled = zoomed ? item.enabledWhenZoomed : item.enabledOtherwise;
            EnableMenuItem(menu, item.position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
        }
        POINT cursor;
        GetCursorPos(&cursor);
        TrackPopupMenu(menu, 0, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    }
    Default();
}

void CSkinDlg::OnLButtonDblClk(UINT nFlags, POINT point)
{
    OnLButtonDown(nFlags, point);
    Default();
}

void CSkinDlg::OnLButtonUp(UINT, POINT)
{
    Default();
    if (IsOverCaptionButton()) {
        CClientDC dc(this);
        DrawCaptionButtons(&dc);
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(&cursor);
        auto both = [&](const RECT& rect) { return PtInRect(&rect, cursor) && PtInRect(&rect, m_PressPoint); };
        if (both(m_Close.rect)) {
            SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (both(m_Maximize.rect)) {
            if (!IsZoomed())
                SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        } else if (both(m_Restore.rect)) {
            SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
        } else if (both(m_Minimize.rect)) {
            SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        }
    }
    m_PressPoint = {0, 0};
}

LRESULT CSkinDlg::OnMouseLeave(WPARAM, LPARAM)
{
    m_Tracking = FALSE;
    CClientDC dc(this);
    DrawCaptionButtons(&dc);
    return 0;
}

// ---- Non-client and system -----------------------------------------------------------------

void CSkinDlg::OnNcLButtonDown(UINT, POINT)
{
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &m_SavedDragFullWindows, 0);
    bool change = (m_SavedDragFullWindows != 0) != (m_DragFullWindows != 0);
    if (change)
        SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, m_DragFullWindows ? 1 : 0, nullptr, 0);
    Default();
    if (change)
        SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, m_SavedDragFullWindows ? 1 : 0, nullptr, 0);
}

LRESULT CSkinDlg::OnNcHitTest(POINT)
{
    if (IsOverCaptionButton())
        return HTCLIENT;
    return Default();
}

void CSkinDlg::OnNcCalcSize(BOOL, RECT*)
{
    // The client area is the whole window: nothing is taken off.
}

void CSkinDlg::OnNcPaint()
{
    Invalidate(TRUE);
}

BOOL CSkinDlg::OnNcActivate(BOOL)
{
    auto result = static_cast<BOOL>(Default());
    Invalidate(TRUE);
    return result;
}

LRESULT CSkinDlg::OnIconEraseBkgnd(WPARAM, LPARAM)
{
    if (IsIconic())
        return TRUE;
    return Default();
}

void CSkinDlg::OnSysCommand(UINT nID, LPARAM)
{
    Default();
    if (nID == SC_MAXIMIZE && m_hWnd) {
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        SetWindowPos(nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top, SWP_SHOWWINDOW);
    }
}

void CSkinDlg::OnGetMinMaxInfo(MINMAXINFO* info)
{
    Default();
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    info->ptMaxSize = {work.right - work.left, work.bottom - work.top};
}

void CSkinDlg::OnSize(UINT, int, int)
{
    Default();
    if (!m_UseRegion)
        return;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (!region)
        return;
    RECT bounds;
    // An empty region would hide the whole window; a failed build leaves the window unshaped.
    if (CreateRegionFromBitmap(m_Background.bitmaps[0].Handle(), region, kSkinKey, kSkinKey) &&
        GetRgnBox(region, &bounds) != NULLREGION) {
        SetWindowRgn(m_hWnd, region, TRUE);
        return;
    }
    DeleteObject(region);
}

void CSkinDlg::OnTimer(UINT_PTR)
{
    Default();
}

// ---- Region --------------------------------------------------------------------------------

BOOL CSkinDlg::CreateRegionFromBitmap(HBITMAP hBmp, HRGN region, COLORREF key, COLORREF tolerance)
{
    if (!hBmp || !region)
        return FALSE;
    SetRectRgn(region, 0, 0, 0, 0);

    BITMAP info;
    if (!GetObjectA(hBmp, sizeof(BITMAP), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return TRUE;
    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory)
        return TRUE;
    BITMAPINFO header{};
    header.bmiHeader.biSize = 40;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = info.bmHeight;  // bottom-up rows
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(memory, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        if (section)
            DeleteObject(section);
        DeleteDC(memory);
        return TRUE;
    }
    HGDIOBJ oldSection = SelectObject(memory, section);
    HDC source = CreateCompatibleDC(memory);
    if (source) {
        HGDIOBJ oldSource = SelectObject(source, hBmp);
        BitBlt(memory, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, oldSource);
        DeleteDC(source);

        BITMAP sectionInfo;
        GetObjectA(section, sizeof(BITMAP), &sectionInfo);
        size_t stride = (static_cast<size_t>(sectionInfo.bmWidthBytes) + 3) / 4 * 4;
        if (stride < static_cast<size_t>(info.bmWidth) * 4)
            stride = static_cast<size_t>(info.bmWidth) * 4;

        auto low = [](int component) { return component; };
        auto high = [](int component, int spread) { return std::min(255, component + spread); };
        int lowRed = low(GetRValue(key)), highRed = high(GetRValue(key), GetRValue(tolerance));
        int lowGreen = low(GetGValue(key)), highGreen = high(GetGValue(key), GetGValue(tolerance));
        int lowBlue = low(GetBValue(key)), highBlue = high(GetBValue(key), GetBValue(tolerance));

        // The rectangles are gathered in a region-data block (header, then RECTs) that grows
        // by 100 rectangles and is merged into the region every 2000 rectangles.
        size_t capacity = kRegionGrowth;
        std::vector<uint8_t> block(sizeof(RGNDATAHEADER) + capacity * sizeof(RECT));
        RGNDATAHEADER head;
        head.rcBound = {kMaxLong, kMaxLong, 0, 0};
        bool first = true;
        auto flush = [&] {
            head.dwSize = sizeof(RGNDATAHEADER);
            head.iType = RDH_RECTANGLES;
            head.nRgnSize = 0;
            std::memcpy(block.data(), &head, sizeof head);
            DWORD size = static_cast<DWORD>(sizeof(RGNDATAHEADER) + head.nCount * sizeof(RECT));
            HRGN part = ExtCreateRegion(nullptr, size, reinterpret_cast<const RGNDATA*>(block.data()));
            if (part) {
                if (first)
                    CombineRgn(region, part, part, RGN_COPY);
                else
                    CombineRgn(region, region, part, RGN_OR);
                first = false;
                DeleteObject(part);
            }
            head.nCount = 0;
            head.rcBound = {kMaxLong, kMaxLong, 0, 0};
        };
        auto add = [&](int left, int top, int right, int bottom) {
            if (head.nCount >= capacity) {
                capacity += kRegionGrowth;
                block.resize(sizeof(RGNDATAHEADER) + capacity * sizeof(RECT));
            }
            RECT rect = {left, top, right, bottom};
            std::memcpy(block.data() + sizeof(RGNDATAHEADER) + head.nCount * sizeof(RECT), &rect, sizeof rect);
            ++head.nCount;
            head.rcBound.left = std::min<LONG>(head.rcBound.left, left);
            head.rcBound.top = std::min<LONG>(head.rcBound.top, top);
            head.rcBound.right = std::max<LONG>(head.rcBound.right, right);
            head.rcBound.bottom = std::max<LONG>(head.rcBound.bottom, bottom);
            if (head.nCount == kRegionBatch)
                flush();
        };

        const auto* pixels = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < info.bmHeight; ++y) {
            // The top row is the last one in memory.
            const uint8_t* row = pixels + static_cast<size_t>(info.bmHeight - 1 - y) * stride;
            auto transparent = [&](int x) {
                const uint8_t* pixel = row + static_cast<size_t>(x) * 4;  // blue, green, red, unused
                return pixel[2] >= lowRed && pixel[2] <= highRed && pixel[1] >= lowGreen && pixel[1] <= highGreen &&
                       pixel[0] >= lowBlue && pixel[0] <= highBlue;
            };
            for (int x = 0; x < info.bmWidth; ++x) {
                if (transparent(x))
                    continue;
                int start = x;
                while (x < info.bmWidth && !transparent(x))
                    ++x;
                add(start, y, x, y + 1);
            }
        }
        if (head.nCount > 0)
            flush();
    }
    SelectObject(memory, oldSection);
    DeleteObject(section);
    DeleteDC(memory);
    return TRUE;
}

// ---- Message map ---------------------------------------------------------------------------

bool CSkinDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CSkinDlg> kMap{
        OnWmEraseBkgnd(&CSkinDlg::OnEraseBkgnd),
        OnMouse(WM_MOUSEMOVE, &CSkinDlg::OnMouseMove),
        OnMouse(WM_LBUTTONDOWN, &CSkinDlg::OnLButtonDown),
        OnMouse(WM_LBUTTONDBLCLK, &CSkinDlg::OnLButtonDblClk),
        OnMouse(WM_LBUTTONUP, &CSkinDlg::OnLButtonUp),
        OnMessage(WM_MOUSELEAVE, &CSkinDlg::OnMouseLeave),
        OnNcMouse(WM_NCLBUTTONDOWN, &CSkinDlg::OnNcLButtonDown),
        OnWmNcHitTest(&CSkinDlg::OnNcHitTest),
        OnWmNcCalcSize(&CSkinDlg::OnNcCalcSize),
        OnPlain(WM_NCPAINT, &CSkinDlg::OnNcPaint),
        OnWmNcActivate(&CSkinDlg::OnNcActivate),
        OnMessage(WM_ICONERASEBKGND, &CSkinDlg::OnIconEraseBkgnd),
        OnWmSysCommand(&CSkinDlg::OnSysCommand),
        OnWmGetMinMaxInfo(&CSkinDlg::OnGetMinMaxInfo),
        OnWmSize(&CSkinDlg::OnSize),
        OnWmTimer(&CSkinDlg::OnTimer),
    };
    if (message == WM_COMMAND && HIWORD(wParam) == 0 && IsSystemMenuCommand(LOWORD(wParam))) {
        // The system menu popup reports its choice as a command: it becomes a system command.
        SendMessage(WM_SYSCOMMAND, LOWORD(wParam), 0);
        *result = 0;
        return true;
    }
    return kMap.Dispatch(*this, message, wParam, lParam, result) || CDialog::OnWndMsg(message, wParam, lParam, result);
}
