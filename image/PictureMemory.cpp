// Allocation of the large picture planes. The last large block freed on a thread is kept
// for the next large allocation on that thread: a batch allocates blocks of nearly the same
// size for every file, and touching fresh pages costs more than decoding on some machines.
#include "image/PictureMemory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Every block starts with its capacity, in a header that keeps malloc's alignment.
constexpr size_t kHeaderBytes = 16;
// Blocks from this size on are rounded up to whole granules and may be kept for reuse.
constexpr size_t kLargeBlock = size_t{4} << 20;
constexpr size_t kGranule = size_t{4} << 20;
// A kept block is reused only for requests of at least this fraction of its capacity
// (in quarters), so a small picture never holds on to a huge block.
constexpr size_t kReuseQuarters = 3;

size_t CapacityOf(BYTE* block)
{
    size_t capacity;
    std::memcpy(&capacity, block - kHeaderBytes, sizeof capacity);
    return capacity;
}

void Release(BYTE* block)
{
    if (block != nullptr)
        std::free(block - kHeaderBytes);
}

// One kept block per thread, freed when the thread ends.
struct KeptBlock {
    BYTE* block = nullptr;
    ~KeptBlock() { Release(block); }
};
thread_local KeptBlock t_Kept;

}  // namespace

BYTE* AllocPictureBlock(size_t size)
{
    // malloc(0) may answer null; every caller treats null as failure, so ask for one byte.
    size_t capacity = size == 0 ? 1 : size;
    if (capacity >= kLargeBlock) {
        if (capacity > SIZE_MAX - kGranule - kHeaderBytes)
            return nullptr;
        capacity = (capacity + kGranule - 1) / kGranule * kGranule;
        if (BYTE* kept = t_Kept.block) {
            size_t keptCapacity = CapacityOf(kept);
            t_Kept.block = nullptr;
            if (keptCapacity >= capacity && capacity * 4 >= keptCapacity * kReuseQuarters)
                return kept;
            // A kept block that does not fit is freed before the new one is allocated, so the
            // two are never held at once.
            Release(kept);
        }
    }
    if (capacity > SIZE_MAX - kHeaderBytes)
        return nullptr;
    BYTE* raw = static_cast<BYTE*>(std::malloc(capacity + kHeaderBytes));
    if (raw == nullptr)
        return nullptr;
    std::memcpy(raw, &capacity, sizeof capacity);
    return raw + kHeaderBytes;
}

void FreePictureBlock(BYTE* block)
{
    if (block == nullptr)
        return;
    if (CapacityOf(block) >= kLargeBlock) {
        // The most recently freed large block is the one most likely to fit the next request.
        Release(t_Kept.block);
        t_Kept.block = block;
        return;
    }
    Release(block);
}

void ReleaseKeptPictureBlock()
{
    Release(t_Kept.block);
    t_Kept.block = nullptr;
}
