#include "viewer/RDLiveSpell.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>

#include "layout/CRDFData.h"
#include "viewer/RDRichDoc.h"
#include "core/RDStrUtils.h"
#include "styles/RDStyle.h"
#include "document/RDDocEncoding.h"
#include "core/RDUnicode.h"
#include "ThreadSanitizer.h"

namespace {

constexpr uint8_t SYMBOL_CHARSET = 2;
constexpr int QuietPeriodMs = 50;

} // namespace

// ---- the thread ----

TRDWordEnumThread::TRDWordEnumThread() = default;

TRDWordEnumThread::~TRDWordEnumThread()
{
    FViewer = nullptr;
    Finish();
    wait();
    MarkHappensAfter(this);
    // Nothing can be left; a queued call would go unrun with the queue.
}

void TRDWordEnumThread::Bump()
{
    std::lock_guard<std::mutex> lock(FMutex);
    FGeneration.fetch_add(1);
}

void TRDWordEnumThread::Init(TCustomRichDoc* viewer)
{
    Bump();
    FViewer = viewer;
    if (viewer == nullptr)
        return;
    DocData = viewer->DocumentData();
    ItemIndex = 0;
    ItemOffset = 0;
    ItemInProgress = ResetRequested = KeepExistingMarks = EditedWordPending = false;
    RestartData = nullptr;
    RestartItem = -1;
}

bool TRDWordEnumThread::Waiting() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    return FWaiting;
}

void TRDWordEnumThread::Resume()
{
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (ControlState.load() == csFinished)
            return;
        ControlState = csRunning;
        FWaiting = false;
        ++FResumeCount;
    }
    FThreadCv.notify_all();
    if (!isRunning() && ControlState.load() != csFinished)
        start(QThread::IdlePriority);
}

void TRDWordEnumThread::Pause(bool reset)
{
    if (ControlState.load() == csFinished)
        return;
    QElapsedTimer timer;
    timer.start();
    if (reset) {
        RestartData = nullptr;
        RestartItem = RestartOffs = -1;
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (!FWaiting && isRunning())
            ControlState = csStopRequested;
    }
    FThreadCv.notify_all();  // out of the quiet period at once
    // The items the thread has checked are taken; what it has in hand no longer counts.
    RunPendingCalls();
    Bump();
    RunPendingCalls();
    // An item begun is checked again from its start.
    ItemInProgress = false;
    ItemOffset = 0;
    FLongestWait = std::max(FLongestWait, timer.nsecsElapsed());
}

void TRDWordEnumThread::Continue()
{
    if (ControlState.load() == csFinished)
        return;
    Bump();
    if (RestartItem >= 0 || ResetRequested)
        ApplyRestartPoint();
    DelayActive = true;
    EditedInDelay = true;
    Resume();
}

void TRDWordEnumThread::Finish()
{
    if (ControlState.load() == csFinished)
        return;
    QElapsedTimer timer;
    timer.start();
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FTerminating = true;
        FWaiting = false;
        ControlState = csStopRequested;
        FGeneration.fetch_add(1);
    }
    FCalls.Close();
    FThreadCv.notify_all();
    // A call the thread waits for is answered (with nothing to do).
    RunPendingCalls();
    if (!isRunning())
        ControlState = csFinished;
    FLongestWait = std::max(FLongestWait, timer.nsecsElapsed());
}

void TRDWordEnumThread::SetRestartPoint(TCustomRDData* data, int itemNo, int offset)
{
    if (data != RestartData || RestartItem < 0 || itemNo < RestartItem
        || (itemNo == RestartItem && offset < RestartOffs)) {
        RestartData = data;
        RestartItem = itemNo;
        RestartOffs = offset;
    }
}

