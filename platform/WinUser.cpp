// The USER calls of WinUser.h over the current window system.
#include "platform/WinUser.h"

#include "platform/WindowSystem.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

namespace {

WindowSystem& System()
{
    return WindowSystem::Current();
}

// The gate of every call that reads a window record: records are the user-interface thread's.
bool Alive(HWND window)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system)
        return false;
    assert(system->IsUiThread());
    return system->IsAlive(window);
}

int Width(const RECT& rect)
{
    return rect.right - rect.left;
}
int Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

}  // namespace

// ---- Windows -------------------------------------------------------------------------------

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU idOrMenu, HINSTANCE, void*)
{
    if ((style & WS_CHILD) && !Alive(parent))
        return nullptr;
    int id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<intptr_t>(idOrMenu)) : 0;
    HWND window = System().Create(exStyle, className ? className : WC_GENERIC, windowName ? windowName : "", style,
                                  {x, y, x + std::max(0, width), y + std::max(0, height)}, parent, id);
    if (!window)
        return nullptr;
    System().Send(window, WM_NCCREATE, 0, 0);
    System().Send(window, WM_CREATE, 0, 0);
    if (Alive(window) && (style & WS_VISIBLE))
        System().Show(window, SW_SHOW);
    return Alive(window) ? window : nullptr;
}

BOOL DestroyWindow(HWND hwnd)
{
    if (!Alive(hwnd))
        return FALSE;
    System().Destroy(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    return system && system->IsAlive(hwnd) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    if (!Alive(hwnd))
        return FALSE;
    for (HWND node = hwnd; node; node = node->Parent())
        if (!(node->Style() & WS_VISIBLE))
            return FALSE;
    return TRUE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    return Alive(hwnd) && !(hwnd->Style() & WS_DISABLED) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    if (!Alive(hwnd))
        return FALSE;
    BOOL wasDisabled = (hwnd->Style() & WS_DISABLED) ? TRUE : FALSE;
    System().Enable(hwnd, enable != FALSE);
    return wasDisabled;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    if (!Alive(hwnd))
        return FALSE;
    BOOL wasVisible = (hwnd->Style() & WS_VISIBLE) ? TRUE : FALSE;
    System().Show(hwnd, command);
    return wasVisible;
}

BOOL IsIconic(HWND hwnd)
{
    return Alive(hwnd) && (hwnd->Style() & WS_MINIMIZE) ? TRUE : FALSE;
}
BOOL IsZoomed(HWND hwnd)
{
    return Alive(hwnd) && (hwnd->Style() & WS_MAXIMIZE) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd)
{
    if (!Alive(hwnd))
        return nullptr;
    return hwnd->Parent() ? hwnd->Parent() : hwnd->Owner();
}

HWND GetWindow(HWND hwnd, UINT relation)
{
    if (!Alive(hwnd))
        return nullptr;
    switch (relation) {
    case GW_CHILD:
        return hwnd->Children().empty() ? nullptr : hwnd->Children().front();
    case GW_OWNER:
        return hwnd->Owner();
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
        std::vector<HWND> siblings = hwnd->Parent() ? hwnd->Parent()->Children() : System().TopLevelWindows();
        auto found = std::find(siblings.begin(), siblings.end(), hwnd);
        if (found == siblings.end())
            return nullptr;
        if (relation == GW_HWNDNEXT)
            return found + 1 == siblings.end() ? nullptr : *(found + 1);
        return found == siblings.begin() ? nullptr : *(found - 1);
    }
    default:
        return nullptr;
    }
}

HWND GetDlgItem(HWND dialog, int id)
{
    if (!Alive(dialog))
        return nullptr;
    for (HWND child : dialog->Children())
        if (child->Id() == id)
            return child;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd)
{
    return Alive(hwnd) ? hwnd->Id() : 0;
}

HWND GetDesktopWindow()
{
    return nullptr;
}

HWND GetAncestorTopLevel(HWND hwnd)
{
    return Alive(hwnd) ? System().TopLevelOf(hwnd) : nullptr;
}

