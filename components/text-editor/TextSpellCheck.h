#pragma once

// The spell checker: English word lists in the dictionary folder (one word
// per line, ANSI text, CR LF ends), a user list and a skip list in the user
// folder, phonetic keys per word, and the test whether a typed word is
// acceptable. Underlining words in an editor attaches through the editor's
// plugins.

#include "TextEditHighlighter.h"
#include "TextEditLines.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <array>
#include <bitset>
#include <functional>
#include <utility>
#include <vector>

// A file that cannot be opened, read or written: carries the file error's text.
class EInOutError : public ETextEditError {
    using ETextEditError::ETextEditError;
};

enum HashAlgorithms { haSoundEx, haMetaphone, haDiff };

enum TextSpellCheckOption : unsigned {
    sscoAutoSpellCheck = 1u << 0,
    sscoGoUp = 1u << 1,
    sscoHideCursor = 1u << 2,
    sscoHourGlass = 1u << 3,
    sscoIgnoreSingleChars = 1u << 4,
    sscoIgnoreWordsWithNumbers = 1u << 5,
    sscoMaintainCase = 1u << 6,
    sscoSelectWord = 1u << 7,
    sscoStartFromCursor = 1u << 8,
    sscoSuggestWords = 1u << 9,
    sscoTrimApostrophes = 1u << 10,
};
using TTextSpellCheckOptions = unsigned;

enum TUnderlineStyle { usCorelWordPerfect, usMicrosoftWord };

struct TLanguageRec {
    QString Name;
    QString Version;
};

struct TWordRec {
    QString Word;
    QString Hash;
    bool User = false;
};

// The folder where word lists are looked for when none is set.
QString DefaultSpellFolder();

// The lower-casing of typed words and of the shipped word list.
QString SpellLowerCase(const QString& word);

class TTextSpellCheck {
public:
    TTextSpellCheck();
    virtual ~TTextSpellCheck();
    TTextSpellCheck(const TTextSpellCheck&) = delete;
    TTextSpellCheck& operator=(const TTextSpellCheck&) = delete;

    // The folders as stored and as resolved (absolute, ending in "/").
    QString StoredDictionaryPath() const { return FDictionaryPath; }
    QString DictionaryPath() const;
    void SetDictionaryPath(const QString& value) { FDictionaryPath = value; }
    QString StoredUserDirectory() const { return FUserDirectory; }
    QString UserDirectory() const;
    void SetUserDirectory(const QString& value) { FUserDirectory = value; }

    QString Dictionary() const { return FDictionary; }
    TLanguageRec Language() const { return FLanguage; }
    bool OpenDictionary() const { return FOpenDictionary; }
    bool UseUserDictionary() const { return FUseUserDictionary; }
    void SetUseUserDictionary(bool value) { FUseUserDictionary = value; }
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    const QStringList& SkipList() const { return FSkipList; }
    void SetSkipList(const QStringList& value);
    void AddSkipWord(const QString& word);
    HashAlgorithms Algorithm() const { return FAlgorithm; }
    void SetAlgorithm(HashAlgorithms value);
    int HashLength() const { return FHashLength; }
    void SetHashLength(int value);
    bool Busy() const { return false; }
    int MaxWordLength() const { return FMaxWordLength; }
    TTextSpellCheckOptions Options() const { return FOptions; }
    void SetOptions(TTextSpellCheckOptions value) { FOptions = value; }
    QString Apostrophes() const { return FApostrophes; }
    void SetApostrophes(const QString& value);
    const QStringList& CheckAttribs() const { return FCheckAttribs; }
    void SetCheckAttribs(const QStringList& value) { FCheckAttribs = value; }
    // A character code (below 256) that belongs to words.
    bool IsSpellWordChar(char16_t c) const { return c < 256 && FSpellWordChars.test(c); }
    const TCharSet& SpellWordChars() const { return FSpellWordChars; }

    // The word list.
    int WordCount() const { return static_cast<int>(FWords.size()); }
    const TWordRec& Words(int index) const { return FWords[static_cast<size_t>(index)]; }

    // Finds the newest main list of a language in the dictionary folder: its
    // file name as it is on disk; empty when there is none.
    QString FindNewestDictionary(const QString& language) const;
    // Opens a language's lists (see the class comment); raises EInOutError
    // when the main list cannot be read, leaving the lists as they were.
    void OpenLanguageDictionary(const QString& language, const QString& fileName = QString());
    void CloseDictionary();
    // The lowest index holding word, or -1.
    int FindDictionaryWord(const QString& word) const;
    // Writes the user words to the user list (through a new file that
    // replaces the old one); raises EInOutError on a write error.
    void WriteUserDictionary();
    static bool ForceDirectoryPath(const QString& dir);

    bool IsWordAccepted(const QString& word) const;

    std::function<void(TTextSpellCheck* sender)> OnDictLoad;
    std::function<void(TTextSpellCheck* sender)> OnDictClose;
    std::function<void(TTextSpellCheck* sender, const QString& word)> OnAddWord;
    // Called after a list was opened while sscoAutoSpellCheck is set, so the
    // attached editor repaints its underlines.
    std::function<void(TTextSpellCheck* sender)> OnInvalidateEditor;

private:
    void AddWord(const QString& word, bool user);
    void ReadList(const QString& path, bool user, bool mustExist);
    void SortAndIndex();
    void RecomputeHashes();
    QString HashOf(const QString& word) const;
    void WriteSkipList(const QString& path) const;
    QString UserListPath() const;

    QString FDictionaryPath;
    QString FUserDirectory;
    QString FDictionary;
    TLanguageRec FLanguage;
    QString FUserFileName;
    bool FOpenDictionary = false;
    bool FUseUserDictionary = true;
    bool FModified = false;
    QStringList FSkipList;
    HashAlgorithms FAlgorithm = haDiff;
    int FHashLength = 4;
    int FMaxWordLength = 0;
    TTextSpellCheckOptions FOptions = 0;
    QString FApostrophes;
    QStringList FCheckAttribs;
    TCharSet FSpellWordChars;
    std::vector<TWordRec> FWords;
    // Per first character (0..255): first and last index; {-1, -1} when none.
    std::array<std::pair<int, int>, 256> FIndex;
};
