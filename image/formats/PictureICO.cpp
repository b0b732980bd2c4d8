// Windows icon decoder and encoder.
#include "image/formats/PictureICO.h"

// FIXME: the Windows icon codec is not written yet; detection passes over it.
bool CPictureICO::Decode(CStream*)
{
    return Fail("Windows icon codec not available");
}

bool CPictureICO::Encode(CStream*)
{
    return Fail("Windows icon codec not available");
}
