// The font engine behind all text: the current fontconfig configuration with the SimSun
// aliases, one Pango font map over it, and the lock every use of them holds.
#pragma once

#include <pango/pango.h>

#include <mutex>
#include <string_view>

namespace gdi {

struct TextEngine {
    std::mutex mutex;
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;  // for the DCs: 96 DPI, no antialiasing, Chinese first

    TextEngine();
    ~TextEngine();
    TextEngine(const TextEngine&) = delete;
    TextEngine& operator=(const TextEngine&) = delete;
};

// The process' one engine, made on first use.
TextEngine& SharedTextEngine();

// A font description of `face` ("宋体" when empty) with an em size of `pixels`; the caller
// frees it with pango_font_description_free.
PangoFontDescription* DescribeFont(std::string_view face, double pixels, int weight, bool italic);

}  // namespace gdi
