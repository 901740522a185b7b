#pragma once

// Editor commands (16-bit numbers with names), key strokes binding one or two
// shortcuts to a command, and the default bindings.

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

// ---------------------------------------------------------------- keys

// The shift state of the class library: Shift, Alt and Ctrl as bits 0, 1, 2.
using TShiftState = std::uint8_t;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;

// A shortcut as the layouts encode it: the virtual-key code plus $2000 for
// Shift, $4000 for Ctrl and $8000 for Alt.
using TShortCut = std::uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

// Virtual-key codes of the keys the editor binds.
enum : std::uint16_t {
    VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18, VK_PAUSE = 19,
    VK_CAPITAL = 20, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36,
    VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46, VK_APPS = 93,
    VK_NUMPAD0 = 96, VK_MULTIPLY = 106, VK_ADD = 107, VK_SEPARATOR = 108, VK_SUBTRACT = 109, VK_DECIMAL = 110,
    VK_DIVIDE = 111, VK_F1 = 112, VK_F24 = 135, VK_NUMLOCK = 144, VK_SCROLL = 145
};

TShortCut ShortCut(std::uint16_t key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, std::uint16_t& key, TShiftState& shift);
// "Ctrl+Shift+N", "Alt+BkSp", "F1"; empty for 0.
QString ShortCutToText(TShortCut shortCut);
// The virtual-key code of a Qt key (0 when it has none). Shift+Tab arrives
// as Key_Backtab and is Tab; keypad digits are the keypad codes, not 48-57.
std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

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
