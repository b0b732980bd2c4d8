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
    // The label's top-left corner in its parent's client coordinates.
    POINT PlaceInParent() const;

    COLORREF m_BackFrom = 0;
    COLORREF m_BackTo = 0;
    DWORD m_BackMode = 0x1000000;
    int m_Alpha = 0;
    COLORREF m_TextColor = 0x000000;
    // The captured image of the whole parent, aligned with the parent's client area: the label
    // shows the part of it that lies under the label where it stands now. The coloured area
    // stays where the label stood when the brush was built, so an opaque label moved after
    // SetBackground shows the parent's image under it, its text on the skin.
    CBrush m_Brush;
};
