// Phonetic keys, the word lists of the spell checker and the acceptance of
// typed words, on small lists made here and on the shipped English list.

#include "TextSpellCheck.h"
#include "TextSpellCheckMetaphone.h"

#include "AnsiText.h"

#include "Graphics.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtGui/QRegion>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>

#include <sys/resource.h>

#include <gtest/gtest.h>

namespace {

void WriteList(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(TextSpellPhonetic, KeysWorkedByHand)
{
    struct {
        const char* Word;
        int Length;
        const char* Soundex;
    } soundex[] = {{"Robert", 4, "R163"}, {"Tymczak", 4, "T522"}, {"Ashcraft", 4, "A261"}, {"a", 4, "A000"},
                   {"Pfister", 4, "P236"}, {"Lloyd", 4, "L300"}, {"Washington", 2, "W2"}, {"", 4, ""},
                   {"rupert", 4, "R163"}, {"Honeyman", 6, "H55500"}};
    for (auto c : soundex)
        EXPECT_EQ(SoundexKey(QString::fromLatin1(c.Word), c.Length), QString::fromLatin1(c.Soundex)) << c.Word;
    struct {
        const char* Word;
        const char* Key;
    } metaphone[] = {{"knight", "NKNKT"}, {"hat", "T"}, {"Knight!2", "NKNKT"}, {"thumb", "0MB"},
                     {"phone", "FN"},     {"ship", "XP"}, {"xerox", "SR"},    {"", ""},     {"wright", "RRKT"},
                     {"science", "SSN"},  {"apple", "APL"}, {"ghost", "ST"}};
    for (auto c : metaphone)
        EXPECT_EQ(MetaphoneKey(QString::fromLatin1(c.Word)), QString::fromLatin1(c.Key)) << c.Word;
}

TEST(TextSpellDictionaries, NewestListUserWordsAndSkipList)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/dict/");
    QDir().mkpath(folder);
    WriteList(folder + "english.1-0-0.dic", "old\r\n");
    WriteList(folder + "English.1-2-0.dic", "apple\r\nbanana  \r\nCherry\r\n\r\nzebra\r\n");
    WriteList(folder + "english.user.dic", "never\r\n");  // never taken for a main list
    WriteList(folder + "English.user.dic", "myword\r\n");
    WriteList(folder + "English.SkipWord.dic", "Skipped\r\n\r\n\r\nother\r\n");

    TTextSpellCheck spell;
    spell.SetDictionaryPath(folder);
    spell.SetUserDirectory(dir.path() + QStringLiteral("/dict"));  // no trailing separator
    EXPECT_EQ(spell.FindNewestDictionary(QStringLiteral("english")), QStringLiteral("English.1-2-0.dic"));
    spell.OpenLanguageDictionary(QStringLiteral("english"));
    EXPECT_TRUE(spell.OpenDictionary());
    EXPECT_EQ(spell.Language().Name, QStringLiteral("English"));
    EXPECT_EQ(spell.Language().Version, QStringLiteral("1-2-0"));
    EXPECT_GE(spell.FindDictionaryWord(QStringLiteral("apple")), 0);
    EXPECT_EQ(spell.FindDictionaryWord(QStringLiteral("old")), -1);
    EXPECT_EQ(spell.FindDictionaryWord(QStringLiteral("banana")), -1);   // stored with its blanks
    EXPECT_FALSE(spell.IsWordAccepted(QStringLiteral("Cherry")));        // capitals never found
    EXPECT_TRUE(spell.IsWordAccepted(QStringLiteral("Zebra")));
    EXPECT_TRUE(spell.IsWordAccepted(QStringLiteral("MYWORD")));         // the user list
    EXPECT_TRUE(spell.IsWordAccepted(QStringLiteral("skipped")));        // the skip list, any case
    EXPECT_EQ(spell.SkipList().size(), 3);                               // duplicates (blank lines) once
    EXPECT_EQ(spell.MaxWordLength(), 8);

    // Reopening writes the skip list without blank lines and each user word
    // once, though the list now holds everything twice.
    spell.OpenLanguageDictionary(QStringLiteral("english"));
    EXPECT_GE(spell.FindDictionaryWord(QStringLiteral("zebra")), 0);
    EXPECT_EQ(ReadFile(folder + "English.SkipWord.dic"), QByteArray("Skipped\r\nother\r\n"));
    spell.WriteUserDictionary();
    EXPECT_EQ(ReadFile(folder + "English.user.dic"), QByteArray("myword\r\n"));
}

TEST(TextSpellDictionaries, AMissingListRaisesAndChangesNothing)
{
    QTemporaryDir dir;
    TTextSpellCheck spell;
    spell.SetDictionaryPath(dir.path());
    EXPECT_THROW(spell.OpenLanguageDictionary(QStringLiteral("english")), EInOutError);
    EXPECT_FALSE(spell.OpenDictionary());
    EXPECT_EQ(spell.WordCount(), 0);
    EXPECT_FALSE(spell.IsWordAccepted(QStringLiteral("word")));  // no list: not accepted
    EXPECT_THROW(TTextSpellCheck::ForceDirectoryPath(QString()), ETextEditError);
    EXPECT_TRUE(TTextSpellCheck::ForceDirectoryPath(dir.path() + QStringLiteral("/a/b/c/")));
    EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/a/b/c")).exists());
}

// A write of the user list or of the skip list that fails (here a file-size
// limit, in a child process of its own; a read-only folder stops no one
// running as root) raises EInOutError naming the file and leaves the old
// file whole, with nothing beside it: the new list is written in full before
// it replaces the old one. A failed reopen leaves the open lists as they were.
int FailListWritesUnderASizeLimit()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/");
    const QString userList = folder + QStringLiteral("english.user.dic");
    const QString skipList = folder + QStringLiteral("english.SkipWord.dic");
    // Line feeds alone: a list written anew ends its lines with CR LF, so
    // a file written again, even in part, differs from these.
    QByteArray user;
    QByteArray skip;
    for (int i = 0; i < 2000; ++i) {
        user += "userword" + QByteArray::number(i) + '\n';
        skip += "skipword" + QByteArray::number(i) + '\n';
    }
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    if (!write(folder + QStringLiteral("english.1-0-0.dic"), "apple\r\n") || !write(userList, user) ||
        !write(skipList, skip))
        return 10;
    TTextSpellCheck spell;
    spell.SetDictionaryPath(folder);
    spell.SetUserDirectory(folder);
    spell.OpenLanguageDictionary(QStringLiteral("english"));
    if (!spell.IsWordAccepted(QStringLiteral("userword1999")) || spell.SkipList().size() != 2000)
        return 11;

