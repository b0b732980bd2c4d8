// Device contexts, object lifetime, bitmaps, clipping and regions.
#include "platform/gdi/Gdi.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Pixels.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <new>

using namespace gdi;

namespace {

std::atomic<int> g_DisplayBitsPerPixel{32};

bool IsValidDepth(int bitsPerPixel)
{
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 ||
           bitsPerPixel == 32;
}

std::unique_ptr<BitmapObject> MakeDeviceBitmap(int width, int height, int bitsPerPixel)
{
    auto bitmap = std::make_unique<BitmapObject>();
    bitmap->m_Storage = BitmapStorage::Device;
    bitmap->m_Width = width;
    bitmap->m_Height = height;
    bitmap->m_BitsPerPixel = bitsPerPixel;
    // Monochrome bitmaps start white, others black.
    bitmap->m_OwnSurface.Resize(width, height, bitsPerPixel == 1 ? 0xFFFFFF : 0);
    bitmap->m_Surface = &bitmap->m_OwnSurface;
    return bitmap;
}

struct StockObjects {
    BrushObject brushes[6];
    PenObject pens[3];
    FontObject font;
    StockObjects()
    {
        const COLORREF brushColours[5] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
        for (int i = 0; i < 6; ++i) {
            brushes[i].m_Stock = true;
            brushes[i].m_Style = i == NULL_BRUSH ? BS_NULL : BS_SOLID;
            brushes[i].m_Colour = i < 5 ? brushColours[i] : 0;
        }
        const COLORREF penColours[3] = {0xFFFFFF, 0x000000, 0};
        for (int i = 0; i < 3; ++i) {
            pens[i].m_Stock = true;
            pens[i].m_Style = i == 2 ? PS_NULL : PS_SOLID;
            pens[i].m_Colour = penColours[i];
        }
        font.m_Stock = true;
        font.m_Font.lfHeight = -12;
        font.m_Font.lfCharSet = GB2312_CHARSET;
        std::strcpy(font.m_Font.lfFaceName, "宋体");
    }
};

const StockObjects& Stock()
{
    static const StockObjects stock;
    return stock;
}

GdiObject* MutableStock(int index)
{
    // Stock objects are never modified: their counters are skipped because m_Stock is set.
    auto& stock = const_cast<StockObjects&>(Stock());
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH)
        return &stock.brushes[index];
    if (index >= WHITE_PEN && index <= NULL_PEN)
        return &stock.pens[index - WHITE_PEN];
    if (index == SYSTEM_FONT || index == DEFAULT_GUI_FONT)
        return &stock.font;
    return nullptr;
}

void Retain(GdiObject* object)
{
    if (object && !object->m_Stock)
        ++object->m_Selections;
}

void Release(GdiObject* object)
{
    if (!object || object->m_Stock)
        return;
    if (--object->m_Selections == 0 && object->m_DeletePending)
        delete object;
}

void InitialiseSelections(DeviceContext& dc)
{
    dc.m_Pen = static_cast<PenObject*>(MutableStock(BLACK_PEN));
    dc.m_Brush = static_cast<BrushObject*>(MutableStock(WHITE_BRUSH));
    dc.m_Font = static_cast<FontObject*>(MutableStock(SYSTEM_FONT));
}

Region EffectiveClip(const DeviceContext& dc)
{
    Region system = SystemRegion(dc);
    if (!dc.m_HasClip)
        return system;
    return Region::Combine(dc.m_Clip, system, Region::Operation::And);
}

int RegionType(const Region& region)
{
    if (region.IsEmpty())
        return NULLREGION;
    return region.IsRectangle() ? SIMPLEREGION : COMPLEXREGION;
}

Region::Operation ToOperation(int mode)
{
    switch (mode) {
    case RGN_AND:
        return Region::Operation::And;
    case RGN_XOR:
        return Region::Operation::Xor;
    case RGN_DIFF:
        return Region::Operation::Diff;
    default:
        return Region::Operation::Or;
    }
}

