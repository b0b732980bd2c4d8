// The framework's device-context wrappers.
#include "platform/Dc.h"

#include "platform/Wnd.h"

CDC::~CDC()
{
    DeleteDC();
}

BOOL CDC::Attach(HDC dc)
{
    DeleteDC();
    m_hDC = m_hAttribDC = dc;
    m_Owned = false;
    return dc != nullptr;
}

HDC CDC::Detach()
{
    HDC dc = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_Owned = false;
    return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    DeleteDC();
    m_hDC = m_hAttribDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    m_Owned = m_hDC != nullptr;
    return m_Owned;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    if (m_Owned)
        ::DeleteDC(m_hDC);
    m_hDC = m_hAttribDC = nullptr;
    m_Owned = false;
    return TRUE;
}

HGDIOBJ CDC::SelectObject(CGdiObject* object)
{
    return object && object->m_hObject ? ::SelectObject(m_hDC, object->m_hObject) : nullptr;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object)
{
    return object ? ::SelectObject(m_hDC, object) : nullptr;
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, DWORD rop)
{
    return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, rop);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh, DWORD rop)
{
    return ::StretchBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw, sh, rop);
}

BOOL CDC::TransparentBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh,
                         UINT transparent)
{
    return ::TransparentBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw, sh, transparent);
}

BOOL CDC::AlphaBlend(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh,
                     BLENDFUNCTION blend)
{
    return ::AlphaBlend(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw, sh, blend);
}

void CDC::FillSolidRect(const RECT& rect, COLORREF colour)
{
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(m_hDC, &rect, brush);
    ::DeleteObject(brush);
}

void CDC::FillRect(const RECT* rect, CBrush* brush)
{
    if (rect && brush)
        ::FillRect(m_hDC, rect, brush->Handle());
}

BOOL CDC::Rectangle(const RECT* rect)
{
    return rect ? ::Rectangle(m_hDC, rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

POINT CDC::MoveTo(int x, int y)
{
    POINT previous{};
    ::MoveToEx(m_hDC, x, y, &previous);
    return previous;
}

BOOL CDC::LineTo(int x, int y)
{
    return ::LineTo(m_hDC, x, y);
}

void CDC::DrawFocusRect(const RECT* rect)
{
    if (rect)
        ::DrawFocusRect(m_hDC, rect);
}

int CDC::DrawText(std::string_view text, RECT* rect, UINT format)
{
    std::string copy(text);
    return ::DrawTextA(m_hDC, copy.c_str(), static_cast<int>(copy.size()), rect, format);
}

BOOL CDC::TextOut(int x, int y, std::string_view text)
{
    std::string copy(text);
    return ::TextOutA(m_hDC, x, y, copy.c_str(), static_cast<int>(copy.size()));
}

SIZE CDC::GetTextExtent(std::string_view text) const
{
    std::string copy(text);
    SIZE size{};
    ::GetTextExtentPoint32A(m_hAttribDC, copy.c_str(), static_cast<int>(copy.size()), &size);
    return size;
}

int CDC::SetBkMode(int mode)
{
    return ::SetBkMode(m_hDC, mode);
}
COLORREF CDC::SetTextColor(COLORREF colour)
{
    return ::SetTextColor(m_hDC, colour);
}
COLORREF CDC::SetBkColor(COLORREF colour)
{
    return ::SetBkColor(m_hDC, colour);
}
int CDC::SetStretchBltMode(int mode)
{
    return ::SetStretchBltMode(m_hDC, mode);
}

BOOL CDC::DrawIcon(int x, int y, HICON icon, int width, int height)
{
    return ::DrawIconEx(m_hDC, x, y, icon, width, height, 0, nullptr, DI_NORMAL);
}

int CDC::ExcludeClipRect(const RECT* rect)
{
    return rect ? ::ExcludeClipRect(m_hDC, rect->left, rect->top, rect->right, rect->bottom) : ERROR;
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr)
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    HDC dc = Detach();
    if (dc)
        ::ReleaseDC(m_hWnd, dc);
}

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}