void TRDWordEnumThread::ApplyRestartPoint()
{
    if (RestartItem >= 0) {
        TCustomRDData* data = RestartData;
        const int itemNo = RestartItem, offset = RestartOffs;
        RestartData = nullptr;
        RestartItem = RestartOffs = -1;
        if (data == nullptr)
            return;
        int c = 1;
        if (!ResetRequested && DocData != nullptr) {
            try {
                c = DocData->ComparePositions(ItemIndex, data, itemNo);
            } catch (const std::exception&) {
                c = 1;  // positions that no longer meet: start over from the point
            }
        }
        if (c >= 0) {
            DocData = data;
            ItemIndex = itemNo;
            TCustomRDData* active = data->GetActiveData();
            const bool valid = itemNo >= 0 && itemNo < active->ItemCount();
            if (c > 0) {
                // Inside the item: from the word that holds the offset.
                ItemInProgress = offset > 1 && valid && active->ItemAt(itemNo)->StyleNo >= 0;
                ItemOffset = ItemInProgress ? offset : 0;
            } else {
                if (!KeepExistingMarks && valid)
                    active->ItemAt(itemNo)->ClearLiveSpelling();
                ItemInProgress = false;
                ItemOffset = 0;
            }
            ResetRequested = false;
        }
    } else if (ResetRequested) {
        Init(FViewer.load());
    }
}

void TRDWordEnumThread::RecheckEditedItem(TCustomRDData* rdData, int itemNo)
{
    if (!EditedWordPending)
        return;
    EditedWordPending = false;
    int c = 0;
    try {
        c = DocData != nullptr ? DocData->ComparePositions(ItemIndex, rdData, itemNo) : -1;
    } catch (const std::exception&) {
        c = 1;
    }
    if (c < 0)
        return;
    TCustomRDData* active = rdData->GetActiveData();
    // The walk passed the item (or is in it): its marks go and it is checked again whole.
    if (itemNo >= 0 && itemNo < active->ItemCount())
        active->ItemAt(itemNo)->ClearLiveSpelling();
    RestartData = rdData;
    RestartItem = itemNo;
    RestartOffs = 0;
    ApplyRestartPoint();
}

bool TRDWordEnumThread::IsPassed(TCustomRDData* rdData, int itemNo)
{
    if (DocData == nullptr)
        return false;
    try {
        return DocData->ComparePositions(ItemIndex, rdData, itemNo) >= 0;
    } catch (const std::exception&) {
        return false;
    }
}

// ---- calls on the GUI thread ----

bool TRDWordEnumThread::Synchronize(std::function<void()> fn)
{
    // The GUI thread answers it from its event loop, or in Pause or Finish.
    return FCalls.Call([&fn] {
        try {
            fn();
        } catch (...) {
            // A mark that cannot be shown stays; nothing else to do.
        }
    });
}

void TRDWordEnumThread::Post(std::function<void()> fn)
{
    FCalls.Post(std::move(fn));
}

void TRDWordEnumThread::RunPendingCalls()
{
    FCalls.RunPending();
}

// ---- the walk (GUI thread) ----

bool TRDWordEnumThread::SeekTextItem(TCustomRDData*& data, int& index, bool keep)
{
    TCustomRDData* root = FViewer.load() != nullptr ? FViewer.load()->DocumentData() : nullptr;
    for (int guard = 0; data != nullptr; ++guard) {
        TCustomRDData* active = data->GetActiveData();
        if (index >= active->ItemCount()) {
            TCustomRDData* parent = data->GetAbsoluteParentData();
            if (data == root || parent == nullptr)
                return false;
            // Out of a nested document: the next one of the same item, or the item after it.
            int parentItemNo = -1;
            std::unique_ptr<TRDLocation> location;
            data->GetParentInfo(parentItemNo, location);
            TCustomRDData* next = nullptr;
            if (parentItemNo >= 0 && parentItemNo < parent->GetActiveData()->ItemCount()) {
                TCustomRDItemInfo* owner = parent->GetActiveData()->ItemAt(parentItemNo);
                std::unique_ptr<TRDStoreSubRDData> store;
                bool found = false;
                for (TCustomRDData* sub = owner->EnumSubDocuments(store, 0); sub != nullptr;
                     sub = owner->EnumSubDocuments(store, 4)) {
                    if (found) {
                        next = sub;
                        break;
                    }
                    found = sub->GetSourceData() == data->GetSourceData();
                }
            }
            if (next != nullptr) {
                data = next->GetSourceData();
                index = 0;
            } else {
                data = parent->GetSourceData();
                index = parentItemNo + 1;
                if (parentItemNo < 0)
                    return false;
            }
            continue;
        }
        TCustomRDItemInfo* item = active->ItemAt(index);
        if (item->StyleNo < 0 || (!keep && (item->SpellFlags & 1))) {
            std::unique_ptr<TRDStoreSubRDData> store;
            if (TCustomRDData* sub = item->StyleNo < 0 ? item->EnumSubDocuments(store, 0) : nullptr) {
                data = sub->GetSourceData();
                index = 0;
            } else {
                ++index;
            }
            continue;
        }
        return true;
    }
    return false;
}

