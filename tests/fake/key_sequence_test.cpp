#include <gtest/gtest.h>

#include "platform/key_sequence.h"

namespace {

TEST(KeySequence, DecodesToConsoleKeyPairs) {
  const struct { const char* sequence; int prefix, code; } rows[] = {
      {"[3~", 224, 83}, {"[2~", 224, 82}, {"[5~", 224, 73}, {"[6~", 224, 81}, {"[A", 224, 72},
      {"[B", 224, 80}, {"[C", 224, 77}, {"[D", 224, 75}, {"[H", 224, 71}, {"OF", 224, 79},
      {"OP", 0, 59}, {"OS", 0, 62}, {"[15~", 0, 63}, {"[18~", 0, 65}, {"[21~", 0, 68},
      {"[17;2~", 0, 89}, {"[1;5P", 0, 94}, {"[23~", 224, 133}, {"[24;2~", 224, 136},
      {"[99~", -1, 0}, {"[Z", -1, 0}, {"OZ", -1, 0}, {"", -1, 0}, {"[", -1, 0}, {"Xy", -1, 0}};
  for (const auto& row : rows) {
    platform::KeyPair key = platform::DecodeEscapeSequence(row.sequence);
    EXPECT_EQ(key.prefix, row.prefix) << row.sequence;
    if (row.prefix != -1) EXPECT_EQ(key.code, row.code) << row.sequence;
  }
  for (const char* partial : {"", "[", "[1", "[17;", "[17;2", "O"}) {
    EXPECT_FALSE(platform::EscapeSequenceComplete(partial)) << partial;
  }
  for (const char* whole : {"[17;2~", "[A", "OP", "x"}) {
    EXPECT_TRUE(platform::EscapeSequenceComplete(whole)) << whole;
  }
}

}  // namespace
