// JPEG 2000 family, PGX, PNM and Sun raster (ids 11 to 15).
#include "image/formats/PictureJAS.h"

// These formats have no codec library on this platform: they keep their ids and their
// place at the end of the detection order, and refuse there.
bool CPictureJAS::Decode(CStream*, DWORD)
{
    return Fail("JasPer formats not supported");
}

bool CPictureJAS::Encode(CStream*, DWORD)
{
    return Fail("JasPer formats not supported");
}
