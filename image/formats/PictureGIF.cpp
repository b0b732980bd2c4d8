// GIF decoder and encoder.
#include "image/formats/PictureGIF.h"

// FIXME: the GIF codec is not written yet; detection passes over it.
bool CPictureGIF::Decode(CStream*)
{
    return Fail("GIF codec not available");
}

bool CPictureGIF::Encode(CStream*)
{
    return Fail("GIF codec not available");
}
