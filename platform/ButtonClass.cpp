// The built-in button class: push buttons, check boxes and radio buttons, their clicks and painting.
#include "platform/WindowSystem.h"

#include "platform/WindowGeometry.h"
#include "platform/Wnd.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

using namespace WindowGeometry;

void WindowSystem::ClickButton(HWND window)
{
    DWORD type = window->m_Style & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX) {
        window->m_Check = window->m_Check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        Invalidate(window, nullptr, true, false);
    } else if (type == BS_AUTORADIOBUTTON) {
        window->m_Check = BST_CHECKED;
        Invalidate(window, nullptr, true, false);
    }
    if (window->m_Parent)
        Send(window->m_Parent, WM_COMMAND, MAKEWPARAM(window->m_Id, BN_CLICKED), reinterpret_cast<LPARAM>(window));
}

LRESULT WindowSystem::ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaintFor(window, &paint);
        if (dc)
            PaintButton(window, dc);
        EndPaintFor(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintButton(window, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCaptureWindow(window);
        SetFocusWindow(window);
        if (!IsAlive(window))
            return 0;
        window->m_Pushed = true;
        Invalidate(window, nullptr, false, false);
        return 0;
    case WM_MOUSEMOVE:
        if (m_Capture == window) {
            RECT client;
            GetClientRect(window, &client);
            bool inside = PtInRect(&client, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            if (inside != window->m_Pushed) {
                window->m_Pushed = inside;
                Invalidate(window, nullptr, false, false);
            }
        }
        return 0;
    case WM_LBUTTONUP: {
        if (m_Capture != window)
            return 0;
        bool clicked = window->m_Pushed;
        window->m_Pushed = false;
        SetCaptureWindow(nullptr);
        if (!IsAlive(window))
            return 0;
        Invalidate(window, nullptr, false, false);
        if (clicked)
            ClickButton(window);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (window->m_Pushed) {
            window->m_Pushed = false;
            Invalidate(window, nullptr, false, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !window->m_Pushed) {
            window->m_Pushed = true;
            Invalidate(window, nullptr, false, false);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && window->m_Pushed) {
            window->m_Pushed = false;
            Invalidate(window, nullptr, false, false);
            ClickButton(window);
        }
        return 0;
    case WM_GETDLGCODE:
        // Only push buttons take Enter for themselves; an owner-drawn button is a plain button
        // to the dialog manager, so Enter on it goes to the dialog's default command.
        switch (window->m_Style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_RADIOBUTTON;
        default:
            return DLGC_BUTTON;
        }
    case BM_SETSTYLE:
        window->m_Style = (window->m_Style & 0xFFFF0000u) | LOWORD(wParam);
        if (lParam)
            Invalidate(window, nullptr, true, false);
        return 0;
    case BM_GETCHECK:
        return window->m_Check;
    case BM_SETCHECK:
        window->m_Check = static_cast<UINT>(wParam);
        Invalidate(window, nullptr, true, false);
        return 0;
    case BM_GETSTATE:
        return window->m_Check | (window->m_Pushed ? BST_PUSHED : 0) | (m_Focus == window ? BST_FOCUS : 0);
    case BM_SETSTATE:
        window->m_Pushed = wParam != 0;
        Invalidate(window, nullptr, false, false);
        return 0;
    case BM_CLICK:
        ClickButton(window);
        return 0;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Invalidate(window, nullptr, true, false);
        return 0;
    case WM_SETTEXT:
        DefProc(window, message, wParam, lParam);
        Invalidate(window, nullptr, true, false);
        return TRUE;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefProc(window, message, wParam, lParam);
    }
}

void WindowSystem::PaintButton(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    DWORD type = window->m_Style & BS_TYPEMASK;
    bool disabled = (window->m_Style & WS_DISABLED) != 0;
    if (type == BS_OWNERDRAW) {
        DRAWITEMSTRUCT item;
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(window->m_Id);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState =
            (window->m_Pushed ? ODS_SELECTED : 0) | (disabled ? ODS_DISABLED : 0) | (m_Focus == window ? ODS_FOCUS : 0);
        item.hwndItem = window;
        item.hDC = dc;
        item.rcItem = client;
        if (window->m_Parent)
            Send(window->m_Parent, WM_DRAWITEM, static_cast<WPARAM>(window->m_Id), reinterpret_cast<LPARAM>(&item));
        return;
    }
    HBRUSH brush = nullptr;
    if (window->m_Parent)
        brush = reinterpret_cast<HBRUSH>(
            Send(window->m_Parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_BTNTEXT));
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
        int box = 13;
        int top = (client.bottom - box) / 2;
        RECT mark = {0, top, box, top + box};
        FillRect(dc, &mark, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FrameRect(dc, &mark, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        if (window->m_Check == BST_CHECKED) {
            RECT inner = {3, top + 3, box - 3, top + box - 3};
            FillRect(dc, &inner, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        RECT text = client;
        text.left = box + 4;
        DrawTextA(dc, window->m_Text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        return;
    }
    FrameRect(dc, &client, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT text = client;
    if (window->m_Pushed)
        OffsetRect(&text, 1, 1);
    DrawTextA(dc, window->m_Text.c_str(), -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}