void TRDWordEnumThread::FillBatch(TBatch& batch, unsigned gen)
{
    TCustomRichDoc* viewer = FViewer.load();
    if (gen != FGeneration.load() || ControlState.load() != csRunning || viewer == nullptr || DocData == nullptr) {
        batch.Stale = true;
        return;
    }
    // What the thread reads of the viewer goes with the items.
    batch.Handler = viewer->OnSpellingCheck;
    batch.Delimiters.assign(256, false);
    for (char c : viewer->Delimiters)
        batch.Delimiters[static_cast<unsigned char>(c)] = true;
    constexpr int MaxItems = 256;
    constexpr qsizetype MaxBytes = 64 * 1024;
    TCustomRDData* data = DocData;
    int index = ItemIndex;
    bool keep = KeepExistingMarks;
    int startOffset = ItemInProgress ? ItemOffset : 0;
    qsizetype bytes = 0;
    while (int(batch.Items.size()) < MaxItems && bytes < MaxBytes) {
        if (!SeekTextItem(data, index, keep || startOffset > 1)) {
            batch.End = true;
            break;
        }
        TCustomRDData* active = data->GetActiveData();
        const TCustomRDItemInfo* item = active->ItemAt(index);
        TItemCopy copy;
        copy.Data = data;
        copy.Index = index;
        copy.Text = active->TextOfItem(index);
        copy.Unicode = item->ItemOptions & rdioUnicode;
        copy.StyleNo = active->EffectiveStyleOfItem(index);
        copy.CodePage = active->CodePageOfStyle(std::max(copy.StyleNo, 0));
        const TRDStyle* sheet = active->GetRDStyle();
        if (sheet != nullptr && copy.StyleNo >= 0 && copy.StyleNo < sheet->TextStyles().Count()) {
            const TFontInfo* font = sheet->TextStyles().TextStyleAt(copy.StyleNo);
            copy.Jump = font->Jump;
            copy.Symbol = font->Charset == SYMBOL_CHARSET;
        }
        copy.StartOffset = startOffset;
        copy.Keep = keep;
        if (keep && item->WordPainters)
            for (int k = 0; k < item->WordPainters->Count(); ++k)
                copy.Marks.emplace_back(item->WordPainters->PainterAt(k)->StartOffset,
                                        item->WordPainters->PainterAt(k)->Length);
        bytes += copy.Text.size();
        batch.Items.push_back(std::move(copy));
        ++index;
        keep = false;
        startOffset = 0;
    }
}

void TRDWordEnumThread::FinishItem(unsigned gen, TCustomRDData* data, int index, int clearFrom,
                                   const std::vector<std::pair<int, int>>& marks)
{
    if (gen != FGeneration.load() || FViewer.load() == nullptr || data == nullptr)
        return;
    TCustomRDData* active = data->GetActiveData();
    if (index < 0 || index >= active->ItemCount())
        return;
    TCustomRDItemInfo* item = active->ItemAt(index);
    if (clearFrom >= 0 && item->WordPainters) {
        bool removed = false;
        for (int k = item->WordPainters->Count() - 1; k >= 0; --k) {
            const TRDWordPainter* p = item->WordPainters->PainterAt(k);
            if (dynamic_cast<const TRDWordMisspellPainter*>(p) && p->StartOffset + p->Length > clearFrom) {
                item->WordPainters->Delete(k);
                removed = true;
            }
        }
        if (item->WordPainters->Count() == 0)
            item->WordPainters.reset();
        auto* formatted = dynamic_cast<TCustomRDFormattedData*>(active);
        if (removed && formatted != nullptr && formatted->DrawItems.Count() > 0) {
            const int first = formatted->FirstDrawItemOfItem(index), last = formatted->LastDrawItemOfItem(index);
            for (int d = first; d >= 0 && d <= last; ++d)
                formatted->InvalidateDrawItem(d, 3);
        }
    }
    for (const auto& mark : marks)
        MarkMisspelled(data, index, mark.first, mark.second);
    item->SpellFlags |= 1;
    // The walk goes on after the item.
    DocData = data;
    ItemIndex = index + 1;
    ItemInProgress = false;
    ItemOffset = 0;
    KeepExistingMarks = false;
}

