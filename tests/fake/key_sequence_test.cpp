#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/key_sequence.h"

namespace {

// Feeds the reads (the terminal's slices of the stream) one after another
// with no pause between them, then the pause that ends a lone Esc.
std::vector<int> Decode(const std::vector<std::string>& reads) {
  platform::KeyDecoder decoder;
  std::vector<int> codes;
  for (const std::string& read : reads) {
    for (char byte : read) decoder.Feed(static_cast<unsigned char>(byte));
    while (decoder.HasCode()) codes.push_back(decoder.NextCode());
  }
  decoder.Flush();
  while (decoder.HasCode()) codes.push_back(decoder.NextCode());
  return codes;
}

TEST(KeySequence, TerminalBytesToConsoleCodes) {
  const struct {
    std::vector<std::string> reads;
    std::vector<int> codes;
  } rows[] = {
      {{"yA"}, {'y', 'A'}},
      {{"\x1b[3~"}, {224, 83}},  // Delete: the code of S follows the prefix
      {{"\x1b[2~", "\x1b[5~", "\x1b[6~"}, {224, 82, 224, 73, 224, 81}},
      {{"\x1b[A\x1b[B\x1b[C\x1b[D"}, {224, 72, 224, 80, 224, 77, 224, 75}},
      {{"\x1b[H\x1bOF\x1b[1~\x1b[4~"}, {224, 71, 224, 79, 224, 71, 224, 79}},
      {{"\x1bOP\x1bOS\x1b[15~\x1b[18~\x1b[21~"}, {0, 59, 0, 62, 0, 63, 0, 65, 0, 68}},
      {{"\x1b[17;2~\x1b[1;5P\x1bO2P"}, {0, 89, 0, 94, 0, 84}},  // Shift+F6, Ctrl+F1, Shift+F1
      {{"\x1b[23~\x1b[24;2~\x1b[[A\x1b[[E"}, {224, 133, 224, 136, 0, 59, 0, 63}},
      {{"\x1b[1;5A\x1b[1;5D\x1b[1;5H\x1b[3;5~\x1b[1;3A\x1b[1;2A"},
       {224, 141, 224, 115, 224, 119, 224, 147, 0, 152, 224, 72}},
      // Ctrl+Alt: the console's Alt column, as for a console event below.
      {{"\x1b[1;7A\x1b[3;7~\x1b[1;8P"}, {0, 152, 0, 163, 0, 104}},
      {{"\x1b\x1b[A"}, {27, 224, 72}},  // Esc, then Up typed at once
      {{"\x1b\x1b[18~", "\x1b\x1b[3~"}, {27, 0, 65, 27, 224, 83}},
      {{"\x1by", "\x1bY\x1b" "1\x1b" "0"}, {0, 21, 0, 21, 0, 120, 0, 129}},  // Alt+Y, Alt+1
      {{"\x1b"}, {27}},
      {{"\x1b", " "}, {27, ' '}},
      {{"\x1bO"}, {0, 24}},  // Alt+O typed alone
      {{"\x1b", "[", "3", "~"}, {224, 83}},  // split reads
      {{"\x1b[1", ";5", "A", "y"}, {224, 141, 'y'}},
      {{"\x1b[99~a\x1b[Zb\x1bOZc\x1b[?1;2cd\x1b[200~e"}, {'a', 'b', 'c', 'd', 'e'}},  // unknown
      {{"\x1b[" + std::string(100, '1') + "~s"}, {'s'}},
      {{"\x1b[", "\ry"}, {'\r', 'y'}},  // a broken sequence: the rest counts
      {{"\x1b["}, {}},
  };
  for (const auto& row : rows) {
    std::string shown;
    for (const std::string& read : row.reads) shown += "|" + read;
    EXPECT_EQ(Decode(row.reads), row.codes) << shown;
  }
}

TEST(KeySequence, WindowsConsoleEventsToCodes) {
  using platform::ConsoleKeyEvent;
  auto event = [](int vk, unsigned char character, const char* state) {
    ConsoleKeyEvent e;
    e.virtualKey = vk;
    e.character = character;
    e.shift = std::string(state).find('s') != std::string::npos;
    e.ctrl = std::string(state).find('c') != std::string::npos;
    e.alt = std::string(state).find('a') != std::string::npos;
    e.enhanced = std::string(state).find('e') != std::string::npos;
    return e;
  };
  const struct {
    ConsoleKeyEvent event;
    std::vector<int> codes;
  } rows[] = {
      {event('Y', 'y', ""), {'y'}},
      {event('Y', 'y', "a"), {0, 21}},  // Alt+Y answers nothing
      {event('Y', 'Y', "as"), {0, 21}},
      {event('1', '1', "a"), {0, 120}},
      {event('Q', '@', "ca"), {'@'}},  // AltGr types its character
      {event('Y', 25, "c"), {25}},
      {event(0x2E, 0, "e"), {224, 83}},  // Delete
      {event(0x2E, 0, ""), {0, 83}},     // the keypad's
      {event(0x2E, 0, "ce"), {224, 147}},
      {event(0x26, 0, "ce"), {224, 141}},  // Ctrl+Up
      {event(0x25, 0, "ce"), {224, 115}},
      {event(0x27, 0, "ce"), {224, 116}},
      {event(0x28, 0, "ce"), {224, 145}},
      {event(0x24, 0, "ce"), {224, 119}},
      {event(0x23, 0, "ce"), {224, 117}},
      {event(0x26, 0, "ae"), {0, 152}},
      {event(0x26, 0, "cae"), {0, 152}},  // Ctrl+Alt+Up
      {event(0x76, 0, ""), {0, 65}},  // F7: 0 then the code of A
      {event(0x76, 0, "a"), {0, 110}},  // Alt+F7: the code of n, which answers N
      {event(0x75, 0, "s"), {0, 89}},
      {event(0x7A, 0, "c"), {224, 137}},
      {event(0x10, 0, "s"), {}},  // Shift alone
  };
  for (const auto& row : rows) {
    int codes[2] = {-1, -1};
    int count = platform::ConsoleEventCodes(row.event, codes);
    EXPECT_EQ(std::vector<int>(codes, codes + count), row.codes) << row.event.virtualKey;
  }
}

}  // namespace
