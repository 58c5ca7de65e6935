// Terminal escape sequences of cursor and function keys, turned into the
// two-code pairs of the console convention (224 or 0, then the key's code).
#pragma once

#include <string>

namespace platform {

struct KeyPair {
  int prefix;  // 0 or 224; -1 when the sequence names no key we know
  int code;
};

// `sequence` is what followed the Esc byte, such as "[3~" or "OP".
KeyPair DecodeEscapeSequence(const std::string& sequence);

// True once `sequence` (after Esc) is a whole sequence: a CSI or SS3
// sequence up to and including its final byte.
bool EscapeSequenceComplete(const std::string& sequence);

}  // namespace platform