void TRDWordEnumThread::MarkMisspelled(TCustomRDData* data, int itemNo, int wordOffs, int wordLen)
{
    if (FViewer.load() == nullptr || data == nullptr)
        return;
    TCustomRDData* active = data->GetActiveData();
    if (itemNo < 0 || itemNo >= active->ItemCount())
        return;
    active->ItemAt(itemNo)->AddMisspelling(wordOffs, wordLen);
    // Only a laid-out item has rectangles to repaint (-1: none).
    auto* formatted = dynamic_cast<TCustomRDFormattedData*>(active);
    if (formatted == nullptr || formatted->DrawItems.Count() == 0)
        return;
    try {
        int firstOffs = 0, first = -1, lastOffs = 0, last = -1;
        formatted->ItemPosToDrawPos(itemNo, wordOffs, firstOffs, first);
        formatted->ItemPosToDrawPos(itemNo, wordOffs + wordLen, lastOffs, last);
        if (first < 0 || last < 0)
            return;
        for (int d = first; d <= last && d < formatted->DrawItems.Count(); ++d)
            formatted->InvalidateDrawItem(d, 3);
    } catch (...) {
        // The mark stays; the next full paint shows it.
    }
}

// ---- the words (on the thread, on copies) ----

bool TRDWordEnumThread::CheckItem(const TItemCopy& item, const TBatch& batch, unsigned gen, int& clearFrom,
                                  std::vector<std::pair<int, int>>& marks)
{
    // The characters and the item offset of each (none: index + 1).
    QString text;
    std::vector<int> offsets;
    int endOffset = 1;
    if (item.Unicode) {
        text = RawToWideString(item.Text);
    } else {
        bool ascii = true;
        for (char c : item.Text)
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
        if (ascii) {
            text = QString::fromLatin1(item.Text);
        } else {
            for (qsizetype pos = 0; pos < item.Text.size();) {
                const int size = IsDoubleByteCodePage(item.CodePage)
                                     ? std::max(1, DoubleByteCharSize(item.Text, pos, item.CodePage))
                                     : 1;
                const QString ch = AnsiToQString(item.CodePage, item.Text.mid(pos, size));
                for (qsizetype k = 0; k < ch.size(); ++k) {
                    text += ch[k];
                    offsets.push_back(int(pos) + 1);
                }
                pos += size;
            }
        }
    }
    endOffset = offsets.empty() ? int(text.size()) + 1 : int(item.Text.size()) + 1;
    const int keepFrom = item.StartOffset > 1 ? item.StartOffset : 0;
    // Addresses in a hypertext style and symbol fonts are not words: their marks just go.
    if (item.Symbol || (item.Jump && (IsUrlText(text) || IsEmailText(text)))) {
        clearFrom = 0;
        return true;
    }
    const int n = int(text.size());
    auto isDelimiter = [&](int i) {
        const char16_t ch = text[i].unicode();
        return ch <= 255 && batch.Delimiters[ch];
    };
    auto offsetOf = [&](int i) { return i >= n ? endOffset : offsets.empty() ? i + 1 : offsets[size_t(i)]; };
    int pos = 0;
    if (keepFrom > 0) {
        // One character before the offset, back to the start of its word.
        while (pos < n && offsetOf(pos) < keepFrom - 1)
            ++pos;
        while (pos > 0 && !isDelimiter(pos - 1))
            --pos;
    }
    // Unless only unmarked words are checked, the marks from the scan's start go.
    clearFrom = item.Keep ? -1 : (pos > 0 ? offsetOf(pos) : 0);
    auto marked = [&](int offset) {
        for (const auto& m : item.Marks)
            if (m.first <= offset && offset < m.first + m.second)
                return true;
        return false;
    };
    TCustomRichDoc* sender = FViewer.load();
    while (true) {
        if (FGeneration.load(std::memory_order_relaxed) != gen)
            return false;
        // Delimiters and apostrophes before the word.
        while (pos < n && (isDelimiter(pos) || text[pos] == QLatin1Char('\'')))
            ++pos;
        if (pos >= n)
            return true;
        // The word runs to the next delimiter; apostrophes at its end are cut off.
        const int start = pos;
        while (pos < n && !isDelimiter(pos))
            ++pos;
        int end = pos;
        while (end > start && text[end - 1] == QLatin1Char('\''))
            --end;
        if (item.Keep && marked(offsetOf(start)))
            continue;
        bool misspelled = false;
        if (batch.Handler) {
            try {
                batch.Handler(sender, text.mid(start, end - start), item.StyleNo, misspelled);
            } catch (...) {
                misspelled = false;
            }
        }
        if (misspelled)
            marks.emplace_back(offsetOf(start), offsetOf(end) - offsetOf(start));
    }
}