    constexpr rlim_t Limit = 4096;  // far less than either list
    const rlimit limit{Limit, Limit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 12;
    std::signal(SIGXFSZ, SIG_IGN);
    const auto namesTheFile = [](const EInOutError& e, const char* name) {
        const QString m = e.Message();
        const QString head = QString::fromLatin1(name) + QStringLiteral(": ");
        return m.contains(head) && m.size() > m.indexOf(head) + head.size();  // the file error's text follows
    };

    spell.SetModified(true);
    try {
        spell.WriteUserDictionary();
        return 13;
    } catch (const EInOutError& e) {
        if (!namesTheFile(e, "english.user.dic"))
            return 14;
    }
    if (ReadFile(userList) != user)
        return 15;
    if (!spell.Modified())  // the words are still unsaved
        return 16;

    // A reopen writes the skip list first: its failure stops the reopen.
    try {
        spell.OpenLanguageDictionary(QStringLiteral("english"));
        return 17;
    } catch (const EInOutError& e) {
        if (!namesTheFile(e, "english.SkipWord.dic"))
            return 18;
    }
    if (ReadFile(skipList) != skip || ReadFile(userList) != user)
        return 19;
    if (!spell.OpenDictionary() || spell.SkipList().size() != 2000 || !spell.IsWordAccepted(QStringLiteral("apple")) ||
        !spell.IsWordAccepted(QStringLiteral("userword5")) || !spell.IsWordAccepted(QStringLiteral("skipword7")))
        return 20;
    // No half-written new list is left beside the old ones.
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    if (files != QStringList{QStringLiteral("english.1-0-0.dic"), QStringLiteral("english.SkipWord.dic"),
                             QStringLiteral("english.user.dic")})
        return 21;
    return 0;
}

TEST(TextSpellDictionariesDeathTest, AFailedListWriteKeepsTheOldFileAndRaises)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(FailListWritesUnderASizeLimit()), ::testing::ExitedWithCode(0), "");
}

