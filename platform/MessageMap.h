// Message maps: a table per window class of messages (or command ids) and their handlers, each
// entry unpacking the message's parameters into the handler's own signature.
#pragma once

#include "platform/Dc.h"
#include "platform/WinUser.h"

#include <functional>
#include <initializer_list>
#include <vector>

class CWnd;

template <class T>
struct MessageMapEntry {
    UINT message = 0;
    bool command = false;  // WM_COMMAND from one control id with one notification code
    UINT code = 0;
    UINT id = 0;
    std::function<LRESULT(T&, WPARAM, LPARAM)> handler;
};

template <class T>
class MessageMap {
public:
    MessageMap(std::initializer_list<MessageMapEntry<T>> entries) : m_Entries(entries) {}

    // Runs the first matching entry; false when none matches.
    bool Dispatch(T& self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const
    {
        for (const auto& entry : m_Entries) {
            if (entry.message != message)
                continue;
            if (entry.command && (LOWORD(wParam) != entry.id || HIWORD(wParam) != entry.code))
                continue;
            *result = entry.handler(self, wParam, lParam);
            return true;
        }
        return false;
    }

private:
    std::vector<MessageMapEntry<T>> m_Entries;
};

namespace message_map_detail {
inline POINT Point(LPARAM lParam)
{
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}
}  // namespace message_map_detail

// ---- Entry makers, one per message shape --------------------------------------------------

// Any message with its raw parameters: `LRESULT OnX(WPARAM, LPARAM)`.
template <class T>
MessageMapEntry<T> OnMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM))
{
    return {message, false, 0, 0, [handler](T& self, WPARAM w, LPARAM l) { return (self.*handler)(w, l); }};
}

// WM_COMMAND with BN_CLICKED (or a menu command) from control `id`: `void OnX()`.
template <class T>
MessageMapEntry<T> OnCommand(UINT id, void (T::*handler)())
{
    return {WM_COMMAND, true, BN_CLICKED, id, [handler](T& self, WPARAM, LPARAM) {
                (self.*handler)();
                return LRESULT{0};
            }};
}

// WM_COMMAND with a given notification code from control `id`: `void OnX()`.
template <class T>
MessageMapEntry<T> OnControl(UINT code, UINT id, void (T::*handler)())
{
    return {WM_COMMAND, true, code, id, [handler](T& self, WPARAM, LPARAM) {
                (self.*handler)();
                return LRESULT{0};
            }};
}

// Mouse messages with client coordinates: `void OnX(UINT flags, POINT point)`.
template <class T>
MessageMapEntry<T> OnMouse(UINT message, void (T::*handler)(UINT, POINT))
{
    return {message, false, 0, 0, [handler](T& self, WPARAM w, LPARAM l) {
                (self.*handler)(static_cast<UINT>(w), message_map_detail::Point(l));
                return LRESULT{0};
            }};
}

// Non-client mouse messages: `void OnX(UINT hitTest, POINT screenPoint)`.
template <class T>
MessageMapEntry<T> OnNcMouse(UINT message, void (T::*handler)(UINT, POINT))
{
    return OnMouse(message, handler);
}

// WM_TIMER: `void OnTimer(UINT_PTR id)`.
template <class T>
MessageMapEntry<T> OnWmTimer(void (T::*handler)(UINT_PTR))
{
    return {WM_TIMER, false, 0, 0, [handler](T& self, WPARAM w, LPARAM) {
                (self.*handler)(w);
                return LRESULT{0};
            }};
}

// WM_ERASEBKGND: `BOOL OnEraseBkgnd(CDC* dc)`.
template <class T>
MessageMapEntry<T> OnWmEraseBkgnd(BOOL (T::*handler)(CDC*))
{
    return {WM_ERASEBKGND, false, 0, 0, [handler](T& self, WPARAM w, LPARAM) {
                CDC dc;
                dc.Attach(reinterpret_cast<HDC>(w));
                LRESULT result = (self.*handler)(&dc);
                dc.Detach();
                return result;
            }};
}

// WM_ICONERASEBKGND: `void OnIconEraseBkgnd(CDC* dc)`.
template <class T>
MessageMapEntry<T> OnWmIconEraseBkgnd(void (T::*handler)(CDC*))
{
    return {WM_ICONERASEBKGND, false, 0, 0, [handler](T& self, WPARAM w, LPARAM) {
                CDC dc;
                dc.Attach(reinterpret_cast<HDC>(w));
                (self.*handler)(&dc);
                dc.Detach();
                return LRESULT{0};
            }};
}

// WM_SETCURSOR: `BOOL OnSetCursor(HWND window, UINT hitTest, UINT message)`.
template <class T>
MessageMapEntry<T> OnWmSetCursor(BOOL (T::*handler)(HWND, UINT, UINT))
{
    return {WM_SETCURSOR, false, 0, 0, [handler](T& self, WPARAM w, LPARAM l) {
                return LRESULT{(self.*handler)(reinterpret_cast<HWND>(w), LOWORD(static_cast<uintptr_t>(l)),
                                               HIWORD(static_cast<uintptr_t>(l)))};
            }};
}

