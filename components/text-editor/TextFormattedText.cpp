#include "TextFormattedText.h"

#include "ComponentStream.h"
#include "ConvertError.h"
#include "Graphics.h"
#include "ImageList.h"


#include <algorithm>
#include <limits>
#include <optional>

void TFormatChunkList::Clear()
{
    while (!FChunks.empty())
        FChunks.pop_back();
}

void TProposalColumns::Assign(const TProposalColumns& source)
{
    if (&source == this)
        return;
    FItems.clear();
    for (const auto& column : source.FItems)
        Add()->Assign(*column);
}

namespace {

// A colour name (clRed, clBtnFace, ...) or a number: decimal, or hexadecimal
// after "$" or "0x".
std::optional<TColor> FormatColorOf(const QString& text)
{
    if (const auto named = IdentToColor(text))
        return named;
    QString digits = text;
    bool negative = false;
    if (digits.startsWith(u'-') || digits.startsWith(u'+')) {
        negative = digits.startsWith(u'-');
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith(u'$'))
        digits.remove(0, 1), base = 16;
    else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits.remove(0, 2), base = 16;
    if (digits.isEmpty())
        return std::nullopt;
    for (QChar c : digits)
        if (!(c.isDigit() && c.unicode() < 128) &&
            !(base == 16 && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))))
            return std::nullopt;
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    const qint64 limit = base == 16 ? qint64(0xFFFFFFFF) : qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0);
    if (value > limit)
        return std::nullopt;
    return static_cast<TColor>(static_cast<std::uint32_t>(negative ? -value : value));
}