LONG_PTR GetWindowLongA(HWND hwnd, int index)
{
    if (!Alive(hwnd))
        return 0;
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG_PTR>(hwnd->Style());
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(hwnd->ExStyle());
    case GWL_ID:
        return hwnd->Id();
    case GWL_USERDATA:
        return hwnd->UserData();
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value)
{
    if (!Alive(hwnd))
        return 0;
    LONG_PTR previous = GetWindowLongA(hwnd, index);
    switch (index) {
    case GWL_STYLE:
        System().SetStyle(hwnd, static_cast<DWORD>(value));
        break;
    case GWL_EXSTYLE:
        System().SetExStyle(hwnd, static_cast<DWORD>(value));
        break;
    case GWL_ID:
        System().SetId(hwnd, static_cast<int>(value));
        break;
    case GWL_USERDATA:
        System().SetUserData(hwnd, value);
        break;
    default:
        break;
    }
    return previous;
}

int GetWindowTextA(HWND hwnd, char* buffer, int size)
{
    if (!Alive(hwnd) || size <= 0)
        return 0;
    return static_cast<int>(
        System().Send(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

std::string GetWindowTextString(HWND hwnd)
{
    if (!Alive(hwnd))
        return {};
    auto length = System().Send(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    auto copied = System().Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(0, copied)));
    return text;
}

BOOL SetWindowTextA(HWND hwnd, const char* text)
{
    if (!Alive(hwnd))
        return FALSE;
    return static_cast<BOOL>(System().Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    if (!Alive(hwnd) || !rect)
        return FALSE;
    *rect = System().WindowRectOnScreen(hwnd);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    if (!Alive(hwnd) || !rect)
        return FALSE;
    *rect = {0, 0, Width(hwnd->ClientInset()), Height(hwnd->ClientInset())};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    if (!Alive(hwnd) || !point)
        return FALSE;
    RECT client = System().ClientRectOnScreen(hwnd);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    if (!Alive(hwnd) || !point)
        return FALSE;
    RECT client = System().ClientRectOnScreen(hwnd);
    point->x -= client.left;
    point->y -= client.top;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count)
{
    POINT fromOrigin{}, toOrigin{};
    if (Alive(from))
        ClientToScreen(from, &fromOrigin);
    if (Alive(to))
        ClientToScreen(to, &toOrigin);
    int dx = fromOrigin.x - toOrigin.x;
    int dy = fromOrigin.y - toOrigin.y;
    for (UINT i = 0; i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELPARAM(dx, dy);
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    if (!Alive(hwnd))
        return FALSE;
    System().SetPos(hwnd, insertAfter, x, y, cx, cy, flags);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | (repaint ? 0 : SWP_NOREDRAW));
}

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw)
{
    if (!Alive(hwnd))
        return 0;
    System().SetShape(hwnd, region, redraw != FALSE);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region)
{
    if (!Alive(hwnd) || !region || !hwnd->Shape())
        return ERROR;
    region->m_Region = hwnd->Shape()->m_Region;
    if (region->m_Region.IsEmpty())
        return NULLREGION;
    return region->m_Region.IsRectangle() ? SIMPLEREGION : COMPLEXREGION;
}

HWND WindowFromPoint(POINT screenPoint)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    return system ? system->HitWindow(screenPoint) : nullptr;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle)
{
    if (!rect)
        return FALSE;
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = 4;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME) || (style & DS_MODALFRAME))
        frame = 3;
    else if (style & WS_BORDER)
        frame = 1;
    InflateRect(rect, frame, frame);
    if ((style & WS_CAPTION) == WS_CAPTION)
        rect->top -= GetSystemMetrics(SM_CYCAPTION);
    return TRUE;
}

// ---- Messages ------------------------------------------------------------------------------

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Send checks the handle on the user-interface thread, after marshalling.
    WindowSystem* system = WindowSystem::CurrentOrNull();
    return system ? system->Send(hwnd, message, wParam, lParam) : 0;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system)
        return FALSE;
    return system->Post(hwnd, message, wParam, lParam) ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!Alive(hwnd))
        return 0;
    return System().DefProc(hwnd, message, wParam, lParam);
}

LRESULT CallClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!Alive(hwnd))
        return 0;
    return System().ClassProc(hwnd, message, wParam, lParam);
}

