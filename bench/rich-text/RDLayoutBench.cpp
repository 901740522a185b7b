// The layout of the formatted document against QTextDocument in the same run:
// 1 MB of English words in 1,795 paragraphs, one text item a paragraph and
// three styled items a paragraph, Liberation Sans 15 px, 760 pixels wide; the
// full pass, the same for 2 MB, one paragraph changed and formatted again, and
// the heap the formatted document takes.
//
// Run: build/bench-bin/rich_text_layout_bench [--benchmark_filter=...]

#include "BenchSupport.h"

#include <malloc.h>

#include <memory>
#include <random>

#include <QtGui/QAbstractTextDocumentLayout>
#include <QtGui/QTextBlock>
#include <QtGui/QTextCharFormat>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>

#include "RDLayoutTestSupport.h"

namespace {

constexpr int Paragraphs1MB = 1795;
constexpr int ParagraphBytes = 1024 * 1024 / Paragraphs1MB;  // 584
constexpr int Width = 760;

const char* const Words[] = {
    "the", "of", "and", "to", "in", "is", "you", "that", "it", "he", "was", "for", "on", "are", "as", "with",
    "his", "they", "at", "be", "this", "have", "from", "or", "one", "had", "by", "word", "but", "not", "what",
    "all", "were", "we", "when", "your", "can", "said", "there", "use", "each", "which", "she", "do", "how",
    "their", "if", "will", "up", "other", "about", "out", "many", "then", "them", "these", "so", "some", "her",
    "would", "make", "like", "him", "into", "time", "has", "look", "two", "more", "write", "go", "see", "number",
    "way", "could", "people", "than", "first", "water", "been", "call", "who", "oil", "its", "now", "find",
    "long", "down", "day", "did", "get", "come", "made", "may", "part", "listening", "sentence", "dictation",
    "remember", "language", "understand", "between", "important", "together", "mountain", "beautiful"};

// The paragraphs of the input: English words, ParagraphBytes each.
const std::vector<QByteArray>& Texts(int paragraphs)
{
    static std::vector<QByteArray> texts;
    if (int(texts.size()) < paragraphs) {
        std::mt19937 rng(25);
        texts.clear();
        for (int p = 0; p < 2 * Paragraphs1MB; ++p) {
            QByteArray s;
            while (s.size() < ParagraphBytes) {
                if (!s.isEmpty())
                    s += ' ';
                s += Words[rng() % (sizeof(Words) / sizeof(Words[0]))];
            }
            s.truncate(ParagraphBytes);
            texts.push_back(s);
        }
    }
    return texts;
}

// Liberation Sans 15 px: style 0 plain, 1 bold, 2 italic in colour.
class TBenchSheet : public TRDStyle {
public:
    TBenchSheet()
    {
        for (int i = 0; i < 3; ++i) {
            TFontInfo* f = TextStyles().Items(i);
            f->FontName = QStringLiteral("Liberation Sans");
            f->Size = 11;  // 15 px at 96 dpi
            f->Style = i == 1 ? fsBold : i == 2 ? fsItalic : 0;
            f->Color = i == 2 ? TColor(0xFF0000) : clBlack;
            f->Jump = false;
        }
    }
};

TBenchSheet& Sheet()
{
    static TBenchSheet sheet;
    return sheet;
}

void Build(TLayoutData& doc, int paragraphs, bool threeItems)
{
    const auto& texts = Texts(paragraphs);
    for (int p = 0; p < paragraphs; ++p) {
        const QByteArray& t = texts[size_t(p)];
        if (threeItems) {
            int a = int(t.size()) / 3, b = 2 * int(t.size()) / 3;
            doc.AddTextRawNoTag(t.left(a), 0, 0);
            doc.AddTextRawNoTag(t.mid(a, b - a), 1, -1);
            doc.AddTextRawNoTag(t.mid(b), 2, -1);
        } else {
            doc.AddTextRawNoTag(t, 0, 0);
        }
    }
}

std::unique_ptr<TLayoutData> NewDocument()
{
    auto doc = std::make_unique<TLayoutData>(&Sheet());
    doc->ClientWidth = Width + 10;  // margins 5
    doc->ClientHeight = 600;
    doc->Flags = cfSwallowWrapSpaces;
    return doc;
}

void BuildQt(QTextDocument& doc, int paragraphs, bool threeItems)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(15);
    doc.setDefaultFont(font);
    doc.setTextWidth(Width);
    const auto& texts = Texts(paragraphs);
    if (!threeItems) {
        QString all;
        for (int p = 0; p < paragraphs; ++p) {
            if (p)
                all += QLatin1Char('\n');
            all += QString::fromLatin1(texts[size_t(p)]);
        }
        doc.setPlainText(all);
        return;
    }
    QTextCursor cursor(&doc);
    QTextCharFormat plain, bold, italic;
    bold.setFontWeight(QFont::Bold);
    italic.setFontItalic(true);
    italic.setForeground(Qt::blue);
    for (int p = 0; p < paragraphs; ++p) {
        const QByteArray& t = texts[size_t(p)];
        int a = int(t.size()) / 3, b = 2 * int(t.size()) / 3;
        if (p)
            cursor.insertBlock();
        cursor.insertText(QString::fromLatin1(t.left(a)), plain);
        cursor.insertText(QString::fromLatin1(t.mid(a, b - a)), bold);
        cursor.insertText(QString::fromLatin1(t.mid(b)), italic);
    }
}

double HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

int ParagraphsOf(const benchmark::State& state) { return int(state.range(0)) * Paragraphs1MB; }
bool ThreeItems(const benchmark::State& state) { return state.range(1) == 3; }

// The full pass over a built document.
void BM_DoFormat(benchmark::State& state)
{
    auto doc = NewDocument();
    Build(*doc, ParagraphsOf(state), ThreeItems(state));
    for (auto _ : state) {
        doc->Format();
        benchmark::DoNotOptimize(doc->DocumentHeight);
    }
    state.counters["draw_items"] = doc->DrawItems.Count();
    state.counters["height"] = doc->DocumentHeight;
}

// The reference: the text set and laid out (documentSize).
void BM_QTextDocumentLayout(benchmark::State& state)
{
    for (auto _ : state) {
        QTextDocument doc;
        BuildQt(doc, ParagraphsOf(state), ThreeItems(state));
        benchmark::DoNotOptimize(doc.size());
        state.PauseTiming();
        doc.clear();
        state.ResumeTiming();
    }
}

// Building and formatting, for the same measure as the reference's.
void BM_BuildAndDoFormat(benchmark::State& state)
{
    for (auto _ : state) {
        auto doc = NewDocument();
        Build(*doc, ParagraphsOf(state), ThreeItems(state));
        doc->Format();
        benchmark::DoNotOptimize(doc->DocumentHeight);
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}

// One paragraph in the middle changed and formatted again.
void BM_FormatParagraphsOfDrawRange(benchmark::State& state)
{
    auto doc = NewDocument();
    Build(*doc, ParagraphsOf(state), ThreeItems(state));
    doc->Format();
    int item = doc->ItemCount() / 2;
    while (item > 0 && !doc->ItemAt(item)->StartsParagraph())
        --item;
    QByteArray original = doc->TextOfItem(item);
    bool toggle = false;
    for (auto _ : state) {
        toggle = !toggle;
        QByteArray text = original;
        text.insert(text.size() / 2, toggle ? "x" : "");
        doc->SetTextOfItem(item, text);
        doc->FormatParagraphsOfDrawRange(doc->FirstDrawItemOfItem(item), doc->LastDrawItemOfItem(item), false, 0);
        benchmark::DoNotOptimize(doc->DocumentHeight);
    }
}

// The reference: one character inserted in the middle, laid out again.
void BM_QTextDocumentEdit(benchmark::State& state)
{
    QTextDocument doc;
    BuildQt(doc, ParagraphsOf(state), ThreeItems(state));
    doc.size();
    QTextCursor cursor(doc.findBlockByNumber(doc.blockCount() / 2));
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, 100);
    bool toggle = false;
    for (auto _ : state) {
        toggle = !toggle;
        if (toggle)
            cursor.insertText(QStringLiteral("x"));
        else
            cursor.deletePreviousChar();
        benchmark::DoNotOptimize(doc.size());
    }
}

// Heap growth of what make builds (kept until measured).
template <typename Make>
void HeapGrowth(benchmark::State& state, Make make)
{
    for (auto _ : state) {
        malloc_trim(0);
        const double before = HeapInUse();
        auto built = make();
        state.counters["heap_MB"] = (HeapInUse() - before) / (1024.0 * 1024.0);
        state.PauseTiming();
        built.reset();
        state.ResumeTiming();
    }
}

// The built and formatted document, and the reference's.
void BM_HeapFormattedDocument(benchmark::State& state)
{
    HeapGrowth(state, [&] {
        auto doc = NewDocument();
        Build(*doc, ParagraphsOf(state), ThreeItems(state));
        doc->Format();
        return doc;
    });
}

void BM_HeapQTextDocument(benchmark::State& state)
{
    HeapGrowth(state, [&] {
        auto doc = std::make_unique<QTextDocument>();
        BuildQt(*doc, ParagraphsOf(state), ThreeItems(state));
        doc->size();
        return doc;
    });
}

// (megabytes of text, items a paragraph)
void Shapes(benchmark::internal::Benchmark* b)
{
    b->Args({1, 1})->Args({1, 3})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_DoFormat)->Apply(Shapes)->Args({2, 1})->Args({2, 3});
BENCHMARK(BM_QTextDocumentLayout)->Apply(Shapes)->Args({2, 1});
BENCHMARK(BM_BuildAndDoFormat)->Apply(Shapes);
BENCHMARK(BM_FormatParagraphsOfDrawRange)->Args({1, 1})->Args({1, 3})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QTextDocumentEdit)->Args({1, 1})->Args({1, 3})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HeapFormattedDocument)->Apply(Shapes)->Iterations(1);
BENCHMARK(BM_HeapQTextDocument)->Apply(Shapes)->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