TEST(TextSpellDictionaries, AlgorithmChangesRecomputeEveryKey)
{
    QTemporaryDir dir;
    WriteList(dir.filePath("list.dic"), "robert\r\nhat\r\n");
    TTextSpellCheck spell;
    spell.SetUseUserDictionary(false);
    spell.OpenLanguageDictionary(QStringLiteral("x"), dir.filePath("list.dic"));
    EXPECT_EQ(spell.Words(0).Hash, QString());
    spell.SetAlgorithm(haSoundEx);
    EXPECT_EQ(spell.Words(1).Hash, QStringLiteral("R163"));
    spell.SetHashLength(6);
    EXPECT_EQ(spell.Words(1).Hash, QStringLiteral("R16300"));
    spell.SetAlgorithm(haMetaphone);
    EXPECT_EQ(spell.Words(0).Hash, QStringLiteral("T"));
}

TEST(TextSpellAcceptance, OptionsDecideForOddWords)
{
    QTemporaryDir dir;
    WriteList(dir.filePath("list.dic"), "don't\r\nword\r\n");
    TTextSpellCheck spell;
    spell.SetUseUserDictionary(false);
    spell.OpenLanguageDictionary(QStringLiteral("x"), dir.filePath("list.dic"));
    struct {
        const char* Word;
        unsigned Options;
        bool Accepted;
    } cases[] = {
        {"x", 0, false},           {"x", sscoIgnoreSingleChars, true},      {"abc1", 0, false},
        {"abc1", sscoIgnoreWordsWithNumbers, true}, {"--", 0, true},        {"''", 0, true},
        {"word''", 0, false},      {"word''", sscoTrimApostrophes, true},   {"  word\t", 0, true},
        {"", 0, true},             {"DON'T", 0, true},                       {"wordy", 0, false},
    };
    for (auto c : cases) {
        spell.SetOptions(c.Options);
        EXPECT_EQ(spell.IsWordAccepted(QString::fromLatin1(c.Word)), c.Accepted) << c.Word << " " << c.Options;
    }
    EXPECT_TRUE(spell.IsSpellWordChar('\''));
    EXPECT_TRUE(spell.IsSpellWordChar('-'));
    EXPECT_FALSE(spell.IsSpellWordChar(0x4E2D));
    EXPECT_FALSE(spell.IsSpellWordChar('.'));
}

TEST(TextSpellAcceptance, TheShippedEnglishList)
{
    const QString folder = QStringLiteral(PIBO_BUILT_PROGRAM_FOLDER "data/dict/");
    ASSERT_TRUE(QFile::exists(folder + "english.1-0-0.dic")) << "the build makes the word list in " << folder.toStdString();
    TTextSpellCheck spell;
    spell.SetDictionaryPath(folder);
    spell.SetUseUserDictionary(false);
    spell.OpenLanguageDictionary(QStringLiteral("english"));
    EXPECT_GT(spell.WordCount(), 90000);
    for (const char* word : {"the", "don't", "o'clock", "colour", "color", "Monday", "English", "learner"})
        EXPECT_TRUE(spell.IsWordAccepted(QString::fromLatin1(word))) << word;
    for (const char* word : {"recieve", "teh", "wrod"})
        EXPECT_FALSE(spell.IsWordAccepted(QString::fromLatin1(word))) << word;
    // Accented entries stay, in GBK.
    for (const char* word : {"éclairs", "protégés", "cortège's", "Éclair", "PROTÉGÉ"})
        EXPECT_TRUE(spell.IsWordAccepted(QString::fromUtf8(word))) << word;
    EXPECT_FALSE(spell.IsWordAccepted(QString::fromUtf8("protégéz")));

    // The file: GBK, CR LF after every line, every line a word that reads
    // back as it was written.
    const QByteArray bytes = ReadFile(folder + "english.1-0-0.dic");
    EXPECT_TRUE(bytes.contains(QByteArray("\r\n\xA8\xA6" "clairs\r\n"))) << "éclairs in GBK";
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');
    int accented = 0;
    for (const QByteArray& line : lines) {
        ASSERT_TRUE(line.endsWith('\r')) << line.toStdString();
        const QByteArray word = line.chopped(1);
        ASSERT_FALSE(word.isEmpty());
        const QString text = AnsiToString(word);
        ASSERT_EQ(StringToAnsi(text), word) << word.toStdString();
        ASSERT_FALSE(text.contains(QChar::ReplacementCharacter) || text.contains(u'?')) << word.toStdString();
        accented += text.size() != word.size();
    }
    EXPECT_GT(accented, 100);
}

