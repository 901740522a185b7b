#pragma once

// The abstract base of syntax highlighters: the interface the editor calls,
// token attributes stored under QSettings or in an ini file, the default file
// filter and the fold regions a highlighter may supply. The program links no
// concrete highlighter.

#include "TextEditFolding.h"
#include "TextEditMarks.h"

#include "Graphics.h"

#include <QtCore/QString>

#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TTextCustomHighlighter;

enum TTextFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// The display attributes of one kind of token.
class TTextTokenAttr {
public:
    explicit TTextTokenAttr(const QString& name) : FName(name) {}
    virtual ~TTextTokenAttr() = default;

    QString Name() const { return FName; }
    TColor Background() const { return FBackground; }
    void SetBackground(TColor value);
    TColor Foreground() const { return FForeground; }
    void SetForeground(TColor value);
    std::uint8_t Style() const { return FStyle; }
    void SetStyle(std::uint8_t value);
    int StyleBits() const { return FStyle; }
    void SetStyleBits(int value);
    void Assign(const TTextTokenAttr& source);

    std::function<void(TTextTokenAttr* sender)> OnChange;

protected:
    virtual void NotifyChange()
    {
        if (OnChange)
            OnChange(this);
    }

private:
    QString FName;
    TColor FBackground = clNone;
    TColor FForeground = clNone;
    std::uint8_t FStyle = 0;
};

using TCharSet = std::bitset<256>;

class TTextCustomHighlighter {
public:
    TTextCustomHighlighter();
    virtual ~TTextCustomHighlighter();
    TTextCustomHighlighter(const TTextCustomHighlighter&) = delete;
    TTextCustomHighlighter& operator=(const TTextCustomHighlighter&) = delete;

    virtual int AttributeCount() const { return static_cast<int>(FAttributes.size()); }
    virtual TTextTokenAttr* AttributeAt(int index) const;
    virtual TTextTokenAttr* StandardAttribute(int kind) const = 0;
    virtual QString GetDefaultFilter() const { return FDefaultFilter; }
    virtual TCharSet IdentifierChars() const;
    virtual QString SampleText() const { return {}; }
    virtual bool IsDefaultFilterStored() const { return true; }
    virtual void SetDefaultFilter(const QString& value) { FDefaultFilter = value; }
    virtual void SetSampleText(const QString&) {}
    virtual void SetWordBreakChars(const TCharSet& chars) { FWordBreakChars = chars; }
    virtual QString DisplayLanguageName() const { return LanguageName(); }
    virtual unsigned Features() const { return 2; }
    virtual QString LanguageName() const { return QStringLiteral("<Unknown>"); }
    virtual bool MatchesFileName(const QString& fileName) const;
    virtual bool AtEndOfLine() const = 0;
    virtual void* CurrentRange() const { return nullptr; }
    virtual QString Token() const = 0;
    virtual TTextTokenAttr* TokenAttribute() const = 0;
    virtual int TokenKind() const = 0;
    virtual int TokenPosition() const = 0;
    virtual void NextToken() = 0;
    virtual void SetLine(const QString& line, int lineNumber) = 0;
    virtual void ClearRange() {}
    virtual void RestoreRange(void*) {}

    // Attribute storage: QSettings with key as its group, or an ini file with
    // a section per attribute. True when every attribute was read or written.
    virtual bool ReadFromRegistry(const QString& key);
    virtual bool WriteToRegistry(const QString& key);
    virtual bool ReadFromIni(const QString& fileName);
    virtual bool WriteToIni(const QString& fileName);

    void Assign(const TTextCustomHighlighter& source);

    void AddChangeListener(const TTextNotifyEventChain::THandler& handler) { FChangeChain.Add(handler); }
    void RemoveChangeListener(const TTextNotifyEventChain::THandler& handler) { FChangeChain.Remove(handler); }
    void SkipToEndOfLine();
    void FreeAttributes();

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TCharSet WordBreakChars() const { return FWordBreakChars; }
    TFoldRegions& FoldRegions() { return FFoldRegions; }
    QString DefaultFilter() const { return FDefaultFilter; }

    void BeginUpdate();
    void EndUpdate();
    // Loading from a stored layout: changes are announced once, by Loaded.
    void BeginLoading() { FLoading = true; }
    void Loaded();

protected:
    // Adds an attribute (owned); a name already there raises.
    void AddAttribute(std::unique_ptr<TTextTokenAttr> attribute);
    void DefHighlightChange(void* sender);

private:
    TTextNotifyEventChain FChangeChain;
    int FUpdateCount = 0;
    bool FUpdateChange = false;
    bool FEnabled = true;
    bool FLoading = false;
    TCharSet FWordBreakChars;
    TFoldRegions FFoldRegions;
    // Sorted by name.
    std::map<QString, std::unique_ptr<TTextTokenAttr>> FAttributes;
    QString FDefaultFilter;
};