std::optional<std::int32_t> FormatIntegerOf(const QString& text)
{
    try {
        return StrToInt(text);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

// Parses one command; nullptr with ok false for a bad one.
std::unique_ptr<TFormatChunk> FormatCommandOf(const QString& name, const QString& parameter, bool& ok)
{
    ok = true;
    auto chunk = std::make_unique<TFormatChunk>();
    const QString upper = name.toUpper();
    if (upper == QLatin1String("COLOR")) {
        const auto color = FormatColorOf(parameter);
        if (!color) {
            ok = false;
            return nullptr;
        }
        chunk->ChunkType = TFormatChunkType::Color;
        chunk->Data = static_cast<std::int32_t>(*color);
    } else if (upper == QLatin1String("COLUMN")) {
        if (!parameter.isEmpty()) {
            ok = false;
            return nullptr;
        }
        chunk->ChunkType = TFormatChunkType::Column;
    } else if (upper == QLatin1String("HSPACE") || upper == QLatin1String("IMAGE")) {
        const auto value = FormatIntegerOf(parameter);
        if (!value) {
            ok = false;
            return nullptr;
        }
        chunk->ChunkType = upper == QLatin1String("HSPACE") ? TFormatChunkType::HSpace : TFormatChunkType::Image;
        chunk->Data = *value;
    } else if (upper == QLatin1String("STYLE")) {
        if (parameter.size() != 2) {
            ok = false;
            return nullptr;
        }
        const QChar action = parameter.at(0);
        const QChar style = parameter.at(1).toUpper();
        if ((action != u'+' && action != u'-' && action != u'~') ||
            (style != u'B' && style != u'I' && style != u'S' && style != u'U')) {
            ok = false;
            return nullptr;
        }
        chunk->ChunkType = TFormatChunkType::Style;
    } else {
        ok = false;
        return nullptr;
    }
    return chunk;
}

void AddFormatTextChunk(TFormatChunkList& chunks, QString& run)
{
    if (run.isEmpty())
        return;
    auto chunk = std::make_unique<TFormatChunk>();
    chunk->Str = run;
    chunks.Add(std::move(chunk));
    run.clear();
}

void ApplyFormatStyle(TFont& font, const TFormatStyleData& data)
{
    bool* flag = nullptr;
    switch (data.Style.unicode()) {
    case u'B': flag = &font.Bold; break;
    case u'I': flag = &font.Italic; break;
    case u'S': flag = &font.StrikeOut; break;
    default: flag = &font.Underline; break;
    }
    *flag = data.Action > 0 ? true : data.Action < 0 ? false : !*flag;
}

void SetFormatFontStyles(TFont& font, TTextFontStyles styles)
{
    font.Bold = (styles & tfsBold) != 0;
    font.Italic = (styles & tfsItalic) != 0;
    font.Underline = (styles & tfsUnderline) != 0;
    font.StrikeOut = (styles & tfsStrikeOut) != 0;
}

// Walks the chunks from left at top; draws when draw is set. x is kept wide
// so that large spaces cannot overflow it.
int WalkFormatChunks(TCanvas& canvas, const TFormatChunkList& chunks, int left, int top, qint64 right,
                     const TImageList* images, const TProposalColumns* columns, bool draw)
{
    struct TRestore {
        TCanvas& Canvas;
        TFont Font;
        ~TRestore()
        {
            Canvas.Font = Font;
            Canvas.BrushStyle = TBrushStyle::Solid;
        }
    } restore{canvas, canvas.Font};
    canvas.BrushStyle = TBrushStyle::Clear;

    qint64 x = left;
    qint64 columnStart = left;
    int column = -1;
    if (columns && columns->Count() > 0) {
        column = 0;
        SetFormatFontStyles(canvas.Font, columns->Items(0)->DefaultFontStyle);
    }
    for (int i = 0; i < chunks.Count(); ++i) {
        const TFormatChunk& chunk = *chunks.Chunks(i);
        switch (chunk.ChunkType) {
        case TFormatChunkType::Text:
            if (draw)
                canvas.TextOut(static_cast<int>(x), top, chunk.Str);
            x += canvas.TextWidth(chunk.Str);
            break;
        case TFormatChunkType::Color:
            if (draw)
                canvas.Font.Color = static_cast<TColor>(chunk.Data);
            continue;
        case TFormatChunkType::Style:
            ApplyFormatStyle(canvas.Font, *chunk.StyleData);
            continue;
        case TFormatChunkType::Column:
            if (column >= 0) {
                columnStart += canvas.TextWidth(columns->Items(column)->BiggestWord + u' ');
                x = columnStart;
                ++column;
                if (column < columns->Count())
                    SetFormatFontStyles(canvas.Font, columns->Items(column)->DefaultFontStyle);
                else
                    column = -1;
            }
            continue;
        case TFormatChunkType::HSpace:
            x += chunk.Data;
            break;
        case TFormatChunkType::Image:
            // Without an image list there is nothing to draw: the command
            // takes no room.
            if (!images)
                continue;
            if (draw)
                images->Draw(canvas.Painter(), static_cast<int>(x), top, chunk.Data);
            x += images->Width;
            break;
        }
        if (x > right)
            break;
    }
    return static_cast<int>(std::clamp<qint64>(x, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

bool ParseFormattedText(const QString& text, TFormatChunkList& chunks, TFormatChunkTypes skipKinds)
{
    bool result = true;
    QString run;
    const qsizetype length = text.size();
    qsizetype i = 0;
    while (i < length) {
        const QChar c = text.at(i);
        if (c != u'\\') {
            run += c;
            ++i;
            continue;
        }
        if (i + 1 < length && text.at(i + 1) == u'\\') {
            run += u'\\';
            i += 2;
            continue;
        }
        AddFormatTextChunk(chunks, run);
        const qsizetype open = text.indexOf(u'{', i + 1);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(u'}', open + 1);
        if (close < 0)
            break;
        const QString name = text.mid(i + 1, open - i - 1);
        const QString parameter = text.mid(open + 1, close - open - 1);
        i = close + 1;
        bool ok = true;
        auto chunk = FormatCommandOf(name, parameter, ok);
        if (!ok) {
            result = false;
            continue;
        }
        if (skipKinds.Contains(chunk->ChunkType))
            continue;
        if (chunk->ChunkType == TFormatChunkType::Style) {
            chunk->StyleData = std::make_unique<TFormatStyleData>();
            chunk->StyleData->Style = parameter.at(1).toUpper();
            const QChar action = parameter.at(0);
            chunk->StyleData->Action = action == u'+' ? 1 : action == u'-' ? -1 : 0;
        }
        chunks.Add(std::move(chunk));
    }
    AddFormatTextChunk(chunks, run);
    return result;
}

int DrawFormattedText(TCanvas& canvas, const QRect& rect, const QString& text, const TImageList* images,
                      const TProposalColumns* columns, bool selected)
{
    TFormatChunkList chunks;
    ParseFormattedText(text, chunks,
                       selected ? TFormatChunkTypes{TFormatChunkType::Color} : TFormatChunkTypes{});
    // The right edge lies just past the last column of the rectangle.
    const qint64 right = qint64(rect.x()) + rect.width();
    return WalkFormatChunks(canvas, chunks, rect.x(), rect.y(), right, images, columns, true);
}

int FormattedTextWidth(TCanvas& canvas, const QString& text, const TProposalColumns* columns,
                       const TImageList* images)
{
    TFormatChunkList chunks;
    ParseFormattedText(text, chunks, {TFormatChunkType::Color});
    return WalkFormatChunks(canvas, chunks, 0, 0, std::numeric_limits<qint32>::max(), images, columns, false);
}

QString StripFormatting(const QString& text)
{
    TFormatChunkList chunks;
    ParseFormattedText(text, chunks, AllFormatCommands);
    QString result;
    for (int i = 0; i < chunks.Count(); ++i)
        result += chunks.Chunks(i)->Str;
    return result;
}

namespace {

// Splits as the comma text of a string list: blanks and commas separate,
// double quotes group (a doubled quote inside is one quote), and a comma at
// the very end adds an empty part.
QStringList CommaTextParts(const QString& text)
{
    QStringList parts;
    const qsizetype length = text.size();
    const auto blank = [&](qsizetype at) { return at < length && text.at(at).unicode() >= 1 && text.at(at).unicode() <= u' '; };
    qsizetype p = 0;
    while (blank(p))
        ++p;
    while (p < length) {
        QString part;
        if (text.at(p) == u'"') {
            ++p;
            while (p < length) {
                if (text.at(p) == u'"') {
                    if (p + 1 < length && text.at(p + 1) == u'"') {
                        part += u'"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                part += text.at(p++);
            }
        } else {
            const qsizetype start = p;
            while (p < length && text.at(p).unicode() > u' ' && text.at(p) != u',')
                ++p;
            part = text.mid(start, p - start);
        }
        parts << part;
        while (blank(p))
            ++p;
        if (p < length && text.at(p) == u',') {
            if (p + 1 == length)
                parts << QString();
            do
                ++p;
            while (blank(p));
        }
    }
    return parts;
}

}  // namespace

QString HighlightParameter(const QString& commaText, int index)
{
    const QStringList parts = CommaTextParts(commaText);
    QString result;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += u' ';
        if (i == index)
            result += QLatin1String("\\style{~B}") + parts.at(i) + QLatin1String("\\style{~B}");
        else
            result += parts.at(i);
    }
    return result;
}

QString QuoteFormatCommands(const QString& text)
{
    QString result = text;
    result.replace(u'\\', QLatin1String("\\\\"));
    return result;
}
