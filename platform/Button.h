// CButton: the framework's push button, check box and owner-drawn button object.
#pragma once

#include "platform/Wnd.h"

class CButton : public CWnd {
public:
    // Owner-drawn buttons paint here when their parent asks (WM_DRAWITEM, reflected).
    virtual void DrawItem(DRAWITEMSTRUCT*) {}

    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
    UINT GetButtonStyle() const { return static_cast<UINT>(GetStyle() & 0xFF); }
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }

protected:
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
