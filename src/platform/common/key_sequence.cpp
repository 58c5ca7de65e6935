#include "platform/common/key_sequence.h"

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr int Function = 0;

// The console's codes for each key: plain, with Shift, Ctrl and Alt.
struct KeyRow {
  int scanCode;
  KeyPair codes[4];
};

constexpr KeyRow KeyTable[] = {
    {59, {{0, 59}, {0, 84}, {0, 94}, {0, 104}}},  // F1
    {60, {{0, 60}, {0, 85}, {0, 95}, {0, 105}}},
    {61, {{0, 61}, {0, 86}, {0, 96}, {0, 106}}},
    {62, {{0, 62}, {0, 87}, {0, 97}, {0, 107}}},
    {63, {{0, 63}, {0, 88}, {0, 98}, {0, 108}}},
    {64, {{0, 64}, {0, 89}, {0, 99}, {0, 109}}},
    {65, {{0, 65}, {0, 90}, {0, 100}, {0, 110}}},
    {66, {{0, 66}, {0, 91}, {0, 101}, {0, 111}}},
    {67, {{0, 67}, {0, 92}, {0, 102}, {0, 112}}},
    {68, {{0, 68}, {0, 93}, {0, 103}, {0, 113}}},            // F10
    {87, {{224, 133}, {224, 135}, {224, 137}, {224, 139}}},  // F11
    {88, {{224, 134}, {224, 136}, {224, 138}, {224, 140}}},  // F12
    {71, {{224, 71}, {224, 71}, {224, 119}, {0, 151}}},      // Home
    {72, {{224, 72}, {224, 72}, {224, 141}, {0, 152}}},      // Up
    {73, {{224, 73}, {224, 73}, {224, 134}, {0, 153}}},      // Page Up
    {75, {{224, 75}, {224, 75}, {224, 115}, {0, 155}}},      // Left
    {77, {{224, 77}, {224, 77}, {224, 116}, {0, 157}}},      // Right
    {79, {{224, 79}, {224, 79}, {224, 117}, {0, 159}}},      // End
    {80, {{224, 80}, {224, 80}, {224, 145}, {0, 160}}},      // Down
    {81, {{224, 81}, {224, 81}, {224, 118}, {0, 161}}},      // Page Down
    {82, {{224, 82}, {224, 82}, {224, 146}, {0, 162}}},      // Insert
    {83, {{224, 83}, {224, 83}, {224, 147}, {0, 163}}},      // Delete
};

constexpr int F1 = 59;
constexpr int F6 = 64;
constexpr int F11 = 87;
constexpr int F12 = 88;
constexpr int Home = 71;
constexpr int End = 79;

// Scan codes of the letter keys a to z.
constexpr int LetterScanCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                     49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
constexpr int AltDigitBase = 120;  // Alt+1; Alt+0 comes after Alt+9

constexpr std::size_t LongestSequence = 32;
constexpr char Overlong = '#';  // marks a sequence too long to be a key

// xterm's modifier parameter is 1 plus Shift 1, Alt 2, Ctrl 4; the console
// gives one column, Alt before Ctrl before Shift.
KeyModifier ModifierOf(int parameter) {
  const int bits = parameter - 1;
  if (bits <= 0) return ModifierNone;
  if ((bits & 2) != 0) return ModifierAlt;
  if ((bits & 4) != 0) return ModifierCtrl;
  if ((bits & 1) != 0) return ModifierShift;
  return ModifierNone;
}

int CursorScanCode(char final) {
  switch (final) {
    case 'A':
      return 72;
    case 'B':
      return 80;
    case 'C':
      return 77;
    case 'D':
      return 75;
    case 'H':
      return Home;
    case 'F':
      return End;
    default:
      return -1;
  }
}

// "[n~" keys: editing keys and F1 ... F12.
int TildeScanCode(int number) {
  switch (number) {
    case 1:
    case 7:
      return Home;
    case 2:
      return 82;
    case 3:
      return 83;
    case 4:
    case 8:
      return End;
    case 5:
      return 73;
    case 6:
      return 81;
    case 23:
      return F11;
    case 24:
      return F12;
    default:
      if (number >= 11 && number <= 15) return F1 + number - 11;
      if (number >= 17 && number <= 21) return F6 + number - 17;
      return -1;
  }
}

// A whole CSI ("[...") or SS3 ("O...") sequence, the Esc before it left off.
KeyPair DecodeSequence(const std::string& sequence) {
  const KeyPair none = {-1, 0};
  if (sequence.size() < 2 || sequence[0] == Overlong) return none;
  const char final = sequence.back();
  if (sequence[1] == '[') {  // the Linux console's F1 ... F5: "[[A" ... "[[E"
    if (sequence.size() != 3 || final < 'A' || final > 'E') return none;
    return ConsoleKey(F1 + (final - 'A'), ModifierNone);
  }
  // Parameters: "n" or "n;m" between the introducer and the final byte.
  const std::string parameters = sequence.substr(1, sequence.size() - 2);
  if (parameters.find_first_not_of("0123456789;") != std::string::npos) return none;
  int number = std::atoi(parameters.c_str());
  int modifier = 1;
  const std::string::size_type semicolon = parameters.find(';');
  if (semicolon != std::string::npos) {
    modifier = std::atoi(parameters.c_str() + semicolon + 1);
  } else if (sequence[0] == 'O' && number > 0) {
    modifier = number;  // SS3 with one parameter: the modifier ("O2P")
  }
  int scanCode = -1;
  if (final >= 'P' && final <= 'S') {
    scanCode = F1 + (final - 'P');
  } else if (final == '~' && sequence[0] == '[') {
    scanCode = TildeScanCode(number);
  } else {
    scanCode = CursorScanCode(final);
  }
  if (scanCode < 0) return none;
  return ConsoleKey(scanCode, ModifierOf(modifier));
}

}  // namespace

