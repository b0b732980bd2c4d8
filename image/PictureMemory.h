// Allocation of the large picture planes (packed DIB, alpha, selection) in one place,
// so a reuse cache can sit behind these two functions.
#pragma once

#include "platform/Win32Types.h"

#include <cstddef>

// A block of at least `size` bytes with undefined contents, or null.
BYTE* AllocPictureBlock(size_t size);
// Frees a block from AllocPictureBlock; null is ignored.
void FreePictureBlock(BYTE* block);
// Frees the large block the calling thread keeps for reuse, if any.
void ReleaseKeptPictureBlock();
