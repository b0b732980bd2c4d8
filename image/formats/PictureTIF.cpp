// TIFF decoder and encoder.
#include "image/formats/PictureTIF.h"

// FIXME: the TIFF codec is not written yet; detection passes over it.
bool CPictureTIF::Decode(CStream*)
{
    return Fail("TIFF codec not available");
}

bool CPictureTIF::Encode(CStream*)
{
    return Fail("TIFF codec not available");
}
