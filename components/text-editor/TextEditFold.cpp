// The editor control's code folding: scanning the text for fold ranges,
// collapsing and expanding them, keeping them in step with line inserts and
// deletes, the expanded copy of the text that whole-text reads go through,
// the key filter that guards collapsed headers, the fold entries of the undo
// lists, the fold bar's clicks and the collapsed-code hint's lines.
#include "TextEdit.h"

#include "Cursors.h"
#include "TextEditFoldScan.h"
#include "TextEditHighlighter.h"
#include "TextEditInternal.h"
#include "TextFormattedText.h"

#include <QtCore/QStringList>
#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace {

// Virtual keys the fold key filter looks at.
constexpr std::uint16_t FoldVkBack = 8;
constexpr std::uint16_t FoldVkReturn = 13;
constexpr std::uint16_t FoldVkDelete = 46;

// Shift, Ctrl, Alt, Escape, the paging, end, home and arrow keys, Insert,
// Delete and the function keys: keys that never change a header's text by
// themselves.
bool FoldKeyAlwaysPasses(std::uint16_t key)
{
    return (key >= 16 && key <= 18) || key == 27 || (key >= 33 && key <= 45) || (key >= 112 && key <= 123);
}

// A range and everything nested in it.
void FoldForEachInTree(TTextEditFoldRange* range, const std::function<void(TTextEditFoldRange*)>& call)
{
    call(range);
    for (int i = 0; i < range->Children.Count(); ++i)
        FoldForEachInTree(range->Children.Ranges(i), call);
}

void FoldShiftTree(TTextEditFoldRange* range, int delta)
{
    FoldForEachInTree(range, [delta](TTextEditFoldRange* r) { r->Shift(delta); });
}

// A range taken out of the editor's lists, owned by a urFold entry: the
// range and its nested ranges are freed with the entry. While the entry's
// range is back in the editor's lists, Range is null and Stamp finds it.
struct TFoldUndoPayload {
    TTextEditFoldRange* Range = nullptr;
    std::uint32_t Stamp = 0;
    TFoldUndoPayload() = default;
    TFoldUndoPayload(const TFoldUndoPayload&) = delete;
    TFoldUndoPayload& operator=(const TFoldUndoPayload&) = delete;
    ~TFoldUndoPayload() { FreeTree(Range); }
    static void FreeTree(TTextEditFoldRange* range)
    {
        if (!range)
            return;
        for (int i = 0; i < range->Children.Count(); ++i)
            FreeTree(range->Children.Ranges(i));
        delete range;
    }
};

QString FoldTabsToBlanks(const QString& line, int tabWidth)
{
    if (!line.contains(QLatin1Char('\t')))
        return line;
    QString out;
    int column = 0;
    for (QChar c : line) {
        if (c == QLatin1Char('\t')) {
            const int n = tabWidth - column % tabWidth;
            out += QString(n, QLatin1Char(' '));
            column += n;
        } else {
            out += c;
            column += CellsOf(c);
        }
    }
    return out;
}

}  // namespace

// ================================================================ the plugin

TTextEditPlugin::TTextEditPlugin(TCustomTextEdit* owner, TUnlisted) : FOwner(owner) {}

TTextEditCodeFoldingPlugin::TTextEditCodeFoldingPlugin(TCustomTextEdit* owner) : TTextEditPlugin(owner, TUnlisted{}) {}

void TTextEditCodeFoldingPlugin::PaintOverlay(TCanvas& canvas, const QRect& clip, int firstLine, int lastLine)
{
    (void)canvas;
    (void)clip;
    (void)firstLine;
    (void)lastLine;
}

void TTextEditCodeFoldingPlugin::NotifyLinesAdded(int firstLine, int count)
{
    // The new lines stand before firstLine; the line before it was split.
    if (Owner() && !Owner()->FFoldMovingLines && count > 0)
        Owner()->ShiftFoldsForLineChange(firstLine - 1, count);
}

void TTextEditCodeFoldingPlugin::NotifyLinesRemoved(int firstLine, int count)
{
    if (Owner() && !Owner()->FFoldMovingLines && count > 0)
        Owner()->FoldLinesRemoved(firstLine, count);
}

// ================================================================ regions and look-ups

TFoldRegions* TCustomTextEdit::ActiveFoldRegions() const
{
    if (FCodeFolding.HighlighterFoldRegions() && FHighlighter)
        return &FHighlighter->FoldRegions();
    return &const_cast<TTextCodeFolding&>(FCodeFolding).FoldRegions();
}

TTextEditFoldRange* TCustomTextEdit::FoldRangeAtLine(int line) const
{
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (!r->HiddenByParent && r->HeadLine == line)
            return r;
    }
    return nullptr;
}

TTextEditFoldRange* TCustomTextEdit::FoldEndingAt(int line) const
{
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (!r->HiddenByParent && r->SpansLines() && r->LastLine == line)
            return r;
    }
    return nullptr;
}

TTextEditFoldRange* TCustomTextEdit::RealFoldAt(int line, int* sharedBefore) const
{
    int shared = 0;
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (r->HiddenByParent || r->HeadLine != line)
            continue;
        if (r->SpansLines()) {
            if (sharedBefore)
                *sharedBefore = shared;
            return r;
        }
        ++shared;
    }
    if (sharedBefore)
        *sharedBefore = 0;
    return nullptr;
}

bool TCustomTextEdit::IsExpandedFoldEnd(int line) const
{
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (!r->HiddenByParent && !r->IsCollapsed && r->SpansLines() && r->LastLine == line)
            return true;
    }
    return false;
}

bool TCustomTextEdit::IsInsideExpandedFold(int line) const
{
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (!r->HiddenByParent && !r->IsCollapsed && r->SpansLines() && r->HeadLine + 1 <= line && line < r->LastLine)
            return true;
    }
    return false;
}

bool TCustomTextEdit::HasCollapsedFolds() const
{
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i)
        if (FAllFoldRanges.RangeAt(i)->IsCollapsed)
            return true;
    return false;
}