RECT Normalised(int left, int top, int right, int bottom)
{
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

int CombineClip(HDC hdc, const Region& region, Region::Operation operation)
{
    Region current = hdc->m_HasClip ? hdc->m_Clip : SystemRegion(*hdc);
    hdc->m_Clip = Region::Combine(current, region, operation);
    hdc->m_HasClip = true;
    return RegionType(EffectiveClip(*hdc));
}

}  // namespace

namespace gdi {

Region SystemRegion(const DeviceContext& dc)
{
    if (dc.m_Kind == DeviceKind::Surface)
        return dc.m_System;
    return Region(RECT{0, 0, dc.m_Bitmap->m_Width, dc.m_Bitmap->m_Height});
}

Region VisibleRegion(const DeviceContext& dc)
{
    Region visible = EffectiveClip(dc);
    visible.Offset(dc.m_Origin.x, dc.m_Origin.y);
    return Region::Combine(visible, Region(RECT{0, 0, dc.m_Bitmap->m_Width, dc.m_Bitmap->m_Height}),
                           Region::Operation::And);
}

}  // namespace gdi

// ---- Display and device contexts -----------------------------------------------------------

void SetDisplayBitsPerPixel(int bitsPerPixel)
{
    if (IsValidDepth(bitsPerPixel))
        g_DisplayBitsPerPixel.store(bitsPerPixel);
}

int GetDisplayBitsPerPixel()
{
    return g_DisplayBitsPerPixel.load();
}

HDC CreateDCA(const char* driver, const char*, const char*, const void*)
{
    if (!driver || std::strcmp(driver, "DISPLAY") != 0)
        return nullptr;
    auto dc = std::make_unique<DeviceContext>();
    dc->m_Kind = DeviceKind::Display;
    dc->m_Own = std::make_unique<BitmapObject>();
    dc->m_Own->m_Storage = BitmapStorage::Display;
    dc->m_Own->m_Width = kDisplayWidth;
    dc->m_Own->m_Height = kDisplayHeight;
    dc->m_Own->m_BitsPerPixel = GetDisplayBitsPerPixel();
    dc->m_Own->m_Stock = true;
    dc->m_Bitmap = dc->m_Own.get();
    InitialiseSelections(*dc);
    return dc.release();
}

HDC CreateCompatibleDC(HDC)
{
    auto dc = std::make_unique<DeviceContext>();
    dc->m_Kind = DeviceKind::Memory;
    dc->m_Own = MakeDeviceBitmap(1, 1, 1);
    dc->m_Own->m_Stock = true;
    dc->m_Own->m_SelectedInto = dc.get();
    dc->m_Bitmap = dc->m_Own.get();
    InitialiseSelections(*dc);
    return dc.release();
}

HDC CreateSurfaceDC(Surface& surface, POINT origin, RECT clip)
{
    return CreateSurfaceDC(surface, origin, Region(clip));
}

HDC CreateSurfaceDC(Surface& surface, POINT origin, const Region& visible)
{
    auto dc = std::make_unique<DeviceContext>();
    dc->m_Kind = DeviceKind::Surface;
    dc->m_Own = std::make_unique<BitmapObject>();
    dc->m_Own->m_Storage = BitmapStorage::Device;
    dc->m_Own->m_Width = surface.Width();
    dc->m_Own->m_Height = surface.Height();
    dc->m_Own->m_BitsPerPixel = 32;
    dc->m_Own->m_Surface = &surface;
    dc->m_Own->m_Stock = true;
    dc->m_Bitmap = dc->m_Own.get();
    dc->m_Origin = origin;
    RECT surfaceArea{-origin.x, -origin.y, surface.Width() - origin.x, surface.Height() - origin.y};
    dc->m_System = Region::Combine(visible, Region(surfaceArea), Region::Operation::And);
    InitialiseSelections(*dc);
    return dc.release();
}

