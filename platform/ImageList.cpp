#include "ImageList.h"

#include <QtGui/QPainter>

int TImageList::Add(const QImage& image)
{
    QImage scaled = image.size() == QSize(Width, Height)
                        ? image
                        : image.scaled(Width, Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    FImages.push_back(scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return Count() - 1;
}

QImage TImageList::Image(int index) const
{
    return ValidIndex(index) ? FImages[index] : QImage();
}

void TImageList::Draw(QPainter& painter, int x, int y, int index, const QColor& blend) const
{
    if (!ValidIndex(index))
        return;
    if (!blend.isValid()) {
        painter.drawImage(x, y, FImages[index]);
        return;
    }
    QImage mixed = FImages[index];
    {
        QPainter p(&mixed);
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        QColor half = blend;
        half.setAlpha(128);
        p.fillRect(mixed.rect(), half);
    }
    painter.drawImage(x, y, mixed);
}
