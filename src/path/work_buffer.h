// A zero-filled heap block that is released on every way out of its owner.
#pragma once

#include <cstddef>

namespace path {

class WorkBuffer {
 public:
  WorkBuffer() = default;
  ~WorkBuffer() { Release(); }
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;

  bool Allocate(std::size_t size);
  // The block may move; it stays valid when this fails.
  bool Resize(std::size_t size);
  void Release();

  char* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace path
