// The spell checker side by side with a plain lower-cased QSet look-up of
// the shipped word list: accepting every word of a 100,000-word text, the
// memory the open list holds, opening the list against reading its lines
// with QTextStream, and paging through the text in an 800x600 editor with
// and without the checker attached.
#include "BenchSupport.h"
#include "TextEdit.h"
#include "TextSpellCheck.h"

#include <QtCore/QFile>
#include <QtCore/QSet>
#include <QtCore/QTextStream>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>

#include <malloc.h>

#include <random>

namespace {

const QString DictFolder = QStringLiteral(PIBO_BUILT_PROGRAM_FOLDER "/data/dict/");
const QString ListFile = DictFolder + QStringLiteral("english.1-0-0.dic");

QStringList ListWords()
{
    QStringList words;
    QFile f(ListFile);
    if (!f.open(QIODevice::ReadOnly))
        return words;
    QTextStream in(&f);
    while (!in.atEnd())
        words << in.readLine();
    return words;
}

// 100,000 words drawn from the list, about 3% of them misspelt (two letters
// swapped), a Chinese word now and then, some capitalised, in lines of a
// dozen words.
const QStringList& TextWords()
{
    static const QStringList words = [] {
        const QStringList list = ListWords();
        QStringList out;
        if (list.isEmpty())
            return out;
        std::mt19937 rng(20);
        std::uniform_int_distribution<qsizetype> pick(0, list.size() - 1);
        std::uniform_int_distribution<int> percent(0, 99);
        while (out.size() < 100000) {
            QString w = list.at(pick(rng));
            const int p = percent(rng);
            if (p < 3 && w.size() > 3)
                std::swap(w[1], w[2]);
            else if (p == 3)
                w = QStringLiteral("中文");
            else if (p < 10)
                w[0] = w[0].toUpper();
            out << w;
        }
        return out;
    }();
    return words;
}

QString TextOf(const QStringList& words)
{
    QString text;
    for (qsizetype i = 0; i < words.size(); ++i) {
        text += words.at(i);
        text += (i % 12 == 11) ? QStringLiteral("\r\n") : QStringLiteral(" ");
    }
    return text;
}

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

void OpenChecker(TTextSpellCheck& spell)
{
    spell.SetDictionaryPath(DictFolder);
    spell.SetUseUserDictionary(false);
    spell.SetOptions(sscoAutoSpellCheck);
    spell.SetApostrophes(QString(QLatin1Char('\'')) + QLatin1Char('`') + QChar(0));
    spell.OpenLanguageDictionary(QStringLiteral("english"));
}

void BM_IsWordAccepted(benchmark::State& state)
{
    const QStringList& words = TextWords();
    const std::size_t before = HeapInUse();
    TTextSpellCheck spell;
    OpenChecker(spell);
    state.counters["list_KiB"] = static_cast<double>(HeapInUse() - before) / 1024.0;
    int rejected = 0;
    for (auto _ : state) {
        rejected = 0;
        for (const QString& w : words)
            rejected += !spell.IsWordAccepted(w);
    }
    state.counters["rejected"] = rejected;
}

void BM_ReferenceSetLookup(benchmark::State& state)
{
    const QStringList& words = TextWords();
    const std::size_t before = HeapInUse();
    QSet<QString> set;
    for (const QString& w : ListWords())
        set.insert(w);
    state.counters["list_KiB"] = static_cast<double>(HeapInUse() - before) / 1024.0;
    int rejected = 0;
    for (auto _ : state) {
        rejected = 0;
        for (const QString& w : words)
            rejected += !set.contains(w.toLower());
    }
    state.counters["rejected"] = rejected;
}

void BM_OpenLanguageDictionary(benchmark::State& state)
{
    for (auto _ : state) {
        TTextSpellCheck spell;
        OpenChecker(spell);
        benchmark::DoNotOptimize(spell.WordCount());
    }
}

void BM_ReferenceReadLines(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ListWords().size());
}

// Pages through the whole text, top to bottom, a full repaint per page.
void BM_PageThrough(benchmark::State& state)
{
    TTextEdit e;
    e.resize(800, 600);
    e.show();
    e.ReplaceAllText(TextOf(TextWords()));
    TTextSpellCheck spell;
    if (state.range(0) != 0) {
        OpenChecker(spell);
        spell.SetEditor(&e);
    }
    const int pages = (e.Lines().Count() + e.RowsInWindow() - 1) / std::max(1, e.RowsInWindow());
    QImage target(e.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        for (int page = 0; page < pages; ++page) {
            e.SetTopRow(1 + page * e.RowsInWindow());
            e.render(&target);
        }
    }
    state.counters["pages"] = pages;
    spell.SetEditor(nullptr);
}

}  // namespace

BENCHMARK(BM_IsWordAccepted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceSetLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenLanguageDictionary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceReadLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageThrough)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
