// Fonts and text: LOGFONTA resolved through fontconfig, laid out by Pango and rasterised by
// cairo into a coverage mask that is painted in the DC's text colour.
#include "platform/gdi/Gdi.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Pixels.h"
#include "platform/gdi/TextEngine.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using namespace gdi;

namespace {

// The Song-style faces the dialogs ask for, mapped onto the Ming-style CJK fonts Debian ships.
// <accept> appends the substitutes after the requested name, so a real SimSun still wins.
constexpr char kFontAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <alias binding="strong">
    <family>SimSun</family>
    <accept><family>AR PL UMing CN</family><family>Noto Serif CJK SC</family></accept>
  </alias>
  <alias binding="strong">
    <family>宋体</family>
    <accept><family>SimSun</family><family>AR PL UMing CN</family><family>Noto Serif CJK SC</family></accept>
  </alias>
  <match target="font">
    <test name="family"><string>AR PL UMing CN</string></test>
    <edit name="embeddedbitmap" mode="assign"><bool>true</bool></edit>
  </match>
</fontconfig>
)";

std::once_flag g_AliasesLoaded;

const LOGFONTA& FontOf(const DeviceContext& dc)
{
    static const LOGFONTA kDefault = [] {
        LOGFONTA font;
        font.lfHeight = -12;
        std::strcpy(font.lfFaceName, "宋体");
        return font;
    }();
    return dc.m_Font ? dc.m_Font->m_Font : kDefault;
}

PangoFontDescription* Describe(const LOGFONTA& font)
{
    // A negative height is the em size in pixels; a positive one, the cell height, is taken as
    // the em size too (the fonts used here have cells close to their em size).
    int pixels = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
    if (pixels == 0)
        pixels = 12;
    std::string face(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
    return DescribeFont(face, pixels, font.lfWeight, font.lfItalic != 0);
}

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

LayoutPtr MakeLayout(TextEngine& engine, const LOGFONTA& font, const std::string& text)
{
    LayoutPtr layout(pango_layout_new(engine.context));
    PangoFontDescription* description = Describe(font);
    pango_layout_set_font_description(layout.get(), description);
    pango_font_description_free(description);
    if (font.lfUnderline || font.lfStrikeOut) {
        PangoAttrList* attributes = pango_attr_list_new();
        if (font.lfUnderline)
            pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (font.lfStrikeOut)
            pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
        pango_layout_set_attributes(layout.get(), attributes);
        pango_attr_list_unref(attributes);
    }
    // Invalid UTF-8 would make Pango refuse the whole text; bad bytes become U+FFFD.
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    pango_layout_set_text(layout.get(), valid, -1);
    g_free(valid);
    return layout;
}

std::string TextOf(const char* text, int length)
{
    if (!text)
        return std::string();
    size_t size = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    return std::string(text, size);
}

// Paints the layout with its logical top-left corner at the logical point (x, y), limited to
// the logical rectangle `limit` when one is given.
void PaintLayout(DeviceContext& dc, PangoLayout* layout, int x, int y, const RECT* limit)
{
    PangoRectangle ink;
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    int boxLeft = std::min(ink.x, logical.x);
    int boxTop = std::min(ink.y, logical.y);
    int boxRight = std::max(ink.x + ink.width, logical.x + logical.width);
    int boxBottom = std::max(ink.y + ink.height, logical.y + logical.height);
    int width = boxRight - boxLeft;
    int height = boxBottom - boxTop;
    Region visible = VisibleRegion(dc);
    if (limit) {
        RECT bitmapLimit{ToBitmapX(dc, limit->left), ToBitmapY(dc, limit->top), ToBitmapX(dc, limit->right),
                         ToBitmapY(dc, limit->bottom)};
        visible = Region::Combine(visible, Region(bitmapLimit), Region::Operation::And);
    }
    if (dc.m_BkMode == OPAQUE) {
        BrushObject background;
        background.m_Colour = dc.m_BkColour;
        RECT cell{x + logical.x, y + logical.y, x + logical.x + logical.width, y + logical.y + logical.height};
        RECT target{ToBitmapX(dc, cell.left), ToBitmapY(dc, cell.top), ToBitmapX(dc, cell.right),
                    ToBitmapY(dc, cell.bottom)};
        uint32_t pixel = PixelFromColour(dc.m_BkColour);
        std::vector<uint32_t> span;
        ForEachSpan(visible, target, [&](int row, int x0, int x1) {
            span.assign(static_cast<size_t>(x1 - x0), pixel);
            WriteSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
        });
    }
    if (width <= 0 || height <= 0)
        return;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* cr = cairo_create(mask);
    cairo_translate(cr, -boxLeft, -boxTop);
    pango_cairo_show_layout(cr, layout);
    cairo_destroy(cr);
    cairo_surface_flush(mask);
    const unsigned char* coverage = cairo_image_surface_get_data(mask);
    int stride = cairo_image_surface_get_stride(mask);

    int left = ToBitmapX(dc, x + boxLeft);
    int top = ToBitmapY(dc, y + boxTop);
    uint32_t textPixel = PixelFromColour(dc.m_TextColour);
    std::vector<uint32_t> span;
    ForEachSpan(visible, RECT{left, top, left + width, top + height}, [&](int row, int x0, int x1) {
        const unsigned char* maskRow = coverage + static_cast<size_t>(row - top) * static_cast<size_t>(stride);
        span.resize(static_cast<size_t>(x1 - x0));
        ReadSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
        bool changed = false;
        for (int i = 0; i < x1 - x0; ++i) {
            if (maskRow[x0 + i - left] >= 128) {
                span[static_cast<size_t>(i)] = textPixel;
                changed = true;
            }
        }
        if (changed)
            WriteSpan(*dc.m_Bitmap, x0, row, x1 - x0, span.data());
    });
    cairo_surface_destroy(mask);
}

// Removes the '&' prefix marks: "&x" shows x, "&&" shows one '&'.
std::string StripPrefixes(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        else if (text[i] == '&')
            continue;
        result.push_back(text[i]);
    }
    return result;
}

}  // namespace

