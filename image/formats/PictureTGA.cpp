// Targa decoder and encoder.
#include "image/formats/PictureTGA.h"

// FIXME: the Targa codec is not written yet; detection passes over it.
bool CPictureTGA::Decode(CStream*)
{
    return Fail("Targa codec not available");
}

bool CPictureTGA::Encode(CStream*)
{
    return Fail("Targa codec not available");
}