bool TCustomTextEdit::CaretOnCollapsedFold() const
{
    const TTextEditFoldRange* r = FoldRangeAtLine(FCaret.Line);
    return r && r->IsCollapsed;
}

QRect TCustomTextEdit::CollapseMarkRect(const TTextEditFoldRange* range, int line) const
{
    const int rh = RowHeight();
    return QRect(range->CollapseMarkLeft + FCharWidth, rh * (line - FTopRow), 3 * FCharWidth, rh - 2);
}

int TCustomTextEdit::ExpandedLineIndex(int line) const
{
    const TTextEditFoldRange* own = FoldRangeAtLine(line);
    int result = line;
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (r == own || !r->IsCollapsed || r->HiddenByParent)
            continue;
        if (r->HeadLine < line)
            result += r->TotalHidden() + 1;
    }
    return result;
}

// ================================================================ collapse and expand

QString TCustomTextEdit::FoldHeaderSuffix(const TTextEditFoldRange* range) const
{
    QString suffix(5, QLatin1Char(' '));
    if (range->Region && range->Region->ShowCloseText)
        suffix += range->Region->Close;
    return suffix;
}

void TCustomTextEdit::ShiftFoldsAfter(TTextEditFoldRange* range, int delta)
{
    // The ranges around it (its ancestors in the tree) grow or shrink;
    // ranges below it move. Ranges inside a collapsed range keep the
    // numbers they had when it collapsed.
    std::vector<TTextEditFoldRange*> path;
    std::function<bool(const TTextEditFoldRanges&)> find = [&](const TTextEditFoldRanges& list) {
        for (int i = 0; i < list.Count(); ++i) {
            TTextEditFoldRange* r = list.Ranges(i);
            if (r == range)
                return true;
            path.push_back(r);
            if (find(r->Children))
                return true;
            path.pop_back();
        }
        return false;
    };
    find(FAllFoldRanges);
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (r == range || r->HiddenByParent)
            continue;
        if (std::find(path.begin(), path.end(), r) != path.end())
            r->ShiftEnd(delta);
        else if (r->HeadLine > range->HeadLine) {
            if (r->IsCollapsed)
                FoldShiftTree(r, delta);
            else
                r->Shift(delta);
        }
    }
}

void TCustomTextEdit::CollapseFoldRange(TTextEditFoldRange* range)
{
    if (!range || range->IsCollapsed || !range->SpansLines() || range->HiddenByParent)
        return;
    int hidden = range->LastLine - range->HeadLine - 1;
    // A range ending where another spanning range starts keeps that line.
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (r != range && !r->HiddenByParent && r->SpansLines() && r->HeadLine == range->LastLine) {
            --hidden;
            break;
        }
    }
    const int first = range->HeadLine;  // 0-based index of the first hidden line
    const int count = std::min(hidden + 1, FLines->Count() - first);
    if (count <= 0 || range->HeadLine > FLines->Count())
        return;
    range->HiddenCount = count - 1;
    range->HiddenLines.clear();
    range->HiddenLines.reserve(count);
    range->HiddenLineStates.assign(static_cast<size_t>(count), lsUnchanged);
    for (int i = 0; i < count; ++i) {
        range->HiddenLines.append(FLines->Get(first + i));
        if (const TTextLineState* state = FLines->LineExtra(first + i))
            range->HiddenLineStates[static_cast<size_t>(i)] = *state;
    }
    BeginPaintLock();
    FLines->BeginUpdate();
    FFoldMovingLines = true;
    try {
        FLines->DeleteLineRange(first, count);
        // The header keeps its change mark.
        const int header = range->HeadLine - 1;
        const TTextLineState state = FLines->LineExtra(header) ? *FLines->LineExtra(header) : lsUnchanged;
        FLines->Put(header, FLines->Get(header) + FoldHeaderSuffix(range));
        if (TTextLineState* now = FLines->LineExtra(header))
            *now = state;
    } catch (...) {
        FFoldMovingLines = false;
        FLines->EndUpdate();
        EndPaintLock();
        throw;
    }
    FFoldMovingLines = false;
    range->IsCollapsed = true;
    range->MarkChildrenHidden(true, range->Depth);
    ShiftFoldsAfter(range, -count);
    // The caret and the selection stay in the text that is left.
    auto clampOut = [&](TBufferCoord& p) {
        if (p.Line > range->HeadLine + count)
            p.Line -= count;
        else if (p.Line > range->HeadLine)
            p = BufferCoord(LineCells(range->HeadLine) + 1, range->HeadLine);
    };
    clampOut(FCaret);
    clampOut(FAnchor);
    clampOut(FSelEnd);
    FLines->EndUpdate();
    EndPaintLock();
    UpdateFoldHighlight();
    InvalidateClient();
}

void TCustomTextEdit::ExpandFoldRange(TTextEditFoldRange* range)
{
    if (!range || !range->IsCollapsed)
        return;
    const int header = range->HeadLine - 1;
    const int count = static_cast<int>(range->HiddenLines.size());
    BeginPaintLock();
    FLines->BeginUpdate();
    FFoldMovingLines = true;
    try {
        if (header >= 0 && header < FLines->Count()) {
            const TTextLineState state = FLines->LineExtra(header) ? *FLines->LineExtra(header) : lsUnchanged;
            const QString text = FLines->Get(header);
            const QString suffix = FoldHeaderSuffix(range);
            if (text.endsWith(suffix)) {
                FLines->Put(header, text.chopped(suffix.size()));
                if (TTextLineState* now = FLines->LineExtra(header))
                    *now = state;
            }
        }
        const int at = std::clamp(range->HeadLine, 0, FLines->Count());
        FLines->InsertStrings(at, range->HiddenLines);
        for (int i = 0; i < count; ++i)
            if (TTextLineState* now = FLines->LineExtra(at + i))
                *now = i < static_cast<int>(range->HiddenLineStates.size())
                           ? range->HiddenLineStates[static_cast<size_t>(i)]
                           : lsUnchanged;
    } catch (...) {
        FFoldMovingLines = false;
        FLines->EndUpdate();
        EndPaintLock();
        throw;
    }
    FFoldMovingLines = false;
    range->IsCollapsed = false;
    ShiftFoldsAfter(range, count);
    range->MarkChildrenHidden(false, range->Depth);
    range->HiddenLines.clear();
    range->HiddenLineStates.clear();
    range->HiddenCount = 0;
    auto moveDown = [&](TBufferCoord& p) {
        if (p.Line > range->HeadLine)
            p.Line += count;
    };
    moveDown(FCaret);
    moveDown(FAnchor);
    moveDown(FSelEnd);
    FLines->EndUpdate();
    EndPaintLock();
    UpdateFoldHighlight();
    InvalidateClient();
}

