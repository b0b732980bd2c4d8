// CSkinCheckBox: a check box drawn as a round mark bitmap and its text. It keeps its own
// state, which only its owner changes; a click only reports BN_CLICKED.
#pragma once

#include "platform/Button.h"

class CSkinCheckBox : public CButton {
public:
    void SetBitmaps(UINT nUnchecked, UINT nChecked);
    void SetCheck(BOOL b);
    BOOL GetCheck() const { return m_Checked; }

    void DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct) override;

protected:
    void PreSubclassWindow() override;

private:
    COLORREF m_TextColor = 0x000000;
    CBitmap m_UncheckedBitmap;
    CBitmap m_CheckedBitmap;
    BOOL m_Checked = FALSE;
};
