#include "UPlayerShared.h"

#include "Graphics.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>

namespace {

TFont BoxFont(const QString& name, TColor color)
{
    TFont font;
    font.Name = name;
    font.Size = 12;
    font.Bold = true;
    font.Color = color;
    return font;
}

// A line drawn on black in its own picture, sized to the text.
QImage LineImage(const TFont& font, const QString& line, int width, int height)
{
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    TCanvas canvas(painter);
    canvas.Font = font;
    canvas.BrushStyle = TBrushStyle::Clear;
    canvas.TextOut(0, 0, line);
    return image;
}

}  // namespace

int SubtitleEnglishWidth(const QString& english)
{
    return TextWidthOf(BoxFont(QStringLiteral("MS Sans Serif"), SubtitleEnglishColor), english);
}

int SungWidth(int width, double progress)
{
    if (!(progress > 0) || width <= 0)
        return 0;
    if (progress >= 1)
        return width;
    return std::clamp(RoundHalfEven(width * progress), 0, width);
}

void PaintSubtitleBox(QPainter& painter, const QRect& rect, const TSubtitleBoxText& text)
{
    painter.save();
    painter.fillRect(rect, Qt::black);
    const TFont english = BoxFont(QStringLiteral("MS Sans Serif"), SubtitleEnglishColor);
    const TFont china = BoxFont(QStringLiteral("宋体"), SubtitleChinaColor);
    if (text.ShowEnglish && !text.English.trimmed().isEmpty()) {
        const int w = TextWidthOf(english, text.English);
        const int h = TextHeightOf(english, text.English);
        const int x = rect.left() + RoundHalfEven((rect.width() - w) / 2.0);
        QImage line = LineImage(english, text.English, w, h);
        TFont sungFont = english;
        sungFont.Color = SubtitleSungColor;
        const QImage sung = LineImage(sungFont, text.English, w, h);
        const int sungWidth = SungWidth(w, text.Progress);
        if (sungWidth > 0) {
            QPainter onLine(&line);
            onLine.drawImage(QPoint(0, 0), sung, QRect(0, 0, sungWidth, h));
        }
        painter.drawImage(QPoint(x, rect.top() + text.EnglishTop), line);
    }
    if (text.ShowChina && !text.China.trimmed().isEmpty()) {
        const int w = TextWidthOf(china, text.China);
        const int x = rect.left() + RoundHalfEven((rect.width() - w) / 2.0);
        const int y = rect.top() + text.EnglishTop + TextHeightOf(china, text.English) + 8;
        TCanvas canvas(painter);
        canvas.Font = china;
        canvas.BrushStyle = TBrushStyle::Clear;
        canvas.TextOut(x, y, text.China);
    }
    painter.restore();
}

int NextSelected(int count, int from, const TIsSelected& selected)
{
    for (int i = std::max(0, from); i < count; ++i)
        if (selected(i))
            return i;
    return -1;
}

int PrevSelected(int count, int from, const TIsSelected& selected)
{
    for (int i = std::min(from, count - 1); i >= 0; --i)
        if (selected(i))
            return i;
    return -1;
}

int IndexOfTime(int count, std::int64_t ms, const TTimeOf& start, const TTimeOf& end, bool endIncluded)
{
    for (int i = 0; i < count; ++i) {
        const std::int64_t s = start(i);
        const std::int64_t e = end(i);
        if (s <= ms && (ms < e || (endIncluded && ms == e)))
            return i;
    }
    return -1;
}

int IndexNearTime(int count, std::int64_t ms, const TTimeOf& start)
{
    int after = -1;
    int last = -1;
    std::int64_t afterStart = 0;
    std::int64_t lastStart = 0;
    for (int i = 0; i < count; ++i) {
        const std::int64_t s = start(i);
        if (s > ms) {
            if (after < 0 || s < afterStart) {
                after = i;
                afterStart = s;
            }
        } else if (last < 0 || s > lastStart) {
            last = i;
            lastStart = s;
        }
    }
    return after >= 0 ? after : last;
}