// ---------------------------------------------------------------- words in editors and underlining

namespace {

constexpr TColor Blue = 0xFF0000;   // BGR
constexpr TColor Green = 0x008000;

void SetLines(TCustomTextEdit& e, const QStringList& lines)
{
    e.Lines().Clear();
    for (const QString& s : lines)
        e.Lines().Add(s);
}

// A checker over a small list written here, set up as on the dictation
// screens.
struct TCheckedEditor {
    QTemporaryDir Dir;
    TTextEdit Edit;
    TTextSpellCheck Spell;

    explicit TCheckedEditor(const QStringList& lines,
                            const QByteArray& list = "a\r\nin\r\nis\r\nreceive\r\nthe\r\nword\r\nwords\r\n")
    {
        const QString folder = Dir.path() + QStringLiteral("/dict/");
        QDir().mkpath(folder);
        WriteList(folder + "english.1-0-0.dic", list);
        Spell.SetDictionaryPath(folder);
        Spell.SetUserDirectory(folder);
        Spell.SetOptions(sscoAutoSpellCheck);
        Spell.SetApostrophes(QString(QLatin1Char('\'')) + QLatin1Char('`') + QChar(0));
        Spell.OpenLanguageDictionary(QStringLiteral("english"));
        Edit.resize(400, 120);
        SetLines(Edit, lines);
        Spell.SetEditor(&Edit);
    }

    // Pixels in the pen colour in the band under a word at a cell of a line.
    int RedUnder(const QImage& shot, int line, int cell, const QString& word) const
    {
        const QPoint at = Edit.DisplayPosToPixels(Edit.BufferToDisplayPos(BufferCoord(cell, line)));
        const int base = at.y() + Edit.RowHeight() - 3;
        const int width = TextWidthOf(Edit.Font(), word);
        int red = 0;
        for (int x = std::max(0, at.x()); x <= at.x() + width && x < shot.width(); ++x)
            for (int y = base; y <= base + 2 && y < shot.height(); ++y)
                red += shot.pixelColor(x, y) == QColor(Qt::red);
        return red;
    }
};

}  // namespace

TEST(TextSpellEditor, WordAroundPosition)
{
    TTextEdit e;
    SetLines(e, {QStringLiteral("it's a co-op, 中文word x"), QString()});
    TTextSpellCheck spell;
    const TCharSet chars = spell.SpellWordChars();
    struct {
        int Line, Char;
        const char* Word;
    } cases[] = {
        {1, 1, "it's"},    // the start of the line
        {1, 3, "it's"},    // inside: both ways
        {1, 5, "it's"},    // just after the word: to the left only
        {1, 6, "a"},       // a word of one letter
        {1, 8, "co-op"},   // hyphens belong to words
        {1, 13, "co-op"},  // on the comma: the word before it
        {1, 14, ""},       // between two blanks: nothing
        {1, 15, ""},       // the first cell of a wide character
        {1, 16, ""},       // its trail cell
        {1, 19, "word"},   // right after the wide characters: they end words
        {1, 24, "x"},      // the last character
        {1, 25, "x"},      // one past the end of the line
        {1, 26, ""},       // beyond it
        {1, 0, ""},        {2, 1, ""},  // an empty line
        {3, 1, ""},        // no such line
    };
    for (const auto& c : cases)
        EXPECT_EQ(TTextSpellCheck::WordAroundPosition(&e, BufferCoord(c.Char, c.Line), chars, true),
                  QString::fromLatin1(c.Word))
            << c.Line << ":" << c.Char;
    EXPECT_EQ(TTextSpellCheck::WordAroundPosition(nullptr, BufferCoord(1, 1), chars, true), QString());
}

