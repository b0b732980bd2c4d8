// CWnd: message dispatch through the message map chain, reflection, data exchange.
#include "platform/Wnd.h"

#include "platform/DataExchange.h"
#include "platform/WindowSystem.h"

CWnd::~CWnd()
{
    if (m_hWnd && IsWindow(m_hWnd)) {
        HWND window = m_hWnd;
        m_hWnd = nullptr;
        WindowSystem::Current().SetObject(window, nullptr);
        ::DestroyWindow(window);
    }
}

CWnd* CWnd::FromHandle(HWND window)
{
    return IsWindow(window) ? window->Object() : nullptr;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system || m_hWnd)
        return FALSE;
    HWND parentWindow = parent ? parent->m_hWnd : nullptr;
    if ((style & WS_CHILD) && !IsWindow(parentWindow))
        return FALSE;
    HWND window = system->Create(exStyle, className ? className : WC_GENERIC, text ? text : "", style, rect,
                                 parentWindow, static_cast<int>(id), this);
    if (!window)
        return FALSE;
    SendMessage(WM_NCCREATE);
    SendMessage(WM_CREATE);
    if (IsWindow(window) && (style & WS_VISIBLE))
        ::ShowWindow(window, SW_SHOW);
    return IsWindow(window);
}

BOOL CWnd::Create(const char* className, const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, className, text, style, rect, parent, id);
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!IsWindow(window) || window->Object() || m_hWnd)
        return FALSE;
    m_hWnd = window;
    WindowSystem::Current().SetObject(window, this);
    PreSubclassWindow();
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND window = m_hWnd;
    if (IsWindow(window) && window->Object() == this)
        WindowSystem::Current().SetObject(window, nullptr);
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

void CWnd::DetachAfterDestroy()
{
    if (IsWindow(m_hWnd) && m_hWnd->Object() == this)
        WindowSystem::Current().SetObject(m_hWnd, nullptr);
    m_hWnd = nullptr;
    PostNcDestroy();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    CurrentMessage saved = m_Current;
    m_Current = {message, wParam, lParam};
    LRESULT result = 0;
    bool handled = false;
    // Colour requests and owner-draw requests go to the control they concern first.
    HWND control = nullptr;
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
        control = reinterpret_cast<HWND>(lParam);
    else if (message == WM_DRAWITEM && lParam)
        control = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    if (CWnd* child = FromHandle(control); child && child != this)
        handled = child->OnChildNotify(message, wParam, lParam, &result) && (message == WM_DRAWITEM || result != 0);
    if (!handled)
        handled = OnWndMsg(message, wParam, lParam, &result);
    if (!handled)
        result = DefWindowProc(message, wParam, lParam);
    m_Current = saved;
    return result;
}

bool CWnd::OnWndMsg(UINT, WPARAM, LPARAM, LRESULT*)
{
    return false;
}

bool CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    return OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, result);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_Current.message, m_Current.wParam, m_Current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallClassProc(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    try {
        DoDataExchange(&exchange);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CWnd::ScreenToClient(RECT* rect) const
{
    POINT topLeft = {rect->left, rect->top};
    POINT bottomRight = {rect->right, rect->bottom};
    ::ScreenToClient(m_hWnd, &topLeft);
    ::ScreenToClient(m_hWnd, &bottomRight);
    *rect = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint)
{
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint)
{
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    DWORD style = GetStyle();
    DWORD next = (style & ~remove) | add;
    if (style == next)
        return FALSE;
    SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(next));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | flags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags)
{
    DWORD style = GetExStyle();
    DWORD next = (style & ~remove) | add;
    if (style == next)
        return FALSE;
    SetWindowLongA(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(next));
    if (flags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | flags);
    return TRUE;
}

void CWnd::SetFont(CFont* font, BOOL redraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->Handle() : nullptr), redraw);
}

HICON CWnd::SetIcon(HICON icon, BOOL big)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

void CWnd::CenterWindow()
{
    RECT area{};
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    else
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT rect;
    GetWindowRect(&rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