BOOL DeleteDC(HDC hdc)
{
    if (!hdc)
        return FALSE;
    if (hdc->m_Bitmap != hdc->m_Own.get()) {
        hdc->m_Bitmap->m_SelectedInto = nullptr;
        Release(hdc->m_Bitmap);
    }
    Release(hdc->m_Pen);
    Release(hdc->m_Brush);
    Release(hdc->m_Font);
    for (auto& state : hdc->m_Saved) {
        Release(state.pen);
        Release(state.brush);
        Release(state.font);
        Release(state.bitmap);
    }
    delete hdc;
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index)
{
    if (!hdc)
        return 0;
    int bitsPerPixel = GetDisplayBitsPerPixel();
    switch (index) {
    case HORZRES:
        return kDisplayWidth;
    case VERTRES:
        return kDisplayHeight;
    case BITSPIXEL:
        return bitsPerPixel;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return bitsPerPixel <= 8 ? 1 << bitsPerPixel : -1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return kDisplayDpi;
    default:
        return 0;
    }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    if (!hdc || !object)
        return nullptr;
    if (auto* bitmap = dynamic_cast<BitmapObject*>(object)) {
        if (hdc->m_Kind != DeviceKind::Memory)
            return nullptr;
        if (bitmap == hdc->m_Bitmap)
            return bitmap;
        if (bitmap->m_SelectedInto || bitmap->m_Storage == BitmapStorage::Display)
            return nullptr;  // a bitmap lives in one DC at a time
        BitmapObject* previous = hdc->m_Bitmap;
        previous->m_SelectedInto = nullptr;
        bitmap->m_SelectedInto = hdc;
        hdc->m_Bitmap = bitmap;
        Retain(bitmap);
        // The handle stays valid for the caller even when a deletion is pending.
        if (previous != hdc->m_Own.get() && previous->m_Selections == 1 && previous->m_DeletePending) {
            Release(previous);
            return nullptr;
        }
        Release(previous);
        return previous;
    }
    GdiObject* previous = nullptr;
    if (auto* pen = dynamic_cast<PenObject*>(object)) {
        previous = hdc->m_Pen;
        hdc->m_Pen = pen;
    } else if (auto* brush = dynamic_cast<BrushObject*>(object)) {
        previous = hdc->m_Brush;
        hdc->m_Brush = brush;
    } else if (auto* font = dynamic_cast<FontObject*>(object)) {
        previous = hdc->m_Font;
        hdc->m_Font = font;
    } else if (auto* region = dynamic_cast<RegionObject*>(object)) {
        // Selecting a region sets the clip region; the answer is the region type.
        SelectClipRgn(hdc, region);
        return nullptr;
    } else {
        return nullptr;
    }
    if (previous == object)
        return previous;
    Retain(object);
    if (previous && previous->m_Selections == 1 && previous->m_DeletePending) {
        Release(previous);
        return nullptr;
    }
    Release(previous);
    return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type)
{
    if (!hdc)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return hdc->m_Pen;
    case OBJ_BRUSH:
        return hdc->m_Brush;
    case OBJ_FONT:
        return hdc->m_Font;
    case OBJ_BITMAP:
        return hdc->m_Bitmap;
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object)
        return FALSE;
    if (object->m_Stock)
        return TRUE;
    if (object->m_Selections > 0) {
        object->m_DeletePending = true;
        return TRUE;
    }
    delete object;
    return TRUE;
}

HGDIOBJ GetStockObject(int index)
{
    return MutableStock(index);
}

