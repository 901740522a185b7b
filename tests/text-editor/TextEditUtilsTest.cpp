// Cells, tab expansion, character scans, colours and folders of the editor.

#include "TextEditUtils.h"

#include "ProgramFolder.h"

#include <gtest/gtest.h>

namespace {
const QString Tab = QStringLiteral("\t");
const QString Zh = QStringLiteral("中文");  // four cells
}  // namespace

TEST(TextEditCells, MapBetweenCellsAndIndexes)
{
    const QString line = QStringLiteral("a中b\U0001F600c");  // a(1) 中(2) b(1) emoji(2) c(1)
    EXPECT_EQ(CellLength(line), 7);
    struct {
        int Cell, Index;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 5}, {7, 6}, {50, 6}};
    for (auto c : cases)
        EXPECT_EQ(CellToIndex(line, c.Cell), c.Index) << c.Cell;
    EXPECT_EQ(IndexToCell(line, 2), 3);
    EXPECT_EQ(IndexToCell(line, 5), 6);
    EXPECT_TRUE(IsLeadCell(line, 2));
    EXPECT_TRUE(IsTrailCell(line, 3));
    EXPECT_TRUE(IsTrailCell(line, 6));
    EXPECT_FALSE(IsTrailCell(line, 4));
    EXPECT_EQ(CellMid(line, 1, 3), QStringLiteral("中b"));
    EXPECT_EQ(CellMid(QStringLiteral("abc"), 1, 1), QStringLiteral("b"));
}

