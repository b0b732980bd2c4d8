// PNG decoder and encoder.
#include "image/formats/PicturePNG.h"

// FIXME: the PNG codec is not written yet; detection passes over it.
bool CPicturePNG::Decode(CStream*)
{
    return Fail("PNG codec not available");
}

bool CPicturePNG::Encode(CStream*)
{
    return Fail("PNG codec not available");
}
