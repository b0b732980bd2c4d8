// JPEG decoder and encoder.
#include "image/formats/PictureJPG.h"

// FIXME: the JPEG codec is not written yet; detection passes over it.
bool CPictureJPG::Decode(CStream*)
{
    return Fail("JPEG codec not available");
}

bool CPictureJPG::Encode(CStream*)
{
    return Fail("JPEG codec not available");
}
