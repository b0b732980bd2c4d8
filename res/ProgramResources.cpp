// Fills the window system's resource table from the compiled-in templates, bitmaps and icon.
#include "res/ProgramResources.h"

#include "platform/ResourceTable.h"
#include "res/DialogTemplates.h"
#include "res/SkinBitmaps.h"

#include <map>

void AddProgramResources(ResourceTable& table)
{
    for (ProgramDialog& entry : ProgramDialogTemplates())
        table.AddDialog(static_cast<UINT>(entry.id), std::move(entry.dialog));
    for (const SkinBitmap& bitmap : SkinBitmaps()) {
        BitmapResource resource;
        resource.width = bitmap.width;
        resource.height = bitmap.height;
        resource.pixels.assign(bitmap.pixels, bitmap.pixels + static_cast<size_t>(bitmap.width) * bitmap.height);
        table.AddBitmap(static_cast<UINT>(bitmap.id), std::move(resource));
    }
    std::map<int, std::vector<IconImage>> icons;
    for (const SkinIconImage& image : SkinIconImages()) {
        IconImage icon;
        icon.size = image.size;
        icon.pixels.assign(image.pixels, image.pixels + static_cast<size_t>(image.size) * image.size);
        icons[image.id].push_back(std::move(icon));
    }
    for (auto& [id, images] : icons)
        table.AddIcon(static_cast<UINT>(id), std::move(images));
}
