#include "PcreRegEx.h"

#include <gtest/gtest.h>

namespace {

QString CompileMessage(const QString& pattern)
{
    TPcreRegEx regEx;
    regEx.SetRegEx(pattern);
    try {
        regEx.Compile();
    } catch (const EPcreError& e) {
        return QString::fromStdString(e.what());
    }
    return QString();
}

}  // namespace

TEST(PcreRegExTest, CompileErrorsCarryTheComponentsMessages)
{
    EXPECT_EQ(CompileMessage(QString()),
              QStringLiteral("TPcreRegEx.Compile() - Please specify a regular expression in RegEx first"));
    EXPECT_EQ(CompileMessage(QStringLiteral("a(b")),
              QStringLiteral("TPcreRegEx.Compile() - Error in regex at offset 3: missing closing parenthesis"));
    EXPECT_EQ(CompileMessage(QStringLiteral("ab[cd")),
              QStringLiteral("TPcreRegEx.Compile() - Error in regex at offset 5: "
                             "missing terminating ] for character class"));
    // The offset counts characters of the pattern, not bytes.
    EXPECT_EQ(CompileMessage(QStringLiteral("中文(x")),
              QStringLiteral("TPcreRegEx.Compile() - Error in regex at offset 4: missing closing parenthesis"));
    EXPECT_TRUE(CompileMessage(QStringLiteral("a(b)")).isEmpty());

    // Match compiles first, so it raises the same.
    TPcreRegEx regEx;
    regEx.SetSubject(QStringLiteral("abc"));
    EXPECT_THROW(regEx.Match(), EPcreError);
    regEx.SetRegEx(QStringLiteral("*a"));
    EXPECT_THROW(regEx.Match(), EPcreError);
    EXPECT_FALSE(regEx.Compiled());
}

TEST(PcreRegExTest, GroupPositionsAreOneBasedCharacterPositions)
{
    TPcreRegEx regEx;
    regEx.SetRegEx(QStringLiteral(R"((\d+)-(\d+))"));
    regEx.SetSubject(QStringLiteral("ab 12-345 x"));
    ASSERT_TRUE(regEx.Match());
    ASSERT_EQ(regEx.GroupCount(), 3);
    EXPECT_EQ(regEx.GroupStart(0), 4);
    EXPECT_EQ(regEx.GroupEnd(0), 10);
    EXPECT_EQ(regEx.GroupStart(1), 4);
    EXPECT_EQ(regEx.GroupEnd(1), 6);
    EXPECT_EQ(regEx.GroupStart(2), 7);
    EXPECT_EQ(regEx.GroupEnd(2), 10);
    EXPECT_EQ(regEx.Group(0), QStringLiteral("12-345"));
    EXPECT_EQ(regEx.Group(2), QStringLiteral("345"));
    EXPECT_EQ(regEx.Start(), 10);
    EXPECT_EQ(regEx.GroupStart(3), 0);  // beyond the groups

    // Chinese characters and a character outside the basic plane count as the
    // subject text counts them.
    regEx.SetRegEx(QStringLiteral("(x+)"));
    regEx.SetSubject(QStringLiteral("中文😀xx。"));
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.GroupStart(1), 5);
    EXPECT_EQ(regEx.GroupEnd(1), 7);
    EXPECT_EQ(regEx.Group(1), QStringLiteral("xx"));

    // A group that took no part has the positions 0.
    regEx.SetRegEx(QStringLiteral("(a)|(b)"));
    regEx.SetSubject(QStringLiteral("cb"));
    ASSERT_TRUE(regEx.Match());
    ASSERT_EQ(regEx.GroupCount(), 3);
    EXPECT_EQ(regEx.GroupStart(1), 0);
    EXPECT_EQ(regEx.GroupEnd(1), 0);
    EXPECT_TRUE(regEx.Group(1).isEmpty());
    EXPECT_EQ(regEx.GroupStart(2), 2);

    // A failed match forgets the groups.
    regEx.SetSubject(QStringLiteral("zzz"));
    EXPECT_FALSE(regEx.Match());
    EXPECT_EQ(regEx.GroupCount(), 0);
}

