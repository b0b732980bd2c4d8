// CSkinButton: faces by state, the pressed text shift, hover tracking with leave notices.
#include "skin/SkinButton.h"

#include "skin/SkinDraw.h"

CSkinButton::CSkinButton()
{
    m_Font.CreatePointFont(90, "宋体");
}

void CSkinButton::PreSubclassWindow()
{
    SendMessage(BM_SETSTYLE, (static_cast<WPARAM>(GetWindowLongA(m_hWnd, GWL_STYLE)) & 0xFF) | BS_OWNERDRAW, TRUE);
    ModifyStyle(WS_BORDER, 0);
    m_Text = GetWindowText();
}

void CSkinButton::SetBitmaps(UINT nNormal, UINT nHover, UINT nPressed, UINT nDisabled, DWORD fillMode, int fillAlpha)
{
    for (auto& bitmap : m_Bitmaps)
        bitmap.DeleteObject();
    m_Hover = FALSE;
    m_Bitmaps[0].LoadBitmap(nNormal & 0xFFFF);
    m_Bitmaps[1].LoadBitmap(nHover & 0xFFFF);
    m_Bitmaps[2].LoadBitmap(nPressed & 0xFFFF);
    m_Bitmaps[3].LoadBitmap(nDisabled & 0xFFFF);
    // Without a normal face the button keeps its size.
    BITMAP info;
    if (m_Bitmaps[0].GetBitmap(&info))
        SetWindowPos(nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE);
    m_FillMode = fillMode;
    m_FillAlpha = fillAlpha;
}

void CSkinButton::DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct)
{
    m_Selected = (lpDrawItemStruct->itemState & ODS_SELECTED) ? TRUE : FALSE;
    RECT client;
    GetClientRect(&client);
    CDC dc;
    dc.Attach(lpDrawItemStruct->hDC);
    bool haveFace = m_Bitmaps[0].GetSafeHandle() != nullptr;
    if (haveFace) {
        size_t face = m_Selected ? 2 : m_Hover ? 1 : IsWindowEnabled() ? 0 : 3;
        CSkinDraw().StretchTransparent(&dc, &m_Bitmaps[face], client, kSkinKey);
    } else {
        dc.Rectangle(&client);
        dc.FillSolidRect(client, 0xFF0000);
    }
    if (!haveFace || m_ShowText) {
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(m_TextColor);
        HGDIOBJ oldFont = dc.SelectObject(&m_Font);
        RECT text = client;
        if (m_Selected)
            OffsetRect(&text, 1, 1);
        if (!haveFace && m_Hover && !m_Selected)
            OffsetRect(&text, 0, -1);
        dc.DrawText(m_Text, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        dc.SelectObject(oldFont);
    }
    dc.Detach();
}

void CSkinButton::Unhover()
{
    if (!m_Hover)
        return;
    m_Hover = FALSE;
    Invalidate(TRUE);
}

void CSkinButton::OnMouseMove(UINT nFlags, POINT point)
{
    Default();
    if (!m_hWnd)
        return;
    POINT screen = point;
    ClientToScreen(&screen);
    HWND under = WindowFromPoint(screen);
    // A button does not light up while the mouse is dragged onto it with the button held.
    if ((nFlags & MK_LBUTTON) && !m_Hover)
        return;
    if (under == m_hWnd) {
        if (m_Hover)
            return;
        m_Hover = TRUE;
        Invalidate(TRUE);
        TRACKMOUSEEVENT track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        _TrackMouseEvent(&track);
    } else {
        Unhover();
    }
}

LRESULT CSkinButton::OnMouseLeave(WPARAM, LPARAM)
{
    Unhover();
    return 0;
}

BOOL CSkinButton::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CSkinButton::OnMove(int, int)
{
    Default();
}

void CSkinButton::OnLButtonDown(UINT, POINT)
{
    Default();
}

void CSkinButton::OnLButtonDblClk(UINT nFlags, POINT point)
{
    OnLButtonDown(nFlags, point);
    Default();
}

bool CSkinButton::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CSkinButton> kMap{
        OnMouse(WM_MOUSEMOVE, &CSkinButton::OnMouseMove),
        OnWmEraseBkgnd(&CSkinButton::OnEraseBkgnd),
        OnWmMove(&CSkinButton::OnMove),
        OnMouse(WM_LBUTTONDBLCLK, &CSkinButton::OnLButtonDblClk),
        OnMouse(WM_LBUTTONDOWN, &CSkinButton::OnLButtonDown),
        OnMessage(WM_MOUSELEAVE, &CSkinButton::OnMouseLeave),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) || CButton::OnWndMsg(message, wParam, lParam, result);
}
