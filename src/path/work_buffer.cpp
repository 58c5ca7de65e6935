#include "path/work_buffer.h"

#include "platform/platform.h"

namespace path {

namespace {
// Zero-byte requests are answered differently by different heaps; a block
// always has at least one byte.
std::size_t AtLeastOne(std::size_t size) { return size == 0 ? 1 : size; }
}  // namespace

bool WorkBuffer::Allocate(std::size_t size) {
  Release();
  data_ = static_cast<char*>(platform::HeapAllocZeroed(AtLeastOne(size)));
  size_ = data_ != nullptr ? size : 0;
  return data_ != nullptr;
}

bool WorkBuffer::Resize(std::size_t size) {
  if (data_ == nullptr) return Allocate(size);
  void* block = platform::HeapResize(data_, AtLeastOne(size));
  if (block == nullptr) return false;
  data_ = static_cast<char*>(block);
  size_ = size;
  return true;
}

void WorkBuffer::Release() {
  if (data_ != nullptr) platform::HeapRelease(data_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace path