TEST(TextSpellEditor, UnderlinesMisspeltWordsOnlyAndACorrectionClearsThem)
{
    TCheckedEditor c({QStringLiteral("the recieve 中文 teh"), QStringLiteral("Words in a word")});
    QImage shot = c.Edit.grab().toImage();
    EXPECT_EQ(c.RedUnder(shot, 1, 1, QStringLiteral("the")), 0);
    EXPECT_GT(c.RedUnder(shot, 1, 5, QStringLiteral("recieve")), 10);
    EXPECT_EQ(c.RedUnder(shot, 1, 13, QStringLiteral("中文")), 0);
    EXPECT_GT(c.RedUnder(shot, 1, 18, QStringLiteral("teh")), 3);
    // Capitals are looked up in lower case.
    EXPECT_EQ(c.RedUnder(shot, 2, 1, QStringLiteral("Words in a word")), 0);

    // Corrected, the underline goes with the next paint.
    c.Edit.Lines().Put(0, QStringLiteral("the receive 中文 teh"));
    shot = c.Edit.grab().toImage();
    EXPECT_EQ(c.RedUnder(shot, 1, 5, QStringLiteral("receive")), 0);
    EXPECT_GT(c.RedUnder(shot, 1, 18, QStringLiteral("teh")), 3);

    // Without sscoAutoSpellCheck nothing is drawn.
    c.Spell.SetOptions(0);
    shot = c.Edit.grab().toImage();
    EXPECT_EQ(c.RedUnder(shot, 1, 18, QStringLiteral("teh")), 0);
}

TEST(TextSpellEditor, AccentedLettersBelongToWords)
{
    // "éclairs" is in the list (GBK), "protégé" is not.
    TCheckedEditor c({QStringLiteral("the éclairs protégé")},
                     "the\r\n" + StringToAnsi(QStringLiteral("éclairs")) + "\r\n");
    EXPECT_TRUE(c.Spell.IsSpellWordChar(u'é'));
    EXPECT_TRUE(c.Spell.IsSpellWordChar(u'Ü'));
    EXPECT_FALSE(c.Spell.IsSpellWordChar(0xD7));  // the multiplication sign
    EXPECT_FALSE(c.Spell.IsSpellWordChar(0xB4));  // the acute accent, no apostrophe on these screens
    // Cells: "the" 1-3, "éclairs" 5-12 (é takes two), "protégé" 14-22.
    const TCharSet chars = c.Spell.SpellWordChars();
    for (int cell : {5, 6, 7, 12})
        EXPECT_EQ(TTextSpellCheck::WordAroundPosition(&c.Edit, BufferCoord(cell, 1), chars, true),
                  QStringLiteral("éclairs")) << cell;
    EXPECT_EQ(TTextSpellCheck::WordAroundPosition(&c.Edit, BufferCoord(14, 1), chars, true),
              QStringLiteral("protégé"));
    EXPECT_TRUE(c.Spell.IsWordAccepted(QStringLiteral("Éclairs")));

    const QImage shot = c.Edit.grab().toImage();
    EXPECT_EQ(c.RedUnder(shot, 1, 1, QStringLiteral("the")), 0);
    EXPECT_EQ(c.RedUnder(shot, 1, 5, QStringLiteral("éclairs")), 0);
    EXPECT_GT(c.RedUnder(shot, 1, 14, QStringLiteral("protégé")), 10);
}