void LoadFontAliases()
{
    std::call_once(g_AliasesLoaded, [] {
        FcConfig* config = FcConfigGetCurrent();
        FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontAliases), FcTrue);
    });
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* faceName)
{
    LOGFONTA font;
    font.lfHeight = height;
    font.lfWidth = width;
    font.lfEscapement = escapement;
    font.lfOrientation = orientation;
    font.lfWeight = weight;
    font.lfItalic = static_cast<BYTE>(italic != 0);
    font.lfUnderline = static_cast<BYTE>(underline != 0);
    font.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    font.lfCharSet = static_cast<BYTE>(charSet);
    font.lfOutPrecision = static_cast<BYTE>(outPrecision);
    font.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    font.lfQuality = static_cast<BYTE>(quality);
    font.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName) {
        std::strncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
        font.lfFaceName[LF_FACESIZE - 1] = '\0';
    }
    return CreateFontIndirectA(&font);
}

HFONT CreateFontIndirectA(const LOGFONTA* font)
{
    if (!font)
        return nullptr;
    auto* object = new FontObject;
    object->m_Font = *font;
    object->m_Font.lfFaceName[LF_FACESIZE - 1] = '\0';
    return object;
}

int PointsToFontHeight(int tenthsOfPoint)
{
    // MulDiv(tenths, 96, 720) rounded half away from zero, negated: the em height in pixels.
    int64_t product = int64_t{tenthsOfPoint} * kDisplayDpi;
    int64_t rounded = (product >= 0 ? product + 360 : product - 360) / 720;
    return -static_cast<int>(rounded);
}

BOOL TextOutA(HDC hdc, int x, int y, const char* text, int length)
{
    if (!hdc || !text)
        return FALSE;
    TextEngine& engine = SharedTextEngine();
    std::lock_guard<std::mutex> lock(engine.mutex);
    LayoutPtr layout = MakeLayout(engine, FontOf(*hdc), TextOf(text, length));
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    PaintLayout(*hdc, layout.get(), x, y, nullptr);
    return TRUE;
}

