// Heap blocks that know their size and capacity, for platforms whose
// allocator does not: a resize within the capacity stays in place, and
// every byte a block gains is zero, as with Windows' HEAP_ZERO_MEMORY.
#pragma once

#include <cstddef>

namespace platform {

void* AllocZeroedBlock(std::size_t size);
// nullptr on failure, the block then unchanged.
void* ResizeBlock(void* block, std::size_t size);
void ReleaseBlock(void* block);

}  // namespace platform
