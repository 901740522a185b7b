// The string grid: a text and an object reference per cell, kept in sparse
// lists so that a large grid with few filled cells costs little.

#include "GridsEx.h"

#include <QtGui/QPainter>

#include <algorithm>

namespace {

const char* const SCannotInsertDelete = "Cannot insert or delete rows from grid";

int ShiftOf(TSparsePointerArray::TSectionSize size)
{
    return size == TSparsePointerArray::ss256 ? 8 : 4;
}

}  // namespace

// ---------------------------------------------------------------------------
// TSparsePointerArray
// ---------------------------------------------------------------------------

TSparsePointerArray::TSparsePointerArray(TSectionSize size) : FSectionSize(size), FShift(ShiftOf(size)) {}

TSparsePointerArray::~TSparsePointerArray()
{
    Clear();
}

void TSparsePointerArray::Clear()
{
    for (void** section : FDirectory)
        delete[] section;
    std::vector<void**>().swap(FDirectory);
    FHighBound = -1;
    FCacheIndex = -1;
    FCacheItem = nullptr;
}

void* TSparsePointerArray::Get(int index) const
{
    if (index == FCacheIndex && index >= 0)
        return FCacheItem;
    void* item = nullptr;
    if (index >= 0) {
        const std::size_t sectionIndex = static_cast<std::size_t>(index) >> FShift;
        if (sectionIndex < FDirectory.size()) {
            void** section = FDirectory[sectionIndex];
            if (section)
                item = section[index & (FSectionSize - 1)];
        }
    }
    FCacheIndex = index;
    FCacheItem = item;
    return item;
}

void TSparsePointerArray::Put(int index, void* item)
{
    const std::size_t sectionIndex = static_cast<std::size_t>(index) >> FShift;
    void** section = sectionIndex < FDirectory.size() ? FDirectory[sectionIndex] : nullptr;
    if (!item && !section)
        return;  // nothing there to clear
    FCacheIndex = -1;
    if (!section) {
        if (sectionIndex >= FDirectory.size()) {
            // Grown by an eighth beyond what is needed: a sequential fill
            // copies the directory rarely, a sparse one wastes little.
            std::vector<void**> grown;
            grown.reserve(sectionIndex + 1 + (sectionIndex + 1) / 8);
            grown.assign(FDirectory.begin(), FDirectory.end());
            grown.resize(sectionIndex + 1, nullptr);
            FDirectory.swap(grown);
        }
        section = new void*[static_cast<std::size_t>(FSectionSize)]();
        FDirectory[sectionIndex] = section;
    }
    void*& slot = section[index & (FSectionSize - 1)];
    if (!item && !slot)
        return;
    slot = item;
    if (item) {
        FHighBound = std::max(FHighBound, index);
    } else if (index == FHighBound) {
        ScanHighBound();
    }
}

void TSparsePointerArray::ScanHighBound()
{
    FHighBound = -1;
    for (std::size_t s = FDirectory.size(); s-- > 0;) {
        void** section = FDirectory[s];
        if (!section)
            continue;
        for (int slot = FSectionSize - 1; slot >= 0; --slot)
            if (section[slot]) {
                FHighBound = static_cast<int>((s << FShift) + static_cast<std::size_t>(slot));
                return;
            }
    }
}

int TSparsePointerArray::ForAll(const std::function<int(int index, void* item)>& fn) const
{
    for (std::size_t s = 0; s < FDirectory.size(); ++s) {
        void** section = FDirectory[s];
        if (!section)
            continue;
        for (int slot = 0; slot < FSectionSize; ++slot)
            if (section[slot]) {
                const int result = fn(static_cast<int>((s << FShift) + static_cast<std::size_t>(slot)), section[slot]);
                if (result != 0)
                    return result;
            }
    }
    return 0;
}

std::size_t TSparsePointerArray::AllocatedBytes() const
{
    std::size_t bytes = FDirectory.capacity() * sizeof(void**);
    for (void** section : FDirectory)
        if (section)
            bytes += static_cast<std::size_t>(FSectionSize) * sizeof(void*);
    return bytes;
}

// ---------------------------------------------------------------------------
// TSparseList
// ---------------------------------------------------------------------------

TSparseList::TSparseList(TSparsePointerArray::TSectionSize size) : FList(size) {}

void* TSparseList::Get(int index) const
{
    if (index < 0)
        throw EListError(index);
    return FList.Get(index);
}

void TSparseList::Put(int index, void* item)
{
    if (index < 0)
        throw EListError(index);
    FList.Put(index, item);
    FCount = FList.HighBound() + 1;
}