void TCustomTextEdit::ExpandAllFolds()
{
    if (!HasCollapsedFolds())
        return;
    const TBufferCoord anchor = BufferCoord(FAnchor.Char, ExpandedLineIndex(FAnchor.Line));
    const TBufferCoord selEnd = BufferCoord(FSelEnd.Char, ExpandedLineIndex(FSelEnd.Line));
    const TBufferCoord caret = BufferCoord(FCaret.Char, ExpandedLineIndex(FCaret.Line));
    BeginPaintLock();
    FLines->BeginUpdate();
    try {
        // Outer ranges first: expanding one shows the ranges collapsed
        // inside it, which the next pass expands, however deep they lie.
        bool expanded = true;
        while (expanded) {
            expanded = false;
            for (int i = FAllFoldRanges.TotalCount() - 1; i >= 0; --i) {
                TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
                if (r->IsCollapsed && !r->HiddenByParent) {
                    ExpandFoldRange(r);
                    expanded = true;
                }
            }
        }
        // A range marked hidden with no collapsed range around it would
        // keep its lines for good: it is shown and expanded too.
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
            TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
            r->HiddenByParent = false;
            r->HiddenByLevel = -1;
        }
        for (int i = FAllFoldRanges.TotalCount() - 1; i >= 0; --i)
            if (FAllFoldRanges.RangeAt(i)->IsCollapsed)
                ExpandFoldRange(FAllFoldRanges.RangeAt(i));
    } catch (...) {
        FLines->EndUpdate();
        EndPaintLock();
        throw;
    }
    FCaret = ClampPos(caret);
    FAnchor = ClampPos(anchor);
    FSelEnd = ClampPos(selEnd);
    FLines->EndUpdate();
    EndPaintLock();
}

QStringList TCustomTextEdit::ExpandedCopyOfLines() const
{
    if (!HasCollapsedFolds())
        return FLines->ToStringList();
    // The text is walked once: each collapsed header gives its text back
    // without the marker suffix, followed by its hidden lines, which may
    // hold the headers of ranges collapsed inside it, at any depth.
    QStringList out;
    out.reserve(FLines->Count());
    // The collapsed ranges headed on each line of one level's text.
    using TLevel = std::multimap<int, const TTextEditFoldRange*>;
    auto collectCollapsed = [](const TTextEditFoldRange* inside, TLevel& level) {
        // The collapsed ranges that show in inside's lines once it expands:
        // collapsed ones, reached through expanded ones.
        std::function<void(const TTextEditFoldRanges&)> walk = [&](const TTextEditFoldRanges& list) {
            for (int i = 0; i < list.Count(); ++i) {
                const TTextEditFoldRange* r = list.Ranges(i);
                if (r->IsCollapsed)
                    level.emplace(r->HeadLine, r);
                else
                    walk(r->Children);
            }
        };
        walk(inside->Children);
    };
    std::function<void(const TTextEditFoldRange*)> emitHidden;
    auto emitLine = [&](const QString& text, int lineNo, const TLevel& level) {
        auto [from, to] = level.equal_range(lineNo);
        if (from == to) {
            out.append(text);
            return;
        }
        // The deepest collapsed first: it was collapsed first, so its
        // suffix is the inner one and its lines come first.
        std::vector<const TTextEditFoldRange*> heads;
        // Ranges collapsed inside one of them on the same header line too.
        std::function<void(const TTextEditFoldRange*)> add = [&](const TTextEditFoldRange* r) {
            heads.push_back(r);
            TLevel inner;
            collectCollapsed(r, inner);
            auto [a, b] = inner.equal_range(r->HeadLine);
            for (auto it = a; it != b; ++it)
                add(it->second);
        };
        for (auto it = from; it != to; ++it)
            add(it->second);
        std::sort(heads.begin(), heads.end(),
                  [](const TTextEditFoldRange* a, const TTextEditFoldRange* b) { return a->Depth > b->Depth; });
        QString header = text;
        for (auto it = heads.rbegin(); it != heads.rend(); ++it) {
            const QString suffix = FoldHeaderSuffix(*it);
            if (header.endsWith(suffix))
                header.chop(suffix.size());
        }
        out.append(header);
        for (const TTextEditFoldRange* r : heads)
            emitHidden(r);
    };
    emitHidden = [&](const TTextEditFoldRange* r) {
        TLevel level;
        collectCollapsed(r, level);
        for (int i = 0; i < r->HiddenLines.size(); ++i)
            emitLine(r->HiddenLines.at(i), r->HeadLine + 1 + i, level);
    };
    TLevel top;
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        const TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (r->IsCollapsed && !r->HiddenByParent)
            top.emplace(r->HeadLine, r);
    }
    const int count = FLines->Count();
    auto next = top.begin();
    for (int i = 0; i < count; ++i) {
        while (next != top.end() && next->first < i + 1)
            ++next;
        if (next != top.end() && next->first == i + 1)
            emitLine(FLines->Get(i), i + 1, top);
        else
            out.append(FLines->Get(i));
    }
    return out;
}

// ================================================================ scanning

