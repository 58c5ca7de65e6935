#include "platform/common/heap_block.h"

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

struct BlockHeader {
  std::size_t capacity;
  std::size_t size;
  std::size_t padding[2];  // keeps the block 16-byte aligned
};

BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

}  // namespace

void* AllocZeroedBlock(std::size_t size) {
  void* raw = std::calloc(1, sizeof(BlockHeader) + size);
  if (raw == nullptr) return nullptr;
  BlockHeader* header = static_cast<BlockHeader*>(raw);
  header->capacity = size;
  header->size = size;
  return header + 1;
}

void* ResizeBlock(void* block, std::size_t size) {
  BlockHeader* header = HeaderOf(block);
  const std::size_t oldSize = header->size;
  if (size <= header->capacity) {
    if (size > oldSize) std::memset(static_cast<char*>(block) + oldSize, 0, size - oldSize);
    header->size = size;
    return block;
  }
  void* moved = AllocZeroedBlock(size);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, block, size < oldSize ? size : oldSize);
  ReleaseBlock(block);
  return moved;
}

void ReleaseBlock(void* block) { std::free(HeaderOf(block)); }

}  // namespace platform
