// The pictures of the skinned speed button: every kind's normal picture and,
// where the kind has them, its hover ("Move") and disabled ("Enabled") pictures.
// All of them are keyed on 0xFF00FF.

#include "PictureKit.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

namespace PictureKit {
namespace {

using namespace Palette;

void Keyed(const TLookNames& names, QSize size, const TPainterFn& painter, TLookPass pass = TLookPass::Auto)
{
    RegisterLooks(names, size, TBackdrop::Keyed, painter, pass);
}

QString Speed(const char* look, const char* kind)
{
    return QStringLiteral("SpeedButton%1BG_%2").arg(QLatin1String(look), QLatin1String(kind));
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& color)
{
    const QPointF points[] = {a, b, c};
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(points, 3);
}

void Block(QPainter& p, const QRectF& rect, const QColor& color, qreal radius = 0)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    if (radius > 0)
        p.drawRoundedRect(rect, radius, radius);
    else
        p.drawRect(rect);
}

void Speaker(QPainter& p, QPointF origin, const QColor& color)
{
    p.save();
    p.translate(origin);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const QPointF cone[] = {{0, 2.5}, {2.5, 2.5}, {5.5, 0}, {5.5, 9}, {2.5, 6.5}, {0, 6.5}};
    p.drawPolygon(cone, 6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(3.5, 1.5, 6, 6), -50 * 16, 100 * 16);
    p.drawArc(QRectF(2, -0.5, 10, 10), -50 * 16, 100 * 16);
    p.restore();
}

// ---- the small player buttons ------------------------------------------

void RegisterTransport()
{
    Keyed({Speed("Normal", "Play"), {}, {}, Speed("Enabled", "Play")}, {13, 13}, [](QPainter& p, QSize, TLook) {
        Triangle(p, {2.5, 0.5}, {12.5, 6.5}, {2.5, 12.5}, Accent);
    });
    Keyed({Speed("Normal", "Stop"), {}, {}, Speed("Enabled", "Stop")}, {11, 11}, [](QPainter& p, QSize, TLook) {
        Block(p, QRectF(1, 1, 9, 9), Accent, 1);
    });
    Keyed({Speed("Normal", "Pause"), {}, {}, Speed("Enabled", "Pause")}, {13, 13}, [](QPainter& p, QSize, TLook) {
        Block(p, QRectF(2, 1, 4, 11), Accent, 1);
        Block(p, QRectF(7, 1, 4, 11), Accent, 1);
    });
    Keyed({Speed("Normal", "Start"), {}, {}, Speed("Enabled", "Start")}, {14, 13}, [](QPainter& p, QSize, TLook) {
        Block(p, QRectF(1, 1, 3, 11), Accent);
        Triangle(p, {13, 1}, {3.5, 6.5}, {13, 12}, Accent);
    });
    Keyed({Speed("Normal", "End"), {}, {}, Speed("Enabled", "End")}, {14, 13}, [](QPainter& p, QSize, TLook) {
        Block(p, QRectF(10, 1, 3, 11), Accent);
        Triangle(p, {1, 1}, {10.5, 6.5}, {1, 12}, Accent);
    });
}

// ---- the round badges of the player bars --------------------------------

void RegisterBadges()
{
    Keyed({Speed("Normal", "AddSentence"), {}, {}, Speed("Enabled", "AddSentence")}, {16, 16},
          [](QPainter& p, QSize, TLook) { PlusBadge(p, QRectF(0, 0, 16, 16), Accent); });
    const QRectF badge(0, 0.5, 15, 15);
    Keyed({Speed("Normal", "ReStart"), {}, {}, Speed("Enabled", "ReStart")}, {15, 16},
          [badge](QPainter& p, QSize, TLook) {
              Badge(p, badge, Accent);
              ArcArrow(p, badge.center() + QPointF(0, 0.5), 3.8, 150, 250, Paper, 1.6, 3);
          });
    Keyed({Speed("Normal", "Again"), {}, {}, Speed("Enabled", "Again")}, {15, 16},
          [badge](QPainter& p, QSize, TLook) {
              Badge(p, badge, Accent);
              ArcArrow(p, badge.center(), 4, 20, 130, Paper, 1.5, 2.1);
              ArcArrow(p, badge.center(), 4, 200, 130, Paper, 1.5, 2.1);
          });
    Keyed({Speed("Normal", "China"), {}, {}, Speed("Enabled", "China")}, {15, 16},
          [badge](QPainter& p, QSize, TLook) {
              Badge(p, badge, Accent);
              CentredText(p, badge, QStringLiteral("中"), 11, Paper);
          });
    Keyed({Speed("Normal", "English"), {}, {}, Speed("Enabled", "English")}, {15, 16},
          [badge](QPainter& p, QSize, TLook) {
              Badge(p, badge, Accent);
              CentredText(p, badge, QStringLiteral("英"), 11, Paper);
          });
    Keyed({Speed("Normal", "Sound"), {}, {}, Speed("Enabled", "Sound")}, {17, 16}, [](QPainter& p, QSize, TLook) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawRoundedRect(QRectF(0, 0.5, 17, 15), 7.5, 7.5);
        Speaker(p, {3.5, 3.5}, Paper);
    });
}

