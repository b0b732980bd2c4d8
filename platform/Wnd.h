// CWnd: the framework's window object. It handles its window's messages through a message map
// chain and falls back to the window's class procedure ("default processing").
#pragma once

#include "platform/Dc.h"
#include "platform/MessageMap.h"
#include "platform/WinUser.h"

#include <string>

class CDataExchange;
class WindowSystem;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object handling `window`, or null.
    static CWnd* FromHandle(HWND window);

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates a window handled by this object (class name null: the generic window class).
    virtual BOOL CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style, const RECT& rect,
                          CWnd* parent, UINT id);
    BOOL Create(const char* className, const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // Takes over an existing window (a dialog's template control).
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    virtual BOOL DestroyWindow();

    // Every message of the window comes here first; no exception leaves it.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Data exchange between controls and members.
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // Window operations (the Win32 calls on m_hWnd).
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, void* unused = nullptr)
    {
        return ::SetTimer(m_hWnd, id, elapse, unused);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParentHwnd() const { return ::GetParent(m_hWnd); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    void SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const { return GetWindowTextString(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    DWORD GetStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    void SetFont(CFont* font, BOOL redraw = TRUE);
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    HICON SetIcon(HICON icon, BOOL big);
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    // Centres the window on its owner, or on the work area without one.
    void CenterWindow();

    // Called by the window system once the window is gone.
    void DetachAfterDestroy();

    HWND m_hWnd = nullptr;

protected:
    // The message map chain: each class answers the messages of its own map and hands the
    // rest to its base class. True when handled, with the result in `result`.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A message the parent reflects to this control (WM_DRAWITEM, WM_CTLCOLOR...).
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void PreSubclassWindow() {}
    virtual void PostNcDestroy() {}

    struct CurrentMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    CurrentMessage m_Current;
};
