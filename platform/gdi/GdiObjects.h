// The objects behind the graphics handles: bitmaps, brushes, pens, fonts, regions and icons.
// Callers use the handles and the calls of Gdi.h; these definitions make the typed handles
// convert to HGDIOBJ and give the implementation its data.
#pragma once

#include "platform/Win32Types.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Surface.h"

#include <memory>
#include <vector>

struct GdiObject {
    virtual ~GdiObject() = default;
    GdiObject() = default;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    int m_Selections = 0;          // device contexts holding the object selected
    bool m_DeletePending = false;  // DeleteObject came while selected: freed when released
    bool m_Stock = false;          // stock objects are never freed
};

enum class BitmapStorage { Device, DibSection, Display };

struct BitmapObject final : GdiObject {
    BitmapStorage m_Storage = BitmapStorage::Device;
    int m_Width = 0;
    int m_Height = 0;
    int m_BitsPerPixel = 32;  // device bitmaps: 1, 4, 8, 16, 24 or 32 (the emulated depth)

    // Device bitmaps: pixels in m_OwnSurface, or in a surface owned by the window system.
    Surface m_OwnSurface;
    Surface* m_Surface = nullptr;

    // DIB sections: the caller-visible bits in DIB layout.
    std::unique_ptr<uint8_t[]> m_Bits;
    size_t m_Stride = 0;
    bool m_TopDown = false;
    BITMAPINFOHEADER m_Header;
    std::vector<RGBQUAD> m_Colors;

    DeviceContext* m_SelectedInto = nullptr;
};

struct BrushObject final : GdiObject {
    UINT m_Style = 0;  // BS_SOLID, BS_NULL or BS_PATTERN
    COLORREF m_Colour = 0;
    Surface m_Pattern;  // BS_PATTERN: 0x00RRGGBB pixels
};

struct PenObject final : GdiObject {
    int m_Style = 0;
    int m_Width = 1;
    COLORREF m_Colour = 0;
};

struct FontObject final : GdiObject {
    LOGFONTA m_Font;
};

struct RegionObject final : GdiObject {
    Region m_Region;
};

struct IconObject final : GdiObject {
    int m_Width = 0;
    int m_Height = 0;
    Surface m_Colour;  // 0xAARRGGBB when m_HasAlpha, else 0x00RRGGBB
    Surface m_Mask;    // 0 keeps the icon pixel, 0xFFFFFF keeps the target (AND mask)
    bool m_HasAlpha = false;
    POINT m_Hotspot;
    bool m_IsIcon = true;
};