TEST(TextEditUtils, ColumnsAndWidths)
{
    EXPECT_EQ(CharIndexToColumn(5, 4, QStringLiteral("a\tbc")), 7);
    EXPECT_EQ(CharIndexToColumn(10, 4, QStringLiteral("a\tb")), 12);  // a, tab to 4, b, then six more one for one
    EXPECT_EQ(CharIndexToColumn(1, 4, QStringLiteral("\t")), 1);
    EXPECT_EQ(CharIndexToColumn(3, 1, QStringLiteral("\t\t\t")), 3);
    EXPECT_EQ(CharIndexToColumn(4, 4, Zh + Tab + QStringLiteral("x")), 4);   // before the tab
    EXPECT_EQ(CharIndexToColumn(6, 4, Zh + Tab + QStringLiteral("x")), 9);   // x after the tab that ends at 8
    EXPECT_EQ(ExpandedWidth(Tab + Tab, 8), 16);
    EXPECT_EQ(ExpandedWidth(Zh + Tab, 8), 8);
    EXPECT_EQ(ExpandedWidth(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"), 8), 2);
    EXPECT_EQ(MinMax(300, 2, 256), 256);
    EXPECT_EQ(MinMax(-1, 2, 256), 2);
    EXPECT_EQ(MinPos(BufferCoord(5, 2), BufferCoord(1, 3)), BufferCoord(5, 2));
    EXPECT_EQ(MinPos(BufferCoord(5, 2), BufferCoord(4, 2)), BufferCoord(4, 2));
    EXPECT_TRUE(IsPowerOfTwo(8));
    EXPECT_FALSE(IsPowerOfTwo(6));
    EXPECT_FALSE(IsPowerOfTwo(1));
}

TEST(TextEditUtils, TabExpandersAgree)
{
    const QString line = QStringLiteral("a\tb\t") + Zh + Tab + QStringLiteral("z");
    for (int width : {2, 3, 4, 8}) {
        bool hasTabs = false;
        const QString expanded = ChooseTabExpander(width)(line, width, hasTabs);
        EXPECT_TRUE(hasTabs);
        EXPECT_EQ(CellLength(expanded), ExpandedWidth(line, width)) << width;
    }
    bool hasTabs = false;
    EXPECT_EQ(ChooseTabExpander(4)(QStringLiteral("a\tb"), 4, hasTabs), QStringLiteral("a\t\t\tb"));
    EXPECT_EQ(ChooseTabExpander(1)(QStringLiteral("a\tb"), 1, hasTabs), QStringLiteral("a b"));
    EXPECT_EQ(ChooseTabExpander(4)(QStringLiteral("ab"), 4, hasTabs), QStringLiteral("ab"));
    EXPECT_FALSE(hasTabs);
}

TEST(TextEditUtils, ScansNeverStopOnATrailCell)
{
    const QString line = QStringLiteral("ab中cd文e");  // cells: a1 b2 中3-4 c5 d6 文7-8 e9
    struct {
        int Start;
        const char* Chars;
        int Forward, Back;
    } cases[] = {
        {1, "c", 5, 0}, {4, "c", 5, 0}, {5, "a", 0, 1}, {9, "ce", 9, 9}, {8, "b", 0, 2}, {0, "a", 0, 0}, {10, "a", 0, 0},
    };
    for (auto c : cases) {
        EXPECT_EQ(ScanForChars(line, c.Start, QString::fromLatin1(c.Chars)), c.Forward) << c.Start << c.Chars;
        EXPECT_EQ(ScanBackForChars(line, c.Start, QString::fromLatin1(c.Chars)), c.Back) << c.Start << c.Chars;
    }
    EXPECT_EQ(NextDoubleByteStart(line, 1), 3);
    EXPECT_EQ(NextDoubleByteStart(line, 4), 7);  // a trail cell moves on first
    EXPECT_EQ(NextDoubleByteStart(line, 9), 0);
    EXPECT_EQ(LastDoubleByteStart(line, 6), 3);
    EXPECT_EQ(LastDoubleByteStart(line, 8), 7);
    EXPECT_EQ(LastDoubleByteStart(line, 2), 0);
    EXPECT_EQ(EndOfLine(QStringLiteral("ab\r\ncd")), 2);
}

TEST(TextEditUtils, HueSaturationLightnessRoundTrips)
{
    EXPECT_EQ(ColorToHSL(0x0000FF).Hue, 0);
    EXPECT_EQ(ColorToHSL(0x0000FF).Saturation, 100);
    EXPECT_EQ(ColorToHSL(0x0000FF).Lightness, 50);
    EXPECT_EQ(HSLToColor(0, 100, 50), 0x0000FFu);
    // One colour in each of the six hue sectors comes back as it went in.
    for (TColor c : {TColor(0x0033FF), TColor(0x00FF99), TColor(0x33FF00), TColor(0xFF9900), TColor(0xFF0033),
                     TColor(0x9900FF)}) {
        const THSL hsl = ColorToHSL(c);
        EXPECT_EQ(HSLToColor(hsl.Hue, hsl.Saturation, hsl.Lightness), c) << std::hex << c;
    }
    EXPECT_EQ(HSLToColor(123, 0, 50), 0x7F7F7Fu);  // 50 x 2.55 is just below 127.5 in binary
}

TEST(TextEditUtils, FoldersResolveAgainstTheProgramFolder)
{
    const QString base = ProgramFolder();
    EXPECT_EQ(ResolveFolder(QStringLiteral("data\\dict")), base + QStringLiteral("data/dict/"));
    EXPECT_EQ(ResolveFolder(QStringLiteral("data/dict/")), base + QStringLiteral("data/dict/"));
    EXPECT_EQ(ResolveFolder(QStringLiteral("\\dict")), base + QStringLiteral("dict/"));
    EXPECT_EQ(ResolveFolder(QStringLiteral("/usr/share/dict")), QStringLiteral("/usr/share/dict/"));
    EXPECT_EQ(ResolveFolder(QStringLiteral("d")), base + QStringLiteral("d/"));
    EXPECT_EQ(ResolveFolder(QString()), QString());
    EXPECT_EQ(MulDiv(5, 3, 2), 8);
    EXPECT_EQ(MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}