TEST(TextSpellEditor, TheUnderlineFollowsItsPatternAndLeavesTheGutterAlone)
{
    TCheckedEditor c({QStringLiteral("zzzz")});
    const QPoint at = c.Edit.DisplayPosToPixels(c.Edit.BufferToDisplayPos(BufferCoord(1, 1)));
    const int base = at.y() + c.Edit.RowHeight() - 3;
    QImage shot = c.Edit.grab().toImage();
    static constexpr int MicrosoftWord[4] = {0, 1, 2, 1};
    static constexpr int CorelWordPerfect[4] = {2, 1, 0, -1};
    for (int k = 0; k < 8; ++k) {
        const int offset = MicrosoftWord[k % 4];
        EXPECT_EQ(shot.pixelColor(at.x() + k, base + offset), QColor(Qt::red)) << k;
    }
    c.Spell.SetUnderlineStyle(usCorelWordPerfect);
    c.Spell.SetPenColor(Blue);
    shot = c.Edit.grab().toImage();
    for (int k = 0; k < 8; ++k) {
        const int offset = CorelWordPerfect[k % 4];
        const QColor expected = offset < 0 ? QColor(Qt::white) : QColor(Qt::blue);
        EXPECT_EQ(shot.pixelColor(at.x() + k, base + offset), expected) << k;
    }
    EXPECT_EQ(c.RedUnder(shot, 1, 1, QStringLiteral("zzzz")), 0);

    // Scrolled so that the word starts under the gutter: nothing is drawn there.
    SetLines(c.Edit, {QStringLiteral("zzzzzzzzzzzzzzzzzzzz")});
    c.Edit.SetLeftColumn(3);
    shot = c.Edit.grab().toImage();
    for (int x = 0; x <= c.Edit.GutterPixels(); ++x)
        for (int y = 0; y < c.Edit.RowHeight(); ++y)
            EXPECT_NE(shot.pixelColor(x, y), QColor(Qt::blue)) << x << "," << y;
}

// Words scrolled into view from the right are underlined too: the painted
// part ends at the clip's right edge, not at its width.
TEST(TextSpellEditor, WordsScrolledIntoViewAreUnderlined)
{
    const QString line = QString(60, QLatin1Char(' ')) + QStringLiteral("teh");
    TCheckedEditor c({line});
    c.Edit.resize(200, 80);
    QImage shot = c.Edit.grab().toImage();
    c.Edit.SetLeftColumn(50);
    shot = c.Edit.grab().toImage();
    EXPECT_GT(c.RedUnder(shot, 1, 61, QStringLiteral("teh")), 3);
    // Only the right half painted: the word lies inside that clip.
    QImage half(c.Edit.size(), QImage::Format_ARGB32);
    half.fill(Qt::white);
    const QPoint at = c.Edit.DisplayPosToPixels(c.Edit.BufferToDisplayPos(BufferCoord(61, 1)));
    ASSERT_GT(at.x(), 100);
    c.Edit.render(&half, QPoint(100, 0), QRegion(100, 0, 100, 80));
    EXPECT_GT(c.RedUnder(half, 1, 61, QStringLiteral("teh")), 3);
}

TEST(TextSpellEditor, EditorsAndPluginsRegistry)
{
    TTextSpellCheck spell;
    auto first = std::make_unique<TTextEdit>();
    auto second = std::make_unique<TTextEdit>();
    EXPECT_EQ(spell.AddEditor(nullptr), -1);
    EXPECT_EQ(spell.AddEditor(first.get()), 0);
    EXPECT_EQ(spell.AddEditor(first.get()), 0);
    EXPECT_EQ(first->PluginCount(), 1);
    spell.SetPenColor(Green);
    spell.SetEditor(second.get());
    EXPECT_EQ(spell.Editor(), second.get());
    EXPECT_EQ(spell.EditorCount(), 2);
    ASSERT_NE(spell.CurrentPlugin(), nullptr);
    EXPECT_EQ(spell.CurrentPlugin()->Owner(), second.get());
    EXPECT_EQ(spell.CurrentPlugin()->PenColor(), Green);
    spell.SetEditor(first.get());  // the replaced editor keeps its plugin
    EXPECT_EQ(second->PluginCount(), 1);
    EXPECT_EQ(first->PluginCount(), 1);
    spell.SetEditor(nullptr);
    EXPECT_EQ(spell.Editor(), nullptr);
    EXPECT_EQ(spell.CurrentPlugin(), nullptr);

    // The current editor freed: the checker forgets it and its plugin.
    spell.SetEditor(second.get());
    second.reset();
    EXPECT_EQ(spell.Editor(), nullptr);
    EXPECT_EQ(spell.CurrentPlugin(), nullptr);
    spell.SetPenColor(clRed);  // no plugin to hand it to
    // A plugin freed on its own: the editor gets a new one when set again.
    delete first->Plugin(0);
    EXPECT_EQ(first->PluginCount(), 0);
    spell.SetEditor(first.get());
    EXPECT_EQ(first->PluginCount(), 1);
    EXPECT_EQ(spell.CurrentPlugin()->Owner(), first.get());
}

