#pragma once

// Keys as the class library names them: the shift state, shortcuts (a
// virtual-key code with Shift, Ctrl and Alt bits), the virtual-key codes, and
// the table that maps Qt's keys to them. The text editor's key bindings and
// the rich-text controls' shortcuts both use them.

#include <cstdint>

#include <QtCore/QString>
#include <QtCore/Qt>

// The shift state of the class library: Shift, Alt and Ctrl as bits 0, 1, 2.
using TShiftState = std::uint8_t;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;

// A shortcut as the layouts encode it: the virtual-key code plus $2000 for
// Shift, $4000 for Ctrl and $8000 for Alt.
using TShortCut = std::uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

// Virtual-key codes of the keys the controls bind.
enum : std::uint16_t {
    VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18, VK_PAUSE = 19,
    VK_CAPITAL = 20, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36,
    VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46, VK_APPS = 93,
    VK_NUMPAD0 = 96, VK_MULTIPLY = 106, VK_ADD = 107, VK_SEPARATOR = 108, VK_SUBTRACT = 109, VK_DECIMAL = 110,
    VK_DIVIDE = 111, VK_F1 = 112, VK_F24 = 135, VK_NUMLOCK = 144, VK_SCROLL = 145
};

TShortCut ShortCut(std::uint16_t key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, std::uint16_t& key, TShiftState& shift);
// "Ctrl+Shift+N", "Alt+BkSp", "F1"; empty for 0.
QString ShortCutToText(TShortCut shortCut);
// The virtual-key code of a Qt key (0 when it has none). Shift+Tab arrives
// as Key_Backtab and is Tab; keypad digits are the keypad codes, not 48-57.
std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);