void TCustomTextEdit::RescanFolds()
{
    ExpandAllFolds();
    FHighlightedFold = nullptr;
    FAllFoldRanges.FreeAllRanges();
    FAllFoldRanges.ForgetAll();
    TFoldRegions* regions = ActiveFoldRegions();
    if (!FCodeFolding.CaseSensitive())
        UpperCaseFoldRegions(*regions);
    TFoldScanOptions options;
    options.CaseSensitive = FCodeFolding.CaseSensitive();
    options.TabWidth = FTabWidth;
    if (FHighlighter) {
        // Texts in strings and comments open and close nothing. The tokens
        // of one line are found once.
        int tokenLine = -1;
        std::vector<std::pair<int, int>> ignored;  // QString index ranges [from, to)
        const QStringList* source = nullptr;
        QStringList lines = FLines->ToStringList();
        source = &lines;
        options.IgnoredAt = [this, tokenLine, ignored, source](int line, int character) mutable {
            if (line != tokenLine) {
                tokenLine = line;
                ignored.clear();
                if (line - 1 >= 0 && line - 1 < source->size()) {
                    if (line == 1)
                        FHighlighter->ClearRange();
                    else
                        FHighlighter->RestoreRange(reinterpret_cast<void*>(FLines->LineRange(line - 2)));
                    FHighlighter->SetLine(source->at(line - 1), line);
                    while (!FHighlighter->AtEndOfLine()) {
                        const TTextTokenAttr* attr = FHighlighter->TokenAttribute();
                        if (attr) {
                            const QString name = attr->Name().toLower();
                            if (name.startsWith(QLatin1String("string")) || name.startsWith(QLatin1String("comment")) ||
                                name.startsWith(QLatin1String("remark")))
                                ignored.emplace_back(FHighlighter->TokenPosition(),
                                                     FHighlighter->TokenPosition() +
                                                         static_cast<int>(FHighlighter->Token().size()));
                        }
                        FHighlighter->NextToken();
                    }
                }
            }
            const int at = character - 1;
            return std::any_of(ignored.begin(), ignored.end(),
                               [at](const std::pair<int, int>& r) { return at >= r.first && at < r.second; });
        };
        ScanFoldRegions(lines, *regions, FAllFoldRanges, options);
    } else {
        // The text form of the lines, joined without a list in between.
        const int count = FLines->Count();
        QString text;
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                text += QLatin1String("\r\n");
            text += FLines->Get(i);
        }
        ScanFoldRegionsInText(std::move(text), *regions, FAllFoldRanges, options);
    }
    FFoldRescanCount = 0;
    InvalidateClient();
}

void TCustomTextEdit::RescanFoldsKeepingCollapsed()
{
    // Expanded ranges go; collapsed ones (with what they hold) stay.
    std::vector<TTextEditFoldRange*> kept;
    for (int i = 0; i < FAllFoldRanges.Count(); ++i) {
        std::function<void(TTextEditFoldRange*)> keep = [&](TTextEditFoldRange* r) {
            if (r->IsCollapsed) {
                kept.push_back(r);
                return;
            }
            for (int c = 0; c < r->Children.Count(); ++c)
                keep(r->Children.Ranges(c));
        };
        keep(FAllFoldRanges.Ranges(i));
    }
    {
        // Unregister everything, then take back the kept trees.
        std::vector<TTextEditFoldRange*> all;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i)
            all.push_back(FAllFoldRanges.RangeAt(i));
        std::vector<TTextEditFoldRange*> keptAll;
        for (TTextEditFoldRange* r : kept)
            FoldForEachInTree(r, [&](TTextEditFoldRange* x) { keptAll.push_back(x); });
        while (FAllFoldRanges.TotalCount() > 0)
            FAllFoldRanges.Unregister(FAllFoldRanges.TotalCount() - 1);
        FAllFoldRanges.ForgetAll();
        for (TTextEditFoldRange* r : all)
            if (std::find(keptAll.begin(), keptAll.end(), r) == keptAll.end()) {
                r->Children.ForgetAll();
                delete r;
            }
        for (TTextEditFoldRange* r : keptAll)
            FAllFoldRanges.Register(r);
    }
    FHighlightedFold = nullptr;
    // The text without the kept headers is scanned; its line numbers map
    // back to the real ones.
    std::vector<int> headers;
    for (TTextEditFoldRange* r : kept)
        headers.push_back(r->HeadLine);
    std::sort(headers.begin(), headers.end());
    QStringList text;
    std::vector<int> realLine;
    text.reserve(FLines->Count());
    realLine.reserve(static_cast<size_t>(FLines->Count()) + 1);
    for (int i = 0; i < FLines->Count(); ++i) {
        if (std::binary_search(headers.begin(), headers.end(), i + 1))
            continue;
        text.append(FLines->Get(i));
        realLine.push_back(i + 1);
    }
    TTextEditAllFoldRanges found;
    TFoldRegions* regions = ActiveFoldRegions();
    if (!FCodeFolding.CaseSensitive())
        UpperCaseFoldRegions(*regions);
    TFoldScanOptions options;
    options.CaseSensitive = FCodeFolding.CaseSensitive();
    options.TabWidth = FTabWidth;
    ScanFoldRegions(text, *regions, found, options);
    auto mapLine = [&](int line) {
        if (realLine.empty())
            return line;
        return realLine[static_cast<size_t>(std::clamp(line, 1, static_cast<int>(realLine.size())) - 1)];
    };
    // The found ranges move over: into the flat list, their lines mapped.
    std::vector<TTextEditFoldRange*> moved;
    for (int i = 0; i < found.TotalCount(); ++i)
        moved.push_back(found.RangeAt(i));
    while (found.TotalCount() > 0)
        found.Unregister(found.TotalCount() - 1);
    std::vector<TTextEditFoldRange*> topNew;
    for (int i = 0; i < found.Count(); ++i)
        topNew.push_back(found.Ranges(i));
    found.ForgetAll();
    for (TTextEditFoldRange* r : moved) {
        r->HeadLine = mapLine(r->HeadLine);
        r->LastLine = mapLine(r->LastLine);
        r->Owner = &FAllFoldRanges;
        FAllFoldRanges.Register(r);
    }
    // Top level: new and kept ranges in the order of their header lines.
    std::vector<TTextEditFoldRange*> top = topNew;
    top.insert(top.end(), kept.begin(), kept.end());
    std::stable_sort(top.begin(), top.end(),
                     [](const TTextEditFoldRange* a, const TTextEditFoldRange* b) { return a->HeadLine < b->HeadLine; });
    for (TTextEditFoldRange* r : top)
        FAllFoldRanges.AddRange(r);
    for (TTextEditFoldRange* r : kept)
        r->Renumber(0);
    NestCollapsedRanges();
    RebuildFoldFlatList();
    FFoldRescanCount = 0;
    RepaintGutter();
}