TEST(TextSpellEditor, TheCheckerFreedFirstLeavesPluginsThatDrawNothing)
{
    auto c = std::make_unique<TCheckedEditor>(QStringList{QStringLiteral("teh")});
    auto edit = std::make_unique<TTextEdit>();
    edit->resize(200, 60);
    SetLines(*edit, {QStringLiteral("teh")});
    c->Spell.SetEditor(edit.get());
    const QImage before = edit->grab().toImage();
    {
        TTextSpellCheck gone;
        gone.SetOptions(sscoAutoSpellCheck);
        gone.SetEditor(edit.get());
    }
    ASSERT_EQ(edit->PluginCount(), 2);
    // The plugin of the freed checker draws nothing; the other still does.
    EXPECT_EQ(edit->grab().toImage(), before);
    c.reset();
    const QImage after = edit->grab().toImage();
    EXPECT_NE(after, before);  // no checker left: no underline
}

TEST(TextSpellEditor, ChangingThePenColourRepaintsOnce)
{
    TCheckedEditor c({QStringLiteral("teh")});
    int paints = 0;
    c.Edit.OnPaint = [&](TCustomTextEdit*, TCanvas&) { ++paints; };
    c.Edit.show();
    QCoreApplication::processEvents();
    // The paints that follow a change, once the events are handled.
    const auto paintsAfter = [&](const std::function<void()>& change) {
        paints = 0;
        change();
        QCoreApplication::processEvents();
        return paints;
    };
    EXPECT_EQ(paintsAfter([&] { c.Spell.SetPenColor(Blue); }), 1);
    EXPECT_EQ(paintsAfter([&] { c.Spell.SetPenColor(Blue); }), 0);
    EXPECT_EQ(paintsAfter([&] { c.Spell.SetUnderlineStyle(usCorelWordPerfect); }), 1);
    EXPECT_EQ(paintsAfter([&] { c.Spell.SetUnderlineStyle(usCorelWordPerfect); }), 0);
}

// A list longer than one read, its lines crossing the pieces it is read in,
// a GBK word among them and no line end after the last word: every word is
// found, none is cut.
TEST(TextSpellDictionaries, ALongListIsReadWhole)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/");
    QByteArray bytes;
    QStringList words;
    for (int i = 0; i < 15000; ++i)
        words << QStringLiteral("w%1x").arg(i, 6, 10, QLatin1Char('0'));
    words << QStringLiteral("中文词");
    words.sort();
    for (const QString& w : words) {
        AppendAnsi(bytes, w);
        bytes += "\r\n";
    }
    bytes.chop(2);
    ASSERT_GT(bytes.size(), 65536 * 2);
    WriteList(folder + "english.1-0-0.dic", bytes);
    TTextSpellCheck spell;
    spell.SetDictionaryPath(folder);
    spell.SetUseUserDictionary(false);
    spell.OpenLanguageDictionary(QStringLiteral("english"));
    ASSERT_EQ(spell.WordCount(), words.size());
    for (int i = 0; i < words.size(); ++i)
        ASSERT_EQ(spell.FindDictionaryWord(words.at(i)), i) << words.at(i).toStdString();
    EXPECT_EQ(spell.FindDictionaryWord(QStringLiteral("w000001")), -1);
    EXPECT_EQ(spell.FindDictionaryWord(QStringLiteral("w000001xx")), -1);
}
