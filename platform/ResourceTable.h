// The resources of the program by numeric id: dialog templates, bitmaps and icons.
#pragma once

#include "platform/DialogTemplate.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A bitmap resource: top-down 0x00RRGGBB pixels.
struct BitmapResource {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// An icon resource: one or more square images, 0xAARRGGBB top-down pixels.
struct IconImage {
    int size = 0;
    std::vector<uint32_t> pixels;
};

class ResourceTable {
public:
    void AddDialog(UINT id, DialogTemplate dialog) { m_Dialogs[id] = std::move(dialog); }
    void AddBitmap(UINT id, BitmapResource bitmap) { m_Bitmaps[id] = std::move(bitmap); }
    void AddIcon(UINT id, std::vector<IconImage> images) { m_Icons[id] = std::move(images); }

    const DialogTemplate* FindDialog(UINT id) const;
    const BitmapResource* FindBitmap(UINT id) const;
    const std::vector<IconImage>* FindIcon(UINT id) const;

private:
    std::map<UINT, DialogTemplate> m_Dialogs;
    std::map<UINT, BitmapResource> m_Bitmaps;
    std::map<UINT, std::vector<IconImage>> m_Icons;
};
