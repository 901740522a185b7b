#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <QtCore/QBuffer>

#include "interchange/RDRTF.h"

namespace {

const char* PositionName(TRDRTFPosition p)
{
    switch (p) {
    case rtf_ts_ContinuePara: return "C";
    case rtf_ts_NewLine: return "L";
    case rtf_ts_NewPara: return "P";
    }
    return "?";
}

// Reads RTF and records its events as "P:text", "C:text", "L:text" (hidden
// text marked "h"), table events as "#start" and so on.
struct TRTFLog {
    TRDRTFReader reader;
    std::vector<std::string> events;
    uint8_t code = 0;

    explicit TRTFLog(bool unicode = true)
    {
        reader.OnNewText = [this](TRDRTFReader& r, const QByteArray& text, TRDRTFPosition p) {
            events.push_back(std::string(PositionName(p)) + (r.State.Format.Char.Hidden ? "h" : "") + ":"
                             + text.toStdString());
        };
        if (unicode) {
            reader.OnNewUnicodeText = [this](TRDRTFReader& r, const QString& text, TRDRTFPosition p) {
                events.push_back(std::string(PositionName(p)) + (r.State.Format.Char.Hidden ? "h" : "") + ":"
                                 + text.toStdString());
            };
        }
        reader.OnTable = [this](TRDRTFReader&, TRDRTFTableEventKind kind, bool&) {
            static const char* names[] = {"#start", "#end", "#forced", "#row", "#cell"};
            events.push_back(names[kind]);
        };
    }

    std::vector<std::string> Read(const QByteArray& rtf)
    {
        QBuffer buffer;
        buffer.setData(rtf);
        buffer.open(QIODevice::ReadOnly);
        events.clear();
        code = reader.Read(buffer);
        return events;
    }
};

using TEvents = std::vector<std::string>;

}  // namespace

TEST(RTFReader, RunsCarryTheBreakBeforeThem)
{
    struct Case {
        QByteArray rtf;
        TEvents events;
    };
    const Case cases[] = {
        {"{\\rtf1 a\\par b}", {"P:a", "P:b"}},
        {"{\\rtf1 a\\par\\par b}", {"P:a", "P:", "P:b"}},
        {"{\\rtf1 a\\par}", {"P:a"}},
        {"{\\rtf1 a\\line b}", {"P:a", "L:b"}},
        {"{\\rtf1 a{\\b b}c}", {"P:a", "C:b", "C:c"}},
        // Line breaks in the input are no breaks; after a backslash they are.
        {"{\\rtf1 a\r\nb\\\nc}", {"P:ab", "P:c"}},
        {"{\\rtf1 \\{x\\}\\\\}", {"P:{x}\\"}},
        // Bytes after the outermost group are not read.
        {"{\\rtf1 a}b}}}", {"P:a"}},
        // An unknown keyword is ignored; after "\*" its group is skipped
        // (a skipped group does not split the run around it).
        {"{\\rtf1 a\\foo b{\\*\\bar skipped}c}", {"P:abc"}},
        {"{\\rtf1 a{\\info{\\title T}}b}", {"P:ab"}},
        {"{\\rtf1 a{\\*\\bar {\\b x}\\par y}b}", {"P:ab"}},
        // Keywords are case-sensitive.
        {"{\\rtf1 a\\PAR b}", {"P:ab"}},
        {"{\\rtf1 x\\'41\\'e9}", {"P:xA\xe9"}},
        {"{\\rtf1 \\'4\r\n1}", {"P:A"}},
    };
    for (const auto& c : cases) {
        TRTFLog log;
        EXPECT_EQ(log.Read(c.rtf), c.events) << c.rtf.constData();
        EXPECT_EQ(log.code, rtf_ec_OK) << c.rtf.constData();
    }
}

TEST(RTFReader, ResultCodes)
{
    struct Case {
        QByteArray rtf;
        uint8_t code;
    };
    const Case cases[] = {
        {"{\\rtf1 a}", rtf_ec_OK},
        {"}", rtf_ec_StackUnderflow},
        {"{\\rtf1 a", rtf_ec_UnmatchedBrace},
        {"{\\rtf1 \\'zz}", rtf_ec_InvalidHex},
        {"{\\rtf1 a\\", rtf_ec_EndOfFile},
        {QByteArray(100000, '{'), rtf_ec_StackOverflow},
        {QByteArray(RTFMaxGroupDepth, '{') + QByteArray(RTFMaxGroupDepth, '}'), rtf_ec_OK},
        {QByteArray(RTFMaxGroupDepth + 1, '{') + QByteArray(RTFMaxGroupDepth + 1, '}'), rtf_ec_StackOverflow},
        {"", rtf_ec_OK},
    };
    for (const auto& c : cases) {
        TRTFLog log;
        log.Read(c.rtf);
        EXPECT_EQ(log.code, c.code) << c.rtf.left(40).constData();
    }
}