int GetObjectA(HGDIOBJ object, int size, void* out)
{
    if (!object)
        return 0;
    if (auto* bitmap = dynamic_cast<BitmapObject*>(object)) {
        BITMAP info;
        info.bmType = 0;
        info.bmWidth = bitmap->m_Width;
        info.bmHeight = bitmap->m_Height;
        info.bmPlanes = 1;
        info.bmBitsPixel = static_cast<WORD>(bitmap->m_BitsPerPixel);
        if (bitmap->m_Storage == BitmapStorage::DibSection) {
            info.bmWidthBytes = static_cast<LONG>(bitmap->m_Stride);
            info.bmBits = bitmap->m_Bits.get();
        } else {
            info.bmWidthBytes = (bitmap->m_Width * bitmap->m_BitsPerPixel + 15) / 16 * 2;
        }
        if (!out)
            return bitmap->m_Storage == BitmapStorage::DibSection ? sizeof(DIBSECTION) : sizeof(BITMAP);
        if (bitmap->m_Storage == BitmapStorage::DibSection && size >= static_cast<int>(sizeof(DIBSECTION))) {
            DIBSECTION section;
            section.dsBm = info;
            section.dsBmih = bitmap->m_Header;
            std::memcpy(out, &section, sizeof section);
            return sizeof(DIBSECTION);
        }
        if (size < static_cast<int>(sizeof(BITMAP)))
            return 0;
        std::memcpy(out, &info, sizeof info);
        return sizeof(BITMAP);
    }
    if (auto* pen = dynamic_cast<PenObject*>(object)) {
        if (!out)
            return sizeof(LOGPEN);
        if (size < static_cast<int>(sizeof(LOGPEN)))
            return 0;
        LOGPEN info;
        info.lopnStyle = static_cast<UINT>(pen->m_Style);
        info.lopnWidth.x = pen->m_Width;
        info.lopnColor = pen->m_Colour;
        std::memcpy(out, &info, sizeof info);
        return sizeof(LOGPEN);
    }
    if (auto* brush = dynamic_cast<BrushObject*>(object)) {
        if (!out)
            return sizeof(LOGBRUSH);
        if (size < static_cast<int>(sizeof(LOGBRUSH)))
            return 0;
        LOGBRUSH info;
        info.lbStyle = brush->m_Style;
        info.lbColor = brush->m_Colour;
        std::memcpy(out, &info, sizeof info);
        return sizeof(LOGBRUSH);
    }
    if (auto* font = dynamic_cast<FontObject*>(object)) {
        if (!out)
            return sizeof(LOGFONTA);
        if (size < static_cast<int>(sizeof(LOGFONTA)))
            return 0;
        std::memcpy(out, &font->m_Font, sizeof(LOGFONTA));
        return sizeof(LOGFONTA);
    }
    return 0;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous)
{
    if (!hdc)
        return FALSE;
    if (previous)
        *previous = hdc->m_ViewportOrg;
    hdc->m_ViewportOrg = POINT{x, y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, POINT* origin)
{
    if (!hdc || !origin)
        return FALSE;
    *origin = hdc->m_ViewportOrg;
    return TRUE;
}

BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous)
{
    if (!hdc)
        return FALSE;
    return SetViewportOrgEx(hdc, hdc->m_ViewportOrg.x + dx, hdc->m_ViewportOrg.y + dy, previous);
}

BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous)
{
    if (!hdc)
        return FALSE;
    if (previous)
        *previous = hdc->m_BrushOrg;
    hdc->m_BrushOrg = POINT{x, y};
    return TRUE;
}

int SaveDC(HDC hdc)
{
    if (!hdc)
        return 0;
    DeviceContext::State state;
    state.hasClip = hdc->m_HasClip;
    state.clip = hdc->m_Clip;
    state.viewportOrg = hdc->m_ViewportOrg;
    state.brushOrg = hdc->m_BrushOrg;
    state.position = hdc->m_Position;
    state.pen = hdc->m_Pen;
    state.brush = hdc->m_Brush;
    state.font = hdc->m_Font;
    state.bitmap = hdc->m_Bitmap == hdc->m_Own.get() ? nullptr : hdc->m_Bitmap;
    state.textColour = hdc->m_TextColour;
    state.bkColour = hdc->m_BkColour;
    state.bkMode = hdc->m_BkMode;
    state.stretchMode = hdc->m_StretchMode;
    Retain(state.pen);
    Retain(state.brush);
    Retain(state.font);
    Retain(state.bitmap);
    hdc->m_Saved.push_back(std::move(state));
    return static_cast<int>(hdc->m_Saved.size());
}

