#include "TextEditFoldScan.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

bool IsFoldIdentChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_' ||
           (u >= 192 && u <= 214) || (u >= 216 && u <= 246) || (u >= 248 && u <= 255);
}

bool IsFoldBreak(QChar c) { return c == u'\r' || c == u'\n'; }

// The characters at which something of one scan level may start: the first
// characters of its regions' Open and Close texts, of its skip regions'
// Open texts and of the parent's Close. Every other character is stepped
// over at once.
class TFoldStartChars {
public:
    void Add(const QString& text, bool caseSensitive)
    {
        if (text.isEmpty())
            return;
        const QChar c = text.at(0);
        if (caseSensitive) {
            AddOne(c, false);
            return;
        }
        AddOne(c.toCaseFolded(), true);
        AddOne(c.toUpper(), true);
        AddOne(c.toLower(), true);
    }
    bool Has(QChar c) const
    {
        if (c.unicode() < 128)
            return FAscii[c.unicode()];
        if (FOthers.contains(c))
            return true;
        const QChar folded = c.toCaseFolded();
        return FFolded && (folded.unicode() < 128 ? FAscii[folded.unicode()] : FOthers.contains(folded));
    }

private:
    void AddOne(QChar c, bool folded)
    {
        FFolded = FFolded || folded;
        if (c.unicode() < 128)
            FAscii[c.unicode()] = true;
        else if (!FOthers.contains(c))
            FOthers += c;
    }
    std::array<bool, 128> FAscii{};
    QString FOthers;
    bool FFolded = false;
};

// A place in the joined text with its line.
struct TFoldScanPlace {
    qsizetype Pos = 0;
    int Line = 1;
    qsizetype LineStart = 0;
};

class TFoldRegionScanner {
public:
    TFoldRegionScanner(QString text, TTextEditAllFoldRanges& ranges, const TFoldScanOptions& options)
        : FText(std::move(text)), FRanges(ranges), FOptions(options),
          FCase(options.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive)
    {
    }

    void ScanLevel(TFoldRegions& regions, TFoldRegionItem* parent, size_t base);

private:
    // Steps over one character, counting a line break (CR LF and LF CR as one).
    void Step(TFoldScanPlace& at) const
    {
        const QChar c = FText.at(at.Pos);
        if (!IsFoldBreak(c)) {
            ++at.Pos;
            return;
        }
        ++at.Pos;
        if (at.Pos < FText.size() && IsFoldBreak(FText.at(at.Pos)) && FText.at(at.Pos) != c)
            ++at.Pos;
        ++at.Line;
        at.LineStart = at.Pos;
    }
    void MoveTo(qsizetype target)
    {
        target = std::min(target, FText.size());
        while (FAt.Pos < target)
            Step(FAt);
    }
    // The length a region's text takes at a match: one character for
    // single-character regions.
    static qsizetype MatchLength(const TFoldRegionItem& region, const QString& text)
    {
        return region.Kind == 0 ? 1 : text.size();
    }
    bool MatchAt(const TFoldScanPlace& at, const TFoldRegionItem& region, const QString& text) const;
    bool EqualTexts(const QString& a, const QString& b) const { return a.compare(b, FCase) == 0; }
    bool SkipRegionAt(TFoldRegions& regions);
    // Answers true when the position has already been moved.
    bool TryRegions(TFoldRegions& regions, size_t base);
    bool OpenRange(TFoldRegionItem* region);
    bool CloseMatching(const QString& close, size_t base);
    void CloseLeftovers(TFoldRegionItem* parent, size_t base);
    // The indentation of the line that starts at lineStart.
    int IndentOf(qsizetype lineStart) const;

    const QString FText;
    TTextEditAllFoldRanges& FRanges;
    const TFoldScanOptions& FOptions;
    const Qt::CaseSensitivity FCase;
    TFoldScanPlace FAt;
    std::vector<TTextEditFoldRange*> FStack;
};

