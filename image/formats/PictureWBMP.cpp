// wireless bitmap decoder and encoder.
#include "image/formats/PictureWBMP.h"

// FIXME: the wireless bitmap codec is not written yet; detection passes over it.
bool CPictureWBMP::Decode(CStream*)
{
    return Fail("wireless bitmap codec not available");
}

bool CPictureWBMP::Encode(CStream*)
{
    return Fail("wireless bitmap codec not available");
}
