// The built-in dialog class: the default processing of dialog windows.
#include "platform/WindowSystem.h"

#include "platform/WindowGeometry.h"
#include "platform/Wnd.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

using namespace WindowGeometry;

LRESULT WindowSystem::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        auto brush = reinterpret_cast<HBRUSH>(Send(window, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(window)));
        if (!IsAlive(window))
            return 1;
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_CLOSE:
        Send(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
             reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
        return 0;
    case WM_COMMAND:
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            int id = LOWORD(wParam);
            if (id == IDOK || id == IDCANCEL)
                EndDialog(window, id);
        }
        return 0;
    default:
        return DefProc(window, message, wParam, lParam);
    }
}