void TSparseList::Insert(int index, void* item)
{
    if (index < 0)
        throw EListError(index);
    for (int i = FCount; i > index; --i)
        FList.Put(i, FList.Get(i - 1));
    FList.Put(index, item);
    FCount = std::max(FCount, index) + 1;
}

void TSparseList::Delete(int index)
{
    if (index < 0 || index >= FCount)
        return;
    for (int i = index; i < FCount - 1; ++i)
        FList.Put(i, FList.Get(i + 1));
    FList.Put(FCount - 1, nullptr);
    --FCount;
}

void TSparseList::Exchange(int index1, int index2)
{
    void* a = Get(index1);
    void* b = Get(index2);
    Put(index1, b);
    Put(index2, a);
}

void TSparseList::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    void* item = Get(curIndex);
    Delete(curIndex);
    Insert(newIndex, item);
}

void TSparseList::Clear()
{
    FList.Clear();
    FCount = 0;
}

// ---------------------------------------------------------------------------
// TStringSparseList
// ---------------------------------------------------------------------------

TStringSparseList::TStringSparseList(TSparsePointerArray::TSectionSize size) : FList(size) {}

TStringSparseList::~TStringSparseList()
{
    FList.ForAll([](int, void* item) {
        delete static_cast<TStrItem*>(item);
        return 0;
    });
}

void TStringSparseList::Changed()
{
    if (OnChange)
        OnChange();
}

QString TStringSparseList::Get(int index) const
{
    const auto* item = static_cast<const TStrItem*>(FList.Get(index));
    return item ? item->Text : QString();
}

void* TStringSparseList::GetObject(int index) const
{
    const auto* item = static_cast<const TStrItem*>(FList.Get(index));
    return item ? item->Object : nullptr;
}

void TStringSparseList::Put(int index, const QString& text)
{
    auto* old = static_cast<TStrItem*>(FList.Get(index));
    void* object = old ? old->Object : nullptr;
    if (text.isEmpty() && !object)
        FList.Put(index, nullptr);
    else
        FList.Put(index, new TStrItem{text, object});
    delete old;
    Changed();
}

void TStringSparseList::PutObject(int index, void* object)
{
    auto* item = static_cast<TStrItem*>(FList.Get(index));
    if (item)
        item->Object = object;
    else if (object)
        FList.Put(index, new TStrItem{QString(), object});
    Changed();
}

void TStringSparseList::Insert(int index, const QString& text)
{
    auto item = std::make_unique<TStrItem>(TStrItem{text, nullptr});
    FList.Insert(index, item.get());
    item.release();
    Changed();
}

void TStringSparseList::Delete(int index)
{
    if (index < 0 || index >= FList.Count())
        return;
    delete static_cast<TStrItem*>(FList.Get(index));
    FList.Delete(index);
    Changed();
}

void TStringSparseList::Exchange(int index1, int index2)
{
    FList.Exchange(index1, index2);
}

void TStringSparseList::Move(int curIndex, int newIndex)
{
    FList.Move(curIndex, newIndex);
}

void TStringSparseList::Clear()
{
    FList.ForAll([](int, void* item) {
        delete static_cast<TStrItem*>(item);
        return 0;
    });
    FList.Clear();
    Changed();
}

std::size_t TStringSparseList::AllocatedBytes() const
{
    std::size_t bytes = sizeof(*this) + FList.AllocatedBytes();
    FList.ForAll([&bytes](int, void* item) {
        const auto* record = static_cast<const TStrItem*>(item);
        bytes += sizeof(TStrItem) + static_cast<std::size_t>(record->Text.capacity()) * sizeof(QChar);
        return 0;
    });
    return bytes;
}

// ---------------------------------------------------------------------------
// TStringGridStrings
// ---------------------------------------------------------------------------

int TStringGridStrings::Count() const
{
    if (FIndex > 0)
        return FGrid->ColCount();
    if (FIndex < 0)
        return FGrid->RowCount();
    return 0;
}

QString TStringGridStrings::Get(int index) const
{
    if (FIndex > 0)
        return FGrid->GetCells(index, FIndex - 1);
    if (FIndex < 0)
        return FGrid->GetCells(-FIndex - 1, index);
    return QString();
}

void TStringGridStrings::Put(int index, const QString& text)
{
    if (FIndex > 0)
        FGrid->SetCells(index, FIndex - 1, text);
    else if (FIndex < 0)
        FGrid->SetCells(-FIndex - 1, index, text);
}

