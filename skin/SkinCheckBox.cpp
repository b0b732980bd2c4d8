// CSkinCheckBox: the mark at the left, vertically centred, then the control's text.
#include "skin/SkinCheckBox.h"

#include "skin/SkinDraw.h"

void CSkinCheckBox::PreSubclassWindow()
{
    SendMessage(BM_SETSTYLE, (static_cast<WPARAM>(GetWindowLongA(m_hWnd, GWL_STYLE)) & 0xFF) | BS_OWNERDRAW, TRUE);
    ModifyStyle(WS_BORDER, 0);
}

void CSkinCheckBox::SetBitmaps(UINT nUnchecked, UINT nChecked)
{
    m_UncheckedBitmap.DeleteObject();
    m_CheckedBitmap.DeleteObject();
    m_UncheckedBitmap.LoadBitmap(nUnchecked & 0xFFFF);
    m_CheckedBitmap.LoadBitmap(nChecked & 0xFFFF);
}

void CSkinCheckBox::SetCheck(BOOL b)
{
    m_Checked = b;
    Invalidate(TRUE);
}

void CSkinCheckBox::DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct)
{
    BITMAP unchecked;
    if (!m_UncheckedBitmap.GetBitmap(&unchecked))
        return;
    BITMAP checked{};
    m_CheckedBitmap.GetBitmap(&checked);
    RECT client;
    GetClientRect(&client);
    CDC dc;
    dc.Attach(lpDrawItemStruct->hDC);
    int y = static_cast<int>((client.bottom - client.top - checked.bmHeight) * 0.5);
    CSkinDraw().DrawBitmap(&dc, m_Checked ? &m_CheckedBitmap : &m_UncheckedBitmap, 0, y);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(m_TextColor);
    RECT text = client;
    text.left = unchecked.bmWidth + 15;
    dc.DrawText(GetWindowText(), &text, DT_SINGLELINE | DT_VCENTER);
    dc.Detach();
}
