#include "RDLiveSpell.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEvent>

#include "CRDFData.h"
#include "RDRichDoc.h"
#include "RDStrUtils.h"
#include "RDStyle.h"
#include "RDUnicode.h"

namespace {

// The event that has the GUI thread run the queued calls.
const QEvent::Type RunCallsEvent = static_cast<QEvent::Type>(QEvent::User + 16);
constexpr uint8_t SYMBOL_CHARSET = 2;
constexpr int QuietPeriodMs = 50;

} // namespace

QPolygon MisspellPolyline(const QRect& rect)
{
    constexpr int MaxPoints = 1024;
    // rect's right and bottom edges are exclusive.
    const int right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    QPolygon line;
    for (int x = rect.left(), k = 0; x < right && k < MaxPoints; x += 2, ++k)
        line << QPoint(x, k % 2 == 0 ? bottom - 2 : bottom);
    if (line.size() < 2)
        return {};
    line.last().setX(right);
    return line;
}

// ---- the thread ----

TRDWordEnumThread::TRDWordEnumThread() = default;

TRDWordEnumThread::~TRDWordEnumThread()
{
    FViewer = nullptr;
    Finish();
    wait();
}

TCustomRDData* TRDWordEnumThread::RootData() const
{
    TCustomRichDoc* viewer = FViewer.load();
    return viewer != nullptr ? viewer->DocumentData() : nullptr;
}

void TRDWordEnumThread::Init(TCustomRichDoc* viewer)
{
    FViewer = viewer;
    if (viewer == nullptr)
        return;
    DocData = viewer->DocumentData();
    ItemIndex = 0;
    ItemInProgress = ResetRequested = KeepExistingMarks = EditedWordPending = false;
    RestartData = nullptr;
    RestartItem = -1;
    // What the thread reads of the viewer is copied here, on the GUI thread.
    FHandler = viewer->OnSpellingCheck;
    std::fill(std::begin(FDelimiters), std::end(FDelimiters), false);
    for (char c : viewer->Delimiters)
        FDelimiters[static_cast<unsigned char>(c)] = true;
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
    if (!isRunning())
        start(QThread::IdlePriority);
}

void TRDWordEnumThread::WaitForAcknowledge()
{
    QElapsedTimer timer;
    timer.start();
    if (isRunning())
        setPriority(QThread::NormalPriority);
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
        if (!FCalls.empty()) {
            lock.unlock();
            RunPendingCalls();
            lock.lock();
            continue;
        }
        if (FWaiting || ControlState.load() != csStopRequested || !isRunning())
            break;
        FGuiCv.wait(lock, [this] {
            return !FCalls.empty() || FWaiting || ControlState.load() != csStopRequested || isFinished();
        });
    }
    lock.unlock();
    if (isRunning())
        setPriority(QThread::IdlePriority);
    FLongestWait = std::max(FLongestWait, timer.nsecsElapsed());
}

void TRDWordEnumThread::Pause(bool reset)
{
    if (ControlState.load() == csFinished)
        return;
    if (reset) {
        RestartData = nullptr;
        RestartItem = RestartOffs = -1;
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (FWaiting || !isRunning())
            return;
        ControlState = csStopRequested;
    }
    FThreadCv.notify_all();  // out of the quiet period at once
    WaitForAcknowledge();
    if (reset && DocData != nullptr) {
        TCustomRDData* data = DocData->GetActiveData();
        if (ItemIndex >= 0 && ItemIndex < data->ItemCount())
            data->ItemAt(ItemIndex)->ClearLiveSpelling();  // it was checked only in part
    }
    ItemInProgress = false;
}

void TRDWordEnumThread::Continue()
{
    if (ControlState.load() == csFinished)
        return;
    // The walk position changes below: the thread must be standing still.
    if (!Waiting())
        Pause(false);
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
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (!FWaiting && isRunning())
            ControlState = csStopRequested;
    }
    FThreadCv.notify_all();
    WaitForAcknowledge();
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FTerminating = true;
        FWaiting = false;
    }
    FThreadCv.notify_all();
    if (!isRunning())
        ControlState = csFinished;
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
                ItemInProgress = offset > 1 && valid && active->ItemAt(itemNo)->StyleNo >= 0;
                if (ItemInProgress) {
                    LoadItemText();
                    // One character before the offset, back to the word's start.
                    int pos = 0;
                    while (pos < FText.size() && (FOffsets.empty() ? pos + 1 : FOffsets[size_t(pos)]) < offset - 1)
                        ++pos;
                    while (pos > 0) {
                        const char16_t ch = FText[pos - 1].unicode();
                        if (ch <= 255 && FDelimiters[ch])
                            break;
                        --pos;
                    }
                    FTextPos = pos;
                }
            } else {
                if (!KeepExistingMarks && valid)
                    active->ItemAt(itemNo)->ClearLiveSpelling();
                ItemInProgress = false;
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
    TCall call{std::move(fn)};
    bool post = false;
    {
        std::unique_lock<std::mutex> lock(FMutex);
        if (FTerminating)
            return false;
        FCalls.push_back(&call);
        post = !FEventPosted;
        FEventPosted = true;
    }
    FGuiCv.notify_all();
    if (post)
        QCoreApplication::postEvent(this, new QEvent(RunCallsEvent));
    std::unique_lock<std::mutex> lock(FMutex);
    FThreadCv.wait(lock, [&] { return call.Done; });
    return true;
}

