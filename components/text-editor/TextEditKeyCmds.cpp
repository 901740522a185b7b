#include "TextEditKeyCmds.h"

#include <iterator>

namespace {

struct TCommandName {
    TTextEditorCommand Command;
    const char* Name;
};

// The name table, in its order.
const TCommandName CommandNames[] = {
    {ecNone, "ecNone"}, {ecLeft, "ecLeft"}, {ecRight, "ecRight"}, {ecUp, "ecUp"}, {ecDown, "ecDown"},
    {ecWordLeft, "ecWordLeft"}, {ecWordRight, "ecWordRight"}, {ecLineStart, "ecLineStart"},
    {ecLineEnd, "ecLineEnd"}, {ecPageUp, "ecPageUp"}, {ecPageDown, "ecPageDown"}, {ecPageLeft, "ecPageLeft"},
    {ecPageRight, "ecPageRight"}, {ecPageTop, "ecPageTop"}, {ecPageBottom, "ecPageBottom"},
    {ecEditorTop, "ecEditorTop"}, {ecEditorBottom, "ecEditorBottom"}, {ecGotoXY, "ecGotoXY"},
    {ecSelLeft, "ecSelLeft"}, {ecSelRight, "ecSelRight"}, {ecSelUp, "ecSelUp"}, {ecSelDown, "ecSelDown"},
    {ecSelWordLeft, "ecSelWordLeft"}, {ecSelWordRight, "ecSelWordRight"}, {ecSelLineStart, "ecSelLineStart"},
    {ecSelLineEnd, "ecSelLineEnd"}, {ecSelPageUp, "ecSelPageUp"}, {ecSelPageDown, "ecSelPageDown"},
    {ecSelPageLeft, "ecSelPageLeft"}, {ecSelPageRight, "ecSelPageRight"}, {ecSelPageTop, "ecSelPageTop"},
    {ecSelPageBottom, "ecSelPageBottom"}, {ecSelEditorTop, "ecSelEditorTop"},
    {ecSelEditorBottom, "ecSelEditorBottom"}, {ecSelGotoXY, "ecSelGotoXY"}, {ecSelWord, "ecSelWord"},
    {ecSelectAll, "ecSelectAll"}, {ecDeleteLastChar, "ecDeleteLastChar"}, {ecDeleteChar, "ecDeleteChar"},
    {ecDeleteWord, "ecDeleteWord"}, {ecDeleteLastWord, "ecDeleteLastWord"}, {ecDeleteBOL, "ecDeleteBOL"},
    {ecDeleteEOL, "ecDeleteEOL"}, {ecDeleteLine, "ecDeleteLine"}, {ecClearAll, "ecClearAll"},
    {ecLineBreak, "ecLineBreak"}, {ecInsertLine, "ecInsertLine"}, {ecChar, "ecChar"}, {ecImeStr, "ecImeStr"},
    {ecUndo, "ecUndo"}, {ecRedo, "ecRedo"}, {ecCut, "ecCut"}, {ecCopy, "ecCopy"}, {ecPaste, "ecPaste"},
    {ecScrollUp, "ecScrollUp"}, {ecScrollDown, "ecScrollDown"}, {ecScrollLeft, "ecScrollLeft"},
    {ecScrollRight, "ecScrollRight"}, {ecInsertMode, "ecInsertMode"}, {ecOverwriteMode, "ecOverwriteMode"},
    {ecToggleMode, "ecToggleMode"}, {ecBlockIndent, "ecBlockIndent"}, {ecBlockUnindent, "ecBlockUnindent"},
    {ecTab, "ecTab"}, {ecShiftTab, "ecShiftTab"}, {ecMatchBracket, "ecMatchBracket"},
    {ecCommentBlock, "ecCommentBlock"}, {ecNormalSelect, "ecNormalSelect"}, {ecColumnSelect, "ecColumnSelect"},
    {ecLineSelect, "ecLineSelect"}, {ecAutoCompletion, "ecAutoCompletion"}, {ecUserFirst, "ecUserFirst"},
    {ecContextHelp, "ecContextHelp"},
    {301, "ecGotoMarker0"}, {302, "ecGotoMarker1"}, {303, "ecGotoMarker2"}, {304, "ecGotoMarker3"},
    {305, "ecGotoMarker4"}, {306, "ecGotoMarker5"}, {307, "ecGotoMarker6"}, {308, "ecGotoMarker7"},
    {309, "ecGotoMarker8"}, {310, "ecGotoMarker9"},
    {351, "ecSetMarker0"}, {352, "ecSetMarker1"}, {353, "ecSetMarker2"}, {354, "ecSetMarker3"},
    {355, "ecSetMarker4"}, {356, "ecSetMarker5"}, {357, "ecSetMarker6"}, {358, "ecSetMarker7"},
    {359, "ecSetMarker8"}, {360, "ecSetMarker9"},
    {ecUpperCase, "ecUpperCase"}, {ecLowerCase, "ecLowerCase"}, {ecToggleCase, "ecToggleCase"},
    {ecTitleCase, "ecTitleCase"}, {ecUpperCaseBlock, "ecUpperCaseBlock"}, {ecLowerCaseBlock, "ecLowerCaseBlock"},
    {ecToggleCaseBlock, "ecToggleCaseBlock"}, {ecString, "ecString"},
};

}  // namespace

