// The shared font engine: one Pango font map over the current fontconfig configuration.
#include "platform/gdi/TextEngine.h"

#include "platform/gdi/Gdi.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <string>

namespace gdi {

TextEngine::TextEngine()
{
    LoadFontAliases();
    fontMap = pango_cairo_font_map_new();
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), FcConfigGetCurrent());
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap), kDisplayDpi);
    context = pango_font_map_create_context(fontMap);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_language(context, pango_language_from_string("zh-cn"));
}

TextEngine::~TextEngine()
{
    g_object_unref(context);
    g_object_unref(fontMap);
}

TextEngine& SharedTextEngine()
{
    static TextEngine engine;
    return engine;
}

PangoFontDescription* DescribeFont(std::string_view face, double pixels, int weight, bool italic)
{
    PangoFontDescription* description = pango_font_description_new();
    std::string family = face.empty() ? std::string("宋体") : std::string(face);
    pango_font_description_set_family(description, family.c_str());
    pango_font_description_set_absolute_size(description, pixels * PANGO_SCALE);
    int clamped = weight == FW_DONTCARE ? FW_NORMAL : std::clamp(weight, 100, 1000);
    pango_font_description_set_weight(description, static_cast<PangoWeight>(clamped));
    pango_font_description_set_style(description, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return description;
}

}  // namespace gdi