void TRDWordEnumThread::WaitForResume(std::unique_lock<std::mutex>& lock)
{
    FWaiting = true;
    FThreadCv.wait(lock, [this] { return !FWaiting || FTerminating; });
}

void TRDWordEnumThread::run()
{
    // Everything the thread did comes before the wait for it ends.
    struct TRunEnd {
        const void* Thread;
        ~TRunEnd() { MarkHappensBefore(Thread); }
    } runEnd{this};
    while (true) {
        unsigned gen = 0, resumes = 0;
        {
            std::unique_lock<std::mutex> lock(FMutex);
            if (FTerminating)
                break;
            // A stop request is acknowledged; the thread then waits for a Continue.
            if (ControlState.load() == csStopRequested) {
                ControlState = csStopped;
                WaitForResume(lock);
                continue;
            }
            if (ControlState.load() != csRunning) {
                WaitForResume(lock);
                continue;
            }
            // The quiet period after a change; a stop request ends it at once.
            if (DelayActive.load()) {
                EditedInDelay = false;
                const bool stopped = FThreadCv.wait_for(lock, std::chrono::milliseconds(QuietPeriodMs), [this] {
                    return FTerminating || ControlState.load() != csRunning;
                });
                if (!stopped)
                    DelayActive = EditedInDelay.load();
                continue;
            }
            gen = FGeneration.load();
            resumes = FResumeCount;
        }
        // The next items, copied on the GUI thread.
        TBatch batch;
        if (!Synchronize([this, &batch, gen] { FillBatch(batch, gen); }))
            continue;
        bool complete = !batch.Stale;
        for (const TItemCopy& item : batch.Items) {
            int clearFrom = -1;
            std::vector<std::pair<int, int>> marks;
            if (!CheckItem(item, batch, gen, clearFrom, marks)) {
                complete = false;
                break;
            }
            TCustomRDData* data = item.Data;
            const int index = item.Index;
            Post([this, gen, data, index, clearFrom, marks = std::move(marks)] {
                FinishItem(gen, data, index, clearFrom, marks);
            });
        }
        if (complete && batch.End) {
            // The document is checked: say so on the GUI thread, after the marks.
            Synchronize([this, gen] {
                if (gen != FGeneration.load())
                    return;
                ++FEndOfDocumentCount;
                if (OnEndOfDocument)
                    OnEndOfDocument();
            });
        }
        if (batch.Stale || (complete && batch.End)) {
            // Nothing to do until a Continue (unless one came meanwhile).
            std::unique_lock<std::mutex> lock(FMutex);
            if (!FTerminating && ControlState.load() == csRunning && gen == FGeneration.load()
                && resumes == FResumeCount)
                WaitForResume(lock);
        }
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        ControlState = csFinished;
        FWaiting = false;
    }
}

// ---- holding the thread during a change ----

TRDLiveSpellingPause::TRDLiveSpellingPause(TCustomRichDoc& viewer, int changedFrom)
    : FThread(viewer.SpellingThread()), FChangedFrom(changedFrom)
{
    if (FThread == nullptr || FThread->ControlState.load() == TRDWordEnumThread::csFinished)
        return;
    FData = viewer.DocumentData();
    // The current item may change or go: it is checked again from its start.
    FThread->Pause(true);
    if (changedFrom >= 0 && FThread->DocData != nullptr && FThread->DocData->GetSourceData() != FData)
        FThread->ResetRequested = true;  // the nested document being walked may go
}

TRDLiveSpellingPause::~TRDLiveSpellingPause()
{
    if (FThread == nullptr || FThread->ControlState.load() == TRDWordEnumThread::csFinished)
        return;
    if (FChangedFrom >= 0)
        FThread->SetRestartPoint(FData, FChangedFrom, 0);
    FThread->Continue();
}

// ---- the viewer's operations ----

