// CScrollText: placing, stepping and cycling the items, painting the strip on erase.
#include "skin/ScrollText.h"

#include "platform/base/AsciiCase.h"
#include "skin/SkinDraw.h"

CScrollText::CScrollText()
{
    m_Font.CreatePointFont(90, "宋体");
}

void CScrollText::SetBackColors(COLORREF from, COLORREF to, DWORD mode)
{
    m_BackFrom = from;
    m_BackTo = to;
    m_BackMode = mode;
}

void CScrollText::SetTextColors(COLORREF text, COLORREF hover)
{
    m_TextColor = text;
    m_HoverColor = hover;
}

void CScrollText::AddText(const std::string& text)
{
    auto item = std::make_unique<ScrollTextItem>();
    item->text = text;
    m_Items.push_back(std::move(item));
}

void CScrollText::AddLink(const std::string& text, const std::string& url)
{
    auto item = std::make_unique<ScrollTextItem>();
    item->text = text;
    item->link = TRUE;
    item->url = url;
    m_Items.push_back(std::move(item));
}

void CScrollText::Start()
{
    if (m_Items.empty())
        return;
    m_Current = m_Items.front().get();
    Place(*m_Current);
    SetTimer(kStepTimer, m_Speed);
}

void CScrollText::Place(ScrollTextItem& item)
{
    RECT client;
    GetClientRect(&client);
    CClientDC dc(this);
    HGDIOBJ old = dc.SelectObject(&m_Font);
    SIZE extent = dc.GetTextExtent(item.text);
    dc.SelectObject(old);
    item.rect.left = client.right;
    item.rect.top = client.top;
    item.rect.bottom = client.bottom;
    item.rect.right = item.rect.left + extent.cx;
}

ScrollTextItem* CScrollText::NextItem(const ScrollTextItem& finished)
{
    for (size_t i = 0; i < m_Items.size(); ++i) {
        if (!EqualsIgnoringAsciiCase(m_Items[i]->text, finished.text))
            continue;
        return i + 1 < m_Items.size() ? m_Items[i + 1].get() : m_Items.front().get();
    }
    return nullptr;
}

POINT CScrollText::CursorInClient() const
{
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    return cursor;
}

void CScrollText::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kStepTimer && m_Current) {
        RECT client;
        GetClientRect(&client);
        POINT cursor = CursorInClient();
        bool resting = m_Current->link && PtInRect(&m_Current->rect, cursor) && cursor.x <= client.right;
        if (!resting) {
            --m_Current->rect.left;
            --m_Current->rect.right;
            Invalidate(TRUE);
            if (m_Current->rect.right < 0) {
                KillTimer(kStepTimer);
                m_Current = NextItem(*m_Current);
                if (m_Current)
                    Place(*m_Current);
                SetTimer(kGapTimer, 1);
            }
        }
    } else if (nIDEvent == kGapTimer) {
        KillTimer(kGapTimer);
        SetTimer(kStepTimer, m_Speed);
    }
    Default();
}

BOOL CScrollText::OnEraseBkgnd(CDC* pDC)
{
    RECT client;
    GetClientRect(&client);
    HGDIOBJ oldTargetFont = pDC->SelectObject(&m_Font);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    CDC memory;
    CBitmap canvas;
    if (memory.CreateCompatibleDC(nullptr) && canvas.CreateCompatibleBitmap(pDC, width, height)) {
        HGDIOBJ oldCanvas = memory.SelectObject(&canvas);
        CSkinDraw draw;
        draw.FillGradient(&memory, m_BackFrom, m_BackTo, m_BackMode, client);
        if (m_Current) {
            POINT cursor = CursorInClient();
            bool hovered = PtInRect(&m_Current->rect, cursor) && cursor.x < client.right;
            COLORREF colour = (m_Current->link && hovered) ? m_HoverColor : m_TextColor;
            HGDIOBJ oldFont = memory.SelectObject(&m_Font);
            memory.SetBkMode(TRANSPARENT);
            memory.SetTextColor(colour);
            RECT text = m_Current->rect;
            memory.DrawText(m_Current->text, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
            if (m_Current->link) {
                RECT underline = draw.CenterTextRect(&memory, m_Current->text, m_Current->rect);
                CPen pen(PS_SOLID, 1, colour);
                HGDIOBJ oldPen = memory.SelectObject(&pen);
                memory.MoveTo(underline.left - 2, underline.bottom);
                memory.LineTo(underline.right, underline.bottom);
                memory.SelectObject(oldPen);
            }
            memory.SelectObject(oldFont);
        }
        pDC->BitBlt(0, 0, width, height, &memory, 0, 0, SRCCOPY);
        memory.SelectObject(oldCanvas);
    }
    pDC->SelectObject(oldTargetFont);
    return TRUE;
}

BOOL CScrollText::OnSetCursor(HWND, UINT, UINT)
{
    POINT cursor = CursorInClient();
    if (m_Current && m_Current->link && PtInRect(&m_Current->rect, cursor)) {
        m_Cursor = LoadCursorA(nullptr, IDC_HAND);
        SetCursor(m_Cursor);
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void CScrollText::OnLButtonDown(UINT, POINT point)
{
    Default();
    if (m_Current && m_Current->link && PtInRect(&m_Current->rect, point))
        ShellExecuteA(GetDesktopWindow(), "", m_Current->url.c_str(), "", "", SW_SHOWMAXIMIZED);
}

void CScrollText::OnMouseMove(UINT, POINT)
{
    Default();
    Invalidate(TRUE);
}

bool CScrollText::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CScrollText> kMap{
        OnWmTimer(&CScrollText::OnTimer),
        OnWmEraseBkgnd(&CScrollText::OnEraseBkgnd),
        OnWmSetCursor(&CScrollText::OnSetCursor),
        OnMouse(WM_LBUTTONDOWN, &CScrollText::OnLButtonDown),
        OnMouse(WM_MOUSEMOVE, &CScrollText::OnMouseMove),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) || CWnd::OnWndMsg(message, wParam, lParam, result);
}
