// Draws the skin bitmaps and the program icon with cairo and Pango; writes them as one pixel blob
// plus an index for the res library, or as PNG files and window mock-ups for viewing.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char kFontFamily[] = "AR PL UMing CN";

struct Rgb {
    double r, g, b;
};

constexpr Rgb Hex(uint32_t value)
{
    return {((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0};
}

// One palette for every picture.
constexpr Rgb kCaptionTop = Hex(0x2F6666);
constexpr Rgb kCaptionBottom = Hex(0x163838);
constexpr Rgb kOutline = Hex(0x0A1F1F);
constexpr Rgb kTealDeep = Hex(0x102C2C);
constexpr Rgb kTealDark = Hex(0x1B3F3F);
constexpr Rgb kTealPanel = Hex(0x264D4D);  // the about and notice labels' colour, RGB(38, 77, 77)
constexpr Rgb kTealMid = Hex(0x3A7474);
constexpr Rgb kTealLight = Hex(0x6FA8A8);
constexpr Rgb kTealPale = Hex(0xB9D6D6);
constexpr Rgb kBody = Hex(0xE4EEEE);  // set-up dialog body, behind the check marks and grey buttons
constexpr Rgb kBodyLine = Hex(0xB3C7C7);
constexpr Rgb kInk = Hex(0x163333);
constexpr Rgb kInkSoft = Hex(0x4A6666);
constexpr Rgb kWhite = Hex(0xFFFFFF);
constexpr Rgb kYellow = Hex(0xF5C12E);
constexpr Rgb kYellowLight = Hex(0xFFE587);
constexpr Rgb kYellowDeep = Hex(0xE0A40C);
constexpr Rgb kYellowEdge = Hex(0x9C7104);
constexpr Rgb kRed = Hex(0xC9463D);
constexpr Rgb kRedDeep = Hex(0x8F2A24);
constexpr Rgb kPreviewCanvas = Hex(0xEEF3F3);
constexpr Rgb kNewsStrip = Hex(0x262626);
constexpr Rgb kGreyTop = Hex(0xFCFDFD);
constexpr Rgb kGreyBottom = Hex(0xD3DBDB);
constexpr Rgb kGreyEdge = Hex(0x7F9393);

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct ObjectDeleter {
    void operator()(void* o) const { g_object_unref(o); }
};

// A premultiplied ARGB drawing surface of a fixed size.
class Canvas {
public:
    Canvas(int width, int height)
        : m_Width(width), m_Height(height), m_Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
          m_Context(cairo_create(m_Surface.get()))
    {}
    cairo_t* Cr() const { return m_Context.get(); }
    cairo_surface_t* Surface() const { return m_Surface.get(); }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }

private:
    int m_Width;
    int m_Height;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> m_Surface;
    std::unique_ptr<cairo_t, ContextDeleter> m_Context;
};

// Finished picture: top-down rows of B, G, R, A bytes.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra;
    uint32_t Pixel(int x, int y) const
    {
        const uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
        return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
};

enum class Key { None, Magenta };

// Text drawing with a fixed font map, resolution and rendering options, so every run on every
// machine with the same font file gives the same pixels whatever the desktop's font settings.
class TextPainter {
public:
    TextPainter() : m_FontMap(pango_cairo_font_map_new())
    {
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(m_FontMap.get()), 96.0);
    }

    // Checks that the fixed family resolves to itself rather than to a fallback.
    bool FontAvailable() const
    {
        std::unique_ptr<PangoContext, ObjectDeleter> context(
            pango_font_map_create_context(PANGO_FONT_MAP(m_FontMap.get())));
        PangoFontDescription* description = pango_font_description_from_string(kFontFamily);
        pango_font_description_set_absolute_size(description, 12 * PANGO_SCALE);
        PangoFont* font = pango_font_map_load_font(PANGO_FONT_MAP(m_FontMap.get()), context.get(), description);
        pango_font_description_free(description);
        if (font == nullptr)
            return false;
        PangoFontDescription* loaded = pango_font_describe(font);
        bool same = std::string_view(pango_font_description_get_family(loaded)) == kFontFamily;
        pango_font_description_free(loaded);
        g_object_unref(font);
        return same;
    }

    enum class Align { Left, Centre, Right };

    // Draws one line with its top-left (or top-centre, top-right) at (x, y); returns its width.
    int Draw(cairo_t* cr, std::string_view text, int pixelSize, bool bold, Rgb colour, double x, double y,
             Align align = Align::Left) const
    {
        PangoLayout* layout = MakeLayout(cr, text, pixelSize, bold);
        int width = 0;
        int height = 0;
        pango_layout_get_pixel_size(layout, &width, &height);
        double left = align == Align::Left ? x : align == Align::Centre ? x - width / 2.0 : x - width;
        cairo_save(cr);
        cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
        cairo_move_to(cr, std::floor(left), y);
        pango_cairo_show_layout(cr, layout);
        cairo_restore(cr);
        g_object_unref(layout);
        return width;
    }

    int Width(cairo_t* cr, std::string_view text, int pixelSize, bool bold) const
    {
        PangoLayout* layout = MakeLayout(cr, text, pixelSize, bold);
        int width = 0;
        pango_layout_get_pixel_size(layout, &width, nullptr);
        g_object_unref(layout);
        return width;
    }

private:
    PangoLayout* MakeLayout(cairo_t* cr, std::string_view text, int pixelSize, bool bold) const
    {
        PangoContext* context = pango_font_map_create_context(PANGO_FONT_MAP(m_FontMap.get()));
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_context_set_language(context, pango_language_from_string("zh-cn"));
        pango_cairo_update_context(cr, context);
        PangoLayout* layout = pango_layout_new(context);
        g_object_unref(context);
        PangoFontDescription* description = pango_font_description_from_string(kFontFamily);
        pango_font_description_set_absolute_size(description, pixelSize * PANGO_SCALE);
        if (bold)
            pango_font_description_set_weight(description, PANGO_WEIGHT_BOLD);
        pango_layout_set_font_description(layout, description);
        pango_font_description_free(description);
        pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
        return layout;
    }

    std::unique_ptr<PangoFontMap, ObjectDeleter> m_FontMap;
};

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void FillVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom)
{
    cairo_pattern_t* pattern = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(pattern, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(pattern, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
}

void FillRect(cairo_t* cr, double x, double y, double w, double h, Rgb c)
{
    cairo_rectangle(cr, x, y, w, h);
    SetColour(cr, c);
    cairo_fill(cr);
}

// A one-pixel line on pixel centres from (x0, y0) to (x1, y1), ends included.
void PixelLine(cairo_t* cr, int x0, int y0, int x1, int y1, Rgb c, double alpha = 1.0)
{
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (y0 == y1)
        cairo_rectangle(cr, std::min(x0, x1), y0, std::abs(x1 - x0) + 1, 1);
    else
        cairo_rectangle(cr, x0, std::min(y0, y1), 1, std::abs(y1 - y0) + 1);
    SetColour(cr, c, alpha);
    cairo_fill(cr);
    cairo_restore(cr);
}

// Flattens the canvas onto the colour that will stand behind it. With a key, pixels covered less
// than half become magenta (the skin cuts them away); the rest are blended over the matte so the
// edges look smooth against it. Without a key everything is blended. Drawn pixels that happen to
// be pure magenta are nudged off the key so only the intended pixels are see-through.
Image Flatten(const Canvas& canvas, Rgb matte, Key key)
{
    cairo_surface_flush(canvas.Surface());
    const uint8_t* data = cairo_image_surface_get_data(canvas.Surface());
    int stride = cairo_image_surface_get_stride(canvas.Surface());
    Image image;
    image.width = canvas.Width();
    image.height = canvas.Height();
    image.bgra.resize(static_cast<size_t>(image.width) * image.height * 4);
    const double matteChannel[3] = {matte.b * 255.0, matte.g * 255.0, matte.r * 255.0};
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t argb;
            std::memcpy(&argb, data + static_cast<size_t>(y) * stride + x * 4, 4);
            uint32_t alpha = argb >> 24;
            uint8_t* out = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
            if (key == Key::Magenta && alpha < 128) {
                out[0] = 0xFF;
                out[1] = 0x00;
                out[2] = 0xFF;
                out[3] = 0xFF;
                continue;
            }
            const uint32_t premultiplied[3] = {argb & 0xFF, (argb >> 8) & 0xFF, (argb >> 16) & 0xFF};
            for (int channel = 0; channel < 3; ++channel) {
                double value = premultiplied[channel] + matteChannel[channel] * (255 - alpha) / 255.0;
                out[channel] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
            }
            out[3] = 0xFF;
            if (out[0] == 0xFF && out[1] == 0x00 && out[2] == 0xFF)
                out[0] = 0xFE;
        }
    }
    return image;
}

