#pragma once

// Editor commands (16-bit numbers with names), key strokes binding one or two
// shortcuts to a command, and the default bindings.

#include "ShortCuts.h"
#include "TextEditLines.h"

#include <QtCore/QString>
#include <QtCore/Qt>

#include <cstdint>
#include <memory>
#include <vector>

using TTextEditorCommand = std::uint16_t;

// The named commands.
enum : TTextEditorCommand {
    ecNone = 0, ecLeft = 1, ecRight = 2, ecUp = 3, ecDown = 4, ecWordLeft = 5, ecWordRight = 6, ecLineStart = 7,
    ecLineEnd = 8, ecPageUp = 9, ecPageDown = 10, ecPageLeft = 11, ecPageRight = 12, ecPageTop = 13,
    ecPageBottom = 14, ecEditorTop = 15, ecEditorBottom = 16, ecGotoXY = 17,
    ecSelection = 100,
    ecSelLeft = 101, ecSelRight = 102, ecSelUp = 103, ecSelDown = 104, ecSelWordLeft = 105, ecSelWordRight = 106,
    ecSelLineStart = 107, ecSelLineEnd = 108, ecSelPageUp = 109, ecSelPageDown = 110, ecSelPageLeft = 111,
    ecSelPageRight = 112, ecSelPageTop = 113, ecSelPageBottom = 114, ecSelEditorTop = 115,
    ecSelEditorBottom = 116, ecSelGotoXY = 117, ecSelWord = 198, ecSelectAll = 199,
    ecCopy = 201, ecScrollUp = 211, ecScrollDown = 212, ecScrollLeft = 213, ecScrollRight = 214,
    ecInsertMode = 221, ecOverwriteMode = 222, ecToggleMode = 223, ecNormalSelect = 231, ecColumnSelect = 232,
    ecLineSelect = 233, ecMatchBracket = 250, ecCommentBlock = 251,
    ecGotoMarker0 = 301, ecGotoMarker9 = 310, ecSetMarker0 = 351, ecSetMarker9 = 360,
    ecContextHelp = 490,
    ecDeleteLastChar = 501, ecDeleteChar = 502, ecDeleteWord = 503, ecDeleteLastWord = 504, ecDeleteBOL = 505,
    ecDeleteEOL = 506, ecDeleteLine = 507, ecClearAll = 508, ecLineBreak = 509, ecInsertLine = 510, ecChar = 511,
    ecImeStr = 550, ecUndo = 601, ecRedo = 602, ecCut = 603, ecPaste = 604, ecBlockIndent = 610,
    ecBlockUnindent = 611, ecTab = 612, ecShiftTab = 613, ecUpperCase = 620, ecLowerCase = 621,
    ecToggleCase = 622, ecTitleCase = 623, ecUpperCaseBlock = 625, ecLowerCaseBlock = 626,
    ecToggleCaseBlock = 627, ecString = 630, ecAutoCompletion = 650, ecUserFirst = 1001
};

// Looks a command name up, without regard to case.
bool CommandFromIdent(const QString& ident, TTextEditorCommand& command);
bool CommandToIdent(TTextEditorCommand command, QString& ident);
// The command's name, or its number when it has none.
QString CommandToText(TTextEditorCommand command);
// Every named command, in the order of the name table.
int CommandNameCount();

// Keys and shortcuts (TShortCut, TShiftState, the virtual-key codes and the
// Qt-key table) are the platform's: ShortCuts.h.

class ETextKeyError : public ETextEditError {
    using ETextEditError::ETextEditError;
};

class TTextEditKeyStrokes;

class TTextEditKeyStroke {
public:
    explicit TTextEditKeyStroke(TTextEditKeyStrokes* collection) : FCollection(collection) {}

    TTextEditorCommand Command() const { return FCommand; }
    void SetCommand(TTextEditorCommand value) { FCommand = value; }
    TShortCut GetShortCut() const { return ::ShortCut(Key, Shift); }
    void SetShortCut(TShortCut value);
    TShortCut GetShortCut2() const { return ::ShortCut(SecondKey, SecondShift); }
    void SetShortCut2(TShortCut value);
    void Assign(const TTextEditKeyStroke& source);
    QString GetDisplayName() const;

    std::uint16_t Key = 0;
    TShiftState Shift = 0;
    std::uint16_t SecondKey = 0;
    TShiftState SecondShift = 0;

private:
    friend class TTextEditKeyStrokes;
    TTextEditKeyStrokes* FCollection;
    TTextEditorCommand FCommand = ecNone;
};

class TTextEditKeyStrokes {
public:
    explicit TTextEditKeyStrokes(void* owner = nullptr) : FOwner(owner) {}
    TTextEditKeyStrokes(const TTextEditKeyStrokes&) = delete;
    TTextEditKeyStrokes& operator=(const TTextEditKeyStrokes&) = delete;

    void* GetOwner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TTextEditKeyStroke* Items(int index) const;
    TTextEditKeyStroke* Add();
    void AddBinding(TTextEditorCommand command, std::uint16_t key, TShiftState shift,
                    std::uint16_t secondKey = 0, TShiftState secondShift = 0);
    void Delete(int index);
    void Clear() { FItems.clear(); }
    int FindSingleKey(std::uint16_t key, TShiftState shift) const;
    int FindKeyPair(std::uint16_t key, TShiftState shift, std::uint16_t secondKey, TShiftState secondShift) const;
    int FindShortCuts(TShortCut shortCut, TShortCut shortCut2) const;
    int FindCommand(TTextEditorCommand command) const;
    void Assign(const TTextEditKeyStrokes& source);
    void LoadDefaultKeys();

private:
    void* FOwner;
    std::vector<std::unique_ptr<TTextEditKeyStroke>> FItems;
};
