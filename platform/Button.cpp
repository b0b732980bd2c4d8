// CButton: owner-draw requests reach DrawItem.
#include "platform/Button.h"

bool CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_DRAWITEM) {
        DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}