// Straight-alpha copy of the canvas, for icon images.
Image Unpremultiply(const Canvas& canvas)
{
    cairo_surface_flush(canvas.Surface());
    const uint8_t* data = cairo_image_surface_get_data(canvas.Surface());
    int stride = cairo_image_surface_get_stride(canvas.Surface());
    Image image;
    image.width = canvas.Width();
    image.height = canvas.Height();
    image.bgra.resize(static_cast<size_t>(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t argb;
            std::memcpy(&argb, data + static_cast<size_t>(y) * stride + x * 4, 4);
            uint32_t alpha = argb >> 24;
            uint8_t* out = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
            for (int channel = 0; channel < 3; ++channel) {
                uint32_t value = (argb >> (8 * channel)) & 0xFF;
                out[channel] =
                    alpha == 0 ? 0 : static_cast<uint8_t>(std::min<uint32_t>(255, (value * 255 + alpha / 2) / alpha));
            }
            out[3] = static_cast<uint8_t>(alpha);
        }
    }
    return image;
}

// ---- Shared motifs ----

// The product emblem: a yellow seal with a dark teal T, standing for a stamp on a picture.
void DrawEmblem(cairo_t* cr, double cx, double cy, double radius)
{
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_pattern_t* pattern =
        cairo_pattern_create_radial(cx - radius * 0.35, cy - radius * 0.4, radius * 0.1, cx, cy, radius);
    cairo_pattern_add_color_stop_rgb(pattern, 0, kYellowLight.r, kYellowLight.g, kYellowLight.b);
    cairo_pattern_add_color_stop_rgb(pattern, 1, kYellowDeep.r, kYellowDeep.g, kYellowDeep.b);
    cairo_set_source(cr, pattern);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(pattern);
    SetColour(cr, kYellowEdge);
    cairo_set_line_width(cr, std::max(1.0, radius * 0.08));
    cairo_stroke(cr);
    if (radius >= 9) {
        cairo_arc(cr, cx, cy, radius * 0.78, 0, 2 * M_PI);
        SetColour(cr, kYellowEdge, 0.7);
        cairo_set_line_width(cr, std::max(0.8, radius * 0.05));
        cairo_stroke(cr);
    }
    // The T: a bar and a stem.
    double bar = radius * 0.95;
    double thick = std::max(1.6, radius * 0.22);
    cairo_rectangle(cr, cx - bar / 2, cy - radius * 0.45, bar, thick);
    cairo_rectangle(cr, cx - thick / 2, cy - radius * 0.45, thick, radius * 0.98);
    SetColour(cr, kTealDark);
    cairo_fill(cr);
}

// A caption band with the emblem, a title and a yellow rule under it; used by every window.
void DrawCaption(cairo_t* cr, const TextPainter& text, int width, std::string_view title, int titleSize,
                 std::string_view subtitle)
{
    cairo_rectangle(cr, 0, 0, width, 30);
    FillVertical(cr, 0, 30, kCaptionTop, kCaptionBottom);
    PixelLine(cr, 0, 0, width - 1, 0, kTealLight, 0.55);
    PixelLine(cr, 0, 29, width - 1, 29, kYellow);
    PixelLine(cr, 0, 30, width - 1, 30, kOutline);
    DrawEmblem(cr, 17, 15, 9);
    int titleWidth = text.Draw(cr, title, titleSize, true, kWhite, 32, 15 - titleSize / 2.0 - 1);
    if (!subtitle.empty())
        text.Draw(cr, subtitle, 12, false, kTealPale, 32 + titleWidth + 10, 9);
}

// Outline and rounded corners of a whole window: everything outside the rounded rectangle
// becomes see-through once flattened with the magenta key.
void ClipWindowShape(cairo_t* cr, int width, int height, double radius)
{
    RoundRect(cr, 0, 0, width, height, radius);
    cairo_clip(cr);
}

