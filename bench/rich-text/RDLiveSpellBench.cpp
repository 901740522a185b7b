// Live spelling of the 1 MB document of the layout benchmarks with a handler
// that looks the words up in a QSet (every word of the input but one, so
// that about one word in a hundred is marked), against a plain loop that
// splits the same text at the same delimiters and looks the words up in the
// same set. And the longest time the GUI thread waits for the thread when it
// pauses it again and again while the thread works.
//
// Run: build/bench-bin/rich_text_live_spell_bench [--benchmark_filter=...]

#include "BenchSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QSet>
#include <QtWidgets/QApplication>

#include <atomic>
#include <ctime>
#include <pthread.h>
#include <memory>

#include "RDBenchDocuments.h"
#include "viewer/RDLiveSpell.h"
#include "viewer/RDRichDoc.h"
#include "RichTextSuite.h"

namespace {

using namespace RDBenchInput;

const QSet<QString>& Dictionary()
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* w : Words)
            if (QByteArray(w) != "beautiful")
                set.insert(QString::fromLatin1(w));
        return set;
    }();
    return words;
}

class TSpellViewer : public TRichDoc {
public:
    TSpellViewer()
    {
        SetStyle(&Sheet());
        resize(Width + 30, 600);
        show();
        const auto& texts = Texts(Paragraphs1MB);
        for (int p = 0; p < Paragraphs1MB; ++p)
            AddTextInNewParagraph(texts[size_t(p)], 0, 0);
        FormatDocument();
        OnSpellingCheck = [this](TCustomRichDoc*, const QString& word, int, bool& misspelled) {
            misspelled = !Dictionary().contains(word);
            if (Words.fetch_add(1, std::memory_order_relaxed) == 0)
                Thread = pthread_self();
        };
    }
    std::atomic<long long> Words{0};
    pthread_t Thread{};

    // The processor time the spelling thread has used so far (it waits, alive, at the end).
    double ThreadCpuMs()
    {
        clockid_t clock;
        timespec ts{};
        if (pthread_getcpuclockid(Thread, &clock) != 0 || clock_gettime(clock, &ts) != 0)
            return 0;
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }

    void WaitForEnd(int after)
    {
        while (SpellingThread()->EndOfDocumentCount() <= after)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
};

// The thread's whole walk: from the start to its end-of-document call.
void BM_LiveSpellDocument(benchmark::State& state)
{
    TSpellViewer viewer;
    long long marks = 0;
    double threadCpu = 0;
    for (auto _ : state) {
        viewer.StopLiveSpelling();
        viewer.Words = 0;
        viewer.StartLiveSpelling();
        viewer.WaitForEnd(0);
        state.PauseTiming();
        threadCpu += viewer.ThreadCpuMs();
        marks = 0;
        for (int i = 0; i < viewer.GetItemCount(); ++i)
            if (viewer.GetItem(i)->WordPainters)
                marks += viewer.GetItem(i)->WordPainters->Count();
        state.ResumeTiming();
    }
    viewer.StopLiveSpelling();
    state.counters["marks"] = double(marks);
    state.counters["words"] = double(viewer.Words.load());
    // On a loaded machine an idle-priority thread waits for the processor:
    // its own processor time is what it costs.
    state.counters["thread_cpu_ms"] = threadCpu / double(state.iterations());
}

// The reference: the same text split at the same delimiters, each word looked up.
void BM_SplitAndLookUp(benchmark::State& state)
{
    bool delimiter[256] = {};
    for (char c : TCustomRichDoc::DefaultDelimiters)
        delimiter[static_cast<unsigned char>(c)] = true;
    const auto& texts = Texts(Paragraphs1MB);
    long long misses = 0;
    for (auto _ : state) {
        misses = 0;
        for (int p = 0; p < Paragraphs1MB; ++p) {
            const QString text = QString::fromLatin1(texts[size_t(p)]);
            const int n = int(text.size());
            for (int i = 0; i < n;) {
                while (i < n && text[i].unicode() <= 255 && delimiter[text[i].unicode()])
                    ++i;
                const int start = i;
                while (i < n && !(text[i].unicode() <= 255 && delimiter[text[i].unicode()]))
                    ++i;
                if (i > start && !Dictionary().contains(text.mid(start, i - start)))
                    ++misses;
            }
        }
        benchmark::DoNotOptimize(misses);
    }
    state.counters["marks"] = double(misses);
}

// The GUI thread pauses the working thread every 2 ms (as the viewer's own
// changes do), 200 times, and lets it go on at once; the longest single wait.
void BM_LongestGuiWait(benchmark::State& state)
{
    TSpellViewer viewer;
    qint64 longest = 0;
    long long pauses = 0;
    for (auto _ : state) {
        viewer.StopLiveSpelling();
        viewer.StartLiveSpelling();
        TRDWordEnumThread* thread = viewer.SpellingThread();
        // 200 changes, or fewer when the document is checked before.
        for (int k = 0; k < 200 && thread->EndOfDocumentCount() == 0; ++k) {
            // A change every 2 ms, as fast as a user's never come.
            QElapsedTimer timer;
            timer.start();
            while (timer.elapsed() < 2 && thread->EndOfDocumentCount() == 0)
                QCoreApplication::processEvents();
            thread->Pause(false);
            thread->Resume();
            ++pauses;
        }
        longest = std::max(longest, thread->LongestWait());
    }
    viewer.StopLiveSpelling();
    state.counters["longest_wait_ms"] = double(longest) / 1e6;
    state.counters["pauses"] = double(pauses) / double(state.iterations());
}

BENCHMARK(BM_LiveSpellDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitAndLookUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongestGuiWait)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRichTextSuite();
    return RunBenchmarks(argc, argv);
}