bool TFoldRegionScanner::MatchAt(const TFoldScanPlace& at, const TFoldRegionItem& region, const QString& text) const
{
    if (text.isEmpty())
        return false;
    const qsizetype length = MatchLength(region, text);
    if (at.Pos + length > FText.size())
        return false;
    if (QStringView(FText).mid(at.Pos, length).compare(QStringView(text).left(length), FCase) != 0)
        return false;
    if (region.WholeWords) {
        if (at.Pos > 0 && IsFoldIdentChar(FText.at(at.Pos - 1)))
            return false;
        if (at.Pos + length < FText.size() && IsFoldIdentChar(FText.at(at.Pos + length)))
            return false;
    }
    if (FOptions.IgnoredAt && FOptions.IgnoredAt(at.Line, static_cast<int>(at.Pos - at.LineStart) + 1))
        return false;
    return true;
}

bool TFoldRegionScanner::SkipRegionAt(TFoldRegions& regions)
{
    TSkipRegions& skips = regions.SkipRegions();
    const QStringView text(FText);
    for (int i = 0; i < skips.Count(); ++i) {
        const TSkipRegionItem& skip = *skips.Items(i);
        if (skip.Open.isEmpty() || !text.mid(FAt.Pos).startsWith(skip.Open, FCase))
            continue;
        const qsizetype from = FAt.Pos + skip.Open.size();
        qsizetype end = FText.size();
        if (skip.Kind == 2 || skip.Close.isEmpty()) {
            end = from;
            while (end < FText.size() && !IsFoldBreak(FText.at(end)))
                ++end;
        } else if (skip.Kind == 1) {
            const qsizetype close = text.indexOf(skip.Close, from, FCase);
            if (close >= 0)
                end = close + skip.Close.size();
        } else {
            const QChar close = skip.Close.at(0);
            for (qsizetype p = from; p < FText.size(); ++p) {
                if (QStringView(&FText.constData()[p], 1).compare(QStringView(&close, 1), FCase) != 0)
                    continue;
                if (!skip.Escape.isEmpty() && text.left(p).endsWith(skip.Escape, FCase))
                    continue;
                end = p + 1;
                break;
            }
        }
        MoveTo(end);
        return true;
    }
    return false;
}

int TFoldRegionScanner::IndentOf(qsizetype lineStart) const
{
    int indent = 0;
    int spaces = 0;
    for (qsizetype p = lineStart; p < FText.size(); ++p) {
        const QChar c = FText.at(p);
        if (c == u'\t') {
            ++indent;
            spaces = 0;
        } else if (c == u' ') {
            if (++spaces == std::max(FOptions.TabWidth, 1)) {
                ++indent;
                spaces = 0;
            }
        } else {
            break;
        }
    }
    return indent;
}

bool TFoldRegionScanner::CloseMatching(const QString& close, size_t base)
{
    // Only ranges opened on this level: a nested level never closes the
    // ranges around it.
    for (size_t i = FStack.size(); i > base; --i) {
        TTextEditFoldRange* range = FStack[i - 1];
        if (range->Region && EqualTexts(range->Region->Close, close)) {
            range->LastLine = FAt.Line;
            FStack.erase(FStack.begin() + static_cast<std::ptrdiff_t>(i - 1));
            return true;
        }
    }
    return false;
}

bool TFoldRegionScanner::OpenRange(TFoldRegionItem* region)
{
    TTextEditFoldRanges& list = FStack.empty() ? static_cast<TTextEditFoldRanges&>(FRanges) : FStack.back()->Children;
    TTextEditFoldRange* range = list.NewRange(FRanges, FAt.Line, IndentOf(FAt.LineStart),
                                              static_cast<int>(FStack.size()), region, FAt.Line);
    const qsizetype openLength = MatchLength(*region, region->Open);
    if (region->NoNestedFolds) {
        TFoldScanPlace ahead = FAt;
        ahead.Pos += openLength;
        while (ahead.Pos < FText.size()) {
            if (MatchAt(ahead, *region, region->Close)) {
                range->LastLine = ahead.Line;
                MoveTo(ahead.Pos + MatchLength(*region, region->Close));
                return true;
            }
            Step(ahead);
        }
        return false;
    }
    FStack.push_back(range);
    if (region->SubFoldRegions().Count() > 0) {
        MoveTo(FAt.Pos + openLength);
        ScanLevel(region->SubFoldRegions(), region, FStack.size() - 1);
        return true;
    }
    return false;
}

