// The pictures of the login window, the main window's frame and trees, and the
// start page.

#include "Graphics.h"
#include "PictureKit.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

namespace PictureKit {
namespace {

using namespace Palette;

// Soft light circles over a blue field: the background of the big pictures.
void Bubbles(QPainter& p, const QRectF& area, int seed)
{
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 9; ++i) {
        const qreal x = area.left() + area.width() * (((seed + i * 37) % 100) / 100.0);
        const qreal y = area.top() + area.height() * (((seed * 3 + i * 53) % 100) / 100.0);
        const qreal r = area.height() * (0.12 + ((i * 17) % 10) / 40.0);
        p.setBrush(QColor(255, 255, 255, 14 + (i % 3) * 6));
        p.drawEllipse(QPointF(x, y), r, r);
    }
    p.restore();
}

// The program's emblem: a blue disc with a white "P" and an open book.
void Emblem(QPainter& p, const QRectF& box)
{
    Badge(p, box, Accent);
    p.setPen(QPen(Paper, box.width() / 14.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(box.adjusted(box.width() / 10, box.height() / 10, -box.width() / 10, -box.height() / 10));
    CentredText(p, box, QStringLiteral("P"), int(box.height() * 0.55), Paper);
}

void Title(QPainter& p, const QRectF& rect, const QString& text, int pixelSize, const QColor& color)
{
    QFont font(MapFontName(QStringLiteral("黑体")));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    QPainterPath path;
    path.addText(rect.left(), rect.top() + pixelSize, font, text);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(path);
    p.restore();
}

// ---- login window -------------------------------------------------------------

void LoginBackground(QPainter& p, QSize s, TLook)
{
    const QRectF all(0, 0, s.width(), s.height());
    FillVertical(p, all, Pale, Paper);
    // The title band (0, 0, 218, 34) the window is dragged by, across the top.
    const QRectF band(0, 0, s.width(), 34);
    FillVertical(p, band, TitleLight, TitleDark);
    Bubbles(p, band, 11);
    p.fillRect(QRectF(0, 33, s.width(), 1), TitleEdge);
    Emblem(p, QRectF(8, 5, 24, 24));
    Title(p, QRectF(38, 8, 180, 20), QStringLiteral("皮博学习室"), 17, Paper);
    // The card that carries the user list and the buttons.
    p.setPen(QPen(TrackEdge, 1));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(290.5, 66.5, 320, 212), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(Pale);
    p.drawRect(QRectF(303, 118, 292, 20));
    // The band of the add-user row (the link on it is white).
    p.setBrush(TitleDark);
    p.drawRoundedRect(QRectF(300, 74, 304, 26), 4, 4);
    // The column under the link groups.
    p.setPen(QPen(TrackEdge, 1));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRoundedRect(QRectF(18.5, 60.5, 250, 270), 6, 6);
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(0, 350, s.width(), 1), TrackEdge);
}

void LoginEdit(QPainter& p, QSize s, TLook)
{
    p.setPen(QPen(FieldEdge, 1));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 2.5, 2.5);
}

// ---- main window ----------------------------------------------------------------

void TopPiece(QPainter& p, QSize s, bool withTitle)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    FillVertical(p, QRectF(0, 0, s.width(), s.height()), TitleLight, TitleDark);
    p.fillRect(QRect(0, s.height() - 26, s.width(), 26), QColor(0x17, 0x5F, 0xB0));
    p.fillRect(QRect(0, s.height() - 26, s.width(), 1), QColor(255, 255, 255, 50));
    if (!withTitle)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    Bubbles(p, QRectF(0, 0, s.width(), s.height() - 26), 29);
    Emblem(p, QRectF(14, 12, 44, 44));
    Title(p, QRectF(66, 16, 160, 24), QStringLiteral("皮博学习室"), 21, Paper);
    Title(p, QRectF(68, 44, 160, 14), QStringLiteral("PIBO STUDY ROOM"), 10, QColor(255, 255, 255, 190));
}

void BottomPiece(QPainter& p, QSize s, bool grip)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    FillVertical(p, QRectF(0, 0, s.width(), s.height()), QColor(0x2A, 0x7C, 0xD3), TitleDark);
    p.fillRect(QRect(0, 0, s.width(), 1), TitleEdge);
    if (!grip)
        return;
    // Three rows of dots in the bottom-right corner.
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col <= row; ++col) {
            const int x = s.width() - 5 - col * 4;
            const int y = s.height() - 5 - (row - col) * 4;
            p.fillRect(QRect(x, y, 2, 2), QColor(255, 255, 255, 200));
        }
}

void TreeHeader(QPainter& p, QSize s, TLook)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    FillVertical(p, QRectF(0, 0, s.width(), s.height()), Pale, Track);
    p.fillRect(QRect(0, s.height() - 1, s.width(), 1), TrackEdge);
}

void SpeakerIcon(QPainter& p, const QColor& ink, const QColor& fill)
{
    QPainterPath body;
    body.moveTo(3, 9);
    body.lineTo(8, 9);
    body.lineTo(14, 4);
    body.lineTo(14, 20);
    body.lineTo(8, 15);
    body.lineTo(3, 15);
    body.closeSubpath();
    p.setPen(QPen(ink, 1.6));
    p.setBrush(fill);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(12, 7, 6, 10), -60 * 16, 120 * 16);
    p.drawArc(QRectF(12, 4, 10, 16), -60 * 16, 120 * 16);
}

