// One line of text for callers that draw with cairo themselves (the metafile player), laid out
// by the same font engine as window text, so faces such as "宋体" resolve alike.
#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

typedef struct _PangoLayout PangoLayout;

class CairoText {
public:
    // Lays out `utf8` (invalid bytes become U+FFFD) for the cairo context's current
    // transformation and font options; `pixels` is the em size in user units.
    CairoText(cairo_t* cairo, std::string_view face, double pixels, int weight, bool italic, const std::string& utf8);
    ~CairoText();
    CairoText(const CairoText&) = delete;
    CairoText& operator=(const CairoText&) = delete;

    // In user units: the advance width, and the line's extent above and below the baseline.
    double Advance() const { return m_Advance; }
    double Ascent() const { return m_Ascent; }
    double Descent() const { return m_Descent; }

    // Fills the glyphs in the current source, the baseline starting at the current point.
    void Show();

private:
    cairo_t* m_Cairo;
    PangoLayout* m_Layout = nullptr;
    double m_Advance = 0;
    double m_Ascent = 0;
    double m_Descent = 0;
};
