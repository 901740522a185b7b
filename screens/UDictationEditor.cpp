#include "UDictationEditor.h"

#include "TextEdit.h"
#include "TextEditUtils.h"
#include "TextSpellCheck.h"

TTextEdit* MakeDictationEditor(QWidget* parent, const TDictationEditorSetup& setup)
{
    auto* editor = new TTextEdit(parent);
    if (setup.Height > 0)
        editor->setFixedHeight(setup.Height);
    TFont font;
    font.Name = QStringLiteral("Courier New");
    font.Size = 10;  // height -13 at 96 dpi
    editor->SetFont(font);
    editor->SetColor(setup.Color);
    editor->SetLineSpacingRule(setup.OneAndHalf ? lsOneAndHalf : lsSingle);
    // A vertical scroll bar only, and the caret never past a line's end: a
    // click into the empty editor puts it at the start of the line, so an
    // answer never starts with blanks the learner did not type.
    editor->ScrollBars().SetScrollBars(ssVertical);
    editor->SetOptions(editor->Options() & ~OptionBit(eoScrollPastEol));
    editor->ActiveLine().SetBackground(setup.ActiveBackground);
    editor->ActiveLine().SetForeground(clNavy);
    editor->ActiveLine().SetVisible(true);
    editor->Gutter().SetVisible(setup.Gutter);
    if (setup.Gutter) {
        editor->Gutter().SetShowLineNumbers(true);
        editor->Gutter().SetDigitCount(2);
        editor->Gutter().SetColor(setup.Color);
        editor->Gutter().SetBorderColor(16111002);
    }
    return editor;
}

void BindDictationEditor(TTextEdit* editor, std::function<void()> onChange,
                         std::function<void(std::uint16_t key)> onKeyUp)
{
    editor->OnChange = [onChange](TCustomTextEdit*) {
        if (onChange)
            onChange();
    };
    editor->OnKeyUp = [onKeyUp](TCustomTextEdit*, std::uint16_t& key, TShiftState) {
        if (onKeyUp)
            onKeyUp(key);
    };
}

void TSpellCheckDeleter::operator()(TTextSpellCheck* check) const
{
    delete check;
}

TSpellCheckPtr MakeDictationSpellCheck(TTextEdit* editor)
{
    TSpellCheckPtr check(new TTextSpellCheck);
    check->SetOptions(sscoAutoSpellCheck);
    check->SetApostrophes(QStringLiteral("'`"));
    check->SetEditor(editor);
    return check;
}

bool OpenDictationLists(TTextSpellCheck& check, const QString& folder)
{
    check.SetDictionaryPath(folder);
    check.SetUserDirectory(folder);
    try {
        check.OpenLanguageDictionary(QStringLiteral("english"));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool DictationWordAccepted(const TTextSpellCheck& check, const QString& word)
{
    return check.IsWordAccepted(word);
}

QWidget* EditorWidget(TTextEdit* editor)
{
    return editor;
}

QString EditorFullText(const TTextEdit* editor)
{
    return editor->ReadFullText();
}

QStringList EditorLines(const TTextEdit* editor)
{
    QStringList lines;
    const TTextEditStringList& list = editor->Lines();
    for (int i = 0; i < list.Count(); ++i)
        lines << list.Get(i);
    return lines;
}

void SetEditorText(TTextEdit* editor, const QString& text)
{
    editor->ReplaceAllText(text);
    // The caret goes to the end of the answer, so that what the learner types next follows it.
    // (The character index of the full text's end would put it at the start of the last line.)
    const TTextEditStringList& lines = editor->Lines();
    const int count = lines.Count();
    editor->PlaceCaretCollapsed(count == 0 ? BufferCoord(1, 1)
                                           : BufferCoord(CellLength(lines.Get(count - 1)) + 1, count));
}

void ClearEditor(TTextEdit* editor)
{
    editor->ClearContent();
}

void AddEditorLine(TTextEdit* editor, const QString& line, bool replaceSingle)
{
    TTextEditStringList& list = editor->Lines();
    if (replaceSingle && list.Count() == 1)
        list.Put(0, line);
    else
        list.Add(line);
    editor->update();
}
