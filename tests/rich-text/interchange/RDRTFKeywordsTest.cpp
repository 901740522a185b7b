#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "interchange/RDRTFKeywords.h"

namespace {

const TRDRTFsymbol* Kw(std::string_view keyword)
{
    const int i = FindRTFKeyword(keyword);
    return i < 0 ? nullptr : &RTFKeyword(i);
}

}  // namespace

// First in the program: the threads race for the first sort.
TEST(RTFKeywords, FirstUseFromManyThreadsGivesOneTable)
{
    // Each thread looks up on a table that may still be being sorted by another.
    std::vector<std::thread> threads;
    std::vector<int> found(8, -2);
    for (size_t t = 0; t < found.size(); ++t)
        threads.emplace_back([&found, t] { found[t] = FindRTFKeyword("pard"); });
    for (auto& thread : threads)
        thread.join();
    for (int index : found) {
        ASSERT_GE(index, 0);
        EXPECT_EQ(RTFKeyword(index).Keyword, "pard");
    }
}

TEST(RTFKeywords, EveryEntryIsFoundAndTheTableIsSortedOrdinally)
{
    SortRTFKeywordsOnce();
    std::multiset<std::string> names;
    for (int i = 0; i < RTFKeywordCount; ++i) {
        const auto& e = RTFKeyword(i);
        ASSERT_FALSE(e.Keyword.empty()) << "entry " << i;
        names.insert(std::string(e.Keyword));
        if (i > 0) {
            EXPECT_LE(RTFKeyword(i - 1).Keyword, e.Keyword) << i;
        }
        const int found = FindRTFKeyword(e.Keyword);
        ASSERT_GE(found, 0) << e.Keyword;
        EXPECT_EQ(RTFKeyword(found).Keyword, e.Keyword);
    }
    // One keyword is listed twice; every other one once.
    EXPECT_EQ(names.size(), 372u);
    EXPECT_EQ(names.count("pnuld"), 2u);
    std::set<std::string> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), 371u);
}

TEST(RTFKeywords, UnknownWordsAreNotFound)
{
    // Capitals, words before the first entry, after the last, between two
    // entries, longer than any, empty, and an embedded NUL.
    for (std::string_view word : std::initializer_list<std::string_view>{"B", "Par", "PAR", "", "!", "\x01", "zzzz", "~~", "ulthdashddd", "brdrs2",
                                  "parx", "pa", "a", std::string_view("b\0", 2),
                                  "averyveryverylongkeywordthatnoentryhasatall"}) {
        EXPECT_EQ(FindRTFKeyword(word), -1) << std::string(word);
    }
}

TEST(RTFKeywords, EntriesCarryKindTargetAndDefault)
{
    struct Case {
        const char* keyword;
        TRDRTFKind kind;
        int32_t target;
        int32_t def;
        bool useDef;
        TRDRTFAffects affects;
    };
    const Case cases[] = {
        {"par", rtf_kwd_Char, 10, 0, false, rtf_af_None},
        {"\r", rtf_kwd_Char, 10, 0, false, rtf_af_None},
        {"\n", rtf_kwd_Char, 10, 0, false, rtf_af_None},
        {"line", rtf_kwd_Char, 13, 0, false, rtf_af_None},
        {"~", rtf_kwd_Char, 160, 0, false, rtf_af_None},
        {"\\", rtf_kwd_Char, 92, 0, false, rtf_af_None},
        {"ldblquote", rtf_kwd_WideChar, 147, 0x201C, false, rtf_af_None},
        {"-", rtf_kwd_WideChar, 173, 0x00AD, false, rtf_af_None},
        {"emspace", rtf_kwd_WideChar, 32, 0x2003, false, rtf_af_None},
        {"bin", rtf_kwd_Spec, rtf_spec_Bin, 0, false, rtf_af_None},
        {"'", rtf_kwd_Spec, rtf_spec_Hex, 0, false, rtf_af_None},
        {"*", rtf_kwd_Spec, rtf_spec_SkipDest, 0, false, rtf_af_None},
        {"fonttbl", rtf_kwd_Dest, rdsFontTable, 0, false, rtf_af_None},
        {"result", rtf_kwd_Dest, rdsObjResult, 0, false, rtf_af_None},
        {"nonesttables", rtf_kwd_Dest, rdsSkip, 0, false, rtf_af_None},
        {"listtext", rtf_kwd_Dest, rdsSkip, 0, false, rtf_af_None},
        {"b", rtf_kwd_Prop, ipropBold, 1, false, rtf_af_CharProp},
        {"fs", rtf_kwd_Prop, ipropFontSize, 24, false, rtf_af_CharProp},
        {"ulnone", rtf_kwd_Prop, ipropUnderline, 0, true, rtf_af_CharProp},
        {"ulthdashdd", rtf_kwd_Prop, ipropUnderlineType, 12, false, rtf_af_CharProp},
        {"super", rtf_kwd_Prop, ipropSScript, 2, true, rtf_af_CharProp},
        {"dn", rtf_kwd_Prop, ipropVShiftDown, 6, false, rtf_af_CharProp},
        {"deff", rtf_kwd_Prop, ipropDefFont, 0, false, rtf_af_None},
        {"qj", rtf_kwd_Prop, ipropJust, 3, true, rtf_af_ParaProp},
        {"chbrdr", rtf_kwd_Prop, ipropCharBorder, 0, true, rtf_af_None},
        {"brdroutset", rtf_kwd_Prop, ipropBorderType, 27, true, rtf_af_ParaProp},
        {"tlth", rtf_kwd_Prop, ipropTabLeader, 4, true, rtf_af_ParaProp},
        {"itap", rtf_kwd_Prop, ipropItap, 1, false, rtf_af_None},
        {"headery", rtf_kwd_Prop, ipropHeaderY, 720, false, rtf_af_None},
        {"paperh", rtf_kwd_Prop, ipropPaperHeight, 15480, false, rtf_af_None},
        {"uc", rtf_kwd_Prop, ipropUnicodeSkip, 1, false, rtf_af_None},
        {"wbitmap", rtf_kwd_Prop, ipropPicType, 7, true, rtf_af_None},
        {"pnlvlblt", rtf_kwd_Prop, ipropPNLevel, 11, true, rtf_af_None},
        {"pnulnone", rtf_kwd_Prop, ipropPNUnderline, 0, true, rtf_af_None},
        {"nestrow", rtf_kwd_Prop, ipropRowEnd, 1, true, rtf_af_None},
        {"clvmrg", rtf_kwd_Prop, ipropCellVMerge, 2, true, rtf_af_None},
        {"clcbpatraw", rtf_kwd_Prop, ipropCellColor, 0, false, rtf_af_None},
        {"trwWidth", rtf_kwd_Prop, ipropRowWidth, 0, false, rtf_af_None},
        {"clbrdrb", rtf_kwd_Prop, ipropCellBorderSide, 3, true, rtf_af_ParaProp},
        {"richdoccbh", rtf_kwd_Prop, ipropRichDocCellHeight, 0, false, rtf_af_None},
    };
    for (const auto& c : cases) {
        const auto* e = Kw(c.keyword);
        ASSERT_NE(e, nullptr) << c.keyword;
        EXPECT_EQ(e->Kind, c.kind) << c.keyword;
        EXPECT_EQ(e->Target, c.target) << c.keyword;
        EXPECT_EQ(e->DefValue, c.def) << c.keyword;
        EXPECT_EQ(e->UseDef, c.useDef) << c.keyword;
        EXPECT_EQ(e->Affects, c.affects) << c.keyword;
    }
}
