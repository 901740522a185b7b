#include "TextEditDrawer.h"

#include "TextEditUtils.h"

#include <QtGui/QFontDatabase>
#include <QtGui/QFontMetrics>
#include <QtGui/QGlyphRun>
#include <QtGui/QPainter>

#include <stdexcept>

namespace {

[[noreturn]] void BrokenInvariant(const char* what)
{
    throw std::logic_error(std::string("Assertion failed: ") + what + " (TextTextDrawer)");
}

using TRecordList = std::vector<std::unique_ptr<TheSharedFontsInfo>>;

TRecordList*& Records()
{
    static TRecordList* records = nullptr;
    return records;
}

void ClearHandles(TheSharedFontsInfo& record)
{
    for (TheFontStyleEntry& entry : record.Styles)
        entry = TheFontStyleEntry();
}

}  // namespace

TTextFontStyles StylesOf(const TFont& font)
{
    return (font.Bold ? tfsBold : 0) | (font.Italic ? tfsItalic : 0) | (font.Underline ? tfsUnderline : 0)
        | (font.StrikeOut ? tfsStrikeOut : 0);
}

// ---------------------------------------------------------------- fonts info manager

TheSharedFontsInfo* TheFontsInfoManager::AcquireFontRecord(const TFont& font)
{
    TRecordList*& records = Records();
    if (!records)
        records = new TRecordList;
    const QString family = MapFontName(font.Name);
    const int pixelSize = std::max(1, -font.Height());
    for (const auto& record : *records)
        if (record->KeyFamily.compare(family, Qt::CaseInsensitive) == 0 && record->KeyPixelSize == pixelSize
            && record->KeyBold == font.Bold) {
            ++record->UseCount;
            return record.get();
        }
    auto record = std::make_unique<TheSharedFontsInfo>();
    record->SourceFont = font;
    record->KeyFamily = family;
    record->KeyPixelSize = pixelSize;
    record->KeyBold = font.Bold;
    record->UseCount = 1;
    records->push_back(std::move(record));
    return records->back().get();
}