TEST(PcreRegExTest, OptionsChangeTheCompiledPattern)
{
    struct TCase {
        const char* Pattern;
        TPcreRegExOptions Options;
        const char* Subject;
        bool Plain;  // the result without the option
        bool With;   // the result with it
    };
    const TCase cases[] = {
        {"abc", preCaseLess, "xABCx", false, true},
        {"^b", preMultiLine, "a\nb", false, true},
        {"^b", preMultiLine, "a\rb", false, true},  // any line break counts
        {"a.b", preSingleLine, "a\nb", false, true},
        {"a b", preExtended, "ab", false, true},
        {"b", preAnchored, "ab", true, false},
    };
    for (const TCase& c : cases) {
        TPcreRegEx regEx;
        regEx.SetRegEx(QString::fromUtf8(c.Pattern));
        regEx.SetSubject(QString::fromUtf8(c.Subject));
        EXPECT_EQ(regEx.Match(), c.Plain) << c.Pattern;
        regEx.SetOptions(c.Options);
        EXPECT_FALSE(regEx.Compiled()) << c.Pattern;
        EXPECT_EQ(regEx.Match(), c.With) << c.Pattern;
    }

    TPcreRegEx regEx;
    regEx.SetRegEx(QStringLiteral("a+"));
    regEx.SetSubject(QStringLiteral("aaa"));
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.Group(0), QStringLiteral("aaa"));
    regEx.SetOptions(preUnGreedy);
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.Group(0), QStringLiteral("a"));

    regEx.SetOptions(preNoAutoCapture);
    regEx.SetRegEx(QStringLiteral("(a)(?<n>a)"));
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.GroupCount(), 2);  // only the named group captures
    EXPECT_EQ(regEx.GroupStart(1), 2);

    // The same options, or the same pattern, keep the compiled pattern.
    EXPECT_TRUE(regEx.Compiled());
    regEx.SetOptions(preNoAutoCapture);
    regEx.SetRegEx(QStringLiteral("(a)(?<n>a)"));
    EXPECT_TRUE(regEx.Compiled());
}

TEST(PcreRegExTest, EmptyMatchesCountOnlyWhenTheStateAllowsThem)
{
    TPcreRegEx regEx;
    EXPECT_EQ(regEx.State(), TPcreMatchState(pmsNotEmpty));
    regEx.SetRegEx(QStringLiteral("x*"));
    regEx.SetSubject(QStringLiteral("abc"));
    EXPECT_FALSE(regEx.Match());

    regEx.SetState({});
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.GroupStart(0), 1);
    EXPECT_EQ(regEx.GroupEnd(0), 1);
    EXPECT_EQ(regEx.Start(), 2);  // one further for an empty match

    regEx.SetRegEx(QStringLiteral("^a"));
    regEx.SetState(pmsNotBOL);
    EXPECT_FALSE(regEx.Match());
    regEx.SetRegEx(QStringLiteral("c$"));
    regEx.SetState(pmsNotEOL);
    EXPECT_FALSE(regEx.Match());
    regEx.SetState({});
    EXPECT_TRUE(regEx.Match());

    // A new subject starts over.
    regEx.SetSubject(QStringLiteral("abc"));
    EXPECT_EQ(regEx.Start(), 1);
    EXPECT_EQ(regEx.GroupCount(), 0);
    EXPECT_EQ(regEx.SubjectLength(), 3);
}

TEST(PcreRegExTest, OnMatchFiresForEverySuccessfulMatchOnly)
{
    TPcreRegEx regEx;
    int fired = 0;
    regEx.OnMatch = [&fired]() { ++fired; };
    regEx.SetRegEx(QStringLiteral("b"));
    regEx.SetSubject(QStringLiteral("abc"));
    EXPECT_TRUE(regEx.Match());
    EXPECT_TRUE(regEx.Match());
    regEx.SetSubject(QStringLiteral("xyz"));
    EXPECT_FALSE(regEx.Match());
    EXPECT_EQ(fired, 2);
}

TEST(PcreRegExTest, AMatchWithMoreGroupsThanReportedStillMatches)
{
    QString pattern;
    QString subject;
    for (int i = 0; i < 120; ++i) {
        pattern += QStringLiteral("(a)");
        subject += u'a';
    }
    TPcreRegEx regEx;
    regEx.SetRegEx(pattern);
    regEx.SetSubject(subject);
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.GroupCount(), TPcreRegEx::MaxGroups + 1);
    EXPECT_EQ(regEx.GroupStart(99), 99);
    EXPECT_EQ(regEx.GroupEnd(0), 121);
}
