// The framework's owning wrappers of graphics objects: CGdiObject and its bitmap, brush, font,
// pen and region kinds. Each deletes its object when destroyed or replaced.
#pragma once

#include "platform/gdi/Gdi.h"

#include <cstdint>

class CDC;

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    BOOL DeleteObject();

    HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
public:
    // Loads a bitmap resource; the low 16 bits of `id` are the resource id.
    BOOL LoadBitmap(UINT id);
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    int GetBitmap(BITMAP* info) const;
    HBITMAP Handle() const { return static_cast<HBITMAP>(m_hObject); }
    operator HBITMAP() const { return Handle(); }
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }
    BOOL CreateSolidBrush(COLORREF colour);
    BOOL CreatePatternBrush(CBitmap* bitmap);
    HBRUSH Handle() const { return static_cast<HBRUSH>(m_hObject); }
    operator HBRUSH() const { return Handle(); }
};

class CFont : public CGdiObject {
public:
    // A font of `tenthsOfPoint` / 10 points (90: 9 points, 12 pixels at 96 DPI).
    BOOL CreatePointFont(int tenthsOfPoint, const char* faceName, CDC* dc = nullptr);
    HFONT Handle() const { return static_cast<HFONT>(m_hObject); }
    operator HFONT() const { return Handle(); }
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }
    BOOL CreatePen(int style, int width, COLORREF colour);
    HPEN Handle() const { return static_cast<HPEN>(m_hObject); }
    operator HPEN() const { return Handle(); }
};

class CRgn : public CGdiObject {
public:
    BOOL CreateRectRgn(int left, int top, int right, int bottom);
    int CombineRgn(CRgn* a, CRgn* b, int mode);
    HRGN Handle() const { return static_cast<HRGN>(m_hObject); }
    operator HRGN() const { return Handle(); }
};