// ---- start page ---------------------------------------------------------------------

void IniHeader(QPainter& p, QSize s, TLook)
{
    const QRectF all(0, 0, s.width(), s.height());
    FillVertical(p, all, TitleLight, TitleDark);
    Bubbles(p, all, 47);
    Emblem(p, QRectF(40, 28, 64, 64));
    Title(p, QRectF(120, 36, 400, 30), QStringLiteral("欢迎使用皮博学习室"), 28, Paper);
    Title(p, QRectF(122, 74, 500, 18), QStringLiteral("听写 · 跟读 · 翻译 · 背诵：一句一句学英语"), 14,
          QColor(255, 255, 255, 210));
}

void Section(QPainter& p, QSize s, const QString& caption, const TIconFn& icon)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(0, 0, s.width(), s.height()), 4, 4);
    DrawIcon(p, QRectF(4, 3, s.height() - 6, s.height() - 6), icon, Paper, AccentLight);
    Title(p, QRectF(s.height() + 2, (s.height() - 13) / 2.0 - 1, s.width(), 13), caption, 13, Paper);
}

void Logo(QPainter& p, QSize s, TLook)
{
    p.fillRect(QRect(QPoint(0, 0), s), QColor(0xC8, 0xF5, 0xFF));  // the panel's colour 16774600
    Emblem(p, QRectF(4, 8, s.height() - 16, s.height() - 16));
    Title(p, QRectF(s.height() - 4, 14, s.width(), 18), QStringLiteral("皮博学习室"), 17, Accent);
    Title(p, QRectF(s.height() - 3, 36, s.width(), 12), QStringLiteral("PIBO STUDY ROOM"), 9, Ink);
}

}  // namespace

void RegisterWindowPictures()
{
    // The biggest picture of the start: drawn at the first start only.
    RegisterKeptPicture(QStringLiteral("LoginBackground"), {642, 400}, TBackdrop::Opaque, LoginBackground,
                        [] { return MapFontName(QStringLiteral("黑体")); });
    RegisterPicture(QStringLiteral("LoginEditBG"), {170, 18}, TLook::Normal, TBackdrop::Opaque, LoginEdit);

    RegisterPicture(QStringLiteral("MainTopLeft"), {826, 96}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { TopPiece(p, s, true); });
    RegisterPicture(QStringLiteral("MainTopCenter"), {8, 96}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { TopPiece(p, s, false); });
    RegisterPicture(QStringLiteral("MainTopRight"), {106, 96}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { TopPiece(p, s, false); });
    RegisterPicture(QStringLiteral("MainBottomLeft"), {30, 33}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { BottomPiece(p, s, false); });
    RegisterPicture(QStringLiteral("MainBottomCenter"), {8, 33}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { BottomPiece(p, s, false); });
    RegisterPicture(QStringLiteral("MainBottomRight"), {23, 33}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { BottomPiece(p, s, true); });

    RegisterPicture(QStringLiteral("TreeHeader"), {8, 15}, TLook::Normal, TBackdrop::Opaque, TreeHeader);
    RegisterPicture(QStringLiteral("TreeFolder"), {16, 16}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(Icons::Folder, AmberEdge, Amber));
    RegisterPicture(QStringLiteral("TreeAudio"), {16, 16}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(SpeakerIcon, Ink, AccentLight));
    RegisterPicture(QStringLiteral("TreeVideo"), {16, 16}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(Icons::Film, Ink, Paper));

    // The cell icons of the study records' sentence page: play (idle and on
    // the current row) and delete.
    RegisterPicture(QStringLiteral("StudyRecordWave"), {16, 16}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(SpeakerIcon, Ink, Paper));
    RegisterPicture(QStringLiteral("StudyRecordWaveCurrent"), {16, 16}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(SpeakerIcon, Accent, AccentLight));
    RegisterPicture(QStringLiteral("StudyRecordCellDelete"), {14, 14}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize, TLook) {
                        p.setPen(QPen(Red, 2.4, Qt::SolidLine, Qt::RoundCap));
                        p.drawLine(QPointF(3.5, 3.5), QPointF(10.5, 10.5));
                        p.drawLine(QPointF(3.5, 10.5), QPointF(10.5, 3.5));
                    });

    RegisterPicture(QStringLiteral("IniHeader"), {820, 122}, TLook::Normal, TBackdrop::Opaque, IniHeader);
    const struct {
        const char* Name;
        const char16_t* Caption;
        TIconFn Icon;
    } sections[] = {{"IniSection1", u"课件下载", Icons::Book},
                    {"IniSection2", u"皮博课件库", Icons::Headphones},
                    {"IniSection3", u"学习服务", Icons::PencilPaper}};
    for (const auto& section : sections) {
        const QString caption = QString::fromUtf16(section.Caption);
        const TIconFn draw = section.Icon;
        RegisterPicture(QString::fromLatin1(section.Name), {110, 22}, TLook::Normal, TBackdrop::Keyed,
                        [caption, draw](QPainter& p, QSize s, TLook) { Section(p, s, caption, draw); });
    }
    RegisterPicture(QStringLiteral("IniLogo"), {170, 60}, TLook::Normal, TBackdrop::Opaque, Logo);
}

}  // namespace PictureKit
