// The framework's owning wrappers of graphics objects.
#include "platform/GdiWrappers.h"

#include "platform/Dc.h"
#include "platform/WinUser.h"
#include "platform/gdi/GdiObjects.h"

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    DeleteObject();
    m_hObject = object;
    return object != nullptr;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    BOOL deleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return deleted;
}

BOOL CBitmap::LoadBitmap(UINT id)
{
    return Attach(LoadBitmapA(AfxGetResourceHandle(), id & 0xFFFF));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    return Attach(::CreateCompatibleBitmap(dc ? dc->GetSafeHdc() : nullptr, width, height));
}

int CBitmap::GetBitmap(BITMAP* info) const
{
    if (!m_hObject || !info)
        return 0;
    return GetObjectA(m_hObject, sizeof(BITMAP), info);
}

BOOL CBrush::CreateSolidBrush(COLORREF colour)
{
    return Attach(::CreateSolidBrush(colour));
}

BOOL CBrush::CreatePatternBrush(CBitmap* bitmap)
{
    return Attach(bitmap && bitmap->Handle() ? ::CreatePatternBrush(bitmap->Handle()) : nullptr);
}

BOOL CFont::CreatePointFont(int tenthsOfPoint, const char* faceName, CDC*)
{
    return Attach(CreateFontA(PointsToFontHeight(tenthsOfPoint), 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                              faceName));
}

BOOL CPen::CreatePen(int style, int width, COLORREF colour)
{
    return Attach(::CreatePen(style, width, colour));
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom)
{
    return Attach(::CreateRectRgn(left, top, right, bottom));
}

int CRgn::CombineRgn(CRgn* a, CRgn* b, int mode)
{
    if (!m_hObject || !a || !b)
        return ERROR;
    return ::CombineRgn(Handle(), a->Handle(), b->Handle(), mode);
}