// ---- the window buttons --------------------------------------------------

void WindowButton(const QString& name, const QColor& base, const std::function<void(QPainter&)>& glyph)
{
    Keyed({name, {}, {}, {}}, {16, 16}, [base, glyph](QPainter& p, QSize, TLook) {
        p.setPen(Qt::NoPen);
        p.setBrush(base);
        p.drawRoundedRect(QRectF(0, 0, 16, 16), 3.5, 3.5);
        glyph(p);
    });
}

void RegisterWindowButtons()
{
    const QPen pen(Paper, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    WindowButton(QStringLiteral("FormCloseNormal"), Red, [pen](QPainter& p) {
        p.setPen(pen);
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(5, 11), QPointF(11, 5));
    });
    WindowButton(QStringLiteral("FormMaxNormal"), TitleEdge, [](QPainter& p) {
        p.setPen(QPen(Paper, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(4.5, 4.5, 7, 7));
        p.fillRect(QRectF(4, 4, 8, 2.5), Paper);
    });
    WindowButton(QStringLiteral("FormNormalNormal"), TitleEdge, [](QPainter& p) {
        p.setPen(QPen(Paper, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(6.5, 3.5, 6, 6));
        p.setBrush(TitleEdge);
        p.drawRect(QRectF(3.5, 6.5, 6, 6));
        p.fillRect(QRectF(3, 6, 7, 2), Paper);
    });
    WindowButton(QStringLiteral("FormMinNormal"), TitleEdge,
                 [](QPainter& p) { p.fillRect(QRectF(4, 10, 8, 2), Paper); });
}

// ---- buttons whose caption the control writes -----------------------------

// A blue button for a white caption; a pale one for a dark blue caption.
void CaptionButton(const QString& prefix, QSize size, bool hasDisabled, bool pale = false)
{
    Keyed({prefix + QStringLiteral("Normal"), prefix + QStringLiteral("Move"), {},
           hasDisabled ? prefix + QStringLiteral("Enabled") : QString()},
          size, [pale](QPainter& p, QSize s, TLook) {
              if (pale)
                  PushButton(p, QRectF(QPointF(0, 0), s), 4, Paper, Track);
              else
                  PushButton(p, QRectF(QPointF(0, 0), s), 4, AccentLight, Accent);
          });
}

void RegisterCaptionButtons()
{
    CaptionButton(QStringLiteral("ShowInfoButton"), {79, 23}, true);
    CaptionButton(QStringLiteral("LoginButton"), {75, 26}, false);
    CaptionButton(QStringLiteral("RecordButton"), {77, 20}, true);
    CaptionButton(QStringLiteral("TransLButton"), {106, 23}, true);
    // The check dialogs' buttons carry dark blue captions.
    CaptionButton(QStringLiteral("CheckButton"), {94, 29}, false, true);
}

// ---- the speak-and-record screen and the study records -------------------

void RegisterRecordButtons()
{
    // NoRecord is the idle look (a click starts recording), Record the look
    // while recording.
    const auto microphone = [](const QColor& base) {
        return [base](QPainter& p, QSize, TLook) {
            Badge(p, QRectF(0.5, 0.5, 28, 28), base);
            DrawIcon(p, QRectF(4.5, 4, 20, 20), Icons::Microphone, Paper, Paper);
        };
    };
    Keyed({QStringLiteral("RecordNormal"), QStringLiteral("RecordMove"), {}, {}}, {29, 29}, microphone(Red));
    Keyed({QStringLiteral("NoRecordNormal"), QStringLiteral("NoRecordMove"), {}, {}}, {29, 29},
          microphone(Accent));

    // The page buttons of the study records: the disabled picture marks the
    // page that is open, so it is drawn as the chosen page rather than greyed.
    struct Page {
        const char* Name;
        QString Caption;
        TIconFn Icon;
    };
    const Page pages[] = {
        {"RecordListen", QStringLiteral("单句听写"), Icons::Headphones},
        {"RecordSpeak", QStringLiteral("口语模仿"), Icons::Microphone},
        {"RecordTransfer", QStringLiteral("翻译训练"), Icons::Translate},
        {"RecordSentence", QStringLiteral("句型"), Icons::TextLines},
    };
    for (const Page& page : pages) {
        const QString name = QLatin1String(page.Name);
        Keyed({name + QStringLiteral("Normal"), {}, {}, name + QStringLiteral("Enabled")}, {167, 49},
              [page](QPainter& p, QSize s, TLook look) {
                  const bool chosen = look == TLook::Disabled;
                  const QRectF card = QRectF(QPointF(0, 0), s).adjusted(0.5, 0.5, -0.5, -0.5);
                  QLinearGradient fill(card.topLeft(), card.bottomLeft());
                  fill.setColorAt(0, chosen ? TitleLight : Paper);
                  fill.setColorAt(1, chosen ? TitleDark : Pale);
                  p.setPen(QPen(chosen ? TitleEdge : Border, 1));
                  p.setBrush(fill);
                  p.drawRoundedRect(card, 6, 6);
                  const QRectF badge(12, 8.5, 32, 32);
                  Badge(p, badge, chosen ? Paper : Accent);
                  DrawIcon(p, badge.adjusted(6, 6, -6, -6), page.Icon, chosen ? Accent : Paper,
                           chosen ? Paper : Accent);
                  CentredText(p, QRectF(50, 0, 105, s.height()), page.Caption, 17, chosen ? Paper : Ink);
              },
              TLookPass::Painted);
    }
    Keyed({QStringLiteral("StudyRecordDeleteNormal"), {}, {}, {}}, {12, 12},
          [](QPainter& p, QSize, TLook) { CrossBadge(p, QRectF(0, 0, 12, 12)); });
}

// ---- the courseware maker's tool bar ----------------------------------------

void ToolButton(const char* kind, bool hasDisabled, const std::function<void(QPainter&)>& glyph)
{
    const QString prefix = QStringLiteral("Work") + QLatin1String(kind);
    Keyed({prefix + QStringLiteral("Normal"), prefix + QStringLiteral("Move"), {},
           hasDisabled ? prefix + QStringLiteral("Enabled") : QString()},
          {19, 19}, [glyph](QPainter& p, QSize, TLook look) {
              if (look == TLook::Hover) {
                  p.setPen(QPen(Border, 1));
                  p.setBrush(Pale);
                  p.drawRoundedRect(QRectF(0.5, 0.5, 18, 18), 3, 3);
              }
              glyph(p);
          },
          TLookPass::GreyOnly);
}

void RegisterToolButtons()
{
    ToolButton("FileOpen", false,
               [](QPainter& p) { DrawIcon(p, QRectF(2, 2, 15, 15), Icons::Folder, AmberEdge, Amber); });
    ToolButton("Play", true, [](QPainter& p) { Triangle(p, {5.5, 3.5}, {15.5, 9.5}, {5.5, 15.5}, Accent); });
    ToolButton("Pause", true, [](QPainter& p) {
        Block(p, QRectF(5, 4, 4, 11), Accent, 1);
        Block(p, QRectF(10, 4, 4, 11), Accent, 1);
    });
    ToolButton("Stop", true, [](QPainter& p) { Block(p, QRectF(4, 4, 11, 11), Accent, 1); });
    // "Quick" steps back, "Slow" steps forward (the tool bar's hints say so).
    ToolButton("Quick", true, [](QPainter& p) {
        Triangle(p, {9.5, 4.5}, {2.5, 9.5}, {9.5, 14.5}, Accent);
        Triangle(p, {16.5, 4.5}, {9.5, 9.5}, {16.5, 14.5}, Accent);
    });
    ToolButton("Slow", true, [](QPainter& p) {
        Triangle(p, {2.5, 4.5}, {9.5, 9.5}, {2.5, 14.5}, Accent);
        Triangle(p, {9.5, 4.5}, {16.5, 9.5}, {9.5, 14.5}, Accent);
    });
    ToolButton("Add", false, [](QPainter& p) {
        Block(p, QRectF(3.5, 8, 12, 3), Green, 1);
        Block(p, QRectF(8, 3.5, 3, 12), Green, 1);
    });
    ToolButton("Edit", false, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        const QPointF body[] = {{5.5, 11.5}, {12.5, 4.5}, {15, 7}, {8, 14}};
        p.drawPolygon(body, 4);
        const QPointF tip[] = {{4.8, 12.2}, {7.3, 14.7}, {3.5, 15.9}};
        p.drawPolygon(tip, 3);
        p.setBrush(Red);
        p.drawRoundedRect(QRectF(12.2, 2.2, 3.8, 3.2), 0.8, 0.8);
    });
    ToolButton("Delete", false, [](QPainter& p) {
        p.setPen(QPen(Red, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(14, 14));
        p.drawLine(QPointF(5, 14), QPointF(14, 5));
    });
    ToolButton("Undo", true, [](QPainter& p) { ArcArrow(p, {9.5, 11}, 5, -10, 180, Accent, 2, 3); });
    ToolButton("Redo", true, [](QPainter& p) { ArcArrow(p, {9.5, 11}, 5, 190, -180, Accent, 2, 3); });
    ToolButton("Save", false, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        QPainterPath disk;
        disk.moveTo(3, 3);
        disk.lineTo(13.5, 3);
        disk.lineTo(16, 5.5);
        disk.lineTo(16, 16);
        disk.lineTo(3, 16);
        disk.closeSubpath();
        p.drawPath(disk);
        p.setBrush(Paper);
        p.drawRect(QRectF(6, 3, 6, 4.5));
        p.drawRect(QRectF(5.5, 10, 8, 6));
        p.setBrush(Accent);
        p.drawRect(QRectF(9.5, 3.8, 1.6, 2.9));
    });
}

// ---- the translation training ----------------------------------------------

void RegisterTranslationButtons()
{
    Keyed({QStringLiteral("TransAddNormal"), QStringLiteral("TransAddMove"), {}, {}}, {15, 15},
          [](QPainter& p, QSize, TLook) { PlusBadge(p, QRectF(0, 0, 15, 15), Accent); });
    Keyed({QStringLiteral("TansRightNormal"), QStringLiteral("TansRightMove"), {}, {}}, {26, 25},
          [](QPainter& p, QSize, TLook) {
              p.setPen(QPen(Green, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
              const QPointF tick[] = {{4, 13.5}, {10.5, 20}, {22, 5.5}};
              p.drawPolyline(tick, 3);
          });
    Keyed({QStringLiteral("TansWrongNormal"), QStringLiteral("TansWrongMove"), {}, {}}, {19, 18},
          [](QPainter& p, QSize, TLook) {
              p.setPen(QPen(Red, 3.4, Qt::SolidLine, Qt::RoundCap));
              p.drawLine(QPointF(4, 3.5), QPointF(15, 14.5));
              p.drawLine(QPointF(4, 14.5), QPointF(15, 3.5));
          });
}

}  // namespace

void RegisterSpeedButtonPictures()
{
    RegisterTransport();
    RegisterBadges();
    RegisterWindowButtons();
    RegisterCaptionButtons();
    RegisterRecordButtons();
    RegisterToolButtons();
    RegisterTranslationButtons();
}

}  // namespace PictureKit