void StrokeWindowOutline(cairo_t* cr, int width, int height, double radius)
{
    RoundRect(cr, 0.5, 0.5, width - 1, height - 1, radius - 0.5);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// A sunken white field where an edit control sits: (x, y, w, h) is the edit's own rectangle.
void DrawField(cairo_t* cr, int x, int y, int w, int h)
{
    FillRect(cr, x - 2, y - 2, w + 4, h + 4, kBodyLine);
    FillRect(cr, x - 1, y - 1, w + 2, h + 2, kWhite);
    PixelLine(cr, x - 1, y - 1, x + w, y - 1, kGreyEdge);
    PixelLine(cr, x - 1, y - 1, x - 1, y + h, kGreyEdge);
}

// A small picture glyph: a frame with hills and a sun, and the seal in its corner.
void DrawPictureGlyph(cairo_t* cr, double x, double y, double w, double h, bool withSeal)
{
    RoundRect(cr, x, y, w, h, std::max(2.0, w * 0.05));
    SetColour(cr, kWhite);
    cairo_fill_preserve(cr);
    SetColour(cr, kTealMid);
    cairo_set_line_width(cr, std::max(1.0, w * 0.025));
    cairo_stroke(cr);
    double m = w * 0.08;
    cairo_rectangle(cr, x + m, y + m, w - 2 * m, h - 2 * m);
    FillVertical(cr, y + m, y + h - m, Hex(0xCFE6E6), Hex(0xEAF4F4));
    cairo_save(cr);
    cairo_rectangle(cr, x + m, y + m, w - 2 * m, h - 2 * m);
    cairo_clip(cr);
    cairo_arc(cr, x + w * 0.7, y + h * 0.32, w * 0.08, 0, 2 * M_PI);
    SetColour(cr, kYellow);
    cairo_fill(cr);
    cairo_move_to(cr, x + m, y + h - m);
    cairo_line_to(cr, x + w * 0.35, y + h * 0.42);
    cairo_line_to(cr, x + w * 0.55, y + h * 0.66);
    cairo_line_to(cr, x + w * 0.68, y + h * 0.54);
    cairo_line_to(cr, x + w - m, y + h - m);
    cairo_close_path(cr);
    SetColour(cr, kTealMid);
    cairo_fill(cr);
    cairo_move_to(cr, x + w * 0.45, y + h - m);
    cairo_line_to(cr, x + w * 0.68, y + h * 0.54);
    cairo_line_to(cr, x + w - m, y + h - m);
    cairo_close_path(cr);
    SetColour(cr, kTealDark);
    cairo_fill(cr);
    cairo_restore(cr);
    if (withSeal)
        DrawEmblem(cr, x + w - m * 0.4, y + h - m * 0.4, w * 0.16);
}

// A folder glyph for the output dialog.
void DrawFolderGlyph(cairo_t* cr, double x, double y, double w, double h)
{
    cairo_move_to(cr, x, y + h * 0.15);
    cairo_line_to(cr, x + w * 0.38, y + h * 0.15);
    cairo_line_to(cr, x + w * 0.46, y + h * 0.28);
    cairo_line_to(cr, x + w, y + h * 0.28);
    cairo_line_to(cr, x + w, y + h);
    cairo_line_to(cr, x, y + h);
    cairo_close_path(cr);
    FillVertical(cr, y, y + h, kYellowLight, kYellowDeep);
    RoundRect(cr, x - w * 0.04, y + h * 0.4, w * 1.08, h * 0.6, 2);
    FillVertical(cr, y + h * 0.4, y + h, kYellow, kYellowDeep);
    RoundRect(cr, x - w * 0.04 + 0.5, y + h * 0.4 + 0.5, w * 1.08 - 1, h * 0.6 - 1, 2);
    SetColour(cr, kYellowEdge);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// ---- Buttons ----

enum class Face { Hover, Normal, Pressed };

// Caption buttons (21 x 17): a small rounded plate with a cross or a dash.
Image CaptionButton(Face face, bool close)
{
    Canvas canvas(21, 17);
    cairo_t* cr = canvas.Cr();
    RoundRect(cr, 0.5, 0.5, 20, 16, 3.5);
    Rgb top = kTealMid;
    Rgb bottom = kTealDark;
    if (face == Face::Hover) {
        top = close ? Hex(0xE06A60) : kYellowLight;
        bottom = close ? kRed : kYellowDeep;
    } else if (face == Face::Pressed) {
        top = close ? kRedDeep : kYellowDeep;
        bottom = close ? Hex(0xB33B33) : kYellow;
    }
    FillVertical(cr, 0, 17, top, bottom);
    RoundRect(cr, 0.5, 0.5, 20, 16, 3.5);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (face != Face::Pressed)
        PixelLine(cr, 3, 1, 17, 1, kWhite, 0.35);
    Rgb glyph = (face == Face::Hover && !close) ? kInk : kWhite;
    double shift = face == Face::Pressed ? 1 : 0;
    SetColour(cr, glyph);
    if (close) {
        cairo_set_line_width(cr, 1.8);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, 7 + shift, 5 + shift);
        cairo_line_to(cr, 14 + shift, 12 + shift);
        cairo_move_to(cr, 14 + shift, 5 + shift);
        cairo_line_to(cr, 7 + shift, 12 + shift);
        cairo_stroke(cr);
    } else {
        cairo_rectangle(cr, 6 + shift, 10 + shift, 9, 2);
        cairo_fill(cr);
    }
    return Flatten(canvas, kCaptionBottom, Key::Magenta);
}

// Yellow command bars (89 x 27); the button draws its caption on top.
Image CommandBar(Face face)
{
    Canvas canvas(89, 27);
    cairo_t* cr = canvas.Cr();
    Rgb top = face == Face::Hover ? Hex(0xFFF1B8) : face == Face::Pressed ? kYellowDeep : kYellowLight;
    Rgb bottom = face == Face::Hover ? Hex(0xFFCF45) : face == Face::Pressed ? Hex(0xF3C748) : kYellow;
    RoundRect(cr, 0.5, 0.5, 88, 26, 5);
    FillVertical(cr, 0, 27, top, bottom);
    if (face != Face::Pressed) {
        cairo_save(cr);
        RoundRect(cr, 2, 2, 85, 11, 4);
        cairo_pattern_t* gloss = cairo_pattern_create_linear(0, 2, 0, 13);
        cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.55);
        cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.05);
        cairo_set_source(cr, gloss);
        cairo_fill(cr);
        cairo_pattern_destroy(gloss);
        cairo_restore(cr);
    } else {
        PixelLine(cr, 4, 1, 84, 1, kYellowEdge, 0.45);
    }
    RoundRect(cr, 0.5, 0.5, 88, 26, 5);
    SetColour(cr, face == Face::Hover ? Hex(0xB98400) : kYellowEdge);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    return Flatten(canvas, kTealPanel, Key::Magenta);
}

enum class RoundGlyph { Question, Info, House };

// Round buttons (65 x 54) of the bottom band.
Image RoundButton(Face face, RoundGlyph glyph, const TextPainter& text)
{
    Canvas canvas(65, 54);
    cairo_t* cr = canvas.Cr();
    const double cx = 32.5;
    const double cy = 27;
    const double radius = 24.5;
    double shift = face == Face::Pressed ? 1 : 0;
    // Drop shadow and ring.
    cairo_arc(cr, cx, cy + 1, radius + 1, 0, 2 * M_PI);
    SetColour(cr, kOutline, 0.8);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    Rgb ringTop = face == Face::Hover ? kYellowLight : kTealPale;
    Rgb ringBottom = face == Face::Hover ? kYellowDeep : kTealMid;
    FillVertical(cr, cy - radius, cy + radius, ringTop, ringBottom);
    // Disc.
    cairo_arc(cr, cx, cy, radius - 3, 0, 2 * M_PI);
    Rgb inner = face == Face::Pressed ? kTealDeep : face == Face::Hover ? Hex(0x4A8C8C) : kTealMid;
    Rgb outer = face == Face::Pressed ? kTealDark : kTealDeep;
    cairo_pattern_t* pattern = cairo_pattern_create_radial(cx, cy - 8, 2, cx, cy, radius - 3);
    cairo_pattern_add_color_stop_rgb(pattern, 0, inner.r, inner.g, inner.b);
    cairo_pattern_add_color_stop_rgb(pattern, 1, outer.r, outer.g, outer.b);
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    if (face != Face::Pressed) {
        // Gloss on the upper half.
        cairo_save(cr);
        cairo_translate(cr, cx, cy - 11);
        cairo_scale(cr, 1, 0.55);
        cairo_arc(cr, 0, 0, radius - 8, 0, 2 * M_PI);
        cairo_restore(cr);
        cairo_pattern_t* gloss = cairo_pattern_create_linear(0, cy - 22, 0, cy - 2);
        cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.42);
        cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.0);
        cairo_set_source(cr, gloss);
        cairo_fill(cr);
        cairo_pattern_destroy(gloss);
    }
    Rgb ink = face == Face::Hover ? kYellowLight : face == Face::Pressed ? kTealPale : kWhite;
    switch (glyph) {
    case RoundGlyph::Question:
        text.Draw(canvas.Cr(), "?", 30, true, ink, cx + shift, cy - 17 + shift, TextPainter::Align::Centre);
        break;
    case RoundGlyph::Info: {
        cairo_arc(cr, cx + shift, cy - 10 + shift, 3, 0, 2 * M_PI);
        SetColour(cr, ink);
        cairo_fill(cr);
        RoundRect(cr, cx - 2.5 + shift, cy - 4 + shift, 5, 17, 1.5);
        cairo_fill(cr);
        cairo_rectangle(cr, cx - 5.5 + shift, cy - 4 + shift, 4, 2.5);
        cairo_rectangle(cr, cx - 5.5 + shift, cy + 10.5 + shift, 11, 2.5);
        cairo_fill(cr);
        break;
    }
    case RoundGlyph::House: {
        double x = cx + shift;
        double y = cy + shift;
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, x - 13, y - 1);
        cairo_line_to(cr, x, y - 13);
        cairo_line_to(cr, x + 13, y - 1);
        SetColour(cr, ink);
        cairo_set_line_width(cr, 3);
        cairo_stroke(cr);
        cairo_move_to(cr, x - 9, y - 3);
        cairo_line_to(cr, x, y - 10);
        cairo_line_to(cr, x + 9, y - 3);
        cairo_line_to(cr, x + 9, y + 12);
        cairo_line_to(cr, x + 3, y + 12);
        cairo_line_to(cr, x + 3, y + 4);
        cairo_line_to(cr, x - 3, y + 4);
        cairo_line_to(cr, x - 3, y + 12);
        cairo_line_to(cr, x - 9, y + 12);
        cairo_close_path(cr);
        cairo_fill(cr);
        break;
    }
    }
    return Flatten(canvas, kTealDeep, Key::Magenta);
}

// Grey dialog buttons (69 x 23); the button draws its caption on top.
Image GreyButton(Face face, int width, int height)
{
    Canvas canvas(width, height);
    cairo_t* cr = canvas.Cr();
    Rgb top = face == Face::Hover ? kWhite : face == Face::Pressed ? Hex(0xC4CFCF) : kGreyTop;
    Rgb bottom = face == Face::Hover ? Hex(0xDCEBEB) : face == Face::Pressed ? Hex(0xE9EEEE) : kGreyBottom;
    RoundRect(cr, 0.5, 0.5, width - 1, height - 1, 3.5);
    FillVertical(cr, 0, height, top, bottom);
    RoundRect(cr, 0.5, 0.5, width - 1, height - 1, 3.5);
    SetColour(cr, face == Face::Hover ? kTealMid : kGreyEdge);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (face == Face::Hover)
        PixelLine(cr, 3, height - 2, width - 4, height - 2, kYellow);
    else if (face == Face::Normal)
        PixelLine(cr, 3, 1, width - 4, 1, kWhite);
    return Flatten(canvas, kBody, Key::Magenta);
}

// Three-dot browse buttons (18 x 18), grey like the dialog buttons.
Image BrowseButton(Face face)
{
    Image plate = GreyButton(face, 18, 18);
    Canvas canvas(18, 18);
    cairo_t* cr = canvas.Cr();
    cairo_surface_t* source =
        cairo_image_surface_create_for_data(plate.bgra.data(), CAIRO_FORMAT_RGB24, 18, 18, 18 * 4);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(source);
    double shift = face == Face::Pressed ? 1 : 0;
    SetColour(cr, face == Face::Hover ? kTealMid : kInk);
    for (int dot = 0; dot < 3; ++dot) {
        cairo_rectangle(cr, 4 + dot * 4 + shift, 11 + shift, 2, 2);
    }
    cairo_fill(cr);
    Image image = Flatten(canvas, kBody, Key::None);
    // The plate's magenta corners pass through unchanged.
    for (size_t i = 0; i < image.bgra.size(); i += 4) {
        if (plate.bgra[i] == 0xFF && plate.bgra[i + 1] == 0 && plate.bgra[i + 2] == 0xFF)
            std::copy_n(&plate.bgra[i], 4, &image.bgra[i]);
    }
    return image;
}

// Round check marks (15 x 14) on the dialog body.
Image CheckMark(bool checked)
{
    Canvas canvas(15, 14);
    cairo_t* cr = canvas.Cr();
    FillRect(cr, 0, 0, 15, 14, kBody);
    cairo_arc(cr, 7.5, 7, 6, 0, 2 * M_PI);
    FillVertical(cr, 1, 13, Hex(0xF4F8F8), kWhite);
    cairo_arc(cr, 7.5, 7, 6, 0, 2 * M_PI);
    SetColour(cr, checked ? kTealMid : kGreyEdge);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    if (checked) {
        cairo_arc(cr, 7.5, 7, 3.2, 0, 2 * M_PI);
        FillVertical(cr, 3.8, 10.2, kTealMid, kTealDark);
    }
    return Flatten(canvas, kBody, Key::None);
}

// ---- Window backgrounds ----

// The common frame of a set-up dialog: shape, caption, body, a heading and the button rule.
void DialogFrame(Canvas& canvas, const TextPainter& text, std::string_view title, int buttonRuleY)
{
    cairo_t* cr = canvas.Cr();
    int width = canvas.Width();
    int height = canvas.Height();
    ClipWindowShape(cr, width, height, 7);
    FillRect(cr, 0, 0, width, height, kBody);
    DrawCaption(cr, text, width, title, 12, "");
    if (buttonRuleY > 0) {
        PixelLine(cr, 12, buttonRuleY, width - 13, buttonRuleY, kBodyLine);
        PixelLine(cr, 12, buttonRuleY + 1, width - 13, buttonRuleY + 1, kWhite);
        cairo_rectangle(cr, 1, buttonRuleY + 2, width - 2, height - buttonRuleY - 3);
        FillVertical(cr, buttonRuleY + 2, height, kBody, Hex(0xD5E3E3));
    }
    StrokeWindowOutline(cr, width, height, 7);
}

// A heading with a short yellow marker in front and a rule under it.
void DrawHeading(cairo_t* cr, const TextPainter& text, std::string_view heading, int x, int y, int ruleRight)
{
    FillRect(cr, x, y + 1, 3, 12, kYellowDeep);
    int width = text.Draw(cr, heading, 12, true, kTealDark, x + 8, y);
    PixelLine(cr, x + 8 + width + 8, y + 7, ruleRight, y + 7, kBodyLine);
}

Image SourceBackground(const TextPainter& text)
{
    Canvas canvas(394, 215);
    cairo_t* cr = canvas.Cr();
    DialogFrame(canvas, text, "指定图片文件", 168);
    DrawHeading(cr, text, "请选择要加水印的图片", 22, 44, 372);
    // Marks stand at (53, 75) and (53, 114); labels follow them, fields below the labels.
    text.Draw(cr, "处理指定目录中的全部图片", 12, false, kInk, 75, 76);
    DrawField(cr, 75, 95, 245, 13);
    text.Draw(cr, "处理指定的图片文件（可多选）", 12, false, kInk, 75, 115);
    DrawField(cr, 75, 135, 245, 13);
    text.Draw(cr, "目录", 12, false, kInkSoft, 40, 96);
    text.Draw(cr, "文件", 12, false, kInkSoft, 40, 136);
    return Flatten(canvas, kOutline, Key::Magenta);
}

Image FileBackground(const TextPainter& text, bool output)
{
    Canvas canvas(394, 161);
    cairo_t* cr = canvas.Cr();
    DialogFrame(canvas, text, output ? "指定输出目录" : "指定水印文件", 111);
    if (output)
        DrawFolderGlyph(cr, 26, 56, 36, 28);
    else
        DrawPictureGlyph(cr, 24, 53, 40, 32, true);
    DrawHeading(cr, text, output ? "输出目录位置" : "水印图片位置", 75, 47, 372);
    DrawField(cr, 75, 73, 245, 13);
    text.Draw(cr, output ? "加好水印的图片将以原文件名保存到这里" : "支持 PNG 透明水印，也可使用 BMP、JPEG 等图片", 12,
              false, kInkSoft, 75, 92);
    return Flatten(canvas, kOutline, Key::Magenta);
}

Image PositionBackground(const TextPainter& text)
{
    Canvas canvas(394, 215);
    cairo_t* cr = canvas.Cr();
    DialogFrame(canvas, text, "指定水印位置", 168);
    DrawHeading(cr, text, "请选择水印所在的角和边距", 22, 44, 372);
    struct Row {
        const char* corner;
        const char* horizontal;
        const char* vertical;
    };
    const Row rows[4] = {{"左上", "左边距", "上边距"},
                         {"右上", "右边距", "上边距"},
                         {"左下", "左边距", "下边距"},
                         {"右下", "右边距", "下边距"}};
    for (int corner = 0; corner < 4; ++corner) {
        int y = 74 + 23 * corner;
        if (corner < 3)
            PixelLine(cr, 44, y + 18, 349, y + 18, Hex(0xD0DEDE));
        text.Draw(cr, rows[corner].corner, 12, true, kTealDark, 72, y);
        text.Draw(cr, rows[corner].horizontal, 12, false, kInk, 170, y, TextPainter::Align::Right);
        DrawField(cr, 174, y, 25, 13);
        text.Draw(cr, "像素", 12, false, kInkSoft, 204, y);
        text.Draw(cr, rows[corner].vertical, 12, false, kInk, 281, y, TextPainter::Align::Right);
        DrawField(cr, 285, y, 25, 13);
        text.Draw(cr, "像素", 12, false, kInkSoft, 315, y);
    }
    return Flatten(canvas, kOutline, Key::Magenta);
}

// About and notice boxes: a dark teal panel above the button.
void PanelDialog(Canvas& canvas, const TextPainter& text, std::string_view title)
{
    DialogFrame(canvas, text, title, 0);
    cairo_t* cr = canvas.Cr();
    RoundRect(cr, 10.5, 38.5, 255, 86, 5);
    SetColour(cr, kTealPanel);
    cairo_fill_preserve(cr);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    PixelLine(cr, 15, 39, 260, 39, kTealLight, 0.5);
}

// A pencil over a notepad, the about box's picture.
void DrawPencilAndPad(cairo_t* cr, double x, double y)
{
    // Notepad with rings and ruled lines.
    RoundRect(cr, x, y + 4, 50, 62, 3);
    SetColour(cr, kWhite);
    cairo_fill_preserve(cr);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_rectangle(cr, x, y + 4, 50, 10);
    SetColour(cr, kYellow);
    cairo_fill(cr);
    for (int ring = 0; ring < 5; ++ring) {
        cairo_arc(cr, x + 7 + ring * 9, y + 4, 2.2, 0, 2 * M_PI);
        SetColour(cr, kTealPale);
        cairo_fill_preserve(cr);
        SetColour(cr, kOutline);
        cairo_stroke(cr);
    }
    for (int line = 0; line < 5; ++line)
        PixelLine(cr, static_cast<int>(x) + 6, static_cast<int>(y) + 24 + line * 8, static_cast<int>(x) + 43,
                  static_cast<int>(y) + 24 + line * 8, kTealPale);
    // Pencil, tilted across the pad.
    cairo_save(cr);
    cairo_translate(cr, x + 52, y + 12);
    cairo_rotate(cr, M_PI * 0.68);
    cairo_rectangle(cr, 0, -4, 46, 8);
    FillVertical(cr, -4, 4, kYellowLight, kYellowDeep);
    cairo_rectangle(cr, -7, -4, 7, 8);
    SetColour(cr, Hex(0xE58E8E));
    cairo_fill(cr);
    cairo_rectangle(cr, -1, -4, 3, 8);
    SetColour(cr, kTealPale);
    cairo_fill(cr);
    cairo_move_to(cr, 46, -4);
    cairo_line_to(cr, 56, 0);
    cairo_line_to(cr, 46, 4);
    cairo_close_path(cr);
    SetColour(cr, Hex(0xF2D9B0));
    cairo_fill(cr);
    cairo_move_to(cr, 53, -1.2);
    cairo_line_to(cr, 56, 0);
    cairo_line_to(cr, 53, 1.2);
    cairo_close_path(cr);
    SetColour(cr, kInk);
    cairo_fill(cr);
    cairo_rectangle(cr, -7, -4, 63, 8);
    SetColour(cr, kOutline, 0.6);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_restore(cr);
}

Image AboutBackground(const TextPainter& text)
{
    Canvas canvas(276, 169);
    cairo_t* cr = canvas.Cr();
    PanelDialog(canvas, text, "关于");
    DrawPencilAndPad(cr, 28, 46);
    // The version label covers (134, 87)-(250, 99); the maker's lines sit above and below it.
    text.Draw(cr, "图片批量加水印工具", 12, true, kYellowLight, 134, 50);
    text.Draw(cr, "Orvel 软件系列", 12, false, kWhite, 134, 68);
    text.Draw(cr, "版权所有 © 2026 Orvel", 12, false, kTealPale, 134, 106);
    return Flatten(canvas, kOutline, Key::Magenta);
}

Image NoticeBackground(const TextPainter& text)
{
    Canvas canvas(276, 169);
    cairo_t* cr = canvas.Cr();
    PanelDialog(canvas, text, "提示");
    // Warning triangle left of the message label (99, 68)-(224, 109).
    double x = 52;
    double y = 58;
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + 24, y + 42);
    cairo_line_to(cr, x - 24, y + 42);
    cairo_close_path(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    FillVertical(cr, y, y + 42, kYellowLight, kYellowDeep);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + 24, y + 42);
    cairo_line_to(cr, x - 24, y + 42);
    cairo_close_path(cr);
    SetColour(cr, kYellowEdge);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    RoundRect(cr, x - 2.5, y + 13, 5, 16, 2);
    SetColour(cr, kInk);
    cairo_fill(cr);
    cairo_arc(cr, x, y + 35, 2.8, 0, 2 * M_PI);
    cairo_fill(cr);
    return Flatten(canvas, kOutline, Key::Magenta);
}

// A downward chevron between two command bars.
void DrawDownArrow(cairo_t* cr, double cx, double top)
{
    cairo_move_to(cr, cx - 7, top);
    cairo_line_to(cr, cx, top + 7);
    cairo_line_to(cr, cx + 7, top);
    cairo_line_to(cr, cx + 7, top + 4);
    cairo_line_to(cr, cx, top + 11);
    cairo_line_to(cr, cx - 7, top + 4);
    cairo_close_path(cr);
    FillVertical(cr, top, top + 11, kTealLight, kYellow);
}

Image MainBackground(const TextPainter& text)
{
    Canvas canvas(800, 600);
    cairo_t* cr = canvas.Cr();
    ClipWindowShape(cr, 800, 600, 9);
    cairo_rectangle(cr, 0, 0, 800, 600);
    FillVertical(cr, 0, 600, kTealDark, kTealDeep);
    DrawCaption(cr, text, 800, "Tessmark", 16, "图片批量加水印 · Orvel软件系列");

    // Preview frame around (28, 41)-(667, 502).
    RoundRect(cr, 20.5, 35.5, 654, 473, 4);
    SetColour(cr, kTealDeep);
    cairo_fill_preserve(cr);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    FillRect(cr, 26, 39, 643, 465, kTealMid);
    FillRect(cr, 27, 40, 641, 463, kOutline);
    FillRect(cr, 28, 41, 639, 461, kPreviewCanvas);

    // Command column on the right.
    RoundRect(cr, 677.5, 35.5, 104, 473, 5);
    SetColour(cr, kTealPanel);
    cairo_fill_preserve(cr);
    SetColour(cr, kOutline);
    cairo_stroke(cr);
    PixelLine(cr, 682, 36, 777, 36, kTealLight, 0.5);
    DrawEmblem(cr, 729.5, 66, 20);
    text.Draw(cr, "批量水印", 12, true, kYellowLight, 729.5, 92, TextPainter::Align::Centre);
    for (int top : {145, 196, 248, 300})
        DrawDownArrow(cr, 729.5, top + 3);
    // Frame of the status line (694, 380), 87 x 59.
    PixelLine(cr, 690, 366, 769, 366, kTealMid);
    FillRect(cr, 692, 378, 91, 63, kOutline);
    FillRect(cr, 693, 379, 89, 61, kTealMid);
    FillRect(cr, 694, 380, 87, 59, Hex(0x000000));

    // News strip (6, 519)-(794, 541).
    FillRect(cr, 5, 518, 790, 24, kOutline);
    FillRect(cr, 6, 519, 788, 22, kNewsStrip);

    // Bottom band with a slogan at the left; the banner and the round buttons stand on it.
    cairo_rectangle(cr, 1, 542, 798, 57);
    FillVertical(cr, 542, 600, kTealDark, kTealDeep);
    PixelLine(cr, 1, 542, 798, 542, kTealMid);
    DrawPictureGlyph(cr, 18, 552, 44, 36, true);
    text.Draw(cr, "一次为整批图片加上水印", 14, true, kWhite, 76, 553);
    text.Draw(cr, "BMP · JPEG · PNG · GIF · TIFF · TGA", 12, false, kTealPale, 76, 575);
    FillRect(cr, 336, 542, 231, 57, kOutline);

    StrokeWindowOutline(cr, 800, 600, 9);
    return Flatten(canvas, kOutline, Key::Magenta);
}

Image DefaultPreview(const TextPainter& text)
{
    Canvas canvas(639, 461);
    cairo_t* cr = canvas.Cr();
    // Everything but the centred card stays see-through, so the preview frame shows around it.
    double cardX = 169.5;
    double cardY = 110.5;
    double cardW = 300;
    double cardH = 240;
    RoundRect(cr, cardX + 3, cardY + 4, cardW, cardH, 8);
    SetColour(cr, kTealDark, 0.18);
    cairo_fill(cr);
    RoundRect(cr, cardX, cardY, cardW, cardH, 8);
    FillVertical(cr, cardY, cardY + cardH, kWhite, Hex(0xF2F7F7));
    RoundRect(cr, cardX, cardY, cardW, cardH, 8);
    SetColour(cr, kTealLight);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    DrawPictureGlyph(cr, cardX + 100, cardY + 26, 100, 80, true);
    text.Draw(cr, "尚未指定图片或水印", 16, true, kTealDark, cardX + cardW / 2, cardY + 132,
              TextPainter::Align::Centre);
    text.Draw(cr, "请用右侧的按钮指定图片文件、水印文件", 12, false, kInkSoft, cardX + cardW / 2, cardY + 162,
              TextPainter::Align::Centre);
    text.Draw(cr, "和输出目录，这里将显示加好水印的效果", 12, false, kInkSoft, cardX + cardW / 2, cardY + 180,
              TextPainter::Align::Centre);
    text.Draw(cr, "然后按“开始”", 12, false, kInkSoft, cardX + cardW / 2, cardY + 204, TextPainter::Align::Centre);
    return Flatten(canvas, kPreviewCanvas, Key::Magenta);
}

Image Banner(const TextPainter& text)
{
    Canvas canvas(227, 53);
    cairo_t* cr = canvas.Cr();
    cairo_rectangle(cr, 0, 0, 227, 53);
    cairo_pattern_t* pattern = cairo_pattern_create_linear(0, 0, 227, 53);
    cairo_pattern_add_color_stop_rgb(pattern, 0, kTealMid.r, kTealMid.g, kTealMid.b);
    cairo_pattern_add_color_stop_rgb(pattern, 1, kTealDeep.r, kTealDeep.g, kTealDeep.b);
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    // Faint diagonal stripes, like a watermark pattern.
    cairo_save(cr);
    for (int x = -60; x < 227; x += 14) {
        cairo_move_to(cr, x, 53);
        cairo_line_to(cr, x + 53, 0);
    }
    SetColour(cr, kWhite, 0.05);
    cairo_set_line_width(cr, 5);
    cairo_stroke(cr);
    cairo_restore(cr);
    FillRect(cr, 0, 0, 5, 53, kYellow);
    DrawEmblem(cr, 30, 26.5, 16);
    text.Draw(cr, "Tessmark 批量水印", 16, true, kWhite, 54, 9);
    text.Draw(cr, "简单 · 快速 · 整批处理", 12, false, kYellowLight, 54, 31);
    cairo_rectangle(cr, 0.5, 0.5, 226, 52);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    return Flatten(canvas, kTealDeep, Key::None);
}

Image IconImage(int size)
{
    Canvas canvas(size, size);
    cairo_t* cr = canvas.Cr();
    double s = size;
    double radius = size >= 32 ? s * 0.16 : 2.5;
    RoundRect(cr, 0.5, 0.5, s - 1, s - 1, radius);
    FillVertical(cr, 0, s, kTealMid, kTealDeep);
    RoundRect(cr, 0.5, 0.5, s - 1, s - 1, radius);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (size >= 32) {
        DrawPictureGlyph(cr, s * 0.14, s * 0.16, s * 0.62, s * 0.5, false);
        DrawEmblem(cr, s * 0.68, s * 0.68, s * 0.24);
    } else {
        FillRect(cr, 3, 3, 8, 7, kWhite);
        FillRect(cr, 4, 6, 6, 3, kTealMid);
        DrawEmblem(cr, 10.5, 10.5, 4.5);
    }
    return Unpremultiply(canvas);
}

struct NamedImage {
    int id;
    std::string name;
    Image image;
};

std::vector<NamedImage> DrawBitmaps(const TextPainter& text)
{
    std::vector<NamedImage> images;
    auto add = [&images](int id, std::string name, Image image) {
        images.push_back({id, std::move(name), std::move(image)});
    };
    add(131, "check-off", CheckMark(false));
    add(132, "check-on", CheckMark(true));
    add(133, "main-background", MainBackground(text));
    add(134, "close-hover", CaptionButton(Face::Hover, true));
    add(135, "close-normal", CaptionButton(Face::Normal, true));
    add(136, "close-pressed", CaptionButton(Face::Pressed, true));
    add(137, "minimize-hover", CaptionButton(Face::Hover, false));
    add(138, "minimize-normal", CaptionButton(Face::Normal, false));
    add(139, "minimize-pressed", CaptionButton(Face::Pressed, false));
    const RoundGlyph glyphs[3] = {RoundGlyph::Question, RoundGlyph::Info, RoundGlyph::House};
    const char* glyphNames[3] = {"help", "about", "home"};
    for (int button = 0; button < 3; ++button) {
        int first = 143 + button * 3;
        std::string name = glyphNames[button];
        add(first, name + "-hover", RoundButton(Face::Hover, glyphs[button], text));
        add(first + 1, name + "-normal", RoundButton(Face::Normal, glyphs[button], text));
        add(first + 2, name + "-pressed", RoundButton(Face::Pressed, glyphs[button], text));
    }
    add(152, "bar-hover", CommandBar(Face::Hover));
    add(153, "bar-normal", CommandBar(Face::Normal));
    add(154, "bar-pressed", CommandBar(Face::Pressed));
    add(155, "default-preview", DefaultPreview(text));
    add(156, "about-background", AboutBackground(text));
    add(157, "grey-hover", GreyButton(Face::Hover, 69, 23));
    add(158, "grey-normal", GreyButton(Face::Normal, 69, 23));
    add(159, "grey-pressed", GreyButton(Face::Pressed, 69, 23));
    add(160, "source-background", SourceBackground(text));
    add(161, "browse-hover", BrowseButton(Face::Hover));
    add(162, "browse-normal", BrowseButton(Face::Normal));
    add(163, "browse-pressed", BrowseButton(Face::Pressed));
    add(164, "markfile-background", FileBackground(text, false));
    add(165, "output-background", FileBackground(text, true));
    add(166, "position-background", PositionBackground(text));
    add(167, "notice-background", NoticeBackground(text));
    add(168, "banner", Banner(text));
    return images;
}

std::vector<NamedImage> DrawIcons()
{
    std::vector<NamedImage> icons;
    for (int size : {48, 32, 16})
        icons.push_back({128, "icon-" + std::to_string(size), IconImage(size)});
    return icons;
}

// ---- Output ----

bool WriteBlob(const std::vector<NamedImage>& bitmaps, const std::vector<NamedImage>& icons, const char* blobPath,
               const char* indexPath)
{
    std::unique_ptr<FILE, int (*)(FILE*)> blob(fopen(blobPath, "wb"), fclose);
    std::unique_ptr<FILE, int (*)(FILE*)> index(fopen(indexPath, "w"), fclose);
    if (!blob || !index)
        return false;
    fprintf(index.get(), "// Generated by make-skin: id, width, height, offset of the first pixel in the skin blob.\n");
    // Pixels are 32-bit little-endian words, top-down: 0x00RRGGBB for bitmaps, 0xAARRGGBB
    // (straight alpha) for icon images.
    size_t offset = 0;
    auto emit = [&](const char* macro, const NamedImage& entry, bool keepAlpha) {
        fprintf(index.get(), "%s(%d, %d, %d, %zu)\n", macro, entry.id, entry.image.width, entry.image.height, offset);
        std::vector<uint8_t> bytes = entry.image.bgra;
        if (!keepAlpha)
            for (size_t i = 3; i < bytes.size(); i += 4)
                bytes[i] = 0;
        if (fwrite(bytes.data(), 1, bytes.size(), blob.get()) != bytes.size())
            return false;
        offset += bytes.size() / 4;
        return true;
    };
    for (const NamedImage& entry : bitmaps)
        if (!emit("SKIN_BITMAP", entry, false))
            return false;
    for (const NamedImage& entry : icons)
        if (!emit("SKIN_ICON_IMAGE", entry, true))
            return false;
    return fflush(blob.get()) == 0 && fflush(index.get()) == 0;
}

// Wraps an image as an opaque or straight-alpha cairo surface for PNG output.
std::unique_ptr<cairo_surface_t, SurfaceDeleter> ToSurface(const Image& image, bool alpha)
{
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, image.width, image.height));
    cairo_surface_flush(surface.get());
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* in = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
            uint8_t* out = data + static_cast<size_t>(y) * stride + x * 4;
            uint32_t a = alpha ? in[3] : 255;
            for (int channel = 0; channel < 3; ++channel)
                out[channel] = static_cast<uint8_t>((in[channel] * a + 127) / 255);
            out[3] = static_cast<uint8_t>(a);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// Copies an image onto a canvas, leaving magenta pixels out as the skin's transparent copies do.
void BlitKeyed(Canvas& canvas, const Image& image, int left, int top)
{
    cairo_surface_flush(canvas.Surface());
    uint8_t* data = cairo_image_surface_get_data(canvas.Surface());
    int stride = cairo_image_surface_get_stride(canvas.Surface());
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            int tx = left + x;
            int ty = top + y;
            if (tx < 0 || ty < 0 || tx >= canvas.Width() || ty >= canvas.Height())
                continue;
            const uint8_t* in = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
            if (in[0] == 0xFF && in[1] == 0 && in[2] == 0xFF)
                continue;
            uint8_t* out = data + static_cast<size_t>(ty) * stride + tx * 4;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
    }
    cairo_surface_mark_dirty(canvas.Surface());
}

const Image& Find(const std::vector<NamedImage>& images, int id)
{
    for (const NamedImage& entry : images)
        if (entry.id == id)
            return entry.image;
    fprintf(stderr, "make-skin: no bitmap %d\n", id);
    std::abort();
}

// Mock-ups place the pieces as the windows do, to judge the art as a whole.
void MockButton(Canvas& canvas, const TextPainter& text, const Image& face, int x, int y, std::string_view caption,
                int shift = 0)
{
    BlitKeyed(canvas, face, x, y);
    if (!caption.empty())
        text.Draw(canvas.Cr(), caption, 12, false, Hex(0x000000), x + face.width / 2.0 + shift,
                  y + (face.height - 12) / 2.0 - 1 + shift, TextPainter::Align::Centre);
}

void MockEdit(Canvas& canvas, const TextPainter& text, int x, int y, int w, std::string_view value)
{
    FillRect(canvas.Cr(), x, y, w, 13, kWhite);
    if (!value.empty())
        text.Draw(canvas.Cr(), value, 12, false, Hex(0x000000), x + 2, y);
}

bool WriteMockups(const std::vector<NamedImage>& bitmaps, const TextPainter& text, const std::string& folder)
{
    auto save = [&folder](Canvas& canvas, const char* name) {
        std::string path = folder + "/" + name;
        return cairo_surface_write_to_png(canvas.Surface(), path.c_str()) == CAIRO_STATUS_SUCCESS;
    };
    bool ok = true;
    {
        Canvas canvas(800, 600);
        FillRect(canvas.Cr(), 0, 0, 800, 600, Hex(0x5A6E7A));
        BlitKeyed(canvas, Find(bitmaps, 133), 0, 0);
        BlitKeyed(canvas, Find(bitmaps, 138), 738, 1);
        BlitKeyed(canvas, Find(bitmaps, 134), 759, 1);
        BlitKeyed(canvas, Find(bitmaps, 155), 29, 40);
        const char* captions[5] = {"指定图片文件", "指定水印文件", "指定输出目录", "指定水印位置", "开始"};
        const int tops[5] = {115, 166, 218, 270, 322};
        for (int bar = 0; bar < 5; ++bar)
            MockButton(canvas, text,
                       Find(bitmaps, bar == 1   ? 152
                                     : bar == 4 ? 154
                                                : 153),
                       685, tops[bar], captions[bar], bar == 4 ? 1 : 0);
        FillRect(canvas.Cr(), 694, 380, 87, 59, Hex(0x000000));
        text.Draw(canvas.Cr(), "处理情况", 12, false, kWhite, 694, 380);
        FillRect(canvas.Cr(), 700, 460, 100, 32, Hex(0x00FF00));
        text.Draw(canvas.Cr(), "当前版本 1.00", 12, false, kWhite, 700, 460);
        text.Draw(canvas.Cr(), "欢迎使用 Tessmark，新闻从右向左滚动……", 12, false, kWhite, 300, 524);
        MockButton(canvas, text, Find(bitmaps, 147), 580, 543, "");
        MockButton(canvas, text, Find(bitmaps, 143), 650, 543, "");
        MockButton(canvas, text, Find(bitmaps, 150), 720, 543, "");
        BlitKeyed(canvas, Find(bitmaps, 168), 338, 544);
        ok = save(canvas, "mockup-main-window.png") && ok;
    }
    auto dialog = [&](int background, int closeLeft, const char* name, const std::function<void(Canvas&)>& controls) {
        const Image& image = Find(bitmaps, background);
        Canvas canvas(image.width + 40, image.height + 40);
        FillRect(canvas.Cr(), 0, 0, canvas.Width(), canvas.Height(), Hex(0x5A6E7A));
        Canvas inner(image.width, image.height);
        BlitKeyed(inner, image, 0, 0);
        BlitKeyed(inner, Find(bitmaps, 135), closeLeft, 1);
        controls(inner);
        BlitKeyed(canvas, Flatten(inner, Hex(0x5A6E7A), Key::Magenta), 20, 20);
        return save(canvas, name);
    };
    ok = dialog(160, 394 - 8 - 21, "mockup-source-dialog.png",
                [&](Canvas& c) {
                    BlitKeyed(c, Find(bitmaps, 132), 53, 75);
                    BlitKeyed(c, Find(bitmaps, 131), 53, 114);
                    MockEdit(c, text, 75, 95, 245, "/home/user/图片/假日");
                    MockEdit(c, text, 75, 135, 245, "");
                    MockButton(c, text, Find(bitmaps, 162), 328, 93, "");
                    MockButton(c, text, Find(bitmaps, 161), 328, 132, "");
                    MockButton(c, text, Find(bitmaps, 158), 110, 178, "确 定");
                    MockButton(c, text, Find(bitmaps, 157), 220, 178, "取 消");
                }) &&
         ok;
    ok = dialog(164, 394 - 8 - 21, "mockup-markfile-dialog.png",
                [&](Canvas& c) {
                    MockEdit(c, text, 75, 73, 245, "/home/user/水印.png");
                    MockButton(c, text, Find(bitmaps, 162), 328, 71, "");
                    MockButton(c, text, Find(bitmaps, 158), 110, 120, "确 定");
                    MockButton(c, text, Find(bitmaps, 158), 220, 120, "取 消");
                }) &&
         ok;
    ok = dialog(165, 394 - 8 - 21, "mockup-output-dialog.png",
                [&](Canvas& c) {
                    MockEdit(c, text, 75, 73, 245, "/home/user/输出");
                    MockButton(c, text, Find(bitmaps, 163), 328, 71, "");
                    MockButton(c, text, Find(bitmaps, 158), 110, 120, "确 定");
                    MockButton(c, text, Find(bitmaps, 159), 220, 120, "取 消", 1);
                }) &&
         ok;
    ok = dialog(166, 394 - 8 - 21, "mockup-position-dialog.png",
                [&](Canvas& c) {
                    for (int corner = 0; corner < 4; ++corner) {
                        int y = 74 + 23 * corner;
                        BlitKeyed(c, Find(bitmaps, corner == 3 ? 132 : 131), 50, 72 + 23 * corner);
                        MockEdit(c, text, 174, y, 25, corner == 3 ? "20" : "0");
                        MockEdit(c, text, 285, y, 25, corner == 3 ? "30" : "0");
                    }
                    MockButton(c, text, Find(bitmaps, 158), 80, 178, "确 定");
                    MockButton(c, text, Find(bitmaps, 158), 170, 178, "取 消");
                    MockButton(c, text, Find(bitmaps, 157), 260, 178, "应用");
                }) &&
         ok;
    ok = dialog(156, 276 - 6 - 21, "mockup-about-dialog.png",
                [&](Canvas& c) {
                    FillRect(c.Cr(), 134, 87, 116, 12, kTealPanel);
                    text.Draw(c.Cr(), "Tessmark 1.00", 12, false, kWhite, 134, 87);
                    MockButton(c, text, Find(bitmaps, 158), 105, 131, "关 闭");
                }) &&
         ok;
    ok = dialog(167, 276 - 6 - 21, "mockup-notice-dialog.png",
                [&](Canvas& c) {
                    FillRect(c.Cr(), 99, 68, 125, 41, kTealPanel);
                    text.Draw(c.Cr(), "处理完毕", 12, false, kWhite, 99 + 62.5, 82, TextPainter::Align::Centre);
                    MockButton(c, text, Find(bitmaps, 157), 105, 131, "确 定");
                }) &&
         ok;
    return ok;
}

bool WritePngs(const std::vector<NamedImage>& bitmaps, const std::vector<NamedImage>& icons, const TextPainter& text,
               const std::string& folder)
{
    bool ok = true;
    for (const NamedImage& entry : bitmaps) {
        std::string path = folder + "/" + std::to_string(entry.id) + "-" + entry.name + ".png";
        ok =
            cairo_surface_write_to_png(ToSurface(entry.image, false).get(), path.c_str()) == CAIRO_STATUS_SUCCESS && ok;
    }
    for (const NamedImage& entry : icons) {
        std::string path = folder + "/" + std::to_string(entry.id) + "-" + entry.name + ".png";
        ok = cairo_surface_write_to_png(ToSurface(entry.image, true).get(), path.c_str()) == CAIRO_STATUS_SUCCESS && ok;
    }
    return WriteMockups(bitmaps, text, folder) && ok;
}

// The desktop's theme icons, FOLDER/NxN/apps/tessmark.png, drawn from the same artwork as icon 128.
bool WriteThemeIcons(const std::string& folder)
{
    bool ok = true;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        std::string sizeFolder = folder + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        std::error_code error;
        std::filesystem::create_directories(sizeFolder, error);
        std::string path = sizeFolder + "/tessmark.png";
        ok = !error &&
             cairo_surface_write_to_png(ToSurface(IconImage(size), true).get(), path.c_str()) == CAIRO_STATUS_SUCCESS &&
             ok;
    }
    return ok;
}

int Usage()
{
    fprintf(stderr, "usage: make-skin --blob OUT.bin --index OUT.inc\n       make-skin --png FOLDER\n"
                    "       make-skin --icons FOLDER\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    TextPainter text;
    if (!text.FontAvailable()) {
        fprintf(stderr, "make-skin: the font \"%s\" is not installed (Debian package fonts-arphic-uming)\n",
                kFontFamily);
        return 1;
    }
    if (args.size() == 4 && args[0] == "--blob" && args[2] == "--index") {
        std::vector<NamedImage> bitmaps = DrawBitmaps(text);
        if (!WriteBlob(bitmaps, DrawIcons(), argv[2], argv[4])) {
            fprintf(stderr, "make-skin: cannot write %s or %s\n", argv[2], argv[4]);
            return 1;
        }
        return 0;
    }
    if (args.size() == 2 && args[0] == "--png") {
        if (!WritePngs(DrawBitmaps(text), DrawIcons(), text, argv[2])) {
            fprintf(stderr, "make-skin: cannot write the PNG files into %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (args.size() == 2 && args[0] == "--icons") {
        if (!WriteThemeIcons(argv[2])) {
            fprintf(stderr, "make-skin: cannot write the theme icons into %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    return Usage();
}
