#pragma once

// What the dictation screens and their check dialogs share apart from the
// widgets: the test record's reset and totals, the clock's text, the answer
// taken from the editor, the marked document of each check dialog (paragraphs
// of styled runs, in the dialogs' text styles) and saving a test.

#include "UCheckAnswer.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>

// The check dialogs' text styles, by number.
enum TCheckTextStyle : int {
    csRightSpell = 0,
    csWrongSpell = 1,
    csCorrectSpell = 2,
    csOverSpell = 3,
    csMissSpell = 4,
    csItemTitle = 5,
    csSummary = 6,
    csNumber = 7,
};
inline constexpr int CheckTextStyleCount = 8;

// One text style of the dialogs' style sheet; colours are colour numbers
// (blue in the high byte); Color -1 is the sheet's default, Background -1 none.
struct TCheckTextStyleDef {
    QString Name;
    QString FontName;
    int Size = 0;
    bool Bold = false;
    bool StrikeOut = false;
    qint64 Color = -1;
    qint64 Background = -1;
    bool Jump = false;
};
const TCheckTextStyleDef& CheckTextStyleDef(int style);

// The paragraph styles: 0 with 8 pixels between lines, 1 centred.
inline constexpr int CheckParaSpaced = 0;
inline constexpr int CheckParaCentered = 1;
inline constexpr int CheckParaLineSpace = 8;

struct TCheckRun {
    QString Text;
    int Style = csRightSpell;
    bool operator==(const TCheckRun&) const = default;
};
struct TCheckParagraph {
    int ParaStyle = CheckParaSpaced;
    QList<TCheckRun> Runs;
};
using TCheckDocument = QList<TCheckParagraph>;

// The single check dialog's document: every item (rowIndex < 0) or item
// rowIndex alone, each as its number with the reference, the typed answer,
// the marked words and the item's summary, then an empty paragraph.
TCheckDocument BuildSingleCheckDocument(const TSingleCheckTotalRes& res, int rowIndex);

// The free check dialog's document: the marked words of the one item, a new
// paragraph wherever as many right or wrong words as a typed line has words
// were placed (extra and missing words are not counted).
TCheckDocument BuildFreeCheckDocument(const TSingleCheckTotalRes& res, const QStringList& typedLines);

// The texts of the dialogs' header and time line.
struct TCheckHeader {
    QString RightCount;
    QString WordCount;
    QString WrongCount;
    QString OverCount;
    QString MissCount;
    QString TimeDesc;
};
TCheckHeader CheckHeaderOf(const TSingleCheckTotalRes& res);

// Appends the test to singledictaterecord under the user of SystemPara.
bool SaveCheckResult(const TSingleCheckTotalRes& res);

// A fresh test: no totals, "0%", started now, one item per sentence
// (single-sentence dictation).
void ResetSingleTest(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& sentences);
// A fresh test whose one item holds every sentence, each after a blank
// (free dictation).
void ResetFreeTest(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& sentences);

// Checks answers[i] against item i (as many items as answers, the others
// left alone), sums the totals and takes the clock. Accuracy keeps its text
// when no word was checked.
void CheckAllSingle(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& answers,
                    const QString& clock);
// Checks the typed lines, joined by one blank, against the one item.
void CheckAllFree(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& lines,
                  const QString& clock);

// The clock one second on ("hh:mm:ss").
QString NextClockText(const QString& clock);

// The editor's text as a grid answer: trailing blanks dropped, every CR and
// LF removed.
QString AnswerFromEditorText(const QString& text);
