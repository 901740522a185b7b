// The pictures of the seek bar, the volume bar and the list grid's glyphs.

#include "PictureKit.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

namespace PictureKit {
namespace {

using namespace Palette;

// The seek bar: a 5-pixel track across the middle of the 17-pixel strips; the
// rows above and below carry the key (the control keys on the bottom-left pixel).
constexpr int TrackTop = 6;
constexpr int TrackHeight = 5;

void SeekTrack(QPainter& p, QSize s, bool played)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect track(0, TrackTop, s.width(), TrackHeight);
    if (played) {
        QLinearGradient fill(0, track.top(), 0, track.bottom() + 1);
        fill.setColorAt(0, AccentLight);
        fill.setColorAt(1, Accent);
        p.fillRect(track, fill);
    } else {
        p.fillRect(track, Track);
        p.fillRect(QRect(0, track.top(), s.width(), 1), TrackEdge);
    }
}

void RegisterSeekBar()
{
    RegisterPicture(QStringLiteral("ProgressCrossBG"), {1, 17}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize s, TLook) { SeekTrack(p, s, true); });
    RegisterPicture(QStringLiteral("ProgressNotCrossBG"), {1, 17}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize s, TLook) { SeekTrack(p, s, false); });
    RegisterPicture(QStringLiteral("ProgressBlockBG"), {10, 17}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize, TLook) {
                        QLinearGradient fill(0, 1, 0, 16);
                        fill.setColorAt(0, Paper);
                        fill.setColorAt(1, Pale);
                        p.setPen(QPen(Accent, 1.2));
                        p.setBrush(fill);
                        p.drawRoundedRect(QRectF(0.6, 1.6, 8.8, 13.8), 3, 3);
                        p.setPen(QPen(AccentLight, 1));
                        for (const qreal y : {6.5, 8.5, 10.5})
                            p.drawLine(QPointF(3, y), QPointF(7, y));
                    });
}

// The volume bar: 7 pixels high, a light frame line above and below (the control
// draws the matching end lines in the same colour).
void Volume(QPainter& p, QSize s, bool filled)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    if (filled) {
        QLinearGradient fill(0, 1, 0, s.height() - 1);
        fill.setColorAt(0, AccentLight);
        fill.setColorAt(1, Accent);
        p.fillRect(QRect(0, 1, s.width(), s.height() - 2), fill);
    } else {
        p.fillRect(QRect(0, 1, s.width(), s.height() - 2), Paper);
    }
    p.fillRect(QRect(0, 0, s.width(), 1), TrackEdge);
    p.fillRect(QRect(0, s.height() - 1, s.width(), 1), TrackEdge);
}

void RegisterVolume()
{
    RegisterPicture(QStringLiteral("SoundVolumeCrossBG"), {1, 7}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { Volume(p, s, true); });
    RegisterPicture(QStringLiteral("SoundVolumeNotCrossBG"), {1, 7}, TLook::Normal, TBackdrop::Opaque,
                    [](QPainter& p, QSize s, TLook) { Volume(p, s, false); });
}

void RegisterGridGlyphs()
{
    RegisterPicture(QStringLiteral("DeleteBG"), {12, 12}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize, TLook) { CrossBadge(p, QRectF(0, 0, 12, 12)); });
    RegisterPicture(QStringLiteral("GridSpeedButtonNormalBG"), {16, 16}, TLook::Normal, TBackdrop::Keyed,
                    [](QPainter& p, QSize, TLook) { PlusBadge(p, QRectF(0, 0, 16, 16), Accent); });
}

}  // namespace

void RegisterBarPictures()
{
    RegisterSeekBar();
    RegisterVolume();
    RegisterGridGlyphs();
}

}  // namespace PictureKit