void TRDWordEnumThread::RunPendingCalls()
{
    for (;;) {
        TCall* call = nullptr;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            if (FCalls.empty())
                return;
            call = FCalls.front();
            FCalls.pop_front();
        }
        try {
            call->Fn();
        } catch (...) {
            // A mark that cannot be shown stays; nothing else to do.
        }
        {
            std::lock_guard<std::mutex> lock(FMutex);
            call->Done = true;
        }
        FThreadCv.notify_all();
    }
}

bool TRDWordEnumThread::event(QEvent* e)
{
    if (e->type() != RunCallsEvent)
        return QThread::event(e);
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FEventPosted = false;
    }
    RunPendingCalls();
    return true;
}

void TRDWordEnumThread::RemoveMarks(TCustomRDData* data, int itemNo)
{
    if (FViewer.load() == nullptr || data == nullptr)
        return;
    TCustomRDData* active = data->GetActiveData();
    if (itemNo < 0 || itemNo >= active->ItemCount())
        return;
    TCustomRDItemInfo* item = active->ItemAt(itemNo);
    if (!item->WordPainters)
        return;
    item->ClearLiveSpelling();
    if (auto* formatted = dynamic_cast<TCustomRDFormattedData*>(active)) {
        const int first = formatted->FirstDrawItemOfItem(itemNo), last = formatted->LastDrawItemOfItem(itemNo);
        for (int d = first; d >= 0 && d <= last; ++d)
            formatted->InvalidateDrawItem(d, 3);
    }
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

// ---- the walk (on the thread) ----

void TRDWordEnumThread::LoadItemText()
{
    TCustomRDData* data = DocData->GetActiveData();
    const TCustomRDItemInfo* item = data->ItemAt(ItemIndex);
    const QByteArray& raw = data->TextOfItem(ItemIndex);
    FStyleNo = data->EffectiveStyleOfItem(ItemIndex);
    FText.clear();
    FOffsets.clear();
    FTextPos = 0;
    FSkipItem = false;
    FEndOffset = 1;
    const TRDStyle* sheet = data->GetRDStyle();
    const TFontInfo* font = nullptr;
    if (sheet != nullptr && FStyleNo >= 0 && FStyleNo < sheet->TextStyles().Count())
        font = sheet->TextStyles().TextStyleAt(FStyleNo);
    if (item->ItemOptions & rdioUnicode) {
        FText = RawToWideString(raw);
    } else {
        bool ascii = true;
        for (char c : raw)
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
        if (ascii) {
            FText = QString::fromLatin1(raw);
        } else {
            // Character by character, remembering where each one starts in the bytes.
            const uint32_t codePage = data->CodePageOfStyle(std::max(FStyleNo, 0));
            for (int pos = 1; pos <= raw.size();) {
                const int next = std::max(data->NextCharPos(raw, ItemIndex, pos), pos + 1);
                const QString ch = AnsiToQString(codePage, raw.mid(pos - 1, next - pos));
                for (qsizetype k = 0; k < ch.size(); ++k) {
                    FText += ch[k];
                    FOffsets.push_back(pos);
                }
                pos = next;
            }
        }
    }
    FEndOffset = FOffsets.empty() ? int(FText.size()) + 1 : int(raw.size()) + 1;
    if (font != nullptr
        && ((font->Jump && (IsUrlText(FText) || IsEmailText(FText))) || font->Charset == SYMBOL_CHARSET)) {
        // Addresses and symbols are not words.
        FSkipItem = true;
        FText.clear();
        FOffsets.clear();
    }
}

bool TRDWordEnumThread::NextWord(QString& word)
{
    auto isDelimiter = [this](int i) {
        const char16_t ch = FText[i].unicode();
        return ch <= 255 && FDelimiters[ch];
    };
    auto offsetOf = [this](int i) { return FOffsets.empty() ? i + 1 : FOffsets[size_t(i)]; };
    const int n = int(FText.size());
    for (;;) {
        // 1. Delimiters and apostrophes before the word.
        while (FTextPos < n && (isDelimiter(FTextPos) || FText[FTextPos] == QLatin1Char('\'')))
            ++FTextPos;
        // 2. The end of the text.
        if (FTextPos >= n) {
            KeepExistingMarks = false;
            return false;
        }
        // 3. The word runs to the next delimiter; apostrophes at its end are cut off.
        const int start = FTextPos;
        while (FTextPos < n && !isDelimiter(FTextPos))
            ++FTextPos;
        int end = FTextPos;
        while (end > start && FText[end - 1] == QLatin1Char('\''))
            --end;
        const TCustomRDItemInfo* item = DocData->GetActiveData()->ItemAt(ItemIndex);
        if (KeepExistingMarks && item->IsMisspelledAt(offsetOf(start)))
            continue;
        // 4. Offset and length in the item's own characters.
        WordOffs = offsetOf(start);
        WordLen = (end < n ? offsetOf(end) : FEndOffset) - WordOffs;
        word = FText.mid(start, end - start);
        return true;
    }
}

void TRDWordEnumThread::WaitForResume(std::unique_lock<std::mutex>& lock)
{
    FWaiting = true;
    FGuiCv.notify_all();
    FThreadCv.wait(lock, [this] { return !FWaiting || FTerminating; });
}

void TRDWordEnumThread::run()
{
    QString word;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(FMutex);
            if (FTerminating)
                break;
            // 2. A stop request is acknowledged; the thread then waits for a Continue.
            if (ControlState.load() == csStopRequested) {
                ControlState = csStopped;
                WaitForResume(lock);
                continue;
            }
            if (ControlState.load() != csRunning) {
                WaitForResume(lock);
                continue;
            }
            // 1. The quiet period after a change; a stop request ends it at once.
            if (DelayActive.load()) {
                EditedInDelay = false;
                const bool stopped = FThreadCv.wait_for(lock, std::chrono::milliseconds(QuietPeriodMs), [this] {
                    return FTerminating || ControlState.load() != csRunning;
                });
                if (!stopped)
                    DelayActive = EditedInDelay.load();
                continue;
            }
        }
        // 3. The walk.
        if (FViewer.load() == nullptr || DocData == nullptr) {
            std::unique_lock<std::mutex> lock(FMutex);
            if (!FTerminating && ControlState.load() == csRunning)
                WaitForResume(lock);
            continue;
        }
        TCustomRDData* data = DocData->GetActiveData();
        if (ItemIndex >= data->ItemCount()) {
            if (DocData == RootData() || DocData->GetAbsoluteParentData() == nullptr) {
                // The document is checked: say so on the GUI thread, then wait
                // (unless a Continue came in the meantime).
                unsigned resumes = 0;
                {
                    std::lock_guard<std::mutex> lock(FMutex);
                    resumes = FResumeCount;
                }
                Synchronize([this] {
                    ++FEndOfDocumentCount;
                    if (OnEndOfDocument)
                        OnEndOfDocument();
                });
                std::unique_lock<std::mutex> lock(FMutex);
                if (!FTerminating && ControlState.load() == csRunning && resumes == FResumeCount)
                    WaitForResume(lock);
                continue;
            }
            // Out of a nested document: the next one of the same item, or the item after it.
            int parentItemNo = -1;
            std::unique_ptr<TRDLocation> location;
            DocData->GetParentInfo(parentItemNo, location);
            TCustomRDData* parent = DocData->GetAbsoluteParentData();
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
                    found = sub->GetSourceData() == DocData->GetSourceData();
                }
            }
            if (next != nullptr) {
                DocData = next->GetSourceData();
                ItemIndex = 0;
            } else {
                DocData = parent->GetSourceData();
                ItemIndex = parentItemNo + 1;
            }
            ItemInProgress = false;
            continue;
        }
        TCustomRDItemInfo* item = data->ItemAt(ItemIndex);
        if (!ItemInProgress && (item->StyleNo < 0 || (!KeepExistingMarks && (item->SpellFlags & 1)))) {
            std::unique_ptr<TRDStoreSubRDData> store;
            if (TCustomRDData* sub = item->EnumSubDocuments(store, 0)) {
                DocData = sub->GetSourceData();
                ItemIndex = 0;
            } else {
                ++ItemIndex;
            }
            continue;
        }
        if (!ItemInProgress) {
            LoadItemText();
            if ((FSkipItem || !KeepExistingMarks) && item->WordPainters) {
                TCustomRDData* d = DocData;
                const int i = ItemIndex;
                Synchronize([this, d, i] { RemoveMarks(d, i); });
            }
            ItemInProgress = true;
        }
        if (!NextWord(word)) {
            item->SpellFlags |= 1;
            ++ItemIndex;
            ItemInProgress = false;
            continue;
        }
        bool misspelled = false;
        if (FHandler) {
            try {
                FHandler(FViewer.load(), word, FStyleNo, misspelled);
            } catch (...) {
                misspelled = false;
            }
        }
        if (misspelled) {
            TCustomRDData* d = DocData;
            const int i = ItemIndex, offs = WordOffs, len = WordLen;
            Synchronize([this, d, i, offs, len] { MarkMisspelled(d, i, offs, len); });
        }
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        ControlState = csFinished;
        FWaiting = false;
    }
    FGuiCv.notify_all();
    FText.clear();
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
