// The word-wrap map: rows of a line, positions both ways, and line changes
// that keep the map equal to a full rebuild.

#include "TextEditWordWrap.h"

#include <QtCore/QStringList>

#include <gtest/gtest.h>

namespace {

class THost : public ITextWordWrapHost {
public:
    QStringList Lines;
    int Width = 10;
    int WrapLineCount() const override { return static_cast<int>(Lines.size()); }
    QString WrapExpandedLine(int index) const override { return Lines.at(index); }
    int WrapWidth() const override { return Width; }
    TCharSet WrapIdentifierChars() const override
    {
        TCharSet chars;
        for (size_t c = 33; c <= 255; ++c)
            chars.set(c);
        return chars;
    }
};

std::vector<int> RowsOf(const TTextWordWrapPlugin& wrap, int line)
{
    std::vector<int> rows;
    for (int r = 0; r < wrap.RowCountOf(line); ++r)
        rows.push_back(wrap.RowLength(wrap.FirstRowOf(line) + r + 1));
    return rows;
}

}  // namespace

TEST(TextEditWordWrap, RowsOfALine)
{
    struct {
        int Width;
        QString Line;
        std::vector<int> Rows;
    } cases[] = {
        {10, QStringLiteral("aaaa bbbb cccc"), {9, 5}},
        {10, QString(25, QLatin1Char('x')), {10, 10, 5}},
        {10, QString(), {0}},
        {1, QStringLiteral("中文"), {2, 2}},                  // a wide character wider than the row
        {5, QStringLiteral("abcd中ef"), {4, 4}},              // never splits the wide character
        {300, QString(700, QLatin1Char('y')), {300, 300, 100}},  // widths beyond one byte
        {256, QString(256, QLatin1Char('z')), {256}},
    };
    for (const auto& c : cases) {
        THost host;
        host.Width = c.Width;
        host.Lines = {c.Line};
        TTextWordWrapPlugin wrap(&host);
        EXPECT_EQ(RowsOf(wrap, 0), c.Rows) << c.Width << " " << c.Line.toStdString();
    }
    EXPECT_THROW(TTextWordWrapPlugin(nullptr), ETextEditError);
}

TEST(TextEditWordWrap, PositionsBothWays)
{
    THost host;
    host.Lines = {QString(20, QLatin1Char('a')), QString()};
    TTextWordWrapPlugin wrap(&host);
    ASSERT_EQ(wrap.TotalRows(), 3);
    EXPECT_EQ(wrap.TextToScreen(BufferCoord(10, 1)), DisplayPos(10, 1));
    EXPECT_EQ(wrap.TextToScreen(BufferCoord(11, 1)), DisplayPos(1, 2));
    EXPECT_EQ(wrap.TextToScreen(BufferCoord(21, 1)), DisplayPos(11, 2));
    EXPECT_EQ(wrap.TextToScreen(BufferCoord(1, 2)), DisplayPos(1, 3));
    EXPECT_EQ(wrap.TextToScreen(BufferCoord(4, 5)), DisplayPos(4, 6));
    EXPECT_EQ(wrap.ScreenToText(DisplayPos(50, 1)), BufferCoord(11, 1));
    EXPECT_EQ(wrap.ScreenToText(DisplayPos(50, 2)), BufferCoord(21, 1));
    EXPECT_EQ(wrap.ScreenToText(DisplayPos(3, 2)), BufferCoord(13, 1));
    EXPECT_EQ(wrap.ScreenToText(DisplayPos(2, 5)), BufferCoord(2, 4));
    EXPECT_THROW(wrap.RowLength(0), ETextEditError);
    EXPECT_THROW(wrap.RowLength(4), ETextEditError);
}

TEST(TextEditWordWrap, LineChangesMatchAFullRebuild)
{
    THost host;
    host.Lines = {QStringLiteral("one two three four five"), QStringLiteral("short"), QString(33, QLatin1Char('k')),
                  QStringLiteral("中文中文中文中文 mixed text")};
    TTextWordWrapPlugin wrap(&host);
    auto check = [&](const char* step) {
        TTextWordWrapPlugin fresh(&host);
        ASSERT_EQ(wrap.LineCount(), fresh.LineCount()) << step;
        ASSERT_EQ(wrap.TotalRows(), fresh.TotalRows()) << step;
        for (int line = 0; line < fresh.LineCount(); ++line)
            EXPECT_EQ(RowsOf(wrap, line), RowsOf(fresh, line)) << step << " line " << line;
    };
    host.Lines.insert(0, QStringLiteral("a new first line that wraps"));
    host.Lines.insert(0, QString());
    EXPECT_EQ(wrap.MapLinesInserted(0, 2), 1 + 3);
    check("insert");
    host.Lines[3] = QString(45, QLatin1Char('r'));
    EXPECT_EQ(wrap.MapLinesReplaced(3, 1), 4);
    check("replace");
    host.Lines.remove(1, 2);
    const int rowsBefore = wrap.TotalRows();
    const int removed = wrap.MapLinesDeleted(1, 2);
    EXPECT_EQ(removed, 3 + 3);  // "a new first line that wraps", "one two three four five"
    EXPECT_EQ(wrap.TotalRows(), rowsBefore - removed);
    check("delete");
    host.Width = 7;
    wrap.WidthMayHaveChanged();
    check("width");
    host.Width = 0;
    wrap.Rebuild();
    EXPECT_EQ(wrap.TotalRows(), 0);
    EXPECT_EQ(wrap.MapLinesInserted(0, 1), 0);
}
