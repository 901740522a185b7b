#pragma once

#include <cstdint>

// What the viewer tells the style sheet about a run of text it draws.
enum TRDTextDrawState : uint16_t {
    rdtsSelected = 1 << 0,
    rdtsHover = 1 << 1,
    rdtsItemStart = 1 << 2,
    rdtsItemEnd = 1 << 3,
    rdtsDrawItemStart = 1 << 4,
    rdtsDrawItemEnd = 1 << 5,
    rdtsControlFocused = 1 << 6,
    rdtsSpecialCharacters = 1 << 7
};
using TRDTextDrawStates = uint16_t;

enum class TRDPageBreakType : uint8_t { rdpbSoftPageBreak, rdpbPageBreak };
