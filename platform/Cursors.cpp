#include "Cursors.h"

#include <map>
#include <mutex>

#include <QtGui/QPixmap>

#include "Graphics.h"

namespace {
std::mutex& Lock()
{
    static std::mutex lock;
    return lock;
}

std::map<int, TCursorMaker>& Makers()
{
    static std::map<int, TCursorMaker> makers;
    return makers;
}
}  // namespace

void RegisterCursor(int id, TCursorMaker maker)
{
    std::lock_guard<std::mutex> guard(Lock());
    Makers()[id] = std::move(maker);
}

bool CursorRegistered(int id)
{
    std::lock_guard<std::mutex> guard(Lock());
    return Makers().count(id) != 0;
}

QCursor ScreenCursor(int id)
{
    switch (id) {
    case -1: return QCursor(Qt::BlankCursor);
    case -3: return QCursor(Qt::CrossCursor);
    case -4: return QCursor(Qt::IBeamCursor);
    case -6: return QCursor(Qt::SizeBDiagCursor);
    case -7: return QCursor(Qt::SizeVerCursor);
    case -8: return QCursor(Qt::SizeFDiagCursor);
    case -9: return QCursor(Qt::SizeHorCursor);
    case -10: return QCursor(Qt::UpArrowCursor);
    case -11: return QCursor(Qt::WaitCursor);
    case -12: return QCursor(Qt::DragMoveCursor);
    case -13:
    case -18: return QCursor(Qt::ForbiddenCursor);
    case -14: return QCursor(Qt::SplitHCursor);
    case -15: return QCursor(Qt::SplitVCursor);
    case -16: return QCursor(Qt::DragCopyCursor);
    case -17: return QCursor(Qt::BusyCursor);
    case -19: return QCursor(Qt::BusyCursor);
    case -20: return QCursor(Qt::WhatsThisCursor);
    case -21: return QCursor(Qt::PointingHandCursor);
    case -22: return QCursor(Qt::SizeAllCursor);
    default: break;
    }
    TCursorMaker maker;
    {
        std::lock_guard<std::mutex> guard(Lock());
        const auto it = Makers().find(id);
        if (it != Makers().end())
            maker = it->second;
    }
    return maker ? maker() : QCursor(Qt::ArrowCursor);
}

QCursor CursorFromBitmapResource(const QString& name, int hotX, int hotY)
{
    QImage image = LoadBitmapResource(name).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = qRgb(255, 0, 255);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                line[x] = 0;
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}
