// Index of the skin blob: where each bitmap and icon image starts in the pixels make-skin drew.
#include "res/SkinBitmaps.h"

#include <algorithm>

// Defined by SkinBlob.cpp: the generated pixels as little-endian 32-bit words.
extern "C" const uint32_t tessmark_skin_pixels[];

namespace {

#define SKIN_BITMAP(id, width, height, offset) SkinBitmap{id, width, height, tessmark_skin_pixels + (offset)},
#define SKIN_ICON_IMAGE(id, width, height, offset)
const SkinBitmap kBitmaps[] = {
#include "SkinIndex.inc"
};
#undef SKIN_BITMAP
#undef SKIN_ICON_IMAGE

#define SKIN_BITMAP(id, width, height, offset)
#define SKIN_ICON_IMAGE(id, width, height, offset) SkinIconImage{id, width, tessmark_skin_pixels + (offset)},
const SkinIconImage kIconImages[] = {
#include "SkinIndex.inc"
};
#undef SKIN_BITMAP
#undef SKIN_ICON_IMAGE

}  // namespace

std::span<const SkinBitmap> SkinBitmaps()
{
    return kBitmaps;
}

const SkinBitmap* FindSkinBitmap(int id)
{
    auto found =
        std::find_if(std::begin(kBitmaps), std::end(kBitmaps), [id](const SkinBitmap& b) { return b.id == id; });
    return found == std::end(kBitmaps) ? nullptr : &*found;
}

std::span<const SkinIconImage> SkinIconImages()
{
    return kIconImages;
}
