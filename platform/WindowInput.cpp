// The window system's input routing: mouse and keys, capture, focus, the move loop and dialog keys.
#include "platform/WindowSystem.h"

#include "platform/WindowGeometry.h"
#include "platform/Wnd.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

using namespace WindowGeometry;

namespace {

constexpr uint64_t kDoubleClickTime = 500;
constexpr int kDoubleClickDistance = 2;

}  // namespace

bool WindowSystem::IsKeyDown(int virtualKey) const
{
    if (virtualKey == VK_LBUTTON)
        return m_LeftDown;
    if (virtualKey == VK_RBUTTON)
        return m_RightDown;
    if (virtualKey == VK_SHIFT)
        return (m_Modifiers & MK_SHIFT) || m_KeysDown.count(VK_SHIFT);
    if (virtualKey == VK_CONTROL)
        return (m_Modifiers & MK_CONTROL) || m_KeysDown.count(VK_CONTROL);
    return m_KeysDown.count(virtualKey) != 0;
}

UINT WindowSystem::MouseKeyFlags() const
{
    UINT flags = 0;
    if (m_LeftDown)
        flags |= MK_LBUTTON;
    if (m_RightDown)
        flags |= MK_RBUTTON;
    if (IsKeyDown(VK_SHIFT))
        flags |= MK_SHIFT;
    if (IsKeyDown(VK_CONTROL))
        flags |= MK_CONTROL;
    return flags;
}

