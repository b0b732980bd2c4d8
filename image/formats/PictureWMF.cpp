// Windows metafile and enhanced metafile decoder (played into a bitmap).
#include "image/formats/PictureWMF.h"

// FIXME: the metafile player is not written yet; detection passes over it.
bool CPictureWMF::Decode(CStream*, long, long)
{
    return Fail("metafile codec not available");
}

bool CPictureWMF::Encode(CStream* hFile)
{
    if (hFile)
        Fail("Save WMF not supported");
    return false;
}
