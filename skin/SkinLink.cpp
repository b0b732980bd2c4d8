// CSkinLink: painting by cursor state, the hand cursor over the text, the click and the
// ten seconds of repainting that follow it.
#include "skin/SkinLink.h"

#include "skin/SkinDraw.h"

bool CSkinLink::CursorOnText() const
{
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    return PtInRect(&m_TextRect, cursor) != FALSE;
}

BOOL CSkinLink::OnEraseBkgnd(CDC* pDC)
{
    RECT client;
    GetClientRect(&client);
    {
        CClientDC measure(this);
        CFont font;
        font.CreatePointFont(90, "宋体");
        HGDIOBJ old = measure.SelectObject(&font);
        m_TextRect = CSkinDraw().CenterTextRect(&measure, m_Text, client);
        measure.SelectObject(old);
    }
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    CDC memory;
    CBitmap canvas;
    if (memory.CreateCompatibleDC(nullptr) && canvas.CreateCompatibleBitmap(pDC, width, height)) {
        HGDIOBJ oldCanvas = memory.SelectObject(&canvas);
        memory.FillSolidRect(client, m_BackColor);

        bool onText = CursorOnText();
        bool pressed = onText && GetAsyncKeyState(VK_LBUTTON);
        COLORREF colour = onText ? kActiveColor : kNormalColor;

        CFont font;
        font.CreatePointFont(90, "宋体");
        HGDIOBJ oldFont = memory.SelectObject(&font);
        memory.SetBkMode(TRANSPARENT);
        memory.SetTextColor(colour);
        RECT text = m_TextRect;
        memory.DrawText(m_Text, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);

        CPen pen(PS_SOLID, 1, colour);
        HGDIOBJ oldPen = memory.SelectObject(&pen);
        memory.MoveTo(m_TextRect.left, m_TextRect.bottom);
        memory.LineTo(m_TextRect.right - 1, m_TextRect.bottom);
        memory.SelectObject(oldPen);

        if (pressed) {
            RECT focus = m_TextRect;
            InflateRect(&focus, 2, 2);
            memory.DrawFocusRect(&focus);
        }
        memory.SelectObject(oldFont);
        pDC->BitBlt(0, 0, width, height, &memory, 0, 0, SRCCOPY);
        memory.SelectObject(oldCanvas);
    }
    return static_cast<BOOL>(Default());
}

void CSkinLink::OnMouseMove(UINT, POINT)
{
    TRACKMOUSEEVENT track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = m_hWnd;
    _TrackMouseEvent(&track);
    Invalidate(TRUE);
}

LRESULT CSkinLink::OnMouseLeave(WPARAM, LPARAM)
{
    Invalidate(TRUE);
    return 0;
}

BOOL CSkinLink::OnSetCursor(HWND, UINT, UINT)
{
    if (CursorOnText()) {
        m_Cursor = LoadCursorA(nullptr, IDC_HAND);
        SetCursor(m_Cursor);
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void CSkinLink::OnLButtonDown(UINT, POINT)
{
    Invalidate(TRUE);
    Default();
}

void CSkinLink::OnLButtonUp(UINT, POINT)
{
    if (CursorOnText()) {
        ShellExecuteA(GetDesktopWindow(), "", m_Url.c_str(), "", "", SW_SHOWMAXIMIZED);
        SetTimer(1, 10000);
        SetTimer(2, 10);
    }
    Default();
}

void CSkinLink::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == 1) {
        KillTimer(1);
        KillTimer(2);
    } else if (nIDEvent == 2) {
        Invalidate(TRUE);
    }
}

bool CSkinLink::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CSkinLink> kMap{
        OnWmTimer(&CSkinLink::OnTimer),
        OnWmEraseBkgnd(&CSkinLink::OnEraseBkgnd),
        OnMouse(WM_LBUTTONUP, &CSkinLink::OnLButtonUp),
        OnMouse(WM_MOUSEMOVE, &CSkinLink::OnMouseMove),
        OnWmSetCursor(&CSkinLink::OnSetCursor),
        OnMouse(WM_LBUTTONDOWN, &CSkinLink::OnLButtonDown),
        OnMessage(WM_MOUSELEAVE, &CSkinLink::OnMouseLeave),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) || CWnd::OnWndMsg(message, wParam, lParam, result);
}
