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
