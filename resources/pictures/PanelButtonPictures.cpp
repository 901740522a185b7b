// The pictures of the main window's page and mode buttons and of the check boxes.

#include "PictureKit.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

namespace PictureKit {
namespace {

using namespace Palette;

// ---- page buttons of the side panel -----------------------------------------
//
// The control stacks a top strip, a stretched centre strip and a bottom strip,
// all 26 pixels wide, so the shading runs across the width and the edges are
// drawn into the strips. Up is the page not chosen (white caption), Down the
// chosen page (blue caption).

enum class TStrip { Top, Centre, Bottom };

void PageStrip(QPainter& p, QSize s, TStrip strip, bool chosen)
{
    const QColor edge = chosen ? Border : TitleEdge;
    QLinearGradient across(0, 0, s.width(), 0);
    across.setColorAt(0, chosen ? Paper : TitleLight);
    across.setColorAt(1, chosen ? Pale : TitleDark);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(QPoint(0, 0), s), across);
    p.fillRect(QRect(0, 0, 1, s.height()), edge);
    p.fillRect(QRect(s.width() - 1, 0, 1, s.height()), edge);
    const QColor light = chosen ? QColor(255, 255, 255) : QColor(255, 255, 255, 70);
    p.fillRect(QRect(1, 0, 1, s.height()), light);
    if (strip == TStrip::Top) {
        p.fillRect(QRect(0, 0, s.width(), 1), edge);
        p.fillRect(QRect(1, 1, s.width() - 2, 1), light);
    }
    if (strip == TStrip::Bottom)
        p.fillRect(QRect(0, s.height() - 1, s.width(), 1), edge);
}

void RegisterPageButtons()
{
    struct Strip {
        const char* Name;
        TStrip Kind;
        int Height;
    };
    const Strip strips[] = {{"Top", TStrip::Top, 5}, {"Center", TStrip::Centre, 2}, {"Bottom", TStrip::Bottom, 5}};
    for (const Strip& strip : strips)
        for (const bool chosen : {false, true}) {
            const QString name = QStringLiteral("PageButton%1%2BG")
                                     .arg(chosen ? QStringLiteral("Down") : QStringLiteral("Up"),
                                          QLatin1String(strip.Name));
            const TStrip kind = strip.Kind;
            RegisterPicture(name, {26, strip.Height}, TLook::Normal, TBackdrop::Opaque,
                            [kind, chosen](QPainter& p, QSize s, TLook) { PageStrip(p, s, kind, chosen); });
        }

    // The icons sit on both the blue and the white strips: light bodies with a
    // dark outline read on either. The control keys them on their bottom-left pixel.
    RegisterPicture(QStringLiteral("PageButtonKeJian"), {20, 20}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(Icons::Folder, AmberEdge, Amber));
    RegisterPicture(QStringLiteral("PageButtonMedia"), {20, 20}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(Icons::Film, Ink, Paper));
    RegisterPicture(QStringLiteral("PageButtonRecent"), {20, 20}, TLook::Normal, TBackdrop::Keyed,
                    IconPicture(Icons::Clock, Ink, Paper));
}

// ---- mode buttons of the main window ------------------------------------------
//
// 96 x 36 on the blue head of the main window; the control writes the white
// caption from x = 38, so the mode's icon fills the left 34 pixels.

void ModeButton(QPainter& p, QSize s, TLook look, const TIconFn& icon)
{
    const QRectF all(QPointF(0, 0), s);
    switch (look) {
    case TLook::Hover:
        FillVertical(p, all, TitleLight.lighter(112), TitleDark.lighter(112));
        p.setPen(QPen(QColor(255, 255, 255, 120), 1));
        p.setBrush(QColor(255, 255, 255, 28));
        p.drawRoundedRect(all.adjusted(1.5, 2.5, -2.5, -2.5), 4, 4);
        break;
    case TLook::Down:
        FillVertical(p, all, TitleDark.darker(112), TitleDark.darker(104));
        p.setPen(QPen(QColor(0, 25, 70, 110), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(all.adjusted(1.5, 2.5, -2.5, -2.5), 4, 4);
        break;
    default:
        FillVertical(p, all, TitleLight, TitleDark);
        break;
    }
    // an engraved separator on the right edge
    p.fillRect(QRectF(s.width() - 2, 4, 1, s.height() - 8), QColor(0, 40, 100, 90));
    p.fillRect(QRectF(s.width() - 1, 4, 1, s.height() - 8), QColor(255, 255, 255, 70));
    const QPointF press = look == TLook::Down ? QPointF(0.5, 0.5) : QPointF(0, 0);
    DrawIcon(p, QRectF(QPointF(6, 6) + press, QSizeF(24, 24)), icon, Paper, QColor(255, 255, 255, 70));
}

void RegisterModeButtons()
{
    const std::pair<const char*, TIconFn> modes[] = {
        {"LiuLan", Icons::Book},        {"DanJu", Icons::Headphones}, {"ZiYou", Icons::PencilPaper},
        {"KouYu", Icons::Microphone},   {"FanYi", Icons::Translate},  {"ChengJi", Icons::BarChart},
        {"ZhiZuo", Icons::Clapper},
    };
    for (const auto& [kind, icon] : modes) {
        const QString k = QLatin1String(kind);
        const TIconFn draw = icon;
        RegisterLooks({QStringLiteral("MainButtonLeftBG_") + k, QStringLiteral("MainButtonMoveLeftBG_") + k,
                       QStringLiteral("MainButtonDownLeftBG_") + k, {}},
                      {96, 36}, TBackdrop::Opaque,
                      [draw](QPainter& p, QSize s, TLook look) { ModeButton(p, s, look, draw); },
                      TLookPass::Painted);
    }
}

// ---- check boxes ----------------------------------------------------------------

void CheckBox(QPainter& p, QSize s, bool checked)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRect(QRectF(QPointF(0, 0), s));
    QLinearGradient inside(0, 1, 0, s.height() - 1);
    inside.setColorAt(0, Paper);
    inside.setColorAt(1, Pale);
    p.setPen(QPen(Border, 1));
    p.setBrush(inside);
    p.drawRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1));
    if (checked) {
        p.setPen(QPen(Accent, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[] = {{3, 6.5}, {5.5, 9}, {10, 3.5}};
        p.drawPolyline(tick, 3);
    }
}

void RegisterCheckBoxes()
{
    for (const bool checked : {true, false}) {
        const QString state = checked ? QStringLiteral("Checked") : QStringLiteral("NotChecked");
        const auto painter = [checked](QPainter& p, QSize s, TLook) { CheckBox(p, s, checked); };
        RegisterPicture(QStringLiteral("CheckBox%1BG").arg(state), {13, 13}, TLook::Normal, TBackdrop::Opaque,
                        painter);
        RegisterPicture(QStringLiteral("GridCheckBox%1BG").arg(state), {13, 13}, TLook::Normal,
                        TBackdrop::Opaque, painter);
    }
}

}  // namespace

void RegisterPanelButtonPictures()
{
    RegisterPageButtons();
    RegisterModeButtons();
    RegisterCheckBoxes();
}

}  // namespace PictureKit