bool TFoldRegionScanner::TryRegions(TFoldRegions& regions, size_t base)
{
    for (int i = 0; i < regions.Count(); ++i) {
        TFoldRegionItem* region = regions.Items(i);
        if (MatchAt(FAt, *region, region->Open))
            return OpenRange(region);
        if (MatchAt(FAt, *region, region->Close)) {
            // A keyword that closes nothing lets the regions after it try.
            if (CloseMatching(region->Close, base) || region->Kind == 0)
                return false;
        }
    }
    return false;
}

void TFoldRegionScanner::CloseLeftovers(TFoldRegionItem* parent, size_t base)
{
    while (FStack.size() > base) {
        TTextEditFoldRange* range = FStack.back();
        FStack.pop_back();
        if (parent && range->Region == parent && FStack.size() == base) {
            range->LastLine = FAt.Line;
            return;
        }
        range->LastLine = std::max(range->HeadLine, FAt.Line - 1);
    }
}

void TFoldRegionScanner::ScanLevel(TFoldRegions& regions, TFoldRegionItem* parent, size_t base)
{
    TFoldStartChars starts;
    const bool caseSensitive = FOptions.CaseSensitive;
    for (int i = 0; i < regions.Count(); ++i) {
        starts.Add(regions.Items(i)->Open, caseSensitive);
        starts.Add(regions.Items(i)->Close, caseSensitive);
    }
    for (int i = 0; i < regions.SkipRegions().Count(); ++i)
        starts.Add(regions.SkipRegions().Items(i)->Open, caseSensitive);
    if (parent)
        starts.Add(parent->Close, caseSensitive);
    const QChar* text = FText.constData();
    const qsizetype size = FText.size();
    while (true) {
        // Line breaks and characters that start nothing here.
        while (FAt.Pos < size) {
            const QChar c = text[FAt.Pos];
            if (IsFoldBreak(c))
                Step(FAt);
            else if (!starts.Has(c))
                ++FAt.Pos;
            else
                break;
        }
        if (FAt.Pos >= size)
            break;
        if (parent && MatchAt(FAt, *parent, parent->Close)) {
            CloseLeftovers(parent, base);
            MoveTo(FAt.Pos + MatchLength(*parent, parent->Close));
            return;
        }
        if (SkipRegionAt(regions))
            continue;
        if (!TryRegions(regions, base))
            ++FAt.Pos;
    }
    CloseLeftovers(parent, base);
}

void UpperCaseRegionsOf(TFoldRegions& regions)
{
    for (int i = 0; i < regions.Count(); ++i) {
        TFoldRegionItem* region = regions.Items(i);
        region->Open = region->Open.toUpper();
        region->Close = region->Close.toUpper();
        UpperCaseRegionsOf(region->SubFoldRegions());
    }
}

}  // namespace

void ScanFoldRegions(const QStringList& lines, TFoldRegions& regions, TTextEditAllFoldRanges& ranges,
                     const TFoldScanOptions& options)
{
    ScanFoldRegionsInText(lines.join(QLatin1String("\r\n")), regions, ranges, options);
}

void ScanFoldRegionsInText(QString text, TFoldRegions& regions, TTextEditAllFoldRanges& ranges,
                           const TFoldScanOptions& options)
{
    TFoldRegionScanner scanner(std::move(text), ranges, options);
    scanner.ScanLevel(regions, nullptr, 0);
}

void UpperCaseFoldRegions(TFoldRegions& regions) { UpperCaseRegionsOf(regions); }
