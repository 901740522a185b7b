// The dictation checks:
// - BM_CheckAll500: "完成提交" over 500 sentences of 12 words, a third of
//   them typed with a wrong, a missing and an extra word. Target: under 50 ms.
// - BM_FreeCheck3000: a free dictation of 3,000 words typed over 150 lines:
//   the check, then the free check dialog (TFrmFreeCheck, laid out as it is
//   shown) fills its viewer with the marked document and formats it at the
//   viewer's width; BM_FreeDocument is the dialog's part alone (the marked
//   runs, the TRichDoc document built and formatted), against
//   BM_QTextDocumentRuns: a QTextDocument holding the same styled runs in the
//   same paragraphs, in the same fonts, laid out at the same text width.
//   Target: the document at most 2x the reference, all of it under 0.5 s.

#include "RichTextSuite.h"
#include "UDictationCheck.h"
#include "UFrmFreeCheck.h"

#include "Graphics.h"
#include "viewer/RDRichDoc.h"
#include "PiboPictures.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtGui/QTextFormat>
#include <QtCore/QCoreApplication>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

const QStringList Vocabulary{"spring", "is", "the", "warmest", "season", "of", "year", "and", "flowers", "open",
                             "in", "every", "garden", "while", "birds", "sing", "early", "morning", "rain"};

QString Sentence(int i, int words)
{
    QStringList w;
    for (int k = 0; k < words; ++k)
        w << Vocabulary[(i * 7 + k * 3) % Vocabulary.size()];
    return w.join(QLatin1Char(' '));
}

// The typed text of a sentence: every third one with a misspelt, a left-out
// and an extra word.
QString Typed(int i, int words)
{
    QStringList w = Sentence(i, words).split(QLatin1Char(' '));
    if (i % 3 == 0) {
        w[1] += QStringLiteral("x");
        w.removeAt(4);
        w.insert(6, QStringLiteral("extra"));
    }
    return w.join(QLatin1Char(' '));
}

void BM_CheckAll500(benchmark::State& state)
{
    QStringList sentences, answers;
    for (int i = 0; i < 500; ++i) {
        sentences << Sentence(i, 12);
        answers << Typed(i, 12);
    }
    TSingleCheckTotalRes res;
    ResetSingleTest(res, QStringLiteral("lesson.wav"), sentences);
    for (auto _ : state) {
        CheckAllSingle(res, QStringLiteral("lesson.wav"), answers, QStringLiteral("00:10:00"));
        benchmark::DoNotOptimize(res.RightCount);
    }
    state.counters["words"] = res.WordCount;
}

struct TFreeCase {
    QStringList Sentences;
    QStringList Lines;
};

TFreeCase FreeCase()
{
    TFreeCase c;
    for (int i = 0; i < 150; ++i) {
        c.Sentences << Sentence(i, 20);
        c.Lines << Typed(i, 20);
    }
    return c;
}

TSingleCheckTotalRes CheckedFree(const TFreeCase& c)
{
    TSingleCheckTotalRes res;
    ResetFreeTest(res, QStringLiteral("lesson.wav"), c.Sentences);
    CheckAllFree(res, QStringLiteral("lesson.wav"), c.Lines, QStringLiteral("00:10:00"));
    return res;
}

// The free check dialog as the screen shows it: laid out at its own size,
// the viewer's document formatted at the viewer's width.
struct TShownFreeCheck {
    explicit TShownFreeCheck(const TSingleCheckTotalRes& res, const QStringList& lines)
    {
        Dialog.CheckRes = &res;
        Dialog.TypedLines = lines;
        Dialog.show();
        QCoreApplication::processEvents();
    }
    ~TShownFreeCheck() { Dialog.hide(); }
    // The width the viewer formats its text at.
    int TextWidth() const
    {
        const TRichDoc* viewer = Dialog.rdCheckResult;
        return viewer->ClientWidth() - viewer->LeftMargin - viewer->RightMargin;
    }
    qsizetype Items() const { return Dialog.rdCheckResult->GetItemCount(); }
    TFrmFreeCheck Dialog;
};

void BM_FreeCheck3000(benchmark::State& state)
{
    const TFreeCase c = FreeCase();
    TSingleCheckTotalRes res = CheckedFree(c);
    TShownFreeCheck shown(res, c.Lines);
    for (auto _ : state) {
        res = CheckedFree(c);
        shown.Dialog.ShowResult();
        benchmark::DoNotOptimize(shown.Dialog.rdCheckResult->GetDocumentHeight());
    }
    state.counters["items"] = double(shown.Items());
    state.counters["width"] = shown.TextWidth();
    state.counters["height"] = shown.Dialog.rdCheckResult->GetDocumentHeight();
}

void BM_FreeDocument(benchmark::State& state)
{
    const TFreeCase c = FreeCase();
    const TSingleCheckTotalRes res = CheckedFree(c);
    TShownFreeCheck shown(res, c.Lines);
    for (auto _ : state) {
        shown.Dialog.ShowResult();
        benchmark::DoNotOptimize(shown.Dialog.rdCheckResult->GetDocumentHeight());
    }
    state.counters["items"] = double(shown.Items());
    state.counters["width"] = shown.TextWidth();
    state.counters["height"] = shown.Dialog.rdCheckResult->GetDocumentHeight();
}

void BM_QTextDocumentRuns(benchmark::State& state)
{
    const TFreeCase c = FreeCase();
    const TSingleCheckTotalRes res = CheckedFree(c);
    int width = 0;
    {
        TShownFreeCheck shown(res, c.Lines);
        width = shown.TextWidth();
    }
    QTextCharFormat formats[CheckTextStyleCount];
    for (int s = 0; s < CheckTextStyleCount; ++s) {
        const TCheckTextStyleDef& def = CheckTextStyleDef(s);
        QFont font(MapFontName(def.FontName));
        font.setPointSize(def.Size);
        font.setBold(def.Bold);
        font.setStrikeOut(def.StrikeOut);
        font.setKerning(false);
        formats[s].setFont(font);
        if (def.Background >= 0)
            formats[s].setBackground(QColor(int(def.Background & 0xFF), int((def.Background >> 8) & 0xFF),
                                            int((def.Background >> 16) & 0xFF)));
    }
    // The dialog's paragraphs have 8 pixels above each line.
    QTextBlockFormat spaced;
    spaced.setTopMargin(CheckParaLineSpace);
    qsizetype runs = 0;
    double height = 0;
    for (auto _ : state) {
        // The same runs, made as the dialog makes them, in the same paragraphs.
        const TCheckDocument doc = BuildFreeCheckDocument(res, c.Lines);
        QTextDocument text;
        text.setTextWidth(width);
        QTextCursor cursor(&text);
        cursor.setBlockFormat(spaced);
        bool first = true;
        runs = 0;
        for (const TCheckParagraph& p : doc) {
            if (!first)
                cursor.insertBlock(spaced);
            first = false;
            for (const TCheckRun& r : p.Runs)
                cursor.insertText(r.Text, formats[r.Style]);
            runs += p.Runs.size();
        }
        height = text.size().height();
        benchmark::DoNotOptimize(height);
    }
    state.counters["items"] = double(runs);
    state.counters["height"] = height;
    state.counters["width"] = width;
}

} // namespace

BENCHMARK(BM_CheckAll500)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FreeCheck3000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FreeDocument)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QTextDocumentRuns)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterPiboPictures();
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