int CommandNameCount()
{
    return static_cast<int>(std::size(CommandNames));
}

bool CommandFromIdent(const QString& ident, TTextEditorCommand& command)
{
    for (const TCommandName& entry : CommandNames)
        if (ident.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0) {
            command = entry.Command;
            return true;
        }
    return false;
}

bool CommandToIdent(TTextEditorCommand command, QString& ident)
{
    for (const TCommandName& entry : CommandNames)
        if (entry.Command == command) {
            ident = QLatin1String(entry.Name);
            return true;
        }
    return false;
}

QString CommandToText(TTextEditorCommand command)
{
    QString ident;
    if (CommandToIdent(command, ident))
        return ident;
    return QString::number(command);
}

// ---------------------------------------------------------------- shortcuts

TShortCut ShortCut(std::uint16_t key, TShiftState shift)
{
    if (key & 0xFF00)
        return 0;
    TShortCut result = key;
    if (shift & ssShift)
        result |= scShift;
    if (shift & ssCtrl)
        result |= scCtrl;
    if (shift & ssAlt)
        result |= scAlt;
    return result;
}

void ShortCutToKey(TShortCut shortCut, std::uint16_t& key, TShiftState& shift)
{
    key = shortCut & 0xFF;
    shift = 0;
    if (shortCut & scShift)
        shift |= ssShift;
    if (shortCut & scCtrl)
        shift |= ssCtrl;
    if (shortCut & scAlt)
        shift |= ssAlt;
}

namespace {

QString KeyName(std::uint16_t key)
{
    switch (key) {
    case VK_BACK: return QStringLiteral("BkSp");
    case VK_TAB: return QStringLiteral("Tab");
    case VK_RETURN: return QStringLiteral("Enter");
    case VK_ESCAPE: return QStringLiteral("Esc");
    case VK_SPACE: return QStringLiteral("Space");
    case VK_PRIOR: return QStringLiteral("PgUp");
    case VK_NEXT: return QStringLiteral("PgDn");
    case VK_END: return QStringLiteral("End");
    case VK_HOME: return QStringLiteral("Home");
    case VK_LEFT: return QStringLiteral("Left");
    case VK_UP: return QStringLiteral("Up");
    case VK_RIGHT: return QStringLiteral("Right");
    case VK_DOWN: return QStringLiteral("Down");
    case VK_INSERT: return QStringLiteral("Ins");
    case VK_DELETE: return QStringLiteral("Del");
    default: break;
    }
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return QString(QChar(key));
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9)
        return QStringLiteral("Num %1").arg(key - VK_NUMPAD0);
    if (key >= VK_F1 && key <= VK_F24)
        return QStringLiteral("F%1").arg(key - VK_F1 + 1);
    switch (key) {
    case 186: return QStringLiteral(";");
    case 187: return QStringLiteral("=");
    case 188: return QStringLiteral(",");
    case 189: return QStringLiteral("-");
    case 190: return QStringLiteral(".");
    case 191: return QStringLiteral("/");
    case 192: return QStringLiteral("`");
    case 219: return QStringLiteral("[");
    case 220: return QStringLiteral("\\");
    case 221: return QStringLiteral("]");
    case 222: return QStringLiteral("'");
    default: return QString();
    }
}

}  // namespace

QString ShortCutToText(TShortCut shortCut)
{
    const QString name = KeyName(shortCut & 0xFF);
    if (name.isEmpty())
        return {};
    QString text;
    if (shortCut & scCtrl)
        text += QStringLiteral("Ctrl+");
    if (shortCut & scShift)
        text += QStringLiteral("Shift+");
    if (shortCut & scAlt)
        text += QStringLiteral("Alt+");
    return text + name;
}