BOOL RestoreDC(HDC hdc, int saved)
{
    if (!hdc || hdc->m_Saved.empty())
        return FALSE;
    int count = static_cast<int>(hdc->m_Saved.size());
    int index = saved < 0 ? count + saved : saved - 1;
    if (index < 0 || index >= count)
        return FALSE;
    DeviceContext::State state = std::move(hdc->m_Saved[index]);
    for (int i = index + 1; i < count; ++i) {
        Release(hdc->m_Saved[i].pen);
        Release(hdc->m_Saved[i].brush);
        Release(hdc->m_Saved[i].font);
        Release(hdc->m_Saved[i].bitmap);
    }
    hdc->m_Saved.resize(index);
    hdc->m_HasClip = state.hasClip;
    hdc->m_Clip = std::move(state.clip);
    hdc->m_ViewportOrg = state.viewportOrg;
    hdc->m_BrushOrg = state.brushOrg;
    hdc->m_Position = state.position;
    hdc->m_TextColour = state.textColour;
    hdc->m_BkColour = state.bkColour;
    hdc->m_BkMode = state.bkMode;
    hdc->m_StretchMode = state.stretchMode;
    SelectObject(hdc, state.pen);
    SelectObject(hdc, state.brush);
    SelectObject(hdc, state.font);
    Release(state.pen);
    Release(state.brush);
    Release(state.font);
    if (hdc->m_Kind == DeviceKind::Memory) {
        HGDIOBJ bitmap = state.bitmap ? state.bitmap : hdc->m_Own.get();
        if (hdc->m_Bitmap != bitmap) {
            if (state.bitmap)
                state.bitmap->m_Selections--;  // hand the saved reference over to the selection
            BitmapObject* previous = hdc->m_Bitmap;
            previous->m_SelectedInto = nullptr;
            auto* next = static_cast<BitmapObject*>(bitmap);
            next->m_SelectedInto = hdc;
            hdc->m_Bitmap = next;
            Retain(next);
            if (previous != hdc->m_Own.get())
                Release(previous);
            return TRUE;
        }
    }
    Release(state.bitmap);
    return TRUE;
}

// ---- Bitmaps -------------------------------------------------------------------------------

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    if (!hdc || width < 0 || height < 0)
        return nullptr;
    if (width == 0 || height == 0)
        return MakeDeviceBitmap(1, 1, 1).release();
    if (static_cast<int64_t>(width) * height > kMaxBitmapPixels)
        return nullptr;
    // A memory DC makes bitmaps like the one it holds (monochrome while it holds its initial
    // bitmap); other DCs make bitmaps at the display's depth.
    int bitsPerPixel = GetDisplayBitsPerPixel();
    if (hdc->m_Kind == DeviceKind::Memory && hdc->m_Bitmap->m_Storage == BitmapStorage::Device)
        bitsPerPixel = hdc->m_Bitmap->m_BitsPerPixel;
    try {
        return MakeDeviceBitmap(width, height, bitsPerPixel).release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (width <= 0 || height <= 0 || planes != 1 || !IsValidDepth(static_cast<int>(bitsPerPixel)) ||
        static_cast<int64_t>(width) * height > kMaxBitmapPixels)
        return nullptr;
    std::unique_ptr<BitmapObject> bitmap;
    try {
        bitmap = MakeDeviceBitmap(width, height, static_cast<int>(bitsPerPixel));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (bits) {
        DibLayout layout;
        layout.width = width;
        layout.height = height;
        layout.topDown = true;
        layout.bitsPerPixel = static_cast<int>(bitsPerPixel);
        layout.stride = (static_cast<size_t>(width) * bitsPerPixel + 15) / 16 * 2;
        auto palette = StandardPalette(static_cast<int>(bitsPerPixel));
        layout.colors = palette.data();
        layout.colorCount = static_cast<int>(palette.size());
        if (bitsPerPixel == 16) {
            layout.masks[0] = 0x7C00;
            layout.masks[1] = 0x03E0;
            layout.masks[2] = 0x001F;
        } else {
            layout.masks[0] = 0xFF0000;
            layout.masks[1] = 0x00FF00;
            layout.masks[2] = 0x0000FF;
        }
        const auto* source = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < height; ++y)
            layout.ReadRow(source + layout.RowOffset(y), 0, width, bitmap->m_Surface->Row(y));
    }
    return bitmap.release();
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, void*, DWORD)
{
    if (bits)
        *bits = nullptr;
    auto layout = DibLayout::From(info, usage);
    if (!layout)
        return nullptr;
    if (info->bmiHeader.biCompression == BI_BITFIELDS) {
        // Only the masks of the plain layouts are kept.
        bool plain16 = layout->bitsPerPixel == 16 && layout->masks[0] == 0x7C00 && layout->masks[1] == 0x03E0 &&
                       layout->masks[2] == 0x001F;
        bool plain32 = layout->bitsPerPixel == 32 && layout->masks[0] == 0xFF0000 && layout->masks[1] == 0xFF00 &&
                       layout->masks[2] == 0xFF;
        if (!plain16 && !plain32)
            return nullptr;
    }
    if (static_cast<int64_t>(layout->width) * layout->height > kMaxBitmapPixels)
        return nullptr;
    auto bitmap = std::make_unique<BitmapObject>();
    bitmap->m_Storage = BitmapStorage::DibSection;
    bitmap->m_Width = layout->width;
    bitmap->m_Height = layout->height;
    bitmap->m_BitsPerPixel = layout->bitsPerPixel;
    bitmap->m_Stride = layout->stride;
    bitmap->m_TopDown = layout->topDown;
    size_t bytes = layout->stride * static_cast<size_t>(layout->height);
    bitmap->m_Bits.reset(new (std::nothrow) uint8_t[bytes]());
    if (!bitmap->m_Bits)
        return nullptr;
    if (layout->bitsPerPixel <= 8)
        bitmap->m_Colors.assign(layout->colors, layout->colors + (1 << layout->bitsPerPixel));
    bitmap->m_Header = info->bmiHeader;
    bitmap->m_Header.biSize = 40;
    bitmap->m_Header.biSizeImage = static_cast<DWORD>(bytes);
    if (bits)
        *bits = bitmap->m_Bits.get();
    return bitmap.release();
}

