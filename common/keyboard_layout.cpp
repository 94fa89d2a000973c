#include "common/keyboard_layout.h"

#include <cstdint>
#include <span>

namespace sarn {
namespace {

// One key of a layout: virtual key, set-1 scan code, and the character it types unshifted (a
// Windows-1252 byte, 0 for none). A scan code is looked up through the first row that carries it and a
// virtual key through the first row that names it, so the order settles the shared ones: the navigation
// keys come before the keypad digits on the same scan codes, the left modifiers before the generic ones.
struct LayoutKey {
  std::uint8_t virtualKey;
  std::uint8_t scanCode;
  std::uint8_t character;
};

// Keys that sit at the same place and do the same on both layouts. Pause has no plain scan code (it
// sends an E1 sequence), so it has no row.
constexpr LayoutKey kSharedKeys[] = {
    {27, 0x01, 0x1B}, {8, 0x0E, 0x08}, {9, 0x0F, '\t'}, {13, 0x1C, '\r'}, {162, 0x1D, 0},
    {160, 0x2A, 0}, {161, 0x36, 0}, {106, 0x37, '*'}, {164, 0x38, 0}, {32, 0x39, ' '}, {20, 0x3A, 0},
    {112, 0x3B, 0}, {113, 0x3C, 0}, {114, 0x3D, 0}, {115, 0x3E, 0}, {116, 0x3F, 0}, {117, 0x40, 0},
    {118, 0x41, 0}, {119, 0x42, 0}, {120, 0x43, 0}, {121, 0x44, 0}, {144, 0x45, 0}, {145, 0x46, 0},
    {36, 0x47, 0}, {38, 0x48, 0}, {33, 0x49, 0}, {109, 0x4A, '-'}, {37, 0x4B, 0}, {12, 0x4C, 0},
    {39, 0x4D, 0}, {107, 0x4E, '+'}, {35, 0x4F, 0}, {40, 0x50, 0}, {34, 0x51, 0}, {45, 0x52, 0},
    {46, 0x53, 0}, {44, 0x54, 0}, {122, 0x57, 0}, {123, 0x58, 0},
    // Keys reached only by virtual key: the extended twins and the keypad digits.
    {16, 0x2A, 0}, {17, 0x1D, 0}, {18, 0x38, 0}, {163, 0x1D, 0}, {165, 0x38, 0}, {111, 0x35, '/'},
    {91, 0x5B, 0}, {92, 0x5C, 0}, {93, 0x5D, 0}, {103, 0x47, '7'}, {104, 0x48, '8'},
    {105, 0x49, '9'}, {100, 0x4B, '4'}, {101, 0x4C, '5'}, {102, 0x4D, '6'}, {97, 0x4F, '1'},
    {98, 0x50, '2'}, {99, 0x51, '3'}, {96, 0x52, '0'}, {110, 0x53, '.'},
};

constexpr LayoutKey kUsKeys[] = {
    {192, 0x29, '`'}, {49, 0x02, '1'}, {50, 0x03, '2'}, {51, 0x04, '3'}, {52, 0x05, '4'},
    {53, 0x06, '5'}, {54, 0x07, '6'}, {55, 0x08, '7'}, {56, 0x09, '8'}, {57, 0x0A, '9'},
    {48, 0x0B, '0'}, {189, 0x0C, '-'}, {187, 0x0D, '='},
    {'Q', 0x10, 'q'}, {'W', 0x11, 'w'}, {'E', 0x12, 'e'}, {'R', 0x13, 'r'}, {'T', 0x14, 't'},
    {'Y', 0x15, 'y'}, {'U', 0x16, 'u'}, {'I', 0x17, 'i'}, {'O', 0x18, 'o'}, {'P', 0x19, 'p'},
    {219, 0x1A, '['}, {221, 0x1B, ']'},
    {'A', 0x1E, 'a'}, {'S', 0x1F, 's'}, {'D', 0x20, 'd'}, {'F', 0x21, 'f'}, {'G', 0x22, 'g'},
    {'H', 0x23, 'h'}, {'J', 0x24, 'j'}, {'K', 0x25, 'k'}, {'L', 0x26, 'l'}, {186, 0x27, ';'},
    {222, 0x28, '\''}, {220, 0x2B, '\\'},
    {'Z', 0x2C, 'z'}, {'X', 0x2D, 'x'}, {'C', 0x2E, 'c'}, {'V', 0x2F, 'v'}, {'B', 0x30, 'b'},
    {'N', 0x31, 'n'}, {'M', 0x32, 'm'}, {188, 0x33, ','}, {190, 0x34, '.'}, {191, 0x35, '/'},
    {226, 0x56, '\\'},
};

// AZERTY: A/Q and Z/W trade places, M sits where US has the semicolon, the digit row types its symbols
// unshifted, and the circumflex key is dead.
constexpr LayoutKey kFrenchKeys[] = {
    {222, 0x29, 0xB2}, {49, 0x02, '&'}, {50, 0x03, 0xE9}, {51, 0x04, '"'}, {52, 0x05, '\''},
    {53, 0x06, '('}, {54, 0x07, '-'}, {55, 0x08, 0xE8}, {56, 0x09, '_'}, {57, 0x0A, 0xE7},
    {48, 0x0B, 0xE0}, {219, 0x0C, ')'}, {187, 0x0D, '='},
    {'A', 0x10, 'a'}, {'Z', 0x11, 'z'}, {'E', 0x12, 'e'}, {'R', 0x13, 'r'}, {'T', 0x14, 't'},
    {'Y', 0x15, 'y'}, {'U', 0x16, 'u'}, {'I', 0x17, 'i'}, {'O', 0x18, 'o'}, {'P', 0x19, 'p'},
    {221, 0x1A, '^'}, {186, 0x1B, '$'},
    {'Q', 0x1E, 'q'}, {'S', 0x1F, 's'}, {'D', 0x20, 'd'}, {'F', 0x21, 'f'}, {'G', 0x22, 'g'},
    {'H', 0x23, 'h'}, {'J', 0x24, 'j'}, {'K', 0x25, 'k'}, {'L', 0x26, 'l'}, {'M', 0x27, 'm'},
    {192, 0x28, 0xF9}, {220, 0x2B, '*'},
    {'W', 0x2C, 'w'}, {'X', 0x2D, 'x'}, {'C', 0x2E, 'c'}, {'V', 0x2F, 'v'}, {'B', 0x30, 'b'},
    {'N', 0x31, 'n'}, {188, 0x32, ','}, {190, 0x33, ';'}, {191, 0x34, ':'}, {223, 0x35, '!'},
    {226, 0x56, '<'},
};

class TableLayout final : public KeyboardLayout {
 public:
  explicit TableLayout(std::span<const LayoutKey> ownKeys) : ownKeys_(ownKeys) {}

