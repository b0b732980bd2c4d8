// The built-in static class: text and picture labels.
#include "platform/WindowSystem.h"

#include "platform/WindowGeometry.h"
#include "platform/Wnd.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

using namespace WindowGeometry;

LRESULT WindowSystem::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaintFor(window, &paint);
        if (dc)
            PaintStatic(window, dc);
        EndPaintFor(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintStatic(window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT:
        DefProc(window, message, wParam, lParam);
        Invalidate(window, nullptr, true, false);
        return TRUE;
    case WM_ENABLE:
        Invalidate(window, nullptr, true, false);
        return 0;
    case WM_NCHITTEST:
        // A static control lets the mouse through to its parent unless it asks for notices.
        if (!(window->m_Style & SS_NOTIFY))
            return HTTRANSPARENT;
        return HTCLIENT;
    case WM_ERASEBKGND:
        return 0;
    default:
        return DefProc(window, message, wParam, lParam);
    }
}

void WindowSystem::PaintStatic(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = nullptr;
    if (window->m_Parent)
        brush = reinterpret_cast<HBRUSH>(
            Send(window->m_Parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
    if (!IsAlive(window))
        return;
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    if (window->m_Style & WS_DISABLED)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DWORD align = window->m_Style & SS_TYPEMASK;
    UINT format = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
    if (align == SS_CENTER)
        format |= DT_CENTER;
    if (align == SS_RIGHT)
        format |= DT_RIGHT;
    // Line breaks are "\r\n"; the text layout takes "\n" alone.
    std::string text;
    for (char c : window->m_Text)
        if (c != '\r')
            text += c;
    DrawTextA(dc, text.c_str(), -1, &client, format);
}
