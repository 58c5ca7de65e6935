#include "platform/key_sequence.h"

#include <cstdlib>

namespace platform {

namespace {

constexpr int Extended = 224;
constexpr int Function = 0;

// The codes of F1 ... F10 in order; F11 and F12 have extended codes.
constexpr int FunctionBase = 59;       // F1
constexpr int ShiftFunctionBase = 84;  // Shift+F1
constexpr int CtrlFunctionBase = 94;   // Ctrl+F1
constexpr int AltFunctionBase = 104;   // Alt+F1

// F11 and F12, plain, Shift, Ctrl, Alt.
constexpr int F11Codes[] = {133, 135, 137, 139};
constexpr int F12Codes[] = {134, 136, 138, 140};

// xterm's modifier parameter: 2 Shift, 3 Alt, 5 Ctrl.
int ModifierIndex(int modifier) {
  switch (modifier) {
    case 2:
      return 1;
    case 5:
      return 2;
    case 3:
      return 3;
    default:
      return 0;
  }
}

KeyPair FunctionKey(int number, int modifier) {
  const int index = ModifierIndex(modifier);
  if (number == 11) return {Extended, F11Codes[index]};
  if (number == 12) return {Extended, F12Codes[index]};
  const int bases[] = {FunctionBase, ShiftFunctionBase, CtrlFunctionBase, AltFunctionBase};
  return {Function, bases[index] + number - 1};
}

KeyPair CursorKey(char final) {
  switch (final) {
    case 'A':
      return {Extended, 72};  // Up
    case 'B':
      return {Extended, 80};  // Down
    case 'C':
      return {Extended, 77};  // Right
    case 'D':
      return {Extended, 75};  // Left
    case 'H':
      return {Extended, 71};  // Home
    case 'F':
      return {Extended, 79};  // End
    default:
      return {-1, 0};
  }
}

// "[n~" keys: editing keys and F1 ... F12.
KeyPair TildeKey(int number, int modifier) {
  switch (number) {
    case 1:
    case 7:
      return {Extended, 71};  // Home
    case 2:
      return {Extended, 82};  // Insert
    case 3:
      return {Extended, 83};  // Delete
    case 4:
    case 8:
      return {Extended, 79};  // End
    case 5:
      return {Extended, 73};  // Page Up
    case 6:
      return {Extended, 81};  // Page Down
    case 11:
    case 12:
    case 13:
    case 14:
      return FunctionKey(number - 10, modifier);
    case 15:
      return FunctionKey(5, modifier);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return FunctionKey(number - 11, modifier);
    case 23:
    case 24:
      return FunctionKey(number - 12, modifier);
    default:
      return {-1, 0};
  }
}

}  // namespace

bool EscapeSequenceComplete(const std::string& sequence) {
  if (sequence.empty()) return false;
  if (sequence[0] != '[' && sequence[0] != 'O') return true;
  if (sequence.size() < 2) return false;
  char last = sequence.back();
  return last >= 0x40 && last <= 0x7E;
}

KeyPair DecodeEscapeSequence(const std::string& sequence) {
  if (sequence.size() < 2) return {-1, 0};
  const char final = sequence.back();
  // Parameters: "n" or "n;m" between the introducer and the final byte.
  std::string parameters = sequence.substr(1, sequence.size() - 2);
  int number = std::atoi(parameters.c_str());
  int modifier = 1;
  std::string::size_type semicolon = parameters.find(';');
  if (semicolon != std::string::npos) modifier = std::atoi(parameters.c_str() + semicolon + 1);

  if (sequence[0] == 'O' || (sequence[0] == '[' && final >= 'P' && final <= 'S')) {
    if (final >= 'P' && final <= 'S') return FunctionKey(final - 'P' + 1, modifier);
    return CursorKey(final);
  }
  if (sequence[0] != '[') return {-1, 0};
  if (final == '~') return TildeKey(number, modifier);
  return CursorKey(final);
}

}  // namespace platform
