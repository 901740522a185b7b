// Phonetic keys, the word lists of the spell checker and the acceptance of
// typed words, on small lists made here and on the shipped English list.

#include "TextSpellCheck.h"
#include "TextSpellCheckMetaphone.h"

#include "AnsiText.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

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
}
