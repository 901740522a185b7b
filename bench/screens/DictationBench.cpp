// The dictation checks:
// - BM_CheckAll500: "完成提交" over 500 sentences of 12 words, a third of
//   them typed with a wrong, a missing and an extra word. Target: under 50 ms.
// - BM_FreeCheck3000: a free dictation of 3,000 words typed over 150 lines:
//   the check and the free check dialog's marked document (BM_FreeDocument
//   alone), against BM_QTextDocumentRuns: a QTextDocument holding the same
//   styled runs in the same paragraphs, laid out at 760 px. Target: the
//   document at most 2x the reference, all of it under 0.5 s.

#include "UDictationCheck.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
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

void BM_FreeCheck3000(benchmark::State& state)
{
    const TFreeCase c = FreeCase();
    for (auto _ : state) {
        TSingleCheckTotalRes res;
        ResetFreeTest(res, QStringLiteral("lesson.wav"), c.Sentences);
        CheckAllFree(res, QStringLiteral("lesson.wav"), c.Lines, QStringLiteral("00:10:00"));
        TCheckDocument doc = BuildFreeCheckDocument(res, c.Lines);
        benchmark::DoNotOptimize(doc.size());
    }
}

void BM_FreeDocument(benchmark::State& state)
{
    const TFreeCase c = FreeCase();
    TSingleCheckTotalRes res;
    ResetFreeTest(res, QStringLiteral("lesson.wav"), c.Sentences);
    CheckAllFree(res, QStringLiteral("lesson.wav"), c.Lines, QStringLiteral("00:10:00"));
    qsizetype runs = 0;
    for (auto _ : state) {
        TCheckDocument doc = BuildFreeCheckDocument(res, c.Lines);
        runs = 0;
        for (const TCheckParagraph& p : doc)
            runs += p.Runs.size();
        benchmark::DoNotOptimize(runs);
    }
    state.counters["runs"] = double(runs);
}

void BM_QTextDocumentRuns(benchmark::State& state)
{
    const TFreeCase c = FreeCase();
    TSingleCheckTotalRes res;
    ResetFreeTest(res, QStringLiteral("lesson.wav"), c.Sentences);
    CheckAllFree(res, QStringLiteral("lesson.wav"), c.Lines, QStringLiteral("00:10:00"));
    const TCheckDocument doc = BuildFreeCheckDocument(res, c.Lines);
    QTextCharFormat formats[CheckTextStyleCount];
    for (int s = 0; s < CheckTextStyleCount; ++s) {
        const TCheckTextStyleDef& def = CheckTextStyleDef(s);
        formats[s].setFontFamilies({def.FontName});
        formats[s].setFontPointSize(def.Size);
        formats[s].setFontWeight(def.Bold ? QFont::Bold : QFont::Normal);
        formats[s].setFontStrikeOut(def.StrikeOut);
        if (def.Background >= 0)
            formats[s].setBackground(QColor(int(def.Background & 0xFF), int((def.Background >> 8) & 0xFF),
                                            int((def.Background >> 16) & 0xFF)));
    }
    for (auto _ : state) {
        QTextDocument text;
        text.setTextWidth(760);
        QTextCursor cursor(&text);
        bool first = true;
        for (const TCheckParagraph& p : doc) {
            if (!first)
                cursor.insertBlock();
            first = false;
            for (const TCheckRun& r : p.Runs)
                cursor.insertText(r.Text, formats[r.Style]);
        }
        benchmark::DoNotOptimize(text.size().height());
    }
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
    return RunBenchmarks(argc, argv);
}
