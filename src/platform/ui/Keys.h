// Key codes as the key queue carries them: a virtual-key code in the low 16 bits and
// the modifiers held with it above. Codes of platform/ui/Ui.h (VK_ESCAPE, VK_UP, ...)
// are the same values.
#pragma once

namespace plat {

inline constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23, VK_HOME = 0x24, VK_INSERT = 0x2D, VK_DELETE = 0x2E;
inline constexpr int VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_F1 = 0x70, VK_F12 = 0x7B;
// The comma and period keys, whose shifted signs are '<' and '>'.
inline constexpr int VK_OEM_COMMA = 0xBC, VK_OEM_PERIOD = 0xBE;

inline constexpr int KEY_SHIFT = 0x10000, KEY_CTRL = 0x20000, KEY_ALT = 0x40000;

constexpr int KeyCode(int key) { return key & 0xFFFF; }
constexpr bool KeyHasShift(int key) { return (key & KEY_SHIFT) != 0; }
constexpr bool KeyHasCtrl(int key) { return (key & KEY_CTRL) != 0; }
constexpr bool KeyHasAlt(int key) { return (key & KEY_ALT) != 0; }

// Mouse-message flags: buttons held during a move.
enum : unsigned { MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008 };

// Scroll-bar codes.
enum : int {
  SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3,
  SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7,
};

}  // namespace plat