void TCustomTextEdit::RebuildFoldFlatList()
{
    // The flat list in the order of the tree, so that it runs by header line.
    std::vector<TTextEditFoldRange*> order;
    for (int i = 0; i < FAllFoldRanges.Count(); ++i)
        FoldForEachInTree(FAllFoldRanges.Ranges(i), [&](TTextEditFoldRange* r) { order.push_back(r); });
    if (static_cast<int>(order.size()) != FAllFoldRanges.TotalCount())
        return;  // not a tree of every range: the list stays as it is
    while (FAllFoldRanges.TotalCount() > 0)
        FAllFoldRanges.Unregister(FAllFoldRanges.TotalCount() - 1);
    for (TTextEditFoldRange* r : order)
        FAllFoldRanges.Register(r);
}

void TCustomTextEdit::NestCollapsedRanges()
{
    // The list each range stands in, found from the top.
    auto findParentList = [&](TTextEditFoldRange* target) -> TTextEditFoldRanges* {
        std::function<TTextEditFoldRanges*(TTextEditFoldRanges&)> look = [&](TTextEditFoldRanges& list) -> TTextEditFoldRanges* {
            for (int i = 0; i < list.Count(); ++i) {
                if (list.Ranges(i) == target)
                    return &list;
                if (TTextEditFoldRanges* in = look(list.Ranges(i)->Children))
                    return in;
            }
            return nullptr;
        };
        return look(FAllFoldRanges);
    };
    std::vector<TTextEditFoldRange*> collapsed;
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (r->IsCollapsed && !r->HiddenByParent)
            collapsed.push_back(r);
    }
    for (TTextEditFoldRange* r : collapsed) {
        if (TTextEditFoldRanges* list = findParentList(r))
            for (int i = 0; i < list->Count(); ++i)
                if (list->Ranges(i) == r) {
                    list->Remove(i);
                    break;
                }
        TTextEditFoldRange* around = nullptr;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
            TTextEditFoldRange* e = FAllFoldRanges.RangeAt(i);
            if (e == r || e->IsCollapsed || e->HiddenByParent || !(e->HeadLine < r->HeadLine && r->HeadLine < e->LastLine))
                continue;
            if (!around || e->Depth > around->Depth ||
                (e->HeadLine >= around->HeadLine && e->LastLine <= around->LastLine))
                around = e;
        }
        TTextEditFoldRanges& into = around ? around->Children : static_cast<TTextEditFoldRanges&>(FAllFoldRanges);
        int at = into.Count();
        for (int i = 0; i < into.Count(); ++i)
            if (into.Ranges(i)->HeadLine > r->HeadLine) {
                at = i;
                break;
            }
        into.Insert(at, r);
        r->Renumber(around ? around->Depth + 1 : 0);
    }
}

// ================================================================ following edits

void TCustomTextEdit::ShiftFoldsForLineChange(int line, int delta)
{
    if (delta == 0)
        return;
    const Qt::CaseSensitivity cs = FCodeFolding.CaseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QString lineText = line >= 1 && line <= FLines->Count() ? FLines->Get(line - 1) : QString();
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
        if (r->HiddenByParent)
            continue;
        auto shiftWhole = [&](int d) {
            if (r->IsCollapsed)
                FoldShiftTree(r, d);
            else
                r->Shift(d);
        };
        if (delta > 0) {
            // Lines went in after line; what stood on line from the split
            // on went down with them.
            if (line < r->HeadLine ||
                (line == r->HeadLine && r->Region && !r->Region->Open.isEmpty() &&
                 !lineText.contains(r->Region->Open, cs))) {
                shiftWhole(delta);
                continue;
            }
            if (r->IsCollapsed)
                continue;
            if (line < r->LastLine ||
                (line == r->LastLine && r->Region && !r->Region->Close.isEmpty() &&
                 !lineText.contains(r->Region->Close, cs)))
                r->ShiftEnd(delta);
        } else {
            // Lines line + 1 .. line - delta went; the rest of the last of
            // them joined line.
            const int removedLast = line - delta;
            if (r->HeadLine > removedLast) {
                shiftWhole(delta);
                continue;
            }
            if (r->HeadLine > line) {
                // Its header went: it stands on the joined line until the
                // next scan.
                if (r->IsCollapsed) {
                    // Its marker came along (or a replay takes it away).
                    FoldShiftTree(r, line - r->HeadLine);
                    continue;
                }
                r->HeadLine = line;
                r->LastLine = std::max(r->HeadLine, r->LastLine > removedLast ? r->LastLine + delta : line);
                ++FFoldRescanCount;
                continue;
            }
            if (r->IsCollapsed)
                continue;
            if (r->LastLine > removedLast)
                r->ShiftEnd(delta);
            else if (r->LastLine > line)
                r->LastLine = std::max(r->HeadLine, line);
        }
    }
}

