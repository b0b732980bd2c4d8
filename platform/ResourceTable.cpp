// The resource table: lookups by id.
#include "platform/ResourceTable.h"

const DialogTemplate* ResourceTable::FindDialog(UINT id) const
{
    auto found = m_Dialogs.find(id);
    return found == m_Dialogs.end() ? nullptr : &found->second;
}

const BitmapResource* ResourceTable::FindBitmap(UINT id) const
{
    auto found = m_Bitmaps.find(id);
    return found == m_Bitmaps.end() ? nullptr : &found->second;
}

const std::vector<IconImage>* ResourceTable::FindIcon(UINT id) const
{
    auto found = m_Icons.find(id);
    return found == m_Icons.end() ? nullptr : &found->second;
}