std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return static_cast<std::uint16_t>(VK_NUMPAD0 + (qtKey - Qt::Key_0));
        switch (qtKey) {
        case Qt::Key_Asterisk: return VK_MULTIPLY;
        case Qt::Key_Plus: return VK_ADD;
        case Qt::Key_Minus: return VK_SUBTRACT;
        case Qt::Key_Period: return VK_DECIMAL;
        case Qt::Key_Slash: return VK_DIVIDE;
        default: break;
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint16_t>('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint16_t>('0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 186;
    case Qt::Key_Equal: case Qt::Key_Plus: return 187;
    case Qt::Key_Comma: case Qt::Key_Less: return 188;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 189;
    case Qt::Key_Period: case Qt::Key_Greater: return 190;
    case Qt::Key_Slash: case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 222;
    default: return 0;
    }
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers)
{
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    return shift;
}

// ---------------------------------------------------------------- key strokes

void TTextEditKeyStroke::SetShortCut(TShortCut value)
{
    if (value != 0 && FCollection) {
        const int found = FCollection->FindShortCuts(value, GetShortCut2());
        if (found >= 0 && FCollection->Items(found) != this)
            throw ETextKeyError(QStringLiteral("Shortcut already exists"));
    }
    ShortCutToKey(value, Key, Shift);
}

void TTextEditKeyStroke::SetShortCut2(TShortCut value)
{
    if (value != 0 && FCollection) {
        const int found = FCollection->FindShortCuts(GetShortCut(), value);
        if (found >= 0 && FCollection->Items(found) != this)
            throw ETextKeyError(QStringLiteral("Shortcut already exists"));
    }
    ShortCutToKey(value, SecondKey, SecondShift);
}

void TTextEditKeyStroke::Assign(const TTextEditKeyStroke& source)
{
    FCommand = source.FCommand;
    Key = source.Key;
    Shift = source.Shift;
    SecondKey = source.SecondKey;
    SecondShift = source.SecondShift;
}

QString TTextEditKeyStroke::GetDisplayName() const
{
    QString text = CommandToText(FCommand) + QStringLiteral(" - ") + ShortCutToText(GetShortCut());
    if (SecondKey != 0)
        text += QLatin1Char(' ') + ShortCutToText(GetShortCut2());
    return text;
}

TTextEditKeyStroke* TTextEditKeyStrokes::Items(int index) const
{
    return index >= 0 && index < Count() ? FItems[static_cast<size_t>(index)].get() : nullptr;
}

TTextEditKeyStroke* TTextEditKeyStrokes::Add()
{
    FItems.push_back(std::make_unique<TTextEditKeyStroke>(this));
    return FItems.back().get();
}

void TTextEditKeyStrokes::AddBinding(TTextEditorCommand command, std::uint16_t key, TShiftState shift,
                                     std::uint16_t secondKey, TShiftState secondShift)
{
    TTextEditKeyStroke* stroke = Add();
    stroke->Key = key;
    stroke->Shift = shift;
    stroke->SecondKey = secondKey;
    stroke->SecondShift = secondShift;
    stroke->SetCommand(command);
}

void TTextEditKeyStrokes::Delete(int index)
{
    if (index >= 0 && index < Count())
        FItems.erase(FItems.begin() + index);
}

int TTextEditKeyStrokes::FindSingleKey(std::uint16_t key, TShiftState shift) const
{
    for (int i = 0; i < Count(); ++i) {
        const TTextEditKeyStroke& s = *FItems[static_cast<size_t>(i)];
        if (s.Key == key && s.Shift == shift && s.SecondKey == 0)
            return i;
    }
    return -1;
}

int TTextEditKeyStrokes::FindKeyPair(std::uint16_t key, TShiftState shift, std::uint16_t secondKey,
                                     TShiftState secondShift) const
{
    for (int i = 0; i < Count(); ++i) {
        const TTextEditKeyStroke& s = *FItems[static_cast<size_t>(i)];
        if (s.Key == key && s.Shift == shift && s.SecondKey == secondKey && s.SecondShift == secondShift)
            return i;
    }
    return -1;
}

int TTextEditKeyStrokes::FindShortCuts(TShortCut shortCut, TShortCut shortCut2) const
{
    for (int i = 0; i < Count(); ++i) {
        const TTextEditKeyStroke& s = *FItems[static_cast<size_t>(i)];
        if (s.GetShortCut() == shortCut && s.GetShortCut2() == shortCut2)
            return i;
    }
    return -1;
}

