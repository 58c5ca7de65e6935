// Heap blocks on Windows: the process heap, zero-filled.
#include "platform/win32/win32.h"

#include "platform/platform.h"

namespace platform {

void* HeapAllocZeroed(std::size_t size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void* HeapResize(void* block, std::size_t size) {
  return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size);
}

void HeapRelease(void* block) { HeapFree(GetProcessHeap(), 0, block); }

}  // namespace platform