KeyPair ConsoleKey(int scanCode, KeyModifier modifier) {
  for (const KeyRow& row : KeyTable) {
    if (row.scanCode == scanCode) return row.codes[modifier];
  }
  return {-1, 0};
}

KeyPair AltCharacterKey(char character) {
  if (character >= 'a' && character <= 'z') return {Function, LetterScanCodes[character - 'a']};
  if (character >= 'A' && character <= 'Z') return {Function, LetterScanCodes[character - 'A']};
  if (character >= '1' && character <= '9') return {Function, AltDigitBase + (character - '1')};
  if (character == '0') return {Function, AltDigitBase + 9};
  return {-1, 0};
}

int ConsoleEventCodes(const ConsoleKeyEvent& event, int codes[2]) {
  constexpr int VkPrior = 0x21;  // Page Up; Page Down, End, Home and the
  constexpr int VkDown = 0x28;   // arrows follow up to Down
  constexpr int VkInsert = 0x2D;
  constexpr int VkDelete = 0x2E;
  constexpr int VkF1 = 0x70;
  constexpr int VkF10 = 0x79;
  constexpr int VkF11 = 0x7A;
  constexpr int VkF12 = 0x7B;
  const int vk = event.virtualKey;
  KeyPair pair = {-1, 0};
  // Alt with a letter or digit is a key of its own; AltGr (Ctrl+Alt) still
  // types the characters of its layout.
  if (event.alt && !event.ctrl && ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))) {
    pair = AltCharacterKey(static_cast<char>(vk));
  } else if (event.character != 0) {
    codes[0] = event.character;
    return 1;
  } else {
    const KeyModifier modifier = event.alt     ? ModifierAlt
                                 : event.ctrl  ? ModifierCtrl
                                 : event.shift ? ModifierShift
                                               : ModifierNone;
    int scanCode = -1;
    if (vk >= VkF1 && vk <= VkF10) scanCode = F1 + (vk - VkF1);
    if (vk == VkF11) scanCode = F11;
    if (vk == VkF12) scanCode = F12;
    // Page Up, Page Down, End, Home, Left, Up, Right, Down.
    constexpr int CursorScanCodes[] = {73, 81, End, Home, 75, 72, 77, 80};
    const bool cursor = (vk >= VkPrior && vk <= VkDown) || vk == VkInsert || vk == VkDelete;
    if (vk >= VkPrior && vk <= VkDown) scanCode = CursorScanCodes[vk - VkPrior];
    if (vk == VkInsert) scanCode = 82;
    if (vk == VkDelete) scanCode = 83;
    pair = ConsoleKey(scanCode, modifier);
    // The keypad's copies of the cursor keys (Num Lock off) give 0, not 224.
    if (cursor && pair.prefix == 224 && !event.enhanced) pair.prefix = Function;
  }
  if (pair.prefix < 0) return 0;
  codes[0] = pair.prefix;
  codes[1] = pair.code;
  return 2;
}

void KeyDecoder::Feed(unsigned char byte) {
  constexpr unsigned char Esc = 27;
  switch (state_) {
    case Ground:
      if (byte == Esc) {
        state_ = Escape;
      } else {
        codes_.push_back(byte);
      }
      return;
    case Escape: {
      if (byte == Esc) {  // the first Esc stands alone
        codes_.push_back(Esc);
        return;
      }
      if (byte == '[' || byte == 'O') {
        sequence_.assign(1, static_cast<char>(byte));
        state_ = Sequence;
        return;
      }
      state_ = Ground;
      KeyPair alt = AltCharacterKey(static_cast<char>(byte));
      if (alt.prefix >= 0) {
        codes_.push_back(alt.prefix);
        codes_.push_back(alt.code);
        return;
      }
      codes_.push_back(Esc);
      Feed(byte);
      return;
    }
    case Sequence:
      if (sequence_ == "[" && byte == '[') {
        sequence_ += '[';
      } else if (byte >= 0x20 && byte <= 0x3F) {  // parameter and intermediate bytes
        if (sequence_.size() >= LongestSequence) sequence_.assign(1, Overlong);
        if (sequence_[0] != Overlong) sequence_ += static_cast<char>(byte);
      } else if (byte >= 0x40 && byte <= 0x7E) {
        sequence_ += static_cast<char>(byte);
        Finish();
      } else {
        // Not part of a sequence: what came so far goes, this byte counts.
        state_ = Ground;
        sequence_.clear();
        Feed(byte);
      }
      return;
  }
}

void KeyDecoder::Finish() {
  KeyPair key = DecodeSequence(sequence_);
  if (key.prefix >= 0) {
    codes_.push_back(key.prefix);
    codes_.push_back(key.code);
  }
  state_ = Ground;
  sequence_.clear();
}

void KeyDecoder::Flush() {
  if (state_ == Escape) codes_.push_back(27);
  if (state_ == Sequence && sequence_ == "O") {  // Alt+O typed alone
    KeyPair alt = AltCharacterKey('O');
    codes_.push_back(alt.prefix);
    codes_.push_back(alt.code);
  }
  state_ = Ground;
  sequence_.clear();
}

int KeyDecoder::NextCode() {
  if (codes_.empty()) return -1;
  int code = codes_.front();
  codes_.pop_front();
  return code;
}

}  // namespace platform