void* TStringGridStrings::GetObject(int index) const
{
    if (FIndex > 0)
        return FGrid->GetObjects(index, FIndex - 1);
    if (FIndex < 0)
        return FGrid->GetObjects(-FIndex - 1, index);
    return nullptr;
}

void TStringGridStrings::PutObject(int index, void* object)
{
    if (FIndex > 0)
        FGrid->SetObjects(index, FIndex - 1, object);
    else if (FIndex < 0)
        FGrid->SetObjects(-FIndex - 1, index, object);
}

int TStringGridStrings::Add(const QString& text)
{
    const int count = Count();
    for (int i = 0; i < count; ++i)
        if (Get(i).isEmpty()) {
            Put(i, text.isEmpty() ? QStringLiteral(" ") : text);
            return i;
        }
    return -1;
}

void TStringGridStrings::Clear()
{
    if (FIndex > 0) {
        // Every record of the row keeps existing, emptied.
        auto* row = static_cast<TStringSparseList*>(FGrid->FData->Get(FIndex - 1));
        if (row) {
            for (int i = 0; i < row->Count(); ++i)
                if (row->HasRecord(i)) {
                    row->PutObject(i, nullptr);
                    row->Put(i, QString());
                }
            FGrid->InvalidateRow(FIndex - 1);
        }
    } else if (FIndex < 0) {
        for (int i = Count() - 1; i >= 0; --i) {
            PutObject(i, nullptr);
            Put(i, QString());
        }
    }
}

void TStringGridStrings::Insert(int, const QString&)
{
    throw EInvalidGridOperation(SCannotInsertDelete);
}

void TStringGridStrings::Delete(int)
{
    throw EInvalidGridOperation(SCannotInsertDelete);
}

