// Heap blocks on POSIX: the C allocator, with the size and capacity kept
// beside each block.
#include "platform/common/heap_block.h"
#include "platform/platform.h"

namespace platform {

void* HeapAllocZeroed(std::size_t size) { return AllocZeroedBlock(size); }
void* HeapResize(void* block, std::size_t size) { return ResizeBlock(block, size); }
void HeapRelease(void* block) { ReleaseBlock(block); }

}  // namespace platform
