// The console convention's codes for keys that give no plain character (a
// prefix, 0 or 224, then the key's own code), as one table that both
// platforms' keyboards read, and the decoder that turns a terminal's byte
// stream into those codes.
#pragma once

#include <deque>
#include <string>

namespace platform {

struct KeyPair {
  int prefix;  // 0 or 224; -1 when no key of the table is meant
  int code;
};

enum KeyModifier { ModifierNone, ModifierShift, ModifierCtrl, ModifierAlt };

// A function or cursor key by its console scan code (F1..F10 59..68, F11 87,
// F12 88, Home 71, Up 72, Page Up 73, Left 75, Right 77, End 79, Down 80,
// Page Down 81, Insert 82, Delete 83) with one modifier.
KeyPair ConsoleKey(int scanCode, KeyModifier modifier);

// Alt with a letter (either case) or a digit: 0, then the letter's scan code
// or the digit's code (Alt+Y is 0 then 21, Alt+1 is 0 then 120). -1 prefix
// for any other character.
KeyPair AltCharacterKey(char character);

// A key-down event of the Windows console: its virtual key, the
// character it types in the console's code page (0 for none), the state.
struct ConsoleKeyEvent {
  int virtualKey = 0;
  unsigned char character = 0;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool enhanced = false;  // a gray key, not the keypad's copy
};

// The codes the console convention gives for the event: 1 (a character),
// 2 (prefix and code), or 0 for a key without a code.
int ConsoleEventCodes(const ConsoleKeyEvent& event, int codes[2]);

// Decodes the bytes read from a terminal, in any slices: a known CSI or SS3
// sequence gives its pair, an unknown one gives nothing, Esc and a letter or
// digit is that Alt key, and any other byte is its own code.
class KeyDecoder {
 public:
  void Feed(unsigned char byte);
  // No byte came in time: a lone Esc is Esc, and an unfinished sequence
  // goes without a code.
  void Flush();
  // True while a sequence is begun but not finished.
  bool Pending() const { return state_ != Ground; }
  bool HasCode() const { return !codes_.empty(); }
  int NextCode();

 private:
  enum State { Ground, Escape, Sequence };
  void Finish();
  State state_ = Ground;
  std::string sequence_;  // after Esc: the introducer and what followed
  std::deque<int> codes_;
};

}  // namespace platform