void TCustomRichDoc::StartLiveSpelling()
{
    if (!(ControlFlags & cfOwnOptions) || !OnSpellingCheck || FStyle == nullptr)
        return;
    if (FSpellingThread)
        FSpellingThread->Pause(true);
    else
        FSpellingThread = std::make_unique<TRDWordEnumThread>();
    ClearLiveSpellingResults();
    FSpellingThread->Init(this);
    FSpellingThread->Resume();
}

void TCustomRichDoc::StopLiveSpelling()
{
    if (!FSpellingThread)
        return;
    std::unique_ptr<TRDWordEnumThread> thread = std::move(FSpellingThread);
    thread->Init(nullptr);
    thread->Finish();
    thread->wait();
    MarkHappensAfter(thread.get());
    thread.reset();
    if (FDocumentData) {
        ClearLiveSpellingResults();
        InvalidateNested();
    }
}

void TCustomRichDoc::ClearLiveSpellingResults()
{
    FDocumentData->EnumItems([](TCustomRDData* rdData, int itemNo, bool&) {
        rdData->ItemAt(itemNo)->ClearLiveSpelling();
    });
}

void TCustomRichDoc::ContinueSpelling()
{
    if (!FSpellingThread)
        return;
    FSpellingThread->Pause(false);
    FSpellingThread->Continue();
}

void TCustomRichDoc::RestartSpellingAt(TCustomRDData* rdData, int itemNo, int offset)
{
    if (FSpellingThread && rdData != nullptr)
        FSpellingThread->SetRestartPoint(rdData->GetSourceData(), itemNo, offset);
}

void TCustomRichDoc::NotifySpellingCellRemoved(TCustomRDData* cellData)
{
    if (FSpellingThread && cellData != nullptr && FSpellingThread->DocData == cellData)
        FSpellingThread->ResetRequested = true;
}

void TCustomRichDoc::SpellingCharsTyped(TCustomRDData* rdData, int itemNo, int offset, int count)
{
    if (!FSpellingThread || rdData == nullptr || !FSpellingThread->IsPassed(rdData, itemNo))
        return;
    TCustomRDData* active = rdData->GetActiveData();
    if (itemNo < 0 || itemNo >= active->ItemCount())
        return;
    TCustomRDItemInfo* item = active->ItemAt(itemNo);
    const QByteArray& text = active->TextOfItem(itemNo);
    const bool unicode = item->ItemOptions & rdioUnicode;
    bool dropped = false;
    for (int k = 0; k < count; ++k) {
        // The typed character as the delimiter test sees it (a wide one is never a delimiter).
        const int at = offset + k - 1;
        char ch = 'a';
        if (!unicode && at >= 0 && at < text.size())
            ch = text[at];
        else if (unicode && 2 * at + 1 < text.size() && at >= 0 && text[2 * at + 1] == 0)
            ch = text[2 * at];
        dropped = item->AdjustPaintersOnInsert(offset + k, ch, rdData) || dropped;
    }
    if (dropped) {
        FSpellingThread->EditedWordPending = false;
        FSpellingThread->KeepExistingMarks = true;
        FSpellingThread->SetRestartPoint(rdData->GetSourceData(), itemNo, 0);
    } else {
        FSpellingThread->EditedWordPending = true;
    }
}

void TCustomRichDoc::SpellingCharsDeleted(TCustomRDData* rdData, int itemNo, int offset, int count)
{
    if (!FSpellingThread || rdData == nullptr || !FSpellingThread->IsPassed(rdData->GetSourceData(), itemNo))
        return;
    if (itemNo < 0 || itemNo >= rdData->ItemCount())
        return;
    if (rdData->ItemAt(itemNo)->AdjustPaintersOnDelete(offset, count)) {
        FSpellingThread->EditedWordPending = false;
        FSpellingThread->KeepExistingMarks = true;
        FSpellingThread->SetRestartPoint(rdData->GetSourceData(), itemNo, 0);
    } else {
        FSpellingThread->EditedWordPending = true;
    }
}

void TCustomRichDoc::SpellingWordLeft(TCustomRDData* rdData, int itemNo)
{
    if (!FSpellingThread || rdData == nullptr || !FSpellingThread->EditedWordPending)
        return;
    FSpellingThread->Pause(true);
    FSpellingThread->EditedWordPending = false;
    FSpellingThread->KeepExistingMarks = true;
    FSpellingThread->SetRestartPoint(rdData->GetSourceData(), itemNo, 0);
    FSpellingThread->Continue();
}