// WM_NCHITTEST: `LRESULT OnNcHitTest(POINT screenPoint)`.
template <class T>
MessageMapEntry<T> OnWmNcHitTest(LRESULT (T::*handler)(POINT))
{
    return {WM_NCHITTEST, false, 0, 0,
            [handler](T& self, WPARAM, LPARAM l) { return (self.*handler)(message_map_detail::Point(l)); }};
}

// WM_SYSCOMMAND: `void OnSysCommand(UINT id, LPARAM lParam)`.
template <class T>
MessageMapEntry<T> OnWmSysCommand(void (T::*handler)(UINT, LPARAM))
{
    return {WM_SYSCOMMAND, false, 0, 0, [handler](T& self, WPARAM w, LPARAM l) {
                (self.*handler)(static_cast<UINT>(w), l);
                return LRESULT{0};
            }};
}

// WM_NCCALCSIZE: `void OnNcCalcSize(BOOL calcValidRects, RECT* rect)`.
template <class T>
MessageMapEntry<T> OnWmNcCalcSize(void (T::*handler)(BOOL, RECT*))
{
    return {WM_NCCALCSIZE, false, 0, 0, [handler](T& self, WPARAM w, LPARAM l) {
                (self.*handler)(static_cast<BOOL>(w), reinterpret_cast<RECT*>(l));
                return LRESULT{0};
            }};
}

// WM_NCACTIVATE: `BOOL OnNcActivate(BOOL active)`.
template <class T>
MessageMapEntry<T> OnWmNcActivate(BOOL (T::*handler)(BOOL))
{
    return {WM_NCACTIVATE, false, 0, 0,
            [handler](T& self, WPARAM w, LPARAM) { return LRESULT{(self.*handler)(static_cast<BOOL>(w))}; }};
}

// Messages without parameters or result (WM_PAINT, WM_NCPAINT): `void OnX()`.
template <class T>
MessageMapEntry<T> OnPlain(UINT message, void (T::*handler)())
{
    return {message, false, 0, 0, [handler](T& self, WPARAM, LPARAM) {
                (self.*handler)();
                return LRESULT{0};
            }};
}

// WM_GETMINMAXINFO: `void OnGetMinMaxInfo(MINMAXINFO* info)`.
template <class T>
MessageMapEntry<T> OnWmGetMinMaxInfo(void (T::*handler)(MINMAXINFO*))
{
    return {WM_GETMINMAXINFO, false, 0, 0, [handler](T& self, WPARAM, LPARAM l) {
                (self.*handler)(reinterpret_cast<MINMAXINFO*>(l));
                return LRESULT{0};
            }};
}

// WM_SIZE: `void OnSize(UINT kind, int cx, int cy)`.
template <class T>
MessageMapEntry<T> OnWmSize(void (T::*handler)(UINT, int, int))
{
    return {WM_SIZE, false, 0, 0, [handler](T& self, WPARAM w, LPARAM l) {
                (self.*handler)(static_cast<UINT>(w), LOWORD(static_cast<uintptr_t>(l)),
                                HIWORD(static_cast<uintptr_t>(l)));
                return LRESULT{0};
            }};
}

// WM_MOVE: `void OnMove(int x, int y)`.
template <class T>
MessageMapEntry<T> OnWmMove(void (T::*handler)(int, int))
{
    return {WM_MOVE, false, 0, 0, [handler](T& self, WPARAM, LPARAM l) {
                (self.*handler)(GET_X_LPARAM(l), GET_Y_LPARAM(l));
                return LRESULT{0};
            }};
}

// WM_QUERYDRAGICON: `HCURSOR OnQueryDragIcon()`.
template <class T, class Result>
MessageMapEntry<T> OnWmQueryDragIcon(Result (T::*handler)())
{
    return {WM_QUERYDRAGICON, false, 0, 0,
            [handler](T& self, WPARAM, LPARAM) { return reinterpret_cast<LRESULT>((self.*handler)()); }};
}

// Every WM_CTLCOLOR... message a parent receives: `HBRUSH OnCtlColor(CDC* dc, HWND control, UINT kind)`,
// kind being the message's offset from WM_CTLCOLORMSGBOX (CTLCOLOR_STATIC is 6).
template <class T>
MessageMapEntry<T> OnWmCtlColor(HBRUSH (T::*handler)(CDC*, HWND, UINT), UINT message)
{
    return {message, false, 0, 0, [handler, message](T& self, WPARAM w, LPARAM l) {
                CDC dc;
                dc.Attach(reinterpret_cast<HDC>(w));
                HBRUSH brush = (self.*handler)(&dc, reinterpret_cast<HWND>(l), message - WM_CTLCOLORMSGBOX);
                dc.Detach();
                return reinterpret_cast<LRESULT>(brush);
            }};
}

// A colour request reflected to the control it concerns: `HBRUSH CtlColor(CDC* dc, UINT kind)`.
template <class T>
MessageMapEntry<T> OnReflectedCtlColor(HBRUSH (T::*handler)(CDC*, UINT), UINT message)
{
    return {WM_REFLECT_BASE + message, false, 0, 0, [handler, message](T& self, WPARAM w, LPARAM) {
                CDC dc;
                dc.Attach(reinterpret_cast<HDC>(w));
                HBRUSH brush = (self.*handler)(&dc, message - WM_CTLCOLORMSGBOX);
                dc.Detach();
                return reinterpret_cast<LRESULT>(brush);
            }};
}

constexpr UINT CTLCOLOR_STATIC = 6;
