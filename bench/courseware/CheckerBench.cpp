// The answer checker on a 1000-word reference against a 1000-word answer (a
// long free dictation), and on 5000 against 5000 words (a whole lesson).

#include "UCheckAnswer.h"

#include <QtCore/QStringList>

#include <benchmark/benchmark.h>

#include <random>

namespace {

// A text of `count` words from a small vocabulary, with the marks and capitals
// of real sentences; the answer is the same text typed plainly with about one
// word in ten changed, dropped or added.
void MakeTexts(int count, QString& sentence, QString& answer)
{
    static const char* const vocabulary[] = {
        "the", "a", "and", "to", "of", "in", "is", "it", "you", "that", "he", "was", "for", "on", "are", "with",
        "as", "I", "his", "they", "be", "at", "one", "have", "this", "from", "or", "had", "by", "word", "but",
        "what", "some", "we", "can", "out", "other", "were", "all", "there", "when", "up", "use", "your", "how",
        "said", "an", "each", "she", "which", "do", "their", "time", "if", "will", "way", "about", "many", "then",
        "them", "write", "would", "like", "so", "these", "her", "long", "make", "thing", "see", "him", "two", "has",
        "look", "more", "day", "could", "go", "come", "did", "number", "sound", "no", "most", "people", "my",
        "over", "know", "water", "than", "call", "first", "who", "may", "down", "side", "been", "now", "find"};
    constexpr int vocabularySize = int(sizeof(vocabulary) / sizeof(vocabulary[0]));
    std::mt19937 random(1000);
    std::uniform_int_distribution<int> pick(0, vocabularySize - 1);
    std::uniform_int_distribution<int> edit(0, 29);
    QStringList reference, typed;
    for (int k = 0; k < count; ++k) {
        QString word = QString::fromLatin1(vocabulary[pick(random)]);
        const QString plain = word;
        if (k % 12 == 0)
            word[0] = word[0].toUpper();
        if (k % 12 == 11)
            word += QLatin1Char('.');
        reference << word;
        switch (edit(random)) {
        case 0: typed << QString::fromLatin1(vocabulary[pick(random)]); break;  // wrong
        case 1: break;                                                           // left out
        case 2: typed << plain << QString::fromLatin1(vocabulary[pick(random)]); break;  // extra
        default: typed << plain; break;
        }
    }
    sentence = reference.join(QLatin1Char(' '));
    answer = typed.join(QLatin1Char(' '));
}

void BM_CheckSentence(benchmark::State& state)
{
    TSingleCheckItem item;
    MakeTexts(int(state.range(0)), item.Sentence, item.Answer);
    for (auto _ : state) {
        CheckSentence(item);
        benchmark::DoNotOptimize(item.Words.data());
    }
    state.counters["words"] = item.WordCount;
    state.counters["right"] = item.RightCount;
    QStringList reference, typed;
    for (const TWordeCheckItem& w : item.Words) {
        if (w.Code != wcOver)
            reference << w.ReferenceWord;
        if (w.Code != wcMiss)
            typed << w.AnswerWord;
    }
    state.counters["table_bytes"] = double(BuildLcsTable(reference, typed).MemoryBytes());
}
BENCHMARK(BM_CheckSentence)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