int TTextEditKeyStrokes::FindCommand(TTextEditorCommand command) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<size_t>(i)]->Command() == command)
            return i;
    return -1;
}

void TTextEditKeyStrokes::Assign(const TTextEditKeyStrokes& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& from : source.FItems)
        Add()->Assign(*from);
}

void TTextEditKeyStrokes::LoadDefaultKeys()
{
    Clear();
    const TShiftState none = 0;
    const TShiftState sh = ssShift;
    const TShiftState ct = ssCtrl;
    const TShiftState cs = ssCtrl | ssShift;
    struct TRow {
        std::uint16_t Key;
        TTextEditorCommand Plain, Shifted, Ctrl, CtrlShift;
    } rows[] = {
        {VK_UP, ecUp, ecSelUp, ecScrollUp, ecNone},
        {VK_DOWN, ecDown, ecSelDown, ecScrollDown, ecNone},
        {VK_LEFT, ecLeft, ecSelLeft, ecWordLeft, ecSelWordLeft},
        {VK_RIGHT, ecRight, ecSelRight, ecWordRight, ecSelWordRight},
        {VK_NEXT, ecPageDown, ecSelPageDown, ecPageBottom, ecSelPageBottom},
        {VK_PRIOR, ecPageUp, ecSelPageUp, ecPageTop, ecSelPageTop},
        {VK_HOME, ecLineStart, ecSelLineStart, ecEditorTop, ecSelEditorTop},
        {VK_END, ecLineEnd, ecSelLineEnd, ecEditorBottom, ecSelEditorBottom},
    };
    for (const TRow& r : rows) {
        AddBinding(r.Plain, r.Key, none);
        AddBinding(r.Shifted, r.Key, sh);
        AddBinding(r.Ctrl, r.Key, ct);
        if (r.CtrlShift != ecNone)
            AddBinding(r.CtrlShift, r.Key, cs);
    }
    AddBinding(ecToggleMode, VK_INSERT, none);
    AddBinding(ecCopy, VK_INSERT, ct);
    AddBinding(ecCut, VK_DELETE, sh);
    AddBinding(ecPaste, VK_INSERT, sh);
    AddBinding(ecDeleteChar, VK_DELETE, none);
    AddBinding(ecDeleteLastChar, VK_BACK, none);
    AddBinding(ecDeleteLastChar, VK_BACK, sh);
    AddBinding(ecDeleteLastWord, VK_BACK, ct);
    AddBinding(ecUndo, VK_BACK, ssAlt);
    AddBinding(ecRedo, VK_BACK, ssAlt | ssShift);
    AddBinding(ecLineBreak, VK_RETURN, none);
    AddBinding(ecLineBreak, VK_RETURN, sh);
    AddBinding(ecTab, VK_TAB, none);
    AddBinding(ecShiftTab, VK_TAB, sh);
    AddBinding(ecContextHelp, VK_F1, none);
    AddBinding(ecSelectAll, 'A', ct);
    AddBinding(ecCopy, 'C', ct);
    AddBinding(ecPaste, 'V', ct);
    AddBinding(ecCut, 'X', ct);
    AddBinding(ecBlockIndent, 'I', cs);
    AddBinding(ecBlockUnindent, 'U', cs);
    AddBinding(ecLineBreak, 'M', ct);
    AddBinding(ecInsertLine, 'N', ct);
    AddBinding(ecDeleteWord, 'T', ct);
    AddBinding(ecDeleteLine, 'Y', ct);
    AddBinding(ecDeleteEOL, 'Y', cs);
    AddBinding(ecUndo, 'Z', ct);
    AddBinding(ecRedo, 'Z', cs);
    for (int i = 0; i <= 9; ++i)
        AddBinding(static_cast<TTextEditorCommand>(ecGotoMarker0 + i), static_cast<std::uint16_t>('0' + i), ct);
    for (int i = 0; i <= 9; ++i)
        AddBinding(static_cast<TTextEditorCommand>(ecSetMarker0 + i), static_cast<std::uint16_t>('0' + i), cs);
    AddBinding(ecNormalSelect, 'N', cs);
    AddBinding(ecColumnSelect, 'C', cs);
    AddBinding(ecLineSelect, 'L', cs);
    AddBinding(ecMatchBracket, 'B', cs);
}
