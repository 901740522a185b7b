#include <gtest/gtest.h>

#include <QtCore/QString>

#include "text/RDLineBreak.h"

namespace {

// The unit number after which FindLineBreak breaks, -1 for no break.
int BreakAt(const QString& text, int index, bool skipSpaceAtIndex = false)
{
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* p = FindLineBreak(units, int(text.size()), index, skipSpaceAtIndex);
    return p ? int(p - units) : -1;
}

TEST(RDLineBreak, ClassesOfUnits)
{
    const struct {
        char16_t unit;
        TRDLineBreakClass cls;
    } cases[] = {
        {u'(', lbcOP},    {u')', lbcCL},    {u'"', lbcQU},    {0x00A0, lbcGL},  {0x3005, lbcNS},
        {u'!', lbcEX},    {u'/', lbcSY},    {u',', lbcIS},    {u'$', lbcPR},    {u'%', lbcPO},
        {u'7', lbcNU},    {u'A', lbcAL},    {u' ', lbcAL},    {0x4E2D, lbcID},  {0x9FA5, lbcID},
        {0x9FA6, lbcAL},  {0x2026, lbcIN},  {u'-', lbcHY},    {0x00AD, lbcBA},  {0x00B4, lbcBB},
        {0x2014, lbcB2},  {0x200B, lbcZW},  {0x0300, lbcCM},  {0x0000, lbcCM},  {0x3001, lbcCL},
        {0x3002, lbcCL},  {0x300C, lbcOP},  {0x300D, lbcCL},  {0xFF0C, lbcCL},  {0x3000, lbcID},
        {0x2060, lbcGL},  {0xFEFF, lbcGL},  {0xAC00, lbcID},  {0xD7A3, lbcID},  {0xFFFB, lbcCM},
        // Surrogates are not combined: each half is a letter of class AL.
        {0xD83D, lbcAL},  {0xDE00, lbcAL},  {0xFFFF, lbcAL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LineBreakClassOf(c.unit), c.cls) << std::hex << int(c.unit);
}

TEST(RDLineBreak, PairTableRowsAndColumns)
{
    for (int after = 0; after < RDLineBreakClassCount; ++after) {
        const auto a = TRDLineBreakClass(after);
        // An opening bracket never ends a line.
        EXPECT_EQ(LineBreakPair(lbcOP, a), a == lbcCM ? lbpBreakAfterSpace : lbpNoBreak) << after;
        // A zero width space allows a break before anything but itself.
        const TRDLineBreakPair zw = a == lbcZW ? lbpNoBreak : a == lbcCM ? lbpBreakAfterSpace : lbpBreak;
        EXPECT_EQ(LineBreakPair(lbcZW, a), zw) << after;
    }
    // Closing punctuation never starts a line, unless it follows a zero width space.
    for (int before = 0; before < RDLineBreakClassCount; ++before)
        EXPECT_EQ(LineBreakPair(TRDLineBreakClass(before), lbcCL), before == lbcZW ? lbpBreak : lbpNoBreak)
            << before;
    EXPECT_EQ(LineBreakPair(lbcID, lbcID), lbpBreak);
    EXPECT_EQ(LineBreakPair(lbcB2, lbcB2), lbpNoBreak);
    EXPECT_EQ(LineBreakPair(lbcAL, lbcAL), lbpBreakAfterSpace);
}

TEST(RDLineBreak, BreaksInSentences)
{
    const struct {
        QString text;
        int index;
        bool skipSpace;
        int expected;
    } cases[] = {
        // The break comes after the space that follows the break chance.
        {QStringLiteral("ab cd"), 4, false, 2},
        {QStringLiteral("ab   cd"), 6, false, 4},
        {QStringLiteral("ab   cd"), 3, false, 2},
        {QStringLiteral("well-known fact"), 5, false, 4},
        {QStringLiteral("well-known fact"), 4, false, -1},
        {QStringLiteral("and/or"), 4, false, 3},
        {QStringLiteral("and/or"), 3, false, -1},
        // An opening quote goes down with its word; a closing one stays.
        {QStringLiteral("say \"hi\" ok"), 5, false, 3},
        {QStringLiteral("say \"hi\" ok"), 9, false, 8},
        {QStringLiteral("say \"hi\" ok"), 7, false, 3},
        // Chinese: 、 and 」 never start a line, 「 never ends one.
        {QStringLiteral("你好、世界。「再见」"), 2, false, 0},
        {QStringLiteral("你好、世界。「再见」"), 3, false, 2},
        {QStringLiteral("你好、世界。「再见」"), 6, false, 5},
        {QStringLiteral("你好、世界。「再见」"), 7, false, 5},
        {QStringLiteral("你好、世界。「再见」"), 9, false, 7},
        {QStringLiteral("中文中文"), 3, false, 2},
        // Numbers keep their prefix and postfix signs.
        {QStringLiteral("costs $100 or 50%"), 16, false, 13},
        {QStringLiteral("costs $100 or 50%"), 8, false, 5},
        {QStringLiteral("costs $100 or 50%"), 7, false, 5},
        // A soft hyphen and a zero width space give break chances after them.
        {QStringLiteral("co\u00ADop"), 3, false, 2},
        {QStringLiteral("co\u00ADop"), 4, false, 2},
        {QStringLiteral("ab\u200Bcd"), 3, false, 2},
        {QStringLiteral("ab\u200Bcd"), 2, false, -1},
        // No break before unit 0.
        {QStringLiteral("(a"), 1, false, -1},
        {QStringLiteral("(中文"), 1, false, -1},
        // A space at the index that ends the item is skipped.
        {QStringLiteral("a b"), 1, true, -1},
        {QStringLiteral("ab cd "), 5, true, 2},
        {QStringLiteral("ab cd "), 5, false, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BreakAt(c.text, c.index, c.skipSpace), c.expected)
            << c.text.toStdString() << " index " << c.index;
}

TEST(RDLineBreak, IndexOutsideTheTextGivesNoBreak)
{
    const QString text = QStringLiteral("ab cd");
    EXPECT_EQ(BreakAt(text, 5), -1);
    EXPECT_EQ(BreakAt(text, 6), -1);
    EXPECT_EQ(BreakAt(text, -1), -1);
    EXPECT_EQ(FindLineBreak(nullptr, 0, 0, false), nullptr);
    const char16_t one = u'a';
    EXPECT_EQ(FindLineBreak(&one, 0, 0, false), nullptr);
    EXPECT_EQ(FindLineBreak(&one, 1, 0, true), nullptr);
}

}  // namespace
