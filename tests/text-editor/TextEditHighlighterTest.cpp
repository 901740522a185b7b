// The highlighter base: file filters, change announcements, assignment and
// attribute storage.

#include "TextEditHighlighter.h"

#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TTestHighlighter : public TTextCustomHighlighter {
public:
    explicit TTestHighlighter(const QStringList& names)
    {
        for (const QString& name : names)
            AddAttribute(std::make_unique<TTextTokenAttr>(name));
    }
    TTextTokenAttr* StandardAttribute(int) const override { return AttributeAt(0); }
    bool AtEndOfLine() const override { return FPos >= FLine.size(); }
    QString Token() const override { return FLine.mid(FPos, 1); }
    TTextTokenAttr* TokenAttribute() const override { return AttributeAt(0); }
    int TokenKind() const override { return 0; }
    int TokenPosition() const override { return static_cast<int>(FPos); }
    void NextToken() override { ++FPos; }
    void SetLine(const QString& line, int) override
    {
        FLine = line;
        FPos = 0;
    }
    void AddDuplicate(const QString& name) { AddAttribute(std::make_unique<TTextTokenAttr>(name)); }

private:
    QString FLine;
    qsizetype FPos = 0;
};

struct TCounter {
    int Count = 0;
    void Changed(void*) { ++Count; }
};

}  // namespace

TEST(TextEditHighlighter, FileFilters)
{
    TTestHighlighter h({QStringLiteral("Space")});
    EXPECT_FALSE(h.MatchesFileName(QStringLiteral("a.txt")));
    h.SetDefaultFilter(QStringLiteral("Text files|*.txt;*.text"));
    struct {
        const char* Name;
        bool Matches;
    } cases[] = {{"notes.TXT", true}, {"a.text", true}, {"a.tx", false}, {"noext", false}, {"x.Text", true}};
    for (auto c : cases)
        EXPECT_EQ(h.MatchesFileName(QString::fromLatin1(c.Name)), c.Matches) << c.Name;
    EXPECT_EQ(h.LanguageName(), QStringLiteral("<Unknown>"));
    EXPECT_TRUE(h.WordBreakChars().test(' '));
    EXPECT_FALSE(h.WordBreakChars().test('a'));
    EXPECT_THROW(h.AddDuplicate(QStringLiteral("Space")), ETextEditError);
    h.SetLine(QStringLiteral("abc"), 1);
    h.SkipToEndOfLine();
    EXPECT_TRUE(h.AtEndOfLine());
}

TEST(TextEditHighlighter, ChangesAreAnnouncedThroughTheChain)
{
    TTestHighlighter h({QStringLiteral("Comment"), QStringLiteral("Key")});
    TCounter counter;
    const auto listener = Method<void(void*)>(&counter, &TCounter::Changed);
    h.AddChangeListener(listener);
    h.SetEnabled(true);  // unchanged: nothing
    EXPECT_EQ(counter.Count, 0);
    h.AttributeAt(0)->SetForeground(0x123456);
    EXPECT_EQ(counter.Count, 1);
    h.BeginUpdate();
    h.SetEnabled(false);
    h.AttributeAt(1)->SetStyleBits(fsBold | fsUnderline);
    EXPECT_EQ(counter.Count, 1);
    h.EndUpdate();
    EXPECT_EQ(counter.Count, 2);
    h.BeginLoading();
    h.SetEnabled(true);
    EXPECT_EQ(counter.Count, 2);
    h.Loaded();
    EXPECT_EQ(counter.Count, 3);
    h.RemoveChangeListener(listener);
    h.SetEnabled(false);
    EXPECT_EQ(counter.Count, 3);
    EXPECT_EQ(h.AttributeAt(1)->Style(), fsBold | fsUnderline);
}

TEST(TextEditHighlighter, AssignTakesAttributesOfTheSameNameOnly)
{
    TTestHighlighter a({QStringLiteral("Comment"), QStringLiteral("Key")});
    TTestHighlighter b({QStringLiteral("Other"), QStringLiteral("Key")});
    b.AttributeAt(0)->SetForeground(0x111111);  // "Key" sorts before "Other"
    b.AttributeAt(1)->SetForeground(0x222222);
    b.SetDefaultFilter(QStringLiteral("x|*.x"));
    a.Assign(b);
    EXPECT_EQ(a.AttributeAt(1)->Foreground(), 0x111111u);  // Key
    EXPECT_EQ(a.AttributeAt(0)->Foreground(), clNone);     // Comment has no partner
    EXPECT_EQ(a.DefaultFilter(), QStringLiteral("x|*.x"));
}

TEST(TextEditHighlighter, AttributesGoThroughAnIniFile)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("colours.ini");
    TTestHighlighter a({QStringLiteral("Comment"), QStringLiteral("Key")});
    a.AttributeAt(0)->SetBackground(0xABCDEF);
    a.AttributeAt(1)->SetStyleBits(fsItalic);
    EXPECT_TRUE(a.WriteToIni(ini));
    TTestHighlighter b({QStringLiteral("Comment"), QStringLiteral("Key")});
    EXPECT_TRUE(b.ReadFromIni(ini));
    EXPECT_EQ(b.AttributeAt(0)->Background(), 0xABCDEFu);
    EXPECT_EQ(b.AttributeAt(1)->Style(), fsItalic);
    TTestHighlighter c({QStringLiteral("Comment"), QStringLiteral("Missing")});
    EXPECT_FALSE(c.ReadFromIni(ini));
    EXPECT_EQ(c.AttributeAt(0)->Background(), 0xABCDEFu);  // what could be read was read
}
