// CSkinDraw: every routine makes and frees its own memory DCs and leaves the target's
// selections alone.
#include "skin/SkinDraw.h"

namespace {

bool BitmapSize(CBitmap* bitmap, int& width, int& height)
{
    BITMAP info;
    if (!bitmap || !bitmap->GetSafeHandle() || !bitmap->GetBitmap(&info))
        return false;
    width = info.bmWidth;
    height = info.bmHeight;
    return true;
}

}  // namespace

void CSkinDraw::DrawBitmap(CDC* pDC, CBitmap* pBmp, int x, int y)
{
    int width = 0;
    int height = 0;
    if (!pDC || !BitmapSize(pBmp, width, height))
        return;
    CDC memory;
    if (!memory.CreateCompatibleDC(nullptr))
        return;
    HGDIOBJ old = memory.SelectObject(pBmp);
    pDC->BitBlt(x, y, width, height, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}

void CSkinDraw::DrawTransparentBitmap(CDC* pDC, CBitmap* pBmp, int x, int y, COLORREF key)
{
    int width = 0;
    int height = 0;
    if (!pDC || !BitmapSize(pBmp, width, height))
        return;
    CDC memory;
    if (!memory.CreateCompatibleDC(nullptr))
        return;
    HGDIOBJ old = memory.SelectObject(pBmp);
    pDC->TransparentBlt(x, y, width, height, &memory, 0, 0, width, height, key);
    memory.SelectObject(old);
}

void CSkinDraw::StretchTransparent(CDC* pDC, CBitmap* pBmp, RECT rc, COLORREF key)
{
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    int sourceWidth = 0;
    int sourceHeight = 0;
    if (!pDC || width <= 0 || height <= 0 || !BitmapSize(pBmp, sourceWidth, sourceHeight))
        return;
    CDC stretched;
    CDC source;
    if (!stretched.CreateCompatibleDC(nullptr) || !source.CreateCompatibleDC(pDC))
        return;
    CBitmap canvas;
    if (!canvas.CreateCompatibleBitmap(pDC, width, height))
        return;
    HGDIOBJ oldCanvas = stretched.SelectObject(&canvas);
    HGDIOBJ oldSource = source.SelectObject(pBmp);
    stretched.StretchBlt(0, 0, width, height, &source, 0, 0, sourceWidth, sourceHeight, SRCCOPY);
    pDC->TransparentBlt(rc.left, rc.top, width, height, &stretched, 0, 0, width, height, key);
    source.SelectObject(oldSource);
    stretched.SelectObject(oldCanvas);
}

void CSkinDraw::FillGradient(CDC* pDC, COLORREF from, COLORREF to, DWORD mode, RECT rc)
{
    if (!pDC)
        return;
    TRIVERTEX vertices[2];
    vertices[0].x = rc.left;
    vertices[0].y = rc.top;
    vertices[0].Red = static_cast<COLOR16>(GetRValue(from) << 8);
    vertices[0].Green = static_cast<COLOR16>(GetGValue(from) << 8);
    vertices[0].Blue = static_cast<COLOR16>(GetBValue(from) << 8);
    vertices[1].x = rc.right;
    vertices[1].y = rc.bottom;
    vertices[1].Red = static_cast<COLOR16>(GetRValue(to) << 8);
    vertices[1].Green = static_cast<COLOR16>(GetGValue(to) << 8);
    vertices[1].Blue = static_cast<COLOR16>(GetBValue(to) << 8);
    GRADIENT_RECT mesh;
    mesh.UpperLeft = 0;
    mesh.LowerRight = 1;
    GradientFill(pDC->GetSafeHdc(), vertices, 2, &mesh, 1,
                 mode == kGradientHorizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}

RECT CSkinDraw::CenterTextRect(CDC* pDC, const std::string& text, RECT rc)
{
    SIZE extent = pDC ? pDC->GetTextExtent(text) : SIZE{};
    int dx = (rc.right - extent.cx - rc.left) / 2;
    int dy = (rc.bottom - extent.cy - rc.top) / 2;
    return {rc.left + dx, rc.top + dy, rc.right - dx, rc.bottom - dy};
}
