// CSkinButton: a push button drawn from four bitmaps (normal, hover, pressed, disabled) with
// optional caption text; clicks still reach the dialog as BN_CLICKED.
#pragma once

#include "platform/Button.h"

#include <array>
#include <string>

class CSkinButton : public CButton {
public:
    CSkinButton();

    // Loads the four faces, resizes the button to the normal face and stores the two values.
    void SetBitmaps(UINT nNormal, UINT nHover, UINT nPressed, UINT nDisabled, DWORD fillMode, int fillAlpha);
    void ShowText(BOOL b) { m_ShowText = b; }

    void DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct) override;

    BOOL IsHover() const { return m_Hover; }

protected:
    void PreSubclassWindow() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void OnMouseMove(UINT nFlags, POINT point);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnMove(int x, int y);
    void OnLButtonDblClk(UINT nFlags, POINT point);
    void OnLButtonDown(UINT nFlags, POINT point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    void Unhover();

    DWORD m_FillMode = 0x10000;
    int m_FillAlpha = 0;
    std::string m_Text;
    CFont m_Font;
    COLORREF m_TextColor = 0x000000;
    BOOL m_ShowText = FALSE;
    std::array<CBitmap, 4> m_Bitmaps;
    BOOL m_Hover = FALSE;
    BOOL m_Selected = FALSE;
};