TEST(RTFReader, UnicodeAndItsFallbackCharacters)
{
    struct Case {
        QByteArray rtf;
        bool unicodeHandler;
        TEvents events;
    };
    const Case cases[] = {
        {"{\\rtf1 \\uc1\\u1234?x}", true, {"P:\u04d2", "C:x"}},
        {"{\\rtf1 \\uc1\\u1234?x}", false, {"P:?x"}},
        {"{\\rtf1 \\uc2\\u20013\\'d6\\'d0x}", true, {"P:\u4e2d", "C:x"}},
        // A brace ends the skipping.
        {"{\\rtf1 \\uc2\\u20013{x}}", true, {"P:\u4e2d", "C:x"}},
        // Negative parameters are UTF-16 units.
        {"{\\rtf1 \\u-3913?}", true, {"P:\uf0b7"}},
        // "\uc" below 0 counts as 0: nothing is dropped.
        {"{\\rtf1 \\uc-5\\u65 b}", true, {"P:A", "C:b"}},
        // Surrogate pairs join; a lone surrogate becomes U+FFFD.
        {"{\\rtf1 \\u-10179?\\u-8704?}", true, {"P:\U0001F600"}},
        {"{\\rtf1 \\u-10000?}", true, {"P:\ufffd"}},
        {"{\\rtf1 \\u-8704?a}", true, {"P:\ufffd", "C:a"}},
        // A character keyword counts as a fallback character.
        {"{\\rtf1 \\u8220\\ldblquote x}", true, {"P:\u201c", "C:x"}},
        {"{\\rtf1 \\ldblquote}", true, {"P:\u201c"}},
        {"{\\rtf1 \\ldblquote}", false, {"P:\x93"}},
    };
    for (const auto& c : cases) {
        TRTFLog log(c.unicodeHandler);
        EXPECT_EQ(log.Read(c.rtf), c.events) << c.rtf.constData();
        EXPECT_EQ(log.code, rtf_ec_OK) << c.rtf.constData();
    }
}

TEST(RTFReader, HostileParametersAndBinaryData)
{
    struct Case {
        QByteArray rtf;
        TEvents events;
    };
    const Case cases[] = {
        // \bin 0 or negative: no binary mode; the text after it is text.
        {"{\\rtf1 \\bin0 ab}", {"P:ab"}},
        {"{\\rtf1 \\bin-5 ab}", {"P:ab"}},
        // Binary bytes outside pictures are dropped, braces among them too.
        {"{\\rtf1 a\\bin3 }{xb}", {"P:ab"}},
        // A 20-digit parameter falls back to 0: "\fs0".
        {"{\\rtf1 \\fs99999999999999999999 a}", {"P:a"}},
        {"{\\rtf1 \\itap2000000000\\intbl a}", {"#start", "#start", "#start", "#start", "#start", "#start",
                                                "#start", "#start", "#start", "#start", "#start", "#start",
                                                "#start", "#start", "#start", "#start", "#start", "#start",
                                                "#start", "#start", "#start", "#start", "#start", "#start",
                                                "#start", "#start", "#start", "#start", "#start", "#start",
                                                "#start", "#start", "P:a", "#forced", "#forced", "#forced",
                                                "#forced", "#forced", "#forced", "#forced", "#forced", "#forced",
                                                "#forced", "#forced", "#forced", "#forced", "#forced", "#forced",
                                                "#forced", "#forced", "#forced", "#forced", "#forced", "#forced",
                                                "#forced", "#forced", "#forced", "#forced", "#forced", "#forced",
                                                "#forced", "#forced", "#forced", "#forced", "#forced"}},
        {"{\\rtf1 \\red999999\\f99\\ls7\\ilvl200 a}", {"P:a"}},
    };
    for (const auto& c : cases) {
        TRTFLog log;
        EXPECT_EQ(log.Read(c.rtf), c.events) << c.rtf.constData();
        EXPECT_EQ(log.code, rtf_ec_OK) << c.rtf.constData();
    }

    // 100,000 cell boundaries in one row.
    QByteArray cells = "{\\rtf1 \\trowd";
    for (int i = 1; i <= 100000; ++i)
        cells += "\\cellx" + QByteArray::number(i);
    cells += " x}";
    TRTFLog log;
    size_t cellsAtText = 0;
    log.reader.OnNewText = [&cellsAtText](TRDRTFReader& r, const QByteArray&, TRDRTFPosition) {
        cellsAtText = r.State.Format.RowProps().Cells.size();
    };
    log.Read(cells);
    EXPECT_EQ(log.code, rtf_ec_OK);
    EXPECT_EQ(cellsAtText, static_cast<size_t>(RTFMaxCellsPerRow) + 1);
}