int DrawTextA(HDC hdc, const char* text, int length, RECT* rect, UINT format)
{
    if (!hdc || !text || !rect)
        return 0;
    std::string content = TextOf(text, length);
    if (!(format & DT_NOPREFIX))
        content = StripPrefixes(content);
    TextEngine& engine = SharedTextEngine();
    std::lock_guard<std::mutex> lock(engine.mutex);
    LayoutPtr layout = MakeLayout(engine, FontOf(*hdc), content);
    int rectWidth = std::max<int>(rect->right - rect->left, 0);
    int rectHeight = rect->bottom - rect->top;
    bool singleLine = (format & DT_SINGLELINE) != 0;
    if (singleLine)
        pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    if ((format & DT_WORDBREAK) && !singleLine) {
        pango_layout_set_width(layout.get(), rectWidth * PANGO_SCALE);
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    } else if ((format & DT_END_ELLIPSIS) && !(format & DT_CALCRECT)) {
        pango_layout_set_width(layout.get(), rectWidth * PANGO_SCALE);
        pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    }
    if (format & DT_CENTER)
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
    else if (format & DT_RIGHT)
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);

    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    int textWidth = logical.width;
    int textHeight = logical.height;
    if (format & DT_CALCRECT) {
        rect->right = rect->left + textWidth;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }
    // With a width set, Pango aligns the lines inside the layout box itself, so the layout's
    // origin is the rectangle's left edge; otherwise the text cell is placed here.
    bool aligned = pango_layout_get_width(layout.get()) >= 0;
    int x = rect->left;
    if (!aligned) {
        x -= logical.x;
        if (format & DT_CENTER)
            x += (rectWidth - textWidth) / 2;
        else if (format & DT_RIGHT)
            x += rectWidth - textWidth;
    }
    int y = rect->top - logical.y;
    if (singleLine) {
        if (format & DT_VCENTER)
            y += (rectHeight - textHeight) / 2;
        else if (format & DT_BOTTOM)
            y += rectHeight - textHeight;
    }
    PaintLayout(*hdc, layout.get(), x, y, (format & DT_NOCLIP) ? nullptr : rect);
    return textHeight;
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int length, SIZE* size)
{
    if (!hdc || !text || !size)
        return FALSE;
    TextEngine& engine = SharedTextEngine();
    std::lock_guard<std::mutex> lock(engine.mutex);
    LayoutPtr layout = MakeLayout(engine, FontOf(*hdc), TextOf(text, length));
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    size->cx = logical.width;
    size->cy = logical.height;
    return TRUE;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics)
{
    if (!hdc || !metrics)
        return FALSE;
    TextEngine& engine = SharedTextEngine();
    std::lock_guard<std::mutex> lock(engine.mutex);
    const LOGFONTA& font = FontOf(*hdc);
    PangoFontDescription* description = Describe(font);
    PangoFontMetrics* fontMetrics = pango_context_get_metrics(engine.context, description, nullptr);
    pango_font_description_free(description);
    *metrics = TEXTMETRICA{};
    metrics->tmAscent = PANGO_PIXELS(pango_font_metrics_get_ascent(fontMetrics));
    metrics->tmDescent = PANGO_PIXELS(pango_font_metrics_get_descent(fontMetrics));
    metrics->tmHeight = metrics->tmAscent + metrics->tmDescent;
    int em = font.lfHeight < 0 ? -font.lfHeight : (font.lfHeight ? font.lfHeight : 12);
    metrics->tmInternalLeading = std::max(0, static_cast<int>(metrics->tmHeight) - em);
    metrics->tmAveCharWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(fontMetrics));
    metrics->tmMaxCharWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_digit_width(fontMetrics)) * 2;
    metrics->tmWeight = font.lfWeight;
    pango_font_metrics_unref(fontMetrics);
    return TRUE;
}

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps a few blocks from parsing the system configuration files unreferenced for
// the life of the process; LeakSanitizer is told that they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif
