// CairoText: a Pango layout on the shared font engine, measured and shown on a cairo context.
#include "platform/gdi/CairoText.h"

#include "platform/gdi/TextEngine.h"

#include <pango/pangocairo.h>

using namespace gdi;

CairoText::CairoText(cairo_t* cairo, std::string_view face, double pixels, int weight, bool italic,
                     const std::string& utf8)
    : m_Cairo(cairo)
{
    TextEngine& engine = SharedTextEngine();
    std::lock_guard<std::mutex> lock(engine.mutex);
    PangoContext* context = pango_font_map_create_context(engine.fontMap);
    pango_cairo_update_context(cairo, context);
    m_Layout = pango_layout_new(context);
    g_object_unref(context);
    PangoFontDescription* description = DescribeFont(face, pixels, weight, italic);
    pango_layout_set_font_description(m_Layout, description);
    pango_font_description_free(description);
    pango_layout_set_single_paragraph_mode(m_Layout, TRUE);
    gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
    pango_layout_set_text(m_Layout, valid, -1);
    g_free(valid);
    PangoRectangle logical;
    pango_layout_get_extents(m_Layout, nullptr, &logical);
    double baseline = pango_layout_get_baseline(m_Layout);
    m_Advance = logical.width / static_cast<double>(PANGO_SCALE);
    m_Ascent = (baseline - logical.y) / PANGO_SCALE;
    m_Descent = (logical.y + logical.height - baseline) / PANGO_SCALE;
}

CairoText::~CairoText()
{
    TextEngine& engine = SharedTextEngine();
    std::lock_guard<std::mutex> lock(engine.mutex);
    g_object_unref(m_Layout);
}

void CairoText::Show()
{
    TextEngine& engine = SharedTextEngine();
    std::lock_guard<std::mutex> lock(engine.mutex);
    PangoLayoutLine* line = pango_layout_get_line_readonly(m_Layout, 0);
    if (line)
        pango_cairo_show_layout_line(m_Cairo, line);
}