const Surface* GetBitmapSurface(HBITMAP bitmap)
{
    if (!bitmap || bitmap->m_Storage != BitmapStorage::Device)
        return nullptr;
    return bitmap->m_Surface;
}

// ---- Clipping and regions ------------------------------------------------------------------

int GetClipBox(HDC hdc, RECT* box)
{
    if (!hdc || !box)
        return ERROR;
    Region clip = EffectiveClip(*hdc);
    RECT bounds = clip.Bounds();
    box->left = bounds.left - hdc->m_ViewportOrg.x;
    box->right = bounds.right - hdc->m_ViewportOrg.x;
    box->top = bounds.top - hdc->m_ViewportOrg.y;
    box->bottom = bounds.bottom - hdc->m_ViewportOrg.y;
    return RegionType(clip);
}

int SelectClipRgn(HDC hdc, HRGN region)
{
    if (!hdc)
        return ERROR;
    if (!region) {
        hdc->m_HasClip = false;
        hdc->m_Clip = Region();
    } else {
        hdc->m_HasClip = true;
        hdc->m_Clip = region->m_Region;
    }
    return RegionType(EffectiveClip(*hdc));
}

int ExtSelectClipRgn(HDC hdc, HRGN region, int mode)
{
    if (!hdc)
        return ERROR;
    if (mode == RGN_COPY)
        return SelectClipRgn(hdc, region);
    if (!region || mode < RGN_AND || mode > RGN_DIFF)
        return ERROR;
    return CombineClip(hdc, region->m_Region, ToOperation(mode));
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    if (!hdc)
        return ERROR;
    RECT rect = Normalised(left + hdc->m_ViewportOrg.x, top + hdc->m_ViewportOrg.y, right + hdc->m_ViewportOrg.x,
                           bottom + hdc->m_ViewportOrg.y);
    return CombineClip(hdc, Region(rect), Region::Operation::Diff);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    if (!hdc)
        return ERROR;
    RECT rect = Normalised(left + hdc->m_ViewportOrg.x, top + hdc->m_ViewportOrg.y, right + hdc->m_ViewportOrg.x,
                           bottom + hdc->m_ViewportOrg.y);
    return CombineClip(hdc, Region(rect), Region::Operation::And);
}