// ---- Painting ------------------------------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (system && !system->IsUiThread()) {
        BOOL result = FALSE;
        system->InvokeOnUiThread([&] { result = InvalidateRect(hwnd, rect, erase); });
        return result;
    }
    if (!Alive(hwnd))
        return FALSE;
    if (rect) {
        Region area = (rect->right > rect->left && rect->bottom > rect->top) ? Region(*rect) : Region();
        System().Invalidate(hwnd, &area, erase != FALSE, true);
    } else {
        System().Invalidate(hwnd, nullptr, erase != FALSE, true);
    }
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase)
{
    if (!Alive(hwnd))
        return FALSE;
    System().Invalidate(hwnd, region ? &region->m_Region : nullptr, erase != FALSE, true);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    if (!Alive(hwnd))
        return FALSE;
    System().Validate(hwnd, rect);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags)
{
    if (!Alive(hwnd))
        return FALSE;
    if (flags & RDW_INVALIDATE) {
        bool children = (flags & RDW_ALLCHILDREN) || !(flags & RDW_NOCHILDREN);
        Region area;
        const Region* areaPointer = nullptr;
        if (region) {
            area = region->m_Region;
            areaPointer = &area;
        } else if (rect) {
            area = (rect->right > rect->left && rect->bottom > rect->top) ? Region(*rect) : Region();
            areaPointer = &area;
        }
        System().Invalidate(hwnd, areaPointer, (flags & RDW_ERASE) != 0, children);
    }
    if (flags & RDW_UPDATENOW)
        UpdateWindow(hwnd);
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd)
{
    if (!Alive(hwnd))
        return FALSE;
    if (!hwnd->UpdateRegion().IsEmpty() && IsWindowVisible(hwnd)) {
        System().Send(hwnd, WM_PAINT, 0, 0);
        if (Alive(hwnd))
            System().Validate(hwnd, nullptr);
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL)
{
    if (!Alive(hwnd))
        return FALSE;
    if (rect)
        *rect = hwnd->UpdateRegion().IsEmpty() ? RECT{0, 0, 0, 0} : hwnd->UpdateRegion().Bounds();
    return hwnd->UpdateRegion().IsEmpty() ? FALSE : TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    if (!Alive(hwnd))
        return nullptr;
    return System().BeginPaintFor(hwnd, paint);
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint)
{
    if (!WindowSystem::CurrentOrNull())
        return FALSE;
    System().EndPaintFor(hwnd, paint);
    return TRUE;
}

HDC GetDC(HWND hwnd)
{
    if (!hwnd)
        return CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!Alive(hwnd))
        return nullptr;
    return System().ClientDC(hwnd);
}

HDC GetWindowDC(HWND hwnd)
{
    return GetDC(hwnd);
}

int ReleaseDC(HWND hwnd, HDC hdc)
{
    if (!hdc)
        return 0;
    if (!hwnd) {
        DeleteDC(hdc);
        return 1;
    }
    if (WindowSystem* system = WindowSystem::CurrentOrNull())
        system->ReleaseClientDC(hdc);
    return 1;
}

DWORD GetSysColor(int index)
{
    switch (index) {
    case COLOR_WINDOW:
        return 0xFFFFFF;
    case COLOR_WINDOWTEXT:
        return 0x000000;
    case COLOR_ACTIVECAPTION:
        return RGB(0, 84, 227);
    case COLOR_BTNFACE:
        return RGB(236, 233, 216);
    case COLOR_BTNTEXT:
        return 0x000000;
    case COLOR_GRAYTEXT:
        return RGB(172, 168, 153);
    default:
        return 0xC0C0C0;
    }
}

HBRUSH GetSysColorBrush(int index)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    return system ? system->SysColorBrush(index) : nullptr;
}

// ---- Input ---------------------------------------------------------------------------------

BOOL GetCursorPos(POINT* point)
{
    if (!point || !WindowSystem::CurrentOrNull())
        return FALSE;
    *point = System().CursorPos();
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    if (!WindowSystem::CurrentOrNull())
        return FALSE;
    System().SetCursorPosition({x, y});
    return TRUE;
}

short GetAsyncKeyState(int virtualKey)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    return system && system->IsKeyDown(virtualKey) ? static_cast<short>(0x8000) : 0;
}

short GetKeyState(int virtualKey)
{
    return GetAsyncKeyState(virtualKey);
}

HWND SetCapture(HWND hwnd)
{
    return Alive(hwnd) ? System().SetCaptureWindow(hwnd) : nullptr;
}

BOOL ReleaseCapture()
{
    if (!WindowSystem::CurrentOrNull())
        return FALSE;
    System().SetCaptureWindow(nullptr);
    return TRUE;
}

HWND GetCapture()
{
    return WindowSystem::CurrentOrNull() ? System().Capture() : nullptr;
}

HWND SetFocus(HWND hwnd)
{
    if (!WindowSystem::CurrentOrNull())
        return nullptr;
    return System().SetFocusWindow(Alive(hwnd) ? hwnd : nullptr);
}