TEST(RTFReader, DocumentTables)
{
    TRTFLog log;
    std::vector<int> fontAtText;
    log.reader.OnNewText = [&fontAtText](TRDRTFReader& r, const QByteArray&, TRDRTFPosition) {
        fontAtText.push_back(r.State.Format.Char.FontIndex);
    };
    log.Read("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman Times New Roman CYR;}{\\f1\\fcharset134 "
             "\\'cb\\'ce\\'cc\\'e5;}{\\f2{\\*\\falt Arial}Helvetica;}}"
             "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue999;}"
             "{\\stylesheet{\\s0 Normal;}{\\*\\cs10\\additive\\b Strong;}{\\s1\\sbasedon0\\snext0 heading 1;}}"
             "\\f7 a\\cf1 b\\plain c}");
    ASSERT_EQ(log.code, rtf_ec_OK);
    const auto& t = log.reader.Tables;
    ASSERT_EQ(t.Fonts.Fonts.size(), 3u);
    EXPECT_EQ(t.Fonts.NameOf(0), QByteArray("Times New Roman CYR"));  // charset not Cyrillic: kept
    EXPECT_EQ(t.Fonts.NameOf(1), QByteArray("\xcb\xce\xcc\xe5"));
    EXPECT_EQ(t.Fonts.CharsetOf(1), 134);
    EXPECT_EQ(t.Fonts.NameOf(2), QByteArray("Helvetica"));
    EXPECT_EQ(t.Fonts.Fonts[0].FontFamily, 1);
    ASSERT_EQ(t.Colors.Colors.size(), 3u);
    EXPECT_EQ(t.Colors.Colors[0], clWindowText);
    EXPECT_EQ(t.Colors.Colors[1], 0x0000FFu);
    EXPECT_EQ(t.Colors.Colors[2], 0xFF0000u);
    const auto& sheet = t.StyleSheet.Entries;
    ASSERT_EQ(sheet.size(), 3u);
    EXPECT_EQ(sheet[0].Name, QByteArray("Normal"));
    EXPECT_EQ(sheet[1].Kind, 0);
    EXPECT_EQ(sheet[1].Number, 10);
    EXPECT_TRUE(sheet[1].Additive);
    EXPECT_TRUE(sheet[1].Char.Styles & 1);
    EXPECT_EQ(sheet[2].BasedOn, 0);
    EXPECT_EQ(sheet[2].NextStyle, 0);
    EXPECT_EQ(sheet[2].Name, QByteArray("heading 1"));
    // "\f7" names no font: the "\deff" font; "\plain" goes back to it.
    EXPECT_EQ(fontAtText, (std::vector<int>{1, 1, 1}));
}

TEST(RTFReader, TablesOpenAndCloseAroundTheirParagraphs)
{
    TRTFLog log;
    const auto events = log.Read("{\\rtf1 \\trowd\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row\\pard c\\par}");
    EXPECT_EQ(events, (TEvents{"#start", "P:a", "#cell", "P:b", "#cell", "#row", "#end", "P:c"}));
    EXPECT_EQ(log.code, rtf_ec_OK);
}

TEST(RTFReader, HiddenTextAndSeparateTabs)
{
    {
        TRTFLog log;
        EXPECT_EQ(log.Read("{\\rtf1 a\\par\\v b\\v0 c}"), (TEvents{"P:a", "Ph:", "Ch:b", "C:c"}));
    }
    {
        TRTFLog log;
        log.reader.SeparateTabs = true;
        EXPECT_EQ(log.Read("{\\rtf1 a\\tab b}"), (TEvents{"P:a", "C:\t", "C:b"}));
    }
}

TEST(RTFReader, ProgressOnlyForLargeInputs)
{
    for (int size : {20480, 30000}) {
        QByteArray rtf = "{\\rtf1 ";
        rtf += QByteArray(size - rtf.size() - 1, 'x');
        rtf += "}";
        ASSERT_EQ(rtf.size(), size);
        TRTFLog log;
        std::vector<std::pair<int, int>> progress;
        log.reader.OnProgress = [&progress](TRDRTFReader&, TRDRTFProgressStage stage, uint8_t percent) {
            progress.emplace_back(stage, percent);
        };
        log.Read(rtf);
        EXPECT_EQ(log.code, rtf_ec_OK);
        if (size <= 20480) {
            EXPECT_TRUE(progress.empty());
        } else {
            ASSERT_GE(progress.size(), 3u);
            EXPECT_EQ(progress.front(), std::make_pair(int(rdprtfprStarting), 0));
            EXPECT_EQ(progress[1], std::make_pair(int(rdprtfprRunning), 0));
            EXPECT_EQ(progress.back(), std::make_pair(int(rdprtfprEnding), 0));
            // One report per block of 4096 bytes.
            EXPECT_EQ(progress.size() - 2, static_cast<size_t>((size + 4095) / 4096));
        }
    }
}

TEST(RTFReader, HandlerExceptionsEndTheReadWithACode)
{
    TRTFLog log;
    log.reader.OnNewText = [](TRDRTFReader&, const QByteArray&, TRDRTFPosition) {
        throw std::runtime_error("handler");
    };
    log.Read("{\\rtf1 a\\par b}");
    EXPECT_EQ(log.code, rtf_ec_Aborted);
}
