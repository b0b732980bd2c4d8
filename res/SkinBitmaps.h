// The skin bitmaps and the icon images compiled into the program, looked up by resource id.
#pragma once

#include <cstdint>
#include <span>

// A bitmap resource: width x height top-down pixels, 0x00RRGGBB. Magenta 0xFF00FF marks the
// pixels the skin treats as see-through.
struct SkinBitmap {
    int id = 0;
    int width = 0;
    int height = 0;
    const uint32_t* pixels = nullptr;
};

// One image of an icon resource: size x size top-down pixels, 0xAARRGGBB with straight alpha.
struct SkinIconImage {
    int id = 0;
    int size = 0;
    const uint32_t* pixels = nullptr;
};

std::span<const SkinBitmap> SkinBitmaps();
const SkinBitmap* FindSkinBitmap(int id);
// The images of every icon, largest first per icon.
std::span<const SkinIconImage> SkinIconImages();