BOOL PtVisible(HDC hdc, int x, int y)
{
    if (!hdc)
        return FALSE;
    return EffectiveClip(*hdc).Contains(x + hdc->m_ViewportOrg.x, y + hdc->m_ViewportOrg.y) ? TRUE : FALSE;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto* region = new RegionObject;
    region->m_Region = Region(Normalised(left, top, right, bottom));
    return region;
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    if (!rect)
        return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN ExtCreateRegion(const void* transform, DWORD size, const RGNDATA* data)
{
    if (transform || !data || size < sizeof(RGNDATAHEADER) || data->rdh.iType != RDH_RECTANGLES ||
        data->rdh.dwSize < sizeof(RGNDATAHEADER))
        return nullptr;
    uint64_t needed = uint64_t{data->rdh.dwSize} + uint64_t{data->rdh.nCount} * sizeof(RECT);
    if (needed > size)
        return nullptr;
    std::vector<RECT> rects(data->rdh.nCount);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data) + data->rdh.dwSize;
    if (!rects.empty())
        std::memcpy(rects.data(), bytes, rects.size() * sizeof(RECT));
    for (auto& rect : rects)
        rect = Normalised(rect.left, rect.top, rect.right, rect.bottom);
    auto* region = new RegionObject;
    region->m_Region = Region::FromRects(rects.data(), rects.size());
    return region;
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode)
{
    if (!destination || !source1)
        return ERROR;
    if (mode == RGN_COPY) {
        destination->m_Region = source1->m_Region;
    } else {
        if (!source2 || mode < RGN_AND || mode > RGN_DIFF)
            return ERROR;
        destination->m_Region = Region::Combine(source1->m_Region, source2->m_Region, ToOperation(mode));
    }
    return RegionType(destination->m_Region);
}

int OffsetRgn(HRGN region, int dx, int dy)
{
    if (!region)
        return ERROR;
    region->m_Region.Offset(dx, dy);
    return RegionType(region->m_Region);
}

BOOL PtInRegion(HRGN region, int x, int y)
{
    return region && region->m_Region.Contains(x, y) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN region, const RECT* rect)
{
    return region && rect && region->m_Region.Intersects(*rect) ? TRUE : FALSE;
}

BOOL EqualRgn(HRGN a, HRGN b)
{
    return a && b && a->m_Region == b->m_Region ? TRUE : FALSE;
}

int GetRgnBox(HRGN region, RECT* box)
{
    if (!region || !box)
        return ERROR;
    *box = region->m_Region.Bounds();
    return RegionType(region->m_Region);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom)
{
    if (!region)
        return FALSE;
    region->m_Region = Region(Normalised(left, top, right, bottom));
    return TRUE;
}

DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data)
{
    if (!region)
        return 0;
    auto rects = region->m_Region.Rects();
    DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!data)
        return needed;
    if (size < needed)
        return 0;
    RGNDATAHEADER header;
    header.nCount = static_cast<DWORD>(rects.size());
    header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header.rcBound = region->m_Region.Bounds();
    std::memcpy(static_cast<void*>(data), &header, sizeof header);
    if (!rects.empty())
        std::memcpy(reinterpret_cast<uint8_t*>(data) + sizeof header, rects.data(), rects.size() * sizeof(RECT));
    return needed;
}

// ---- DC attributes -------------------------------------------------------------------------

COLORREF SetTextColor(HDC hdc, COLORREF colour)
{
    if (!hdc)
        return 0xFFFFFFFF;
    COLORREF previous = hdc->m_TextColour;
    hdc->m_TextColour = colour & 0xFFFFFF;
    return previous;
}

COLORREF GetTextColor(HDC hdc)
{
    return hdc ? hdc->m_TextColour : 0;
}

COLORREF SetBkColor(HDC hdc, COLORREF colour)
{
    if (!hdc)
        return 0xFFFFFFFF;
    COLORREF previous = hdc->m_BkColour;
    hdc->m_BkColour = colour & 0xFFFFFF;
    return previous;
}

COLORREF GetBkColor(HDC hdc)
{
    return hdc ? hdc->m_BkColour : 0;
}

int SetBkMode(HDC hdc, int mode)
{
    if (!hdc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    int previous = hdc->m_BkMode;
    hdc->m_BkMode = mode;
    return previous;
}

int GetBkMode(HDC hdc)
{
    return hdc ? hdc->m_BkMode : 0;
}

int SetStretchBltMode(HDC hdc, int mode)
{
    if (!hdc || mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    int previous = hdc->m_StretchMode;
    hdc->m_StretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC hdc)
{
    return hdc ? hdc->m_StretchMode : 0;
}
