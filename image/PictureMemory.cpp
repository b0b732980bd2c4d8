// Allocation of the large picture planes; plain heap blocks for now.
#include "image/PictureMemory.h"

#include <cstdlib>

BYTE* AllocPictureBlock(size_t size)
{
    // malloc(0) may answer null; every caller treats null as failure, so ask for one byte.
    return static_cast<BYTE*>(std::malloc(size == 0 ? 1 : size));
}

void FreePictureBlock(BYTE* block)
{
    std::free(block);
}
