#pragma once

#include <cstdint>

// Line-breaking classes of UTF-16 code units and the search for the place where
// a Unicode text item may wrap. Surrogates are classified unit by unit.

enum TRDLineBreakClass : uint8_t {
    lbcOP, lbcCL, lbcQU, lbcGL, lbcNS, lbcEX, lbcSY, lbcIS, lbcPR, lbcPO,
    lbcNU, lbcAL, lbcID, lbcIN, lbcHY, lbcBA, lbcBB, lbcB2, lbcZW, lbcCM
};
constexpr int RDLineBreakClassCount = 20;

// What the pair table says about a break between two neighbouring classes.
enum TRDLineBreakPair : uint8_t {
    lbpBreak = 0,          // a break may stand between the two
    lbpBreakAfterSpace = 1,  // only when at least one space stands between them
    lbpNoBreak = 2
};

// The class (0 to 19) of one UTF-16 code unit.
TRDLineBreakClass LineBreakClassOf(char16_t unit);

// The pair table entry for a unit of class before followed by one of class after.
TRDLineBreakPair LineBreakPair(TRDLineBreakClass before, TRDLineBreakClass after);

// Text holds length UTF-16 units; index is the number of units that fit on the
// line (the first unit that does not). The result addresses the unit after which
// the line breaks (spaces following a break chance stay on the line), or is
// nullptr when no break is found before index. skipSpaceAtIndex is set when the
// unit at index is the last of the item. An index outside the text, or an empty
// text, gives nullptr.
const char16_t* FindLineBreak(const char16_t* text, int length, int index, bool skipSpaceAtIndex);