void TCustomTextEdit::FoldLinesRemoved(int firstLine, int count)
{
    // A collapsed range whose header went takes its hidden lines with it;
    // the undo list keeps it. While an undo or redo replays, the fold
    // entries of the step put ranges back and take them away.
    if (!FInUndoRedo) {
        // Lines firstLine .. last went; what was left of the last of them
        // joined the line before: a header there lives on when its marker
        // came along.
        const int joined = firstLine - 1;
        const int last = firstLine + count - 1;
        const QString joinedText = joined >= 1 && joined <= FLines->Count() ? FLines->Get(joined - 1) : QString();
        std::vector<TTextEditFoldRange*> gone;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
            TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
            if (!r->IsCollapsed || r->HiddenByParent || r->HeadLine < firstLine || r->HeadLine > last)
                continue;
            if (r->HeadLine == last && joinedText.endsWith(FoldHeaderSuffix(r)))
                continue;
            gone.push_back(r);
        }
        RemoveFoldRanges(gone);
    }
    ShiftFoldsForLineChange(firstLine - 1, -count);
}

void TCustomTextEdit::RemoveFoldRanges(const std::vector<TTextEditFoldRange*>& gone)
{
    for (TTextEditFoldRange* range : gone) {
        int index = 0;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i)
            if (FAllFoldRanges.RangeAt(i) == range)
                index = i;
        DetachFoldRange(range);
        RecordFoldRemoved(range, index);
    }
}

void TCustomTextEdit::DetachFoldRange(TTextEditFoldRange* range)
{
    if (FHighlightedFold)
        FoldForEachInTree(range, [&](TTextEditFoldRange* r) {
            if (r == FHighlightedFold)
                FHighlightedFold = nullptr;
        });
    std::function<bool(TTextEditFoldRanges&)> unlink = [&](TTextEditFoldRanges& list) {
        for (int i = 0; i < list.Count(); ++i) {
            if (list.Ranges(i) == range) {
                list.Remove(i);
                return true;
            }
            if (unlink(list.Ranges(i)->Children))
                return true;
        }
        return false;
    };
    unlink(FAllFoldRanges);
    FoldForEachInTree(range, [&](TTextEditFoldRange* r) {
        for (int i = FAllFoldRanges.TotalCount() - 1; i >= 0; --i)
            if (FAllFoldRanges.RangeAt(i) == r) {
                FAllFoldRanges.Unregister(i);
                break;
            }
    });
}

void TCustomTextEdit::RecordFoldRemoved(TTextEditFoldRange* range, int formerIndex)
{
    auto payload = std::make_shared<TFoldUndoPayload>();
    payload->Range = range;
    payload->Stamp = ++FFoldStamp;
    if (!FCodeFolding.Enabled())
        return;  // the payload frees the range
    const int header = range->HeadLine;
    FUndoList.RecordChange(urFold, BufferCoord(1, header), BufferCoord(std::max(1, LineCells(header)), header),
                           QString(), smNormal, nullptr, formerIndex);
    TTextEditUndoItem* top = FUndoList.TopEntry();
    if (top && top->Reason == urFold && !top->Payload)
        top->Payload = payload;
}

void TCustomTextEdit::UndoFoldEntry(TTextEditUndoItem& entry)
{
    // The range goes back where it was, with the lines it hides.
    auto* payload = static_cast<TFoldUndoPayload*>(entry.Payload.get());
    if (!payload || !payload->Range)
        return;
    TTextEditFoldRange* range = payload->Range;
    payload->Range = nullptr;
    const int shift = entry.StartPos.Line - range->HeadLine;
    FoldShiftTree(range, shift);
    range->HiddenByParent = false;
    range->HiddenByLevel = -1;
    range->MarkChildrenHidden(true, range->Depth);
    std::vector<TTextEditFoldRange*> tree;
    FoldForEachInTree(range, [&](TTextEditFoldRange* r) { tree.push_back(r); });
    // Into the flat list at its former index (the rest after it).
    std::vector<TTextEditFoldRange*> all;
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i)
        all.push_back(FAllFoldRanges.RangeAt(i));
    const size_t at = static_cast<size_t>(std::clamp(entry.Index, 0, static_cast<int>(all.size())));
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at), tree.begin(), tree.end());
    while (FAllFoldRanges.TotalCount() > 0)
        FAllFoldRanges.Unregister(FAllFoldRanges.TotalCount() - 1);
    for (TTextEditFoldRange* r : all)
        FAllFoldRanges.Register(r);
    FAllFoldRanges.AddRange(range);
    range->UndoStamp = payload->Stamp;
    NestCollapsedRanges();
    RebuildFoldFlatList();
}

void TCustomTextEdit::RedoFoldEntry(TTextEditUndoItem& entry)
{
    // The range given back by the undo goes again, if it is still there.
    auto* payload = static_cast<TFoldUndoPayload*>(entry.Payload.get());
    if (!payload || payload->Range)
        return;
    for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
        TTextEditFoldRange* range = FAllFoldRanges.RangeAt(i);
        if (range->UndoStamp == payload->Stamp) {
            DetachFoldRange(range);
            range->UndoStamp = 0;
            payload->Range = range;
            return;
        }
    }
}

// ================================================================ the rescan counter

QString TCustomTextEdit::FoldSignature(const QString& line) const
{
    // The first Open or Close text of any region on the line.
    const TFoldRegions* regions = ActiveFoldRegions();
    const Qt::CaseSensitivity cs = FCodeFolding.CaseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qsizetype best = -1;
    QString found;
    std::function<void(const TFoldRegions&)> look = [&](const TFoldRegions& list) {
        for (int i = 0; i < list.Count(); ++i) {
            const TFoldRegionItem* item = list.Items(i);
            for (const QString* text : {&item->Open, &item->Close}) {
                if (text->isEmpty())
                    continue;
                const qsizetype at = line.indexOf(*text, 0, cs);
                if (at >= 0 && (best < 0 || at < best)) {
                    best = at;
                    found = text->toUpper();
                }
            }
            look(item->SubFoldRegions());
        }
    };
    look(*regions);
    return found;
}

void TCustomTextEdit::FoldLineReplacing(int index)
{
    if (FCodeFolding.Enabled() && !FFoldMovingLines)
        FFoldSignature = FoldSignature(FLines->Get(index));
}

