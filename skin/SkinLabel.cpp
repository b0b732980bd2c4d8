// CSkinLabel: the captured-parent brush and the colour requests that hand it out.
#include "skin/SkinLabel.h"

#include "skin/SkinDraw.h"

CSkinLabel::CSkinLabel()
{
    m_Brush.CreateSolidBrush(0xFF00FF);
}

BOOL CSkinLabel::SetBackground(COLORREF from, COLORREF to, DWORD mode, int alpha)
{
    m_BackFrom = from;
    m_BackTo = to;
    m_BackMode = mode;
    m_Alpha = alpha;
    m_Brush.DeleteObject();
    BuildBrush(from == to ? BrushMethod::Plain : BrushMethod::Gradient);
    Invalidate(TRUE);
    return TRUE;
}

void CSkinLabel::BuildBrush(BrushMethod method)
{
    HWND parent = GetParentHwnd();
    HDC parentDC = GetDC(parent);
    RECT parentRect{};
    ::GetWindowRect(parent, &parentRect);
    int width = parentRect.right - parentRect.left;
    int height = parentRect.bottom - parentRect.top;

    CDC memory;
    memory.CreateCompatibleDC(nullptr);
    CBitmap capture;
    capture.Attach(CreateCompatibleBitmap(parentDC, width, height));
    HGDIOBJ oldCapture = memory.SelectObject(&capture);
    SendMessageA(parent, WM_PRINT, reinterpret_cast<WPARAM>(memory.GetSafeHdc()),
                 PRF_CLIENT | PRF_ERASEBKGND | PRF_OWNED);

    RECT area;
    GetWindowRect(&area);
    POINT topLeft = PlaceInParent();
    RECT r = {topLeft.x, topLeft.y, topLeft.x + area.right - area.left, topLeft.y + area.bottom - area.top};

    if (method == BrushMethod::Plain && m_Alpha <= 0) {
        memory.FillSolidRect(r, m_BackFrom);
    } else if (method == BrushMethod::Plain) {
        CDC colour;
        colour.CreateCompatibleDC(nullptr);
        CBitmap colourBitmap;
        colourBitmap.Attach(CreateCompatibleBitmap(parentDC, width, height));
        HGDIOBJ oldColour = colour.SelectObject(&colourBitmap);
        colour.FillSolidRect({0, 0, r.right - r.left, r.bottom - r.top}, m_BackFrom);
        BLENDFUNCTION blend;
        blend.BlendOp = AC_SRC_OVER;
        blend.BlendFlags = 0;
        blend.SourceConstantAlpha = static_cast<BYTE>(255 - (m_Alpha & 0xFF));
        blend.AlphaFormat = 0;
        memory.AlphaBlend(r.left, r.top, r.right - r.left, r.bottom - r.top, &colour, 0, 0, r.right - r.left,
                          r.bottom - r.top, blend);
        colour.SelectObject(oldColour);
    } else {
        CSkinDraw().FillGradient(&memory, m_BackFrom, m_BackTo, m_BackMode, r);
    }

    memory.SelectObject(oldCapture);
    m_Brush.CreatePatternBrush(&capture);
    ReleaseDC(parent, parentDC);
}

POINT CSkinLabel::PlaceInParent() const
{
    RECT area;
    ::GetWindowRect(m_hWnd, &area);
    POINT topLeft = {area.left, area.top};
    ::ScreenToClient(GetParentHwnd(), &topLeft);
    return topLeft;
}

HBRUSH CSkinLabel::CtlColor(CDC* pDC, UINT)
{
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(m_TextColor);
    POINT place = PlaceInParent();
    SetBrushOrgEx(pDC->GetSafeHdc(), -place.x, -place.y, nullptr);
    return m_Brush.Handle();
}

HBRUSH CSkinLabel::OnCtlColor(CDC* pDC, HWND, UINT nCtlColor)
{
    return CtlColor(pDC, nCtlColor);
}

BOOL CSkinLabel::OnEraseBkgnd(CDC* pDC)
{
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(m_TextColor);
    return TRUE;
}

void CSkinLabel::OnMove(int, int)
{
    Default();
    // A blended label follows its new place; a plain or gradient one keeps its brush.
    if (m_Alpha > 0) {
        m_Brush.DeleteObject();
        BuildBrush(BrushMethod::Plain);
        Invalidate(TRUE);
    }
}

bool CSkinLabel::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CSkinLabel> kMap{
        OnReflectedCtlColor(&CSkinLabel::CtlColor, WM_CTLCOLORSTATIC),
        OnWmCtlColor(&CSkinLabel::OnCtlColor, WM_CTLCOLORSTATIC),
        OnWmEraseBkgnd(&CSkinLabel::OnEraseBkgnd),
        OnWmMove(&CSkinLabel::OnMove),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) || CStatic::OnWndMsg(message, wParam, lParam, result);
}
