// Shared by the fuzz targets. Texts sit in heap blocks of exactly their own
// size, so that a read past the terminator runs off the block.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "text/code_page.h"

// On a violated property: say which, and stop as a crash.
#define FUZZ_CHECK(c) \
  ((c) ? void() : (std::fprintf(stderr, "check failed, line %d: %s\n", __LINE__, #c), __builtin_trap()))

// Odd first byte: code page 932; even: a single-byte one. The input moves past it.
inline unsigned TakeSelector(const std::uint8_t*& data, std::size_t& size) {
  unsigned selector = size > 0 ? (--size, *data++) : 0u;
  text::SetCodePage((selector & 1) != 0 ? text::CodePageJapanese : text::CodePageSingleByte);
  return selector;
}

// The input cut at its zero bytes, padded with empty fields to `count`.
inline std::vector<std::string> Fields(const std::uint8_t* data, std::size_t size, std::size_t count) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) fields.emplace_back(); else fields.back() += static_cast<char>(data[i]);
  }
  fields.resize(std::max(fields.size(), count));
  return fields;
}

inline std::unique_ptr<char[]> HeapText(const std::string& text) {
  std::unique_ptr<char[]> block(new char[text.size() + 1]);
  std::memcpy(block.get(), text.c_str(), text.size() + 1);
  return block;
}