void TheFontsInfoManager::DropFontRecord(TheSharedFontsInfo* record)
{
    if (!record)
        BrokenInvariant("a font record to drop");
    if (record->HandleLocks >= record->UseCount)
        BrokenInvariant("Call DeactivateFontsInfo before calling this.");
    if (record->UseCount >= 2) {
        --record->UseCount;
        return;
    }
    TRecordList*& records = Records();
    for (size_t i = 0; i < records->size(); ++i)
        if ((*records)[i].get() == record) {
            records->erase(records->begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    if (records->empty()) {
        delete records;
        records = nullptr;
    }
}

void TheFontsInfoManager::LockHandles(TheSharedFontsInfo* record)
{
    ++record->HandleLocks;
}

void TheFontsInfoManager::UnlockHandles(TheSharedFontsInfo* record)
{
    if (--record->HandleLocks == 0)
        ClearHandles(*record);
}

int TheFontsInfoManager::RecordCount()
{
    TRecordList* records = Records();
    return records ? static_cast<int>(records->size()) : 0;
}

// ---------------------------------------------------------------- font stock

TheFontStock::TheFontStock(const TFont& baseFont)
{
    SetBaseFont(baseFont);
}

TheFontStock::~TheFontStock()
{
    if (FRecord) {
        UnlockFontHandles();
        TheFontsInfoManager::DropFontRecord(FRecord);
    }
}

void TheFontStock::SetBaseFont(const TFont& font)
{
    TheSharedFontsInfo* record = TheFontsInfoManager::AcquireFontRecord(font);
    if (record == FRecord) {
        TheFontsInfoManager::DropFontRecord(record);
        return;
    }
    if (FRecord) {
        UnlockFontHandles();
        TheFontsInfoManager::DropFontRecord(FRecord);
    }
    FRecord = record;
    FCurrent = nullptr;
    FCurrentStyle = -1;
    SelectStyle(StylesOf(font));
}

void TheFontStock::UnlockFontHandles()
{
    if (FLocked) {
        FLocked = false;
        TheFontsInfoManager::UnlockHandles(FRecord);
        FCurrent = nullptr;
        FCurrentStyle = -1;
    }
}

void TheFontStock::MakeStyledFont(TTextFontStyles style, TheFontStyleEntry& entry) const
{
    QFont font(FRecord->KeyFamily);
    font.setPixelSize(FRecord->KeyPixelSize);
    font.setWeight((style & tfsBold) ? QFont::Bold : QFont::Normal);
    font.setItalic(style & tfsItalic);
    font.setUnderline(style & tfsUnderline);
    font.setStrikeOut(style & tfsStrikeOut);
    font.setKerning(false);
    entry.Font = font;
    entry.Raw = QRawFont::fromFont(font);
    entry.FallbackRaw = QRawFont::fromFont(font, QFontDatabase::SimplifiedChinese);
    const QFontMetrics metrics(font);
    entry.Advance = metrics.horizontalAdvance(QLatin1Char('M'));
    entry.Height = metrics.ascent() + metrics.descent();
    entry.Ascent = metrics.ascent();
    // The advance of a wide character, in the font itself or where Qt
    // finds Chinese glyphs for it.
    auto wideAdvance = [](const QRawFont& raw) {
        const QChar wide(0x4E2D);
        if (!raw.isValid() || !raw.supportsCharacter(wide))
            return INT_MAX;
        quint32 glyph = 0;
        int count = 1;
        raw.glyphIndexesForChars(&wide, 1, &glyph, &count);
        QPointF advance;
        raw.advancesForGlyphIndexes(&glyph, &advance, 1);
        return advance.x() > 0 ? qRound(advance.x()) : INT_MAX;
    };
    entry.WideAdvance = wideAdvance(entry.Raw);
    if (entry.WideAdvance == INT_MAX)
        entry.WideAdvance = wideAdvance(entry.FallbackRaw);
    entry.Made = true;
}

void TheFontStock::SelectStyle(TTextFontStyles style)
{
    if (style > 15)
        BrokenInvariant("a style index of at most 15");
    if (!FLocked) {
        TheFontsInfoManager::LockHandles(FRecord);
        FLocked = true;
    }
    if (FCurrentStyle == static_cast<int>(style) && FCurrent)
        return;
    TheFontStyleEntry& entry = FRecord->Styles[style];
    if (!entry.Made)
        MakeStyledFont(style, entry);
    FCurrent = &entry;
    FCurrentStyle = static_cast<int>(style);
}

// ---------------------------------------------------------------- drawer

TheTextDrawer::TheTextDrawer(TTextFontStyles measureStyle, const TFont& baseFont) : FMeasureStyle(measureStyle)
{
    FSecondStock = std::make_unique<TheFontStock>(FSecondFont);
    SetBaseFont(baseFont);
}

TheTextDrawer::~TheTextDrawer() = default;

void TheTextDrawer::SetBaseFont(const TFont& font)
{
    FBaseFont = font;
    if (!FFontStock)
        FFontStock = std::make_unique<TheFontStock>(font);
    else
        FFontStock->SetBaseFont(font);
    FFontStock->SelectStyle(FMeasureStyle);
    FCellWidth = FFontStock->CurrentAdvance();
    FCellHeight = FFontStock->CurrentHeight();
    SelectStyle(StylesOf(font));
    FitSecondFont();
}

void TheTextDrawer::SetMeasureStyle(TTextFontStyles style)
{
    if (style == FMeasureStyle)
        return;
    FMeasureStyle = style;
    FFontStock->SelectStyle(style);
    FCellWidth = FFontStock->CurrentAdvance();
    FCellHeight = FFontStock->CurrentHeight();
    FFontStock->SelectStyle(FStyle);
}

void TheTextDrawer::SelectStyle(TTextFontStyles style)
{
    FStyle = style;
    FFontStock->SelectStyle(style);
    FSecondStock->SelectStyle(style);
}

void TheTextDrawer::SetSecondFontName(const QString& name)
{
    FUseSecondFont = !name.isEmpty();
    if (name == FSecondFont.Name)
        return;
    FSecondFont.Name = name;
    FitSecondFont();
}

void TheTextDrawer::FitSecondFont()
{
    // The second font takes the base font's size and no style, then is made
    // smaller one pixel at a time until a wide character fits in two cells
    // and its height in the cell. A font whose wide advance cannot be
    // measured is fitted by its height alone; the smallest size ends it.
    FSecondFont.Size = FBaseFont.Size;
    FSecondFont.SetHeight(FBaseFont.Height());
    FSecondFont.Bold = FSecondFont.Italic = FSecondFont.Underline = FSecondFont.StrikeOut = false;
    const int mainHeight = FFontStock->CurrentHeight();
    for (;;) {
        FSecondStock->SetBaseFont(FSecondFont);
        FSecondStock->SelectStyle(FStyle);
        const int wide = FSecondStock->CurrentWideAdvance();
        const bool widthFits = wide == INT_MAX || wide <= 2 * FCellWidth;
        const bool heightFits = FSecondStock->CurrentHeight() <= mainHeight;
        const int pixels = -FSecondFont.Height();
        if ((widthFits && heightFits) || pixels <= 1)
            break;
        FSecondFont.SetHeight(-(pixels - 1));
    }
}

void TheTextDrawer::StartDrawing(QPainter* painter)
{
    if (FPainter && painter == FPainter) {
        ++FDrawingCount;
        return;
    }
    if (FPainter || !painter || FDrawingCount != 0)
        BrokenInvariant("drawing on one painter at a time");
    FPainter = painter;
    FPainter->save();
    FDrawingCount = 1;
}

void TheTextDrawer::FinishDrawing()
{
    if (FDrawingCount <= 0)
        BrokenInvariant("drawing ended as often as begun");
    if (--FDrawingCount == 0) {
        FPainter->restore();
        FPainter = nullptr;
    }
}

void TheTextDrawer::ChangeForeColor(TColor color)
{
    FForeColor = color;
}

void TheTextDrawer::ChangeBackColor(TColor color)
{
    FBackColor = color;
}

void TheTextDrawer::ChangeCharExtra(int value)
{
    FCharExtra = value;
}

void TheTextDrawer::ReleaseFontCache()
{
    FFontStock->UnlockFontHandles();
    FFontStock->SelectStyle(FStyle);
}

void TheTextDrawer::PutText(int x, int y, const QString& text)
{
    if (!FPainter)
        BrokenInvariant("drawing begun");
    DrawRun(*FPainter, text, x, y, QRect());
}

void TheTextDrawer::PutTextClipped(int x, int y, const QRect& rect, const QString& text, bool opaque)
{
    if (!FPainter)
        BrokenInvariant("drawing begun");
    if (opaque)
        FPainter->fillRect(rect, ToQColor(FBackColor));
    DrawRun(*FPainter, text, x, y, rect);
}

void TheTextDrawer::DrawRun(QPainter& painter, const QString& text, int x, int y, const QRect& clip)
{
    if (text.isEmpty())
        return;
    painter.save();
    if (!clip.isNull())
        painter.setClipRect(clip, Qt::IntersectClip);
    painter.setPen(ToQColor(FForeColor));
    const TheFontStyleEntry& main = FFontStock->Current();
    const TheFontStyleEntry& second = FSecondStock->Current();
    const int step = FCellWidth + FCharExtra;
    // Characters go out in groups that share a font, each glyph at its cell.
    const QRawFont* groupFont = nullptr;
    int groupBaseline = 0;
    auto flush = [&] {
        if (groupFont && !FGlyphs.empty()) {
            QGlyphRun run;
            run.setRawFont(*groupFont);
            run.setGlyphIndexes(QList<quint32>(FGlyphs.begin(), FGlyphs.end()));
            run.setPositions(QList<QPointF>(FPositions.begin(), FPositions.end()));
            run.setUnderline(main.Font.underline());
            run.setStrikeOut(main.Font.strikeOut());
            painter.drawGlyphRun(QPointF(0, 0), run);
        }
        FGlyphs.clear();
        FPositions.clear();
    };
    const int n = static_cast<int>(text.size());
    int cell = 0;
    for (int i = 0; i < n;) {
        char32_t code = text.at(i).unicode();
        int units = 1;
        if (QChar::isHighSurrogate(code) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            units = 2;
        }
        const bool wide = code >= 0x80;
        if (code < 32)
            code = U' ';
        const QRawFont* font = nullptr;
        int ascent = main.Ascent;
        if (wide && FUseSecondFont && second.Raw.isValid()) {
            font = &second.Raw;
            ascent = (FCellHeight - second.Height) / 2 + second.Ascent;
        } else if (main.Raw.isValid() && main.Raw.supportsCharacter(code)) {
            font = &main.Raw;
        } else if (main.FallbackRaw.isValid()) {
            font = &main.FallbackRaw;
        } else {
            font = &main.Raw;
        }
        if (font != groupFont) {
            flush();
            groupFont = font;
        }
        groupBaseline = y + ascent;
        const QString one = text.mid(i, units);
        quint32 glyph = 0;
        int count = 1;
        font->glyphIndexesForChars(one.constData(), units, &glyph, &count);
        double left = x + cell * step;
        if (wide) {
            QPointF advance(0, 0);
            font->advancesForGlyphIndexes(&glyph, &advance, 1);
            const double span = 2.0 * step;
            if (advance.x() < span)
                left += (span - advance.x()) / 2;
        }
        FGlyphs.push_back(glyph);
        FPositions.emplace_back(left, groupBaseline);
        cell += wide ? 2 : 1;
        i += units;
    }
    flush();
    painter.restore();
}
