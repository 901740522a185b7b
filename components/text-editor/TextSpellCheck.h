#pragma once

// The spell checker: English word lists in the dictionary folder (one word
// per line, ANSI text, CR LF ends), a user list and a skip list in the user
// folder, phonetic keys per word, and the test whether a typed word is
// acceptable. Underlining words in an editor attaches through the editor's
// plugins.

#include "TextEdit.h"
#include "TextEditHighlighter.h"
#include "TextEditLines.h"

#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <array>
#include <bitset>
#include <cstdint>
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

class TTextSpellCheck;

// Draws a wavy underline under every word of its editor that the spell
// checker does not accept, after the editor has painted its text. The editor
// owns it; the spell checker and the plugin each forget the other when it
// goes, so either may be freed first (a plugin without a checker draws
// nothing).
class TDrawAutoSpellCheckPlugin : public TTextEditPlugin {
public:
    explicit TDrawAutoSpellCheckPlugin(TCustomTextEdit* owner);
    ~TDrawAutoSpellCheckPlugin() override;

    TTextSpellCheck* SpellCheck() const { return FSpellCheck; }
    void SetSpellCheck(TTextSpellCheck* value) { FSpellCheck = value; }
    TColor PenColor() const { return FPenColor; }
    // Both repaint the owner editor when the value changes.
    void SetPenColor(TColor value);
    TUnderlineStyle UnderlineStyle() const { return FUnderlineStyle; }
    void SetUnderlineStyle(TUnderlineStyle value);

    void PaintOverlay(TCanvas& canvas, const QRect& clip, int firstLine, int lastLine) override;
    void NotifyLinesAdded(int, int) override {}
    void NotifyLinesRemoved(int, int) override {}

private:
    // Stores a changed value and repaints the owner.
    template <typename T>
    void Change(T& field, T value);
    void Underline(TCanvas& canvas, const QPoint& start, const QString& word);

    TTextSpellCheck* FSpellCheck = nullptr;
    TColor FPenColor = clRed;
    TUnderlineStyle FUnderlineStyle = usMicrosoftWord;
};

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

    // The word around a buffer position (cells, 1-based): from p.Char to the
    // right and from p.Char - 1 to the left over word characters (chars when
    // the editor has no highlighter or useChars is true, else the
    // highlighter's identifier characters). Empty when p is outside the
    // text or no word character is next to it. A wide character is never a
    // word character.
    static QString WordAroundPosition(const TCustomTextEdit* editor, const TBufferCoord& p, const TCharSet& chars,
                                      bool useChars);

    // Registers an editor and makes its underlining plugin; the index of the
    // editor in the registry (also when it was registered before), -1 for
    // nullptr.
    int AddEditor(TCustomTextEdit* editor);
    // The editor being checked; nullptr once it is freed.
    TCustomTextEdit* Editor() const { return FEditor; }
    // Registers the editor when new; the plugin of the editor is the current
    // one from then on. An editor replaced keeps its plugin, which then
    // draws nothing.
    void SetEditor(TCustomTextEdit* value);
    TDrawAutoSpellCheckPlugin* CurrentPlugin() const { return FPlugin; }
    int EditorCount() const { return static_cast<int>(FEditors.size()); }

    TColor PenColor() const { return FPenColor; }
    void SetPenColor(TColor value);
    TUnderlineStyle UnderlineStyle() const { return FUnderlineStyle; }
    void SetUnderlineStyle(TUnderlineStyle value);

    // Declarations for an interactive checking run, which this component
    // does not contain: nothing fires them.
    std::function<void(TTextSpellCheck* sender, const QString& word, const QStringList& suggestions,
                       QString& correctWord, int& action, bool undoEnabled)>
        OnCheckWord;
    std::function<void(TTextSpellCheck* sender, const QString& word, const QString& correctWord)> OnCorrectWord;
    std::function<void(TTextSpellCheck* sender, const QString& word, bool skipAll)> OnSkipWord;
    std::function<void(TTextSpellCheck* sender)> OnStart;
    std::function<void(TTextSpellCheck* sender)> OnDone;
    std::function<void(TTextSpellCheck* sender)> OnAbort;

    std::function<void(TTextSpellCheck* sender)> OnDictLoad;
    std::function<void(TTextSpellCheck* sender)> OnDictClose;
    std::function<void(TTextSpellCheck* sender, const QString& word)> OnAddWord;
    // Called after a list was opened while sscoAutoSpellCheck is set, so the
    // attached editor repaints its underlines.
    std::function<void(TTextSpellCheck* sender)> OnInvalidateEditor;

private:
    friend class TDrawAutoSpellCheckPlugin;
    // A plugin being freed leaves the registry.
    void PluginGone(TDrawAutoSpellCheckPlugin* plugin);

    void AddWord(const QString& word, bool user);
    void ReadList(const QString& path, bool user, bool mustExist);
    void SortAndIndex();
    // The first characters of a word as a number that sorts as the words do.
    static std::uint64_t PrefixKey(const QString& word);
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
    // PrefixKey of every word, in the words' order.
    std::vector<std::uint64_t> FKeys;

    // Every editor ever assigned and its plugin (nullptr once the plugin is
    // freed); the editor pointers turn null when the editors go.
    std::vector<QPointer<TCustomTextEdit>> FEditors;
    std::vector<TDrawAutoSpellCheckPlugin*> FPlugins;
    QPointer<TCustomTextEdit> FEditor;
    TDrawAutoSpellCheckPlugin* FPlugin = nullptr;
    TColor FPenColor = clRed;
    TUnderlineStyle FUnderlineStyle = usMicrosoftWord;
};