void TStringGridStrings::Assign(const TStringGridStrings& source)
{
    BeginUpdate();
    try {
        const int last = std::min(source.Count(), Count());
        for (int i = 0; i < last; ++i) {
            Put(i, source.Get(i));
            PutObject(i, source.GetObject(i));
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStringGridStrings::Assign(const QStringList& source)
{
    BeginUpdate();
    try {
        const int last = std::min(static_cast<int>(source.size()), Count());
        for (int i = 0; i < last; ++i) {
            Put(i, source.at(i));
            PutObject(i, nullptr);
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStringGridStrings::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        FGrid->SetUpdateState(true);
}

void TStringGridStrings::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        FGrid->SetUpdateState(false);
}

QStringList TStringGridStrings::ToStringList() const
{
    QStringList list;
    const int count = Count();
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(Get(i));
    return list;
}

// ---------------------------------------------------------------------------
// TStringGrid
// ---------------------------------------------------------------------------

namespace {

TSparsePointerArray::TSectionSize SectionFor(int count, int limit)
{
    return count > limit ? TSparsePointerArray::ss256 : TSparsePointerArray::ss16;
}

}  // namespace

TStringGrid::TStringGrid(QWidget* parent) : TDrawGrid(parent)
{
    FCols = std::make_unique<TSparseList>(SectionFor(FColCount, 512));
    FRows = std::make_unique<TSparseList>(SectionFor(FRowCount, 256));
    FData = std::make_unique<TSparseList>(SectionFor(FRowCount, 256));
}

TStringGrid::~TStringGrid()
{
    FData->ForAll([](int, void* item) {
        delete static_cast<TStringSparseList*>(item);
        return 0;
    });
    for (TSparseList* views : {FRows.get(), FCols.get()})
        views->ForAll([](int, void* item) {
            delete static_cast<TStringGridStrings*>(item);
            return 0;
        });
}

void TStringGrid::SizeChanged()
{
    // Lists that hold nothing yet take the section size of the grid's new
    // size, so that a grid made small and then given many rows still keeps
    // few, large sections.
    if (FData->Count() == 0 && FRows->Count() == 0) {
        const auto size = SectionFor(FRowCount, 256);
        FData = std::make_unique<TSparseList>(size);
        FRows = std::make_unique<TSparseList>(size);
    }
    if (FCols->Count() == 0)
        FCols = std::make_unique<TSparseList>(SectionFor(FColCount, 512));
}

TStringSparseList* TStringGrid::EnsureDataRow(int row)
{
    auto* list = static_cast<TStringSparseList*>(FData->Get(row));
    if (!list) {
        auto made = std::make_unique<TStringSparseList>(SectionFor(FColCount, 512));
        FData->Put(row, made.get());
        list = made.release();
    }
    return list;
}

TStringGridStrings* TStringGrid::EnsureColRow(int index, bool isCol)
{
    TSparseList& views = isCol ? *FCols : *FRows;
    auto* view = static_cast<TStringGridStrings*>(views.Get(index));
    if (!view) {
        auto made = std::make_unique<TStringGridStrings>(this, isCol ? -(index + 1) : index + 1);
        views.Put(index, made.get());
        view = made.release();
    }
    return view;
}

TStringGridStrings& TStringGrid::Cols(int index)
{
    return *EnsureColRow(index, true);
}

TStringGridStrings& TStringGrid::Rows(int index)
{
    return *EnsureColRow(index, false);
}

QString TStringGrid::GetCells(int col, int row) const
{
    const auto* list = static_cast<const TStringSparseList*>(FData->Get(row));
    return list ? list->Get(col) : QString();
}

void* TStringGrid::GetObjects(int col, int row) const
{
    const auto* list = static_cast<const TStringSparseList*>(FData->Get(row));
    return list ? list->GetObject(col) : nullptr;
}

void TStringGrid::SetCells(int col, int row, const QString& value)
{
    EnsureDataRow(row)->Put(col, value);
    Update(col, row);
}

void TStringGrid::SetObjects(int col, int row, void* value)
{
    EnsureDataRow(row)->PutObject(col, value);
    Update(col, row);
}

void TStringGrid::Update(int col, int row)
{
    if (FUpdating)
        FNeedsUpdating = true;
    else
        InvalidateCell(col, row);
    if (col == Col() && row == Row() && FEditUpdate == 0)
        InvalidateEditor();
}

void TStringGrid::SetUpdateState(bool updating)
{
    FUpdating = updating;
    if (!updating && FNeedsUpdating) {
        InvalidateGrid();
        FNeedsUpdating = false;
    }
}

QString TStringGrid::GetEditText(int col, int row)
{
    QString value = GetCells(col, row);
    if (OnGetEditText)
        OnGetEditText(col, row, value);
    return value;
}

void TStringGrid::SetEditText(int col, int row, const QString& value)
{
    ++FEditUpdate;
    try {
        if (value != GetCells(col, row))
            SetCells(col, row, value);
    } catch (...) {
        --FEditUpdate;
        throw;
    }
    --FEditUpdate;
    TDrawGrid::SetEditText(col, row, value);
}

void TStringGrid::PaintCell(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state)
{
    if (FDefaultDrawing) {
        const QString text = GetCells(col, row);
        QPainter& painter = canvas.Painter();
        QRect where = rect;
        const bool rtl = UseRightToLeftAlignment();
        if (rtl) {
            painter.save();
            painter.resetTransform();
            where = Rect(ClientWidth() - rect.left() - rect.width(), rect.top(), ClientWidth() - rect.left(),
                         rect.top() + rect.height());
        }
        canvas.FillRect(where);
        if (!text.isEmpty()) {
            painter.setFont(canvas.Font.ToQFont());
            painter.setPen(ToQColor(canvas.Font.Color));
            const QRect textRect = rtl ? where.adjusted(0, 2, -2, 0) : where.adjusted(2, 2, 0, 0);
            painter.drawText(textRect, (rtl ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine,
                             text);
        }
        if (rtl)
            painter.restore();
    }
    TDrawGrid::PaintCell(canvas, col, row, rect, state);
}

void TStringGrid::ColumnMoved(int fromIndex, int toIndex)
{
    FData->ForAll([=](int, void* item) {
        static_cast<TStringSparseList*>(item)->Move(fromIndex, toIndex);
        return 0;
    });
    InvalidateGrid();
    TDrawGrid::ColumnMoved(fromIndex, toIndex);
}

void TStringGrid::RowMoved(int fromIndex, int toIndex)
{
    FData->Move(fromIndex, toIndex);
    InvalidateGrid();
    TDrawGrid::RowMoved(fromIndex, toIndex);
}

std::size_t TStringGrid::StorageBytes() const
{
    std::size_t bytes = FData->AllocatedBytes() + FRows->AllocatedBytes() + FCols->AllocatedBytes();
    FData->ForAll([&bytes](int, void* item) {
        bytes += static_cast<const TStringSparseList*>(item)->AllocatedBytes();
        return 0;
    });
    for (const TSparseList* views : {FRows.get(), FCols.get()})
        views->ForAll([&bytes](int, void*) {
            bytes += sizeof(TStringGridStrings);
            return 0;
        });
    return bytes;
}
