// Copying the whole 1 MB document of the layout benchmark against
// QTextDocument in the same run: the viewer selects everything and copies
// what its options ask for (the RDF block and the text) into one MIME bundle;
// the reference takes a QTextDocumentFragment of the whole QTextDocument and
// turns it into HTML and plain text.
//
// Run: build/bench-bin/rich_text_copy_bench [--benchmark_filter=...]

#include "BenchSupport.h"

#include <memory>

#include <QtCore/QMimeData>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtGui/QTextDocumentFragment>
#include <QtWidgets/QApplication>

#include "core/RDHookGuard.h"
#include "RDBenchDocuments.h"
#include "paint/RDClipboard.h"
#include "viewer/RDRichDoc.h"
#include "RichTextSuite.h"

namespace {

using namespace RDBenchInput;

bool ThreeItems(const benchmark::State& state) { return state.range(0) == 3; }

// The viewer holding the layout benchmark's 1 MB, laid out for its width.
std::unique_ptr<TRichDoc> NewViewer(bool threeItems)
{
    auto doc = std::make_unique<TRichDoc>();
    doc->SetBorderStyle(TBorderStyle::bsNone);
    doc->SetStyle(&Sheet());
    doc->resize(Width + 10, 600);
    const auto& texts = Texts(Paragraphs1MB);
    for (int p = 0; p < Paragraphs1MB; ++p) {
        const QByteArray& t = texts[size_t(p)];
        if (threeItems) {
            const int a = int(t.size()) / 3, b = 2 * int(t.size()) / 3;
            doc->AddTextInNewParagraph(t.left(a), 0, 0);
            doc->AddTextToParagraph(t.mid(a, b - a), 1);
            doc->AddTextToParagraph(t.mid(b), 2);
        } else {
            doc->AddTextInNewParagraph(t, 0, 0);
        }
    }
    doc->FormatDocument();
    return doc;
}

void BM_SelectAllCopySelectionDefault(benchmark::State& state)
{
    auto doc = NewViewer(ThreeItems(state));
    std::unique_ptr<QMimeData> last;
    TRDHookGuard sink(RDClipboardSink, [&last](QMimeData* data) { last.reset(data); });
    doc->Options = (doc->Options & ~(rdoAutoCopyImage | rdoAutoCopyRTF | rdoAutoCopyUnicodeText))
                   | rdoAutoCopyRDF | rdoAutoCopyText;
    for (auto _ : state) {
        doc->SelectAllItems();
        doc->CopySelectionDefault();
        benchmark::DoNotOptimize(last.get());
    }
    state.counters["rdf_bytes"] = double(last->data(QStringLiteral("application/x-richdoc-rdf")).size());
    state.counters["text_chars"] = double(last->text().size());
}

void BM_QTextDocumentFragmentHtmlAndText(benchmark::State& state)
{
    QTextDocument doc;
    BuildQt(doc, Paragraphs1MB, ThreeItems(state));
    qsizetype html = 0, text = 0;
    for (auto _ : state) {
        QTextCursor cursor(&doc);
        cursor.select(QTextCursor::Document);
        const QTextDocumentFragment fragment(cursor);
        const QString h = fragment.toHtml();
        const QString t = fragment.toPlainText();
        html = h.size();
        text = t.size();
        benchmark::DoNotOptimize(h.constData());
        benchmark::DoNotOptimize(t.constData());
    }
    state.counters["html_chars"] = double(html);
    state.counters["text_chars"] = double(text);
}

// (items a paragraph)
BENCHMARK(BM_SelectAllCopySelectionDefault)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextDocumentFragmentHtmlAndText)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
