// Windows bitmap decoder and encoder.
#include "image/formats/PictureBMP.h"

// FIXME: the Windows bitmap codec is not written yet; detection passes over it.
bool CPictureBMP::Decode(CStream*)
{
    return Fail("Windows bitmap codec not available");
}

bool CPictureBMP::Encode(CStream*)
{
    return Fail("Windows bitmap codec not available");
}
