#pragma once

// The dictation screens' text editors and their spell checker, kept apart
// from the grid's headers (both libraries name a scroll-style type alike).

#include "Graphics.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
class TTextEdit;
class TTextSpellCheck;

struct TSpellCheckDeleter {
    void operator()(TTextSpellCheck* check) const;
};
using TSpellCheckPtr = std::unique_ptr<TTextSpellCheck, TSpellCheckDeleter>;

struct TDictationEditorSetup {
    int Height = 0;           // 0: free height
    bool Gutter = false;      // line numbers in the gutter
    bool OneAndHalf = false;  // line spacing one and a half
    TColor Color = clWhite;
    TColor ActiveBackground = clWhite;
};

TTextEdit* MakeDictationEditor(QWidget* parent, const TDictationEditorSetup& setup);
// Binds the editor's change and key-up events (the key's virtual code).
void BindDictationEditor(TTextEdit* editor, std::function<void()> onChange,
                         std::function<void(std::uint16_t key)> onKeyUp);

// The spell checker of an editor: automatic underlining, apostrophes "'" and "`".
TSpellCheckPtr MakeDictationSpellCheck(TTextEdit* editor);
// Opens the English lists of folder; false when they cannot be read (the
// editor then works without underlining).
bool OpenDictationLists(TTextSpellCheck& check, const QString& folder);
// Whether the open lists accept word.
bool DictationWordAccepted(const TTextSpellCheck& check, const QString& word);
// The editor as the widget it is.
QWidget* EditorWidget(TTextEdit* editor);

QString EditorFullText(const TTextEdit* editor);
QStringList EditorLines(const TTextEdit* editor);
// Replaces the text and puts the caret after its last character.
void SetEditorText(TTextEdit* editor, const QString& text);
void ClearEditor(TTextEdit* editor);
// Appends a line (the first replaces the only line of an editor with one line).
void AddEditorLine(TTextEdit* editor, const QString& line, bool replaceSingle);
