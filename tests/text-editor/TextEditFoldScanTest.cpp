// The fold region scanner: texts and regions in, the tree of ranges out.

#include "TextEditFoldScan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "head-last:depth", children in braces: "1-5:0{2-3:1} 6-7:0".
std::string DescribeFoldTree(const TTextEditFoldRanges& ranges)
{
    std::string out;
    for (int i = 0; i < ranges.Count(); ++i) {
        const TTextEditFoldRange& r = *ranges.Ranges(i);
        if (i > 0)
            out += ' ';
        out += std::to_string(r.HeadLine) + '-' + std::to_string(r.LastLine) + ':' + std::to_string(r.Depth);
        if (r.Children.Count() > 0)
            out += '{' + DescribeFoldTree(r.Children) + '}';
    }
    return out;
}

TFoldRegionItem* AddFold(TFoldRegions& regions, std::uint8_t kind, const char* open, const char* close,
                         bool wholeWords = false, bool noNested = false)
{
    TFoldRegionItem* item = regions.Add();
    item->Kind = kind;
    item->Open = QString::fromUtf8(open);
    item->Close = QString::fromUtf8(close);
    item->WholeWords = wholeWords;
    item->NoNestedFolds = noNested;
    return item;
}

void AddSkip(TFoldRegions& regions, std::uint8_t kind, const char* open, const char* close, const char* escape = "")
{
    TSkipRegionItem* item = regions.SkipRegions().Add();
    item->Kind = kind;
    item->Open = QString::fromUtf8(open);
    item->Close = QString::fromUtf8(close);
    item->Escape = QString::fromUtf8(escape);
}

void Braces(TFoldRegions& r) { AddFold(r, 0, "{", "}"); }
void BeginEnd(TFoldRegions& r) { AddFold(r, 1, "begin", "end", true); }

struct ScanCase {
    const char* name;
    std::vector<const char*> lines;
    void (*regions)(TFoldRegions&);
    bool caseSensitive;
    const char* ranges;
};

