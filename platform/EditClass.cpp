// The built-in edit class: one-line text fields, their keys, selection and painting.
#include "platform/WindowSystem.h"

#include "platform/WindowGeometry.h"
#include "platform/Wnd.h"
#include "platform/base/Utf8.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

using namespace WindowGeometry;

namespace {

// Byte offsets of the character boundaries around `offset` in the edit text.
int PreviousBoundary(const std::string& text, int offset)
{
    return static_cast<int>(PreviousCharacterBoundary(text, static_cast<size_t>(std::max(offset, 0))));
}

int NextBoundary(const std::string& text, int offset)
{
    return static_cast<int>(NextCharacterBoundary(text, static_cast<size_t>(std::max(offset, 0))));
}

}  // namespace

LRESULT WindowSystem::EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto notifyChange = [&] {
        NotifyNative(window);
        Invalidate(window, nullptr, true, false);
        if (window->m_Parent)
            Send(window->m_Parent, WM_COMMAND, MAKEWPARAM(window->m_Id, EN_CHANGE), reinterpret_cast<LPARAM>(window));
    };
    auto replaceSelection = [&](const std::string& insert) {
        int start = std::min(window->m_SelectionStart, window->m_SelectionEnd);
        int end = std::max(window->m_SelectionStart, window->m_SelectionEnd);
        window->m_Text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), insert);
        window->m_SelectionStart = window->m_SelectionEnd = start + static_cast<int>(insert.size());
    };
    int size = static_cast<int>(window->m_Text.size());
    window->m_SelectionStart = std::clamp(window->m_SelectionStart, 0, size);
    window->m_SelectionEnd = std::clamp(window->m_SelectionEnd, 0, size);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaintFor(window, &paint);
        if (dc)
            PaintEdit(window, dc);
        EndPaintFor(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintEdit(window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_GETDLGCODE:
        // A single-line field: Enter, Esc and Tab stay the dialog's.
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocusWindow(window);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Invalidate(window, nullptr, true, false);
        return 0;
    case WM_CHAR: {
        auto codePoint = static_cast<uint32_t>(wParam);
        if (codePoint == VK_BACK) {
            if (window->m_SelectionStart == window->m_SelectionEnd) {
                if (window->m_SelectionStart == 0)
                    return 0;
                window->m_SelectionStart = PreviousBoundary(window->m_Text, window->m_SelectionStart);
            }
            replaceSelection("");
        } else if (codePoint >= 0x20) {
            std::string insert;
            AppendUtf8(insert, codePoint);
            replaceSelection(insert);
        } else {
            return 0;
        }
        notifyChange();
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_LEFT) {
            window->m_SelectionStart = window->m_SelectionEnd =
                PreviousBoundary(window->m_Text, window->m_SelectionEnd);
        } else if (wParam == VK_RIGHT) {
            window->m_SelectionStart = window->m_SelectionEnd = NextBoundary(window->m_Text, window->m_SelectionEnd);
        } else if (wParam == VK_DELETE) {
            if (window->m_SelectionStart == window->m_SelectionEnd)
                window->m_SelectionEnd = NextBoundary(window->m_Text, window->m_SelectionEnd);
            replaceSelection("");
            notifyChange();
        }
        return 0;
    case EM_SETSEL: {
        auto start = static_cast<int>(static_cast<intptr_t>(wParam));
        auto end = static_cast<int>(lParam);
        if (start < 0) {
            window->m_SelectionStart = window->m_SelectionEnd = size;
        } else {
            window->m_SelectionStart = std::min(start, size);
            window->m_SelectionEnd = end < 0 ? size : std::min(end, size);
        }
        NotifyNative(window);
        Invalidate(window, nullptr, true, false);
        return 0;
    }
    case EM_GETSEL:
        return MAKELPARAM(window->m_SelectionStart, window->m_SelectionEnd);
    case WM_SETTEXT:
        DefProc(window, message, wParam, lParam);
        window->m_SelectionStart = window->m_SelectionEnd = 0;
        NotifyNative(window);
        Invalidate(window, nullptr, true, false);
        return TRUE;
    default:
        return DefProc(window, message, wParam, lParam);
    }
}

void WindowSystem::PaintEdit(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = nullptr;
    if (window->m_Parent)
        brush = reinterpret_cast<HBRUSH>(
            Send(window->m_Parent, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    RECT text = client;
    text.left += 1;
    DrawTextA(dc, window->m_Text.c_str(), -1, &text, DT_SINGLELINE | DT_NOPREFIX);
    if (m_Focus == window && window->m_SelectionStart != window->m_SelectionEnd) {
        int start = std::min(window->m_SelectionStart, window->m_SelectionEnd);
        int end = std::max(window->m_SelectionStart, window->m_SelectionEnd);
        SIZE before{}, upTo{};
        GetTextExtentPoint32A(dc, window->m_Text.c_str(), start, &before);
        GetTextExtentPoint32A(dc, window->m_Text.c_str(), end, &upTo);
        RECT selected = {text.left + before.cx, client.top, text.left + upTo.cx, client.bottom};
        InvertRect(dc, &selected);
    }
}
