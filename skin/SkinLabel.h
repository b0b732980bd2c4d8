// CSkinLabel: a static text whose background brush is cut from an image of its parent, with
// the label's own area painted in a colour, a gradient, or a colour blended over the parent.
#pragma once

#include "platform/GdiWrappers.h"
#include "platform/Static.h"

class CSkinLabel : public CStatic {
public:
    CSkinLabel();

    BOOL SetBackground(COLORREF from, COLORREF to, DWORD mode, int alpha);
    void SetTextColor(COLORREF c) { m_TextColor = c; }

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    enum class BrushMethod { Plain, Gradient };

    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    HBRUSH OnCtlColor(CDC* pDC, HWND control, UINT nCtlColor);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnMove(int x, int y);
    void BuildBrush(BrushMethod method);

    COLORREF m_BackFrom = 0;
    COLORREF m_BackTo = 0;
    DWORD m_BackMode = 0x1000000;
    int m_Alpha = 0;
    COLORREF m_TextColor = 0x000000;
    CBrush m_Brush;
    // Where the label stood in its parent when the brush was built: the brush is aligned so
    // that the label shows that part of the captured image.
    POINT m_BrushOrigin;
};