void TCustomTextEdit::FoldLineReplaced(int index)
{
    if (FCodeFolding.Enabled() && !FFoldMovingLines && FoldSignature(FLines->Get(index)) != FFoldSignature)
        ++FFoldRescanCount;
}

void TCustomTextEdit::FoldAfterUndoChange()
{
    if (!FCodeFolding.Enabled() || FFoldRescanCount < 2 || FUndoList.BlockCount() > 0 || FUndoList.EntryCount() < 2)
        return;
    if (FUndoList.Entries(FUndoList.EntryCount() - 1)->Reason == FUndoList.Entries(FUndoList.EntryCount() - 2)->Reason)
        return;
    RescanFoldsKeepingCollapsed();
    UpdateFoldHighlight();
    FFoldRescanCount = 0;
}

void TCustomTextEdit::FoldKeyDown(std::uint16_t key)
{
    if (FCodeFolding.Enabled() && (key == 32 || (key >= 35 && key <= 40)) && FFoldRescanCount > 0) {
        RescanFoldsKeepingCollapsed();
        FFoldRescanCount = 0;
    }
}

// ================================================================ settings

void TCustomTextEdit::DropFoldRanges()
{
    ExpandAllFolds();
    FHighlightedFold = nullptr;
    FAllFoldRanges.FreeAllRanges();
    FAllFoldRanges.ForgetAll();
}

void TCustomTextEdit::SetCodeFolding(const TTextCodeFolding& value)
{
    DropFoldRanges();
    FCodeFolding.Assign(value);
}

void TCustomTextEdit::CodeFoldingChanged(TTextCodeFoldingChanges change)
{
    if (change == fcEnabled) {
        // Room for the fold bar; it is not taken back when folding goes off.
        if (FCodeFolding.Enabled()) {
            if (FGutter.RightOffset() < 18)
                FGutter.SetRightOffset(18);
        } else {
            ExpandAllFolds();
        }
    } else if (change == fcRescan) {
        RescanFolds();
    }
    InvalidateClient();
}

// ================================================================ keys

bool TCustomTextEdit::FoldKeyFilter(std::uint16_t key)
{
    if (!FCodeFolding.Enabled() && !FCodeFolding.IndentGuides())
        return true;
    if (SelectionAvailable()) {
        if (FoldKeyAlwaysPasses(key))
            return true;
        TBufferCoord b = FAnchor;
        TBufferCoord e = FSelEnd;
        if (MinPos(b, e) != b)
            std::swap(b, e);
        if (b.Line != e.Line)
            return true;
        TTextEditFoldRange* r = FoldRangeAtLine(b.Line);
        if (!r || !r->IsCollapsed)
            return true;
        // A collapsed header changes only when it is selected whole; its
        // ranges then go, with the lines they hide (the undo list keeps them).
        const int textEnd = CellLength(TrimmedRight(FLines->Get(b.Line - 1)));
        if (b.Char != 1 || e.Char < textEnd + 1)
            return false;
        std::vector<TTextEditFoldRange*> gone;
        for (int i = 0; i < FAllFoldRanges.TotalCount(); ++i) {
            TTextEditFoldRange* x = FAllFoldRanges.RangeAt(i);
            if (!x->HiddenByParent && x->HeadLine == b.Line)
                gone.push_back(x);
        }
        RemoveFoldRanges(gone);
        InvalidateClient();
        return true;
    }
    TTextEditFoldRange* r = FoldRangeAtLine(FCaret.Line);
    TTextEditFoldRange* p = FCaret.Line > 1 ? FoldRangeAtLine(FCaret.Line - 1) : nullptr;
    const bool collapsedR = r && r->IsCollapsed;
    // A collapsed header's text ends before its marker's blanks.
    const QString caretLine = FLines->Get(FCaret.Line - 1);
    const int textEnd = CellLength(collapsedR ? TrimmedRight(caretLine) : caretLine);
    switch (key) {
    case FoldVkReturn:
        if (FCaret.Char == 1) {
            if (collapsedR)
                ExpandFoldRange(r);
            return true;
        }
        if (FCaret.Char > textEnd) {
            if (collapsedR) {
                // After the last of the restored lines.
                const int below = r->HeadLine + static_cast<int>(r->HiddenLines.size());
                ExpandFoldRange(r);
                PlaceCaretCollapsed(BufferCoord(LineCells(below) + 1, below));
            } else {
                PlaceCaretCollapsed(BufferCoord(textEnd + 1, FCaret.Line));
            }
            return true;
        }
        return !collapsedR;
    case FoldVkBack:
        if (FCaret.Char == 1) {
            if (!p || p->IsCollapsed) {
                // The caret moves down with its line, below P's lines.
                if (collapsedR)
                    ExpandFoldRange(r);
                if (p && p->IsCollapsed)
                    ExpandFoldRange(p);
            }
            return true;
        }
        break;
    case FoldVkDelete:
        if (FCaret.Char > textEnd) {
            if (TTextEditFoldRange* next = FoldRangeAtLine(FCaret.Line + 1); next && next->IsCollapsed)
                ExpandFoldRange(next);
            if (collapsedR)
                ExpandFoldRange(r);
            return true;
        }
        break;
    default:
        break;
    }
    if (FoldKeyAlwaysPasses(key))
        return true;
    return !collapsedR;
}

// ================================================================ the keyword highlight

