// The console keyboard that questions read, and the heap blocks of the
// work buffers.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace platform {

void* HeapAllocZeroed(std::size_t size);
// nullptr on failure, the block then unchanged; new bytes are zero-filled.
// The block may move.
void* HeapResize(void* block, std::size_t size);
void HeapRelease(void* block);

// --- Console keyboard ----------------------------------------------------

// Owns the console keyboard while a question waits: line editing and echo
// are off for its lifetime and restored on every way out.
class Keyboard {
 public:
  Keyboard();
  ~Keyboard();
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  // False when there is no console to read: no key will ever come.
  bool Present() const { return device_ != InvalidFile; }
  bool KeyAvailable();
  // 0..255; a function or cursor key gives 0 or 224 first, then its code.
  int ReadKey();

  // Whether standard output goes elsewhere than where the keys are read (a
  // file, a pipe), so that a question must be shown here too to be seen.
  bool ShowsQuestions() const { return screen_ != InvalidFile; }
  // Writes a question's text, made for Screen::Keys, where the keys are
  // read; nothing unless ShowsQuestions.
  void Show(const std::string& text);

 private:
  FileId device_ = InvalidFile;
  FileId screen_ = InvalidFile;  // on POSIX the terminal device_ reads
  int pendingCode_ = -1;
  unsigned long savedMode_ = 0;
};

void Sleep(unsigned milliseconds);

}  // namespace platform