HWND WindowSystem::SetCaptureWindow(HWND window)
{
    HWND previous = m_Capture;
    if (window && !IsAlive(window))
        return previous;
    m_Capture = window;
    if (previous != window) {
        if (IsAlive(previous))
            Send(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
        m_Backend->CaptureChanged(window);
    }
    return previous;
}

HWND WindowSystem::SetFocusWindow(HWND window)
{
    HWND previous = m_Focus;
    if (window && !IsAlive(window))
        return previous;
    if (previous == window)
        return previous;
    m_Focus = window;
    if (IsAlive(previous))
        Send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (IsAlive(window)) {
        Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
        if (window->m_Class == WindowClass::Edit)
            NotifyNative(window);
    }
    return previous;
}

bool WindowSystem::TrackLeave(HWND window, bool cancel)
{
    if (!IsAlive(window))
        return false;
    if (cancel) {
        m_LeaveTracking.erase(window);
        return true;
    }
    // A window the cursor is not over gets its leave notice at once.
    if (HitWindow(m_Cursor) != window) {
        Post(window, WM_MOUSELEAVE, 0, 0);
        return true;
    }
    m_LeaveTracking.insert(window);
    return true;
}

HCURSOR WindowSystem::StockCursor(uintptr_t id)
{
    auto& slot = m_Cursors[id];
    if (!slot) {
        slot = std::make_unique<CursorObject>();
        slot->shape = id == IDC_HAND    ? CursorShape::Hand
                      : id == IDC_IBEAM ? CursorShape::IBeam
                      : id == IDC_WAIT  ? CursorShape::Wait
                                        : CursorShape::Arrow;
    }
    return slot.get();
}

HCURSOR WindowSystem::SetCursorHandle(HCURSOR cursor)
{
    HCURSOR previous = m_CursorHandle;
    m_CursorHandle = cursor;
    if (cursor != previous)
        m_Backend->SetCursorShape(cursor ? cursor->shape : CursorShape::Arrow);
    return previous;
}

HWND WindowSystem::HitWindow(POINT screenPoint) const
{
    for (HWND top : m_TopLevels) {
        if (!(top->m_Style & WS_VISIBLE) || (top->m_Style & WS_MINIMIZE))
            continue;
        RECT rect = top->m_Rect;
        if (!PtInRect(&rect, screenPoint))
            continue;
        if (top->m_Shape && !top->m_Shape->m_Region.Contains(screenPoint.x - rect.left, screenPoint.y - rect.top))
            continue;
        HWND hit = top;
        for (bool descended = true; descended;) {
            descended = false;
            RECT client = ClientRectOnScreen(hit);
            if (!PtInRect(&client, screenPoint))
                break;
            POINT local = {screenPoint.x - client.left, screenPoint.y - client.top};
            for (HWND child : hit->m_Children) {
                if (!(child->m_Style & WS_VISIBLE) || (child->m_Style & WS_DISABLED))
                    continue;
                if (PtInRect(&child->m_Rect, local)) {
                    hit = child;
                    descended = true;
                    break;
                }
            }
        }
        return hit;
    }
    return nullptr;
}

void WindowSystem::MouseMove(POINT screenPoint, UINT modifiers)
{
    m_Cursor = screenPoint;
    m_Modifiers = modifiers;
    if (m_Move.active) {
        if (m_DragFullWindows) {
            RECT start = m_Move.startRect;
            SetPos(m_Move.window, nullptr, start.left + screenPoint.x - m_Move.startCursor.x,
                   start.top + screenPoint.y - m_Move.startCursor.y, 0, 0, SWP_NOSIZE);
        }
        return;
    }
    RouteMouse(WM_MOUSEMOVE, screenPoint);
}

void WindowSystem::MouseButtonEvent(MouseButton button, bool down, POINT screenPoint, UINT modifiers)
{
    m_Cursor = screenPoint;
    m_Modifiers = modifiers;
    (button == MouseButton::Left ? m_LeftDown : m_RightDown) = down;
    if (m_Move.active) {
        if (!down && button == MouseButton::Left)
            EndMoveLoop(true);
        return;
    }
    UINT message;
    if (!down) {
        message = button == MouseButton::Left ? WM_LBUTTONUP : WM_RBUTTONUP;
    } else {
        message = button == MouseButton::Left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
        HWND target = m_Capture ? m_Capture : HitWindow(screenPoint);
        uint64_t now = m_Backend->Now();
        bool isDouble = m_LastClick.armed && m_LastClick.window == target && m_LastClick.button == button &&
                        now - m_LastClick.time <= kDoubleClickTime &&
                        std::abs(screenPoint.x - m_LastClick.point.x) <= kDoubleClickDistance &&
                        std::abs(screenPoint.y - m_LastClick.point.y) <= kDoubleClickDistance;
        if (isDouble) {
            message = button == MouseButton::Left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
            m_LastClick = {};
        } else {
            m_LastClick = {target, button, now, screenPoint, true};
        }
    }
    RouteMouse(message, screenPoint);
}

void WindowSystem::RouteMouse(UINT clientMessage, POINT screenPoint)
{
    HWND target = nullptr;
    int hit = HTCLIENT;
    if (m_Capture) {
        target = m_Capture;
    } else {
        target = HitWindow(screenPoint);
        if (target && (TopLevelOf(target)->m_Style & WS_DISABLED))
            target = nullptr;  // modal owner
        while (target) {
            hit = static_cast<int>(Send(target, WM_NCHITTEST, 0, MAKELPARAM(screenPoint.x, screenPoint.y)));
            if (hit != HTTRANSPARENT || !IsAlive(target) || !target->m_Parent)
                break;
            target = target->m_Parent;  // the mouse goes through to the window underneath
        }
        if (hit == HTTRANSPARENT)
            hit = HTCLIENT;
    }
    for (HWND tracked : std::vector<HWND>(m_LeaveTracking.begin(), m_LeaveTracking.end())) {
        if (tracked != target || hit != HTCLIENT) {
            m_LeaveTracking.erase(tracked);
            Post(tracked, WM_MOUSELEAVE, 0, 0);
        }
    }
    if (!IsAlive(target))
        return;
    if (!m_Capture)
        Send(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(hit, clientMessage));
    if (!IsAlive(target))
        return;
    bool isDown = clientMessage == WM_LBUTTONDOWN || clientMessage == WM_RBUTTONDOWN ||
                  clientMessage == WM_LBUTTONDBLCLK || clientMessage == WM_RBUTTONDBLCLK;
    if (isDown)
        ActivateTopLevel(TopLevelOf(target));
    if (!IsAlive(target))
        return;
    if (hit == HTCLIENT) {
        RECT client = ClientRectOnScreen(target);
        Send(target, clientMessage, MouseKeyFlags(),
             MAKELPARAM(screenPoint.x - client.left, screenPoint.y - client.top));
    } else if (clientMessage == WM_MOUSEMOVE || clientMessage == WM_LBUTTONDOWN || clientMessage == WM_LBUTTONUP ||
               clientMessage == WM_LBUTTONDBLCLK) {
        Send(target, clientMessage - WM_MOUSEMOVE + WM_NCMOUSEMOVE, static_cast<WPARAM>(hit),
             MAKELPARAM(screenPoint.x, screenPoint.y));
    }
}

void WindowSystem::RunMoveLoop(HWND window)
{
    window = TopLevelOf(window);
    if (!IsAlive(window) || m_Move.active)
        return;
    Send(window, WM_ENTERSIZEMOVE, 0, 0);
    if (!m_LeftDown) {
        Send(window, WM_EXITSIZEMOVE, 0, 0);
        return;
    }
    if (m_Backend->BeginMoveDrag(window, m_Cursor)) {
        Send(window, WM_EXITSIZEMOVE, 0, 0);
        return;
    }
    m_Move = {true, window, m_Cursor, window->m_Rect};
    while (m_Move.active) {
        if (!PumpOne(true)) {
            EndMoveLoop(true);
            break;
        }
    }
    if (IsAlive(window))
        Send(window, WM_EXITSIZEMOVE, 0, 0);
}

void WindowSystem::EndMoveLoop(bool applyFinal)
{
    if (!m_Move.active)
        return;
    MoveLoop move = m_Move;
    m_Move = {};
    if (applyFinal && IsAlive(move.window))
        SetPos(move.window, nullptr, move.startRect.left + m_Cursor.x - move.startCursor.x,
               move.startRect.top + m_Cursor.y - move.startCursor.y, 0, 0, SWP_NOSIZE);
}

HWND WindowSystem::DialogOf(HWND window) const
{
    HWND top = TopLevelOf(window);
    return top && top->m_Class == WindowClass::Dialog ? top : nullptr;
}

void WindowSystem::DialogKey(HWND dialog, int virtualKey)
{
    HWND focus = IsAlive(m_Focus) && DialogOf(m_Focus) == dialog && m_Focus != dialog ? m_Focus : nullptr;
    LRESULT code = focus ? Send(focus, WM_GETDLGCODE, static_cast<WPARAM>(virtualKey), 0) : 0;
    if (!IsAlive(dialog) || (code & DLGC_WANTALLKEYS))
        return;
    if (virtualKey == VK_RETURN) {
        // A focused push button is clicked; any other focus (an owner-drawn button included)
        // sends the default command.
        if (IsAlive(focus) && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
            ClickButton(focus);
            return;
        }
        Send(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    } else if (virtualKey == VK_ESCAPE) {
        Send(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    } else if (virtualKey == VK_TAB) {
        std::vector<HWND> stops;
        for (HWND child : dialog->m_Children)
            if ((child->m_Style & WS_TABSTOP) && (child->m_Style & WS_VISIBLE) && !(child->m_Style & WS_DISABLED))
                stops.push_back(child);
        if (stops.empty())
            return;
        auto found = std::find(stops.begin(), stops.end(), m_Focus);
        bool backwards = IsKeyDown(VK_SHIFT);
        size_t index = found == stops.end() ? 0
                       : backwards ? (static_cast<size_t>(found - stops.begin()) + stops.size() - 1) % stops.size()
                                   : (static_cast<size_t>(found - stops.begin()) + 1) % stops.size();
        SetFocusWindow(stops[index]);
        if (stops[index]->m_Class == WindowClass::Edit)
            Send(stops[index], EM_SETSEL, 0, -1);
    }
}

void WindowSystem::KeyEvent(int virtualKey, bool down)
{
    if (down)
        m_KeysDown.insert(virtualKey);
    else
        m_KeysDown.erase(virtualKey);
    HWND target = IsAlive(m_Focus) ? m_Focus : m_Active;
    if (!IsAlive(target) || (TopLevelOf(target)->m_Style & WS_DISABLED))
        return;
    LRESULT code = Send(target, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), 0);
    (void)code;
    if (!down || !IsAlive(target))
        return;
    bool dialogKey = virtualKey == VK_RETURN || virtualKey == VK_ESCAPE || virtualKey == VK_TAB;
    if (HWND dialog = DialogOf(target); dialog && dialogKey)
        DialogKey(dialog, virtualKey);
}

void WindowSystem::CharEvent(uint32_t codePoint)
{
    HWND target = m_Focus;
    if (!IsAlive(target) || (TopLevelOf(target)->m_Style & WS_DISABLED))
        return;
    Send(target, WM_CHAR, codePoint, 0);
}

void WindowSystem::TopLevelMovedByUser(HWND window, POINT topLeft)
{
    if (!IsAlive(window) || window->m_Parent)
        return;
    RECT old = window->m_Rect;
    if (old.left == topLeft.x && old.top == topLeft.y)
        return;
    window->m_Rect = Offset(old, topLeft.x - old.left, topLeft.y - old.top);
    SendSizeMessages(window, true, false);
}

void WindowSystem::CloseRequested(HWND window)
{
    if (IsAlive(window) && !(window->m_Style & WS_DISABLED))
        Send(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void WindowSystem::NativeEditChanged(HWND edit, const std::string& text)
{
    if (!IsAlive(edit) || edit->m_Text == text)
        return;
    edit->m_Text = text;
    int size = static_cast<int>(text.size());
    edit->m_SelectionStart = edit->m_SelectionEnd = size;
    if (edit->m_Parent)
        Send(edit->m_Parent, WM_COMMAND, MAKEWPARAM(edit->m_Id, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
}