HWND GetFocus()
{
    return WindowSystem::CurrentOrNull() ? System().Focus() : nullptr;
}
HWND GetActiveWindow()
{
    return WindowSystem::CurrentOrNull() ? System().ActiveWindow() : nullptr;
}

BOOL _TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    if (!track || !(track->dwFlags & TME_LEAVE) || !Alive(track->hwndTrack))
        return FALSE;
    return System().TrackLeave(track->hwndTrack, (track->dwFlags & TME_CANCEL) != 0) ? TRUE : FALSE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    return _TrackMouseEvent(track);
}

HCURSOR LoadCursorA(HINSTANCE, uintptr_t id)
{
    if (!WindowSystem::CurrentOrNull())
        return nullptr;
    return System().StockCursor(id);
}

HCURSOR SetCursor(HCURSOR cursor)
{
    return WindowSystem::CurrentOrNull() ? System().SetCursorHandle(cursor) : nullptr;
}
HCURSOR GetCursor()
{
    return WindowSystem::CurrentOrNull() ? System().CursorHandle() : nullptr;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
        return kDisplayWidth;
    case SM_CYSCREEN:
        return kDisplayHeight;
    case SM_CYCAPTION:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    default:
        return 0;
    }
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, void* pvParam, UINT)
{
    if (!WindowSystem::CurrentOrNull())
        return FALSE;
    switch (action) {
    case SPI_GETWORKAREA:
        if (!pvParam)
            return FALSE;
        *static_cast<RECT*>(pvParam) = System().GetBackend().WorkArea();
        return TRUE;
    case SPI_GETDRAGFULLWINDOWS:
        if (!pvParam)
            return FALSE;
        *static_cast<BOOL*>(pvParam) = System().DragFullWindows() ? TRUE : FALSE;
        return TRUE;
    case SPI_SETDRAGFULLWINDOWS:
        System().SetDragFullWindows(uiParam != 0);
        return TRUE;
    default:
        return FALSE;
    }
}

DWORD GetTickCount()
{
    if (!WindowSystem::CurrentOrNull())
        return 0;
    return static_cast<DWORD>(System().GetBackend().Now());
}

// ---- Timers --------------------------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, void*)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    return system ? system->SetTimerFor(hwnd, id, elapse) : 0;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    if (!WindowSystem::CurrentOrNull())
        return FALSE;
    return System().KillTimerFor(hwnd, id) ? TRUE : FALSE;
}

// ---- Menus ---------------------------------------------------------------------------------

HMENU GetSystemMenu(HWND hwnd, BOOL revert)
{
    if (!Alive(hwnd))
        return nullptr;
    return System().SystemMenu(hwnd, revert != FALSE);
}

HMENU CreatePopupMenu()
{
    return new MenuObject;
}

BOOL DestroyMenu(HMENU menu)
{
    delete menu;
    return TRUE;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, const char* text)
{
    if (!menu)
        return FALSE;
    menu->items.push_back({static_cast<UINT>(id), text ? text : "", flags});
    return TRUE;
}