TEST(FoldScan, TableOfTextsAndRegions)
{
    const ScanCase cases[] = {
        {"one block", {"a {", "b", "}", "c"}, Braces, false, "1-3:0"},
        {"nested blocks", {"{", "{", "{", "}", "}", "}"}, Braces, false, "1-6:0{2-5:1{3-4:2}}"},
        {"siblings", {"{", "}", "{", "}"}, Braces, false, "1-2:0 3-4:0"},
        {"on one line", {"{ }", "x"}, Braces, false, "1-1:0"},
        {"no close: line before the last", {"{", "a", "b"}, Braces, false, "1-2:0"},
        {"no close on the last line", {"a", "{"}, Braces, false, "2-2:0"},
        {"inner unclosed", {"{", "{", "x"}, Braces, false, "1-2:0{2-2:1}"},
        {"close before any open", {"}", "{", "}"}, Braces, false, "2-3:0"},
        {"empty text", {""}, Braces, false, ""},
        {"blank lines counted", {"", "", "{", "", "}"}, Braces, false, "3-5:0"},
        {"keywords, any case", {"BEGIN", "x", "End;"}, BeginEnd, false, "1-3:0"},
        {"whole words only", {"beginner", "begin", "backend", "append", "end"}, BeginEnd, false, "2-5:0"},
        {"keywords inside words",
         {"begin", "backend", "end"},
         [](TFoldRegions& r) { AddFold(r, 1, "begin", "end"); },
         false,
         "1-2:0"},
        {"case-sensitive keywords", {"BEGIN", "end", "begin", "END", "end"}, BeginEnd, true, "3-5:0"},
        {"single characters as whole words",
         {"a{", "{", "b}", "}"},
         [](TFoldRegions& r) { AddFold(r, 0, "{", "}", true); },
         false,
         "2-4:0"},
        {"string with an escaped quote",
         {"s = \"{\\\"}\" {", "}"},
         [](TFoldRegions& r) {
             AddSkip(r, 0, "\"", "\"", "\\");
             Braces(r);
         },
         false,
         "1-2:0"},
        {"block comment over lines",
         {"/* {", "*/ {", "}"},
         [](TFoldRegions& r) {
             AddSkip(r, 1, "/*", "*/");
             Braces(r);
         },
         false,
         "2-3:0"},
        {"line comment",
         {"{ // }", "}"},
         [](TFoldRegions& r) {
             AddSkip(r, 2, "//", "");
             Braces(r);
         },
         false,
         "1-2:0"},
        {"keyword skip region in any case",
         {"REM {", "{", "}"},
         [](TFoldRegions& r) {
             AddSkip(r, 2, "rem", "");
             Braces(r);
         },
         false,
         "2-3:0"},
        {"unclosed string runs to the end", {"{", "\"}", "}"},
         [](TFoldRegions& r) {
             AddSkip(r, 0, "\"", "\"");
             Braces(r);
         },
         false,
         "1-2:0"},
        {"nested regions up to the parent's close",
         {"begin", "(", ")", "{", "}", "end", "{", "}"},
         [](TFoldRegions& r) {
             TFoldRegionItem* outer = AddFold(r, 1, "begin", "end", true);
             AddFold(outer->SubFoldRegions(), 0, "(", ")");
             Braces(r);
         },
         false,
         "1-6:0{2-3:1} 7-8:0"},
        {"nested region left open at the parent's close",
         {"begin", "(", "x", "end"},
         [](TFoldRegions& r) {
             TFoldRegionItem* outer = AddFold(r, 1, "begin", "end", true);
             AddFold(outer->SubFoldRegions(), 0, "(", ")");
         },
         false,
         "1-4:0{2-3:1}"},
        {"parent without close keeps the last line",
         {"begin", "(", ")", "x"},
         [](TFoldRegions& r) {
             TFoldRegionItem* outer = AddFold(r, 1, "begin", "end", true);
             AddFold(outer->SubFoldRegions(), 0, "(", ")");
         },
         false,
         "1-4:0{2-3:1}"},
        {"a nested close never closes an outer range",
         {"{", "begin", ")", "}", "end", "}"},
         [](TFoldRegions& r) {
             Braces(r);
             TFoldRegionItem* inner = AddFold(r, 1, "begin", "end", true);
             AddFold(inner->SubFoldRegions(), 0, "(", "}");
         },
         false,
         "1-6:0{2-5:1}"},
        {"no nested folds: look-ahead, nothing inside",
         {"{", "{", "}", "}", "{", "}"},
         [](TFoldRegions& r) { AddFold(r, 0, "{", "}", false, true); },
         false,
         "1-3:0 5-6:0"},
        {"no nested folds without a close", {"{", "a"},
         [](TFoldRegions& r) { AddFold(r, 0, "{", "}", false, true); },
         false,
         "1-1:0"},
        {"a keyword that closes nothing lets later regions try",
         {"end", "x", "fin"},
         [](TFoldRegions& r) {
             AddFold(r, 1, "try", "end", true);
             AddFold(r, 1, "end", "fin", true);
         },
         false,
         "1-3:0"},
        {"a character that closes nothing stops the regions",
         {"]", "x", ")"},
         [](TFoldRegions& r) {
             AddFold(r, 0, "[", "]");
             AddFold(r, 0, "]", ")");
         },
         false,
         ""},
        {"a close of another region's range",
         {"{", "[", "}", "]"},
         [](TFoldRegions& r) {
             Braces(r);
             AddFold(r, 0, "[", "]");
         },
         false,
         "1-3:0{2-4:1}"},
    };
    for (const ScanCase& c : cases) {
        QStringList lines;
        for (const char* line : c.lines)
            lines << QString::fromUtf8(line);
        TFoldRegions regions;
        c.regions(regions);
        TTextEditAllFoldRanges ranges;
        TFoldScanOptions options;
        options.CaseSensitive = c.caseSensitive;
        ScanFoldRegions(lines, regions, ranges, options);
        EXPECT_EQ(DescribeFoldTree(ranges), c.ranges) << c.name;
    }
}

TEST(FoldScan, IndentAndFlatListAndIgnoredTokens)
{
    TFoldRegions regions;
    Braces(regions);
    const QStringList lines{QStringLiteral("{"), QStringLiteral("\t  {"), QStringLiteral("     x = \"{\";"),
                            QStringLiteral("  }"), QStringLiteral("}")};
    TFoldScanOptions options;
    options.TabWidth = 2;
    // Line 3 character 11 is the brace inside the string token.
    options.IgnoredAt = [](int line, int character) { return line == 3 && character == 11; };
    TTextEditAllFoldRanges ranges;
    ScanFoldRegions(lines, regions, ranges, options);
    EXPECT_EQ(DescribeFoldTree(ranges), "1-5:0{2-4:1}");
    ASSERT_EQ(ranges.TotalCount(), 2);
    EXPECT_EQ(ranges.RangeAt(0)->IndentWidth, 0);
    EXPECT_EQ(ranges.RangeAt(1)->IndentWidth, 2);  // a tab and a run of two spaces
    EXPECT_EQ(ranges.RangeAt(1)->Region, regions.Items(0));
    EXPECT_EQ(ranges.RangeAt(1)->Owner, &ranges);
}

TEST(FoldScan, UpperCasingReachesNestedRegions)
{
    TFoldRegions regions;
    TFoldRegionItem* outer = AddFold(regions, 1, "begin", "end");
    AddFold(outer->SubFoldRegions(), 1, "case", "esac");
    UpperCaseFoldRegions(regions);
    EXPECT_EQ(outer->Open, QStringLiteral("BEGIN"));
    EXPECT_EQ(outer->SubFoldRegions().Items(0)->Close, QStringLiteral("ESAC"));
}

}  // namespace
