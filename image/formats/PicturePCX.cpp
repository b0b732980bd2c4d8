// PCX decoder and encoder.
#include "image/formats/PicturePCX.h"

// FIXME: the PCX codec is not written yet; detection passes over it.
bool CPicturePCX::Decode(CStream*)
{
    return Fail("PCX codec not available");
}

bool CPicturePCX::Encode(CStream*)
{
    return Fail("PCX codec not available");
}