namespace {
MenuItem* FindItem(HMENU menu, UINT item, UINT flags)
{
    if (!menu)
        return nullptr;
    if (flags & MF_BYPOSITION)
        return item < menu->items.size() ? &menu->items[item] : nullptr;
    for (auto& entry : menu->items)
        if (entry.id == item && !(entry.flags & MF_SEPARATOR))
            return &entry;
    return nullptr;
}
}  // namespace

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags)
{
    MenuItem* entry = FindItem(menu, item, flags);
    if (!entry)
        return static_cast<UINT>(-1);
    UINT previous = entry->flags & (MF_GRAYED | MF_DISABLED);
    entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

int GetMenuItemCount(HMENU menu)
{
    return menu ? static_cast<int>(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position)
{
    if (!menu || position < 0 || static_cast<size_t>(position) >= menu->items.size())
        return static_cast<UINT>(-1);
    return menu->items[static_cast<size_t>(position)].id;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags)
{
    MenuItem* entry = FindItem(menu, item, flags);
    return entry ? entry->flags : static_cast<UINT>(-1);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*)
{
    if (!menu || !WindowSystem::CurrentOrNull())
        return FALSE;
    UINT command = System().GetBackend().TrackPopupMenu(menu, {x, y}, owner);
    // A greyed item cannot be chosen.
    if (command != 0) {
        MenuItem* entry = FindItem(menu, command, MF_BYCOMMAND);
        if (!entry || (entry->flags & (MF_GRAYED | MF_DISABLED)))
            command = 0;
    }
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(command);
    if (command != 0 && Alive(owner))
        PostMessageA(owner, WM_COMMAND, command, 0);
    return TRUE;
}

// ---- Resources, dialogs, shell -------------------------------------------------------------

HBITMAP LoadBitmapA(HINSTANCE, uintptr_t id)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system)
        return nullptr;
    const BitmapResource* resource = system->Resources().FindBitmap(static_cast<UINT>(id & 0xFFFF));
    if (!resource || resource->width <= 0 || resource->height <= 0)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = resource->width;
    info.bmiHeader.biHeight = -resource->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, resource->width, resource->height);
    if (bitmap)
        SetDIBits(screen, bitmap, 0, static_cast<UINT>(resource->height), resource->pixels.data(), &info,
                  DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

HICON LoadIconA(HINSTANCE, uintptr_t id)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system)
        return nullptr;
    const auto* images = system->Resources().FindIcon(static_cast<UINT>(id & 0xFFFF));
    if (!images || images->empty())
        return nullptr;
    // The standard icon size (32 x 32) when present, else the largest image.
    const IconImage* chosen = &images->front();
    for (const auto& image : *images) {
        if (image.size == 32) {
            chosen = &image;
            break;
        }
        if (chosen->size != 32 && image.size > chosen->size)
            chosen = &image;
    }
    if (chosen->size <= 0 ||
        chosen->pixels.size() != static_cast<size_t>(chosen->size) * static_cast<size_t>(chosen->size))
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = chosen->size;
    info.bmiHeader.biHeight = -chosen->size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!colour || !bits)
        return nullptr;
    std::memcpy(bits, chosen->pixels.data(), chosen->pixels.size() * 4);
    std::vector<uint8_t> maskBits(static_cast<size_t>((chosen->size + 15) / 16 * 2) * static_cast<size_t>(chosen->size),
                                  0);
    HBITMAP mask = CreateBitmap(chosen->size, chosen->size, 1, 1, maskBits.data());
    ICONINFO iconInfo;
    iconInfo.hbmColor = colour;
    iconInfo.hbmMask = mask;
    HICON icon = CreateIconIndirect(&iconInfo);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

HINSTANCE AfxGetResourceHandle()
{
    return WindowSystem::CurrentOrNull() ? System().Instance() : nullptr;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system)
        return 0;
    // A worker's notice is shown by the user-interface thread; the worker waits for the answer.
    if (!system->IsUiThread()) {
        int result = 0;
        system->InvokeOnUiThread([&] { result = MessageBoxA(owner, text, caption, type); });
        return result;
    }
    // The owner is disabled while the box is open, as for any modal window.
    HWND top = Alive(owner) ? System().TopLevelOf(owner) : nullptr;
    bool disable = top && IsWindowEnabled(top);
    if (disable)
        EnableWindow(top, FALSE);
    int result = System().GetBackend().MessageBox(top, text ? text : "", caption ? caption : "", type);
    if (disable && Alive(top))
        EnableWindow(top, TRUE);
    return result;
}

HINSTANCE ShellExecuteA(HWND, const char*, const char* file, const char*, const char*, int)
{
    if (!WindowSystem::CurrentOrNull() || !file)
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(2));
    bool opened = System().GetBackend().OpenAddress(file);
    // Values above 32 mean success.
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(opened ? 42 : 2));
}

BOOL EndDialog(HWND dialog, int result)
{
    if (!Alive(dialog))
        return FALSE;
    System().EndDialogWith(dialog, result);
    return TRUE;
}

int MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    long long product = static_cast<long long>(number) * numerator;
    // Rounds half away from zero, as Windows does.
    long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    bool negative = (product < 0) != (denominator < 0);
    long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
    long long result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX || result < INT32_MIN)
        return -1;
    return static_cast<int>(result);
}

BOOL PtInRect(const RECT* rect, POINT point)
{
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

BOOL IsRectEmpty(const RECT* rect)
{
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b)
{
    RECT result = {std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
                   std::min(a->bottom, b->bottom)};
    if (result.right <= result.left || result.bottom <= result.top) {
        *out = {};
        return FALSE;
    }
    *out = result;
    return TRUE;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b)
{
    if (IsRectEmpty(a)) {
        *out = *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(out) ? FALSE : TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL InflateRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
    return a && b && *a == *b;
}