void TCustomTextEdit::UpdateFoldHighlight()
{
    TTextEditFoldRange* found = nullptr;
    if (FCaret.Line >= 1 && FCaret.Line <= FLines->Count()) {
        const QString line = FLines->Get(FCaret.Line - 1);
        const int at = CellToIndex(line, FCaret.Char - 1);
        const Qt::CaseSensitivity cs = FCodeFolding.CaseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
        // A text at or before the caret that reaches it.
        auto touches = [&](const QString& text) {
            if (text.isEmpty())
                return false;
            for (qsizetype from = std::max<qsizetype>(0, at - text.size()); from <= at; ++from) {
                const qsizetype hit = line.indexOf(text, from, cs);
                if (hit < 0 || hit > at)
                    return false;
                if (hit + text.size() >= at)
                    return true;
                from = hit;
            }
            return false;
        };
        for (int i = 0; i < FAllFoldRanges.TotalCount() && !found; ++i) {
            TTextEditFoldRange* r = FAllFoldRanges.RangeAt(i);
            if (r->HiddenByParent || !r->Region)
                continue;
            if ((r->HeadLine == FCaret.Line && touches(r->Region->Open)) ||
                (r->LastLine == FCaret.Line && touches(r->Region->Close)))
                found = r;
        }
    }
    if (found == FHighlightedFold)
        return;
    if (FHighlightedFold)
        InvalidateLines(FHighlightedFold->HeadLine, FHighlightedFold->LastLine);
    FHighlightedFold = found;
    if (found)
        InvalidateLines(found->HeadLine, found->LastLine);
}

// ================================================================ selection through folds

QString TCustomTextEdit::ExpandedSelectionText(const TBufferCoord& b, const TBufferCoord& e) const
{
    const QStringList lines = ExpandedCopyOfLines();
    const int eb = ExpandedLineIndex(b.Line);
    const int ee = ExpandedLineIndex(e.Line);
    auto lineAt = [&](int n) { return n >= 1 && n <= lines.size() ? lines.at(n - 1) : QString(); };
    auto cut = [](const QString& s, int fromCell, int toCell) {
        const int from = CellToIndex(s, std::max(0, fromCell - 1));
        const int to = toCell < 0 ? static_cast<int>(s.size()) : CellToIndex(s, std::max(0, toCell - 1));
        return from >= to ? QString() : s.mid(from, to - from);
    };
    switch (FSelectionMode) {
    case smLine: {
        const int last = e.Line + 1 > FLines->Count() ? static_cast<int>(lines.size()) : ExpandedLineIndex(e.Line + 1) - 1;
        QString result;
        for (int n = eb; n <= last; ++n)
            result += TrimmedRight(lineAt(n)) + QLatin1String("\r\n");
        return result;
    }
    case smNormal: {
        if (b.Line == e.Line) {
            QString result = TrimmedRight(cut(lineAt(eb), b.Char, e.Char));
            const TTextEditFoldRange* r = FoldRangeAtLine(b.Line);
            if (r && r->IsCollapsed && LineCells(b.Line) < e.Char)
                for (int n = eb + 1; n <= eb + r->TotalHidden() + 1; ++n)
                    result += QLatin1String("\r\n") + TrimmedRight(lineAt(n));
            return result;
        }
        QStringList parts;
        parts << TrimmedRight(cut(lineAt(eb), b.Char, -1));
        for (int n = eb + 1; n < ee; ++n)
            parts << TrimmedRight(lineAt(n));
        parts << TrimmedRight(cut(lineAt(ee), 1, e.Char));
        return parts.join(QStringLiteral("\r\n"));
    }
    case smColumn:
        break;
    }
    return QString();
}

// ================================================================ the fold bar and the hint

bool TCustomTextEdit::FoldBarClick(int x, int y)
{
    if (!FCodeFolding.Enabled() || x < FGutterPixels - 12 || FLines->Count() == 0)
        return false;
    const int row = PixelsToDisplayPos(x, y).Row;
    if (row < 1 || row > DisplayRowCount())
        return false;
    TTextEditFoldRange* r = RealFoldAt(RowToLine(row));
    if (!r)
        return false;
    if (r->IsCollapsed)
        ExpandFoldRange(r);
    else
        CollapseFoldRange(r);
    update();
    return true;
}

QStringList TCustomTextEdit::CollapsedHintLines(const TTextEditFoldRange* range) const
{
    QStringList lines;
    if (!range || range->HeadLine < 1 || range->HeadLine > FLines->Count())
        return lines;
    QString header = FLines->Get(range->HeadLine - 1);
    if (range->IsCollapsed && header.endsWith(FoldHeaderSuffix(range)))
        header.chop(FoldHeaderSuffix(range).size());
    // The user's text is shown as typed: a backslash in it starts no
    // formatting command.
    lines << QuoteFormatCommands(FoldTabsToBlanks(header, FTabWidth));
    const int shown = std::min<int>(41, static_cast<int>(range->HiddenLines.size()));
    for (int i = 0; i < shown; ++i)
        lines << QuoteFormatCommands(FoldTabsToBlanks(range->HiddenLines.at(i), FTabWidth));
    if (range->HiddenLines.size() > 41)
        lines << QStringLiteral("...");
    return lines;
}

void TCustomTextEdit::ShowCollapsedHint(const QPoint& point)
{
    // Over the marker of a collapsed header the hint shows the hidden lines
    // below the pointer's row; anywhere else it goes.
    const TDisplayPos at = PixelsToNearestRowColumn(point.x(), point.y());
    const int line = at.Row >= 1 && at.Row <= DisplayRowCount() ? RowToLine(at.Row) : 0;
    const TTextEditFoldRange* r = line > 0 ? FoldRangeAtLine(line) : nullptr;
    if (r && r->IsCollapsed) {
        const QRect mark = CollapseMarkRect(r, line).translated(-(FLeftColumn - 1) * FCharWidth, 0);
        if (mark.left() >= FGutterPixels && mark.contains(point)) {
            QWidget::setCursor(ScreenCursor(crHelp));
            if (!HintPopupShowing()) {
                const int rowTop = (at.Row - FTopRow) * RowHeight();
                const QPoint corner(FGutterPixels + 4 - FCharWidth, rowTop + RowHeight() + 2);
                ShowHintPopup(CollapsedHintLines(r), mapToGlobal(corner));
            }
            return;
        }
    }
    if (cursor().shape() == ScreenCursor(crHelp).shape())
        QWidget::setCursor(ScreenCursor(FCursorId));
    HideHintPopup();
}