  unsigned ScanCodeToVirtualKey(unsigned scanCode) const override {
    const LayoutKey* key = Find([scanCode](const LayoutKey& k) { return k.scanCode == scanCode; });
    return key != nullptr && scanCode != 0 ? key->virtualKey : 0;
  }
  unsigned VirtualKeyToScanCode(unsigned virtualKey) const override {
    const LayoutKey* key = Find([virtualKey](const LayoutKey& k) { return k.virtualKey == virtualKey; });
    return key != nullptr && virtualKey != 0 ? key->scanCode : 0;
  }
  int CharacterOf(unsigned virtualKey, unsigned /*scanCode*/) const override {
    const LayoutKey* key = Find([virtualKey](const LayoutKey& k) { return k.virtualKey == virtualKey; });
    return key != nullptr && virtualKey != 0 ? key->character : 0;
  }

 private:
  template <typename Match>
  const LayoutKey* Find(Match match) const {
    for (const LayoutKey& k : ownKeys_)
      if (match(k)) return &k;
    for (const LayoutKey& k : kSharedKeys)
      if (match(k)) return &k;
    return nullptr;
  }

  std::span<const LayoutKey> ownKeys_;
};

}  // namespace

const KeyboardLayout& UsKeyboardLayout() {
  static const TableLayout layout{kUsKeys};
  return layout;
}

const KeyboardLayout& FrenchKeyboardLayout() {
  static const TableLayout layout{kFrenchKeys};
  return layout;
}

#if !defined(_WIN32)
const KeyboardLayout& SystemKeyboardLayout() { return UsKeyboardLayout(); }
#endif

}  // namespace sarn
