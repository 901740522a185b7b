#pragma once

// Pictures for the tests of picture items: image files made on the spot and
// the platform graphics loaded from them.

#include <memory>

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtGui/QColor>
#include <QtGui/QImage>

#include "Pictures.h"

// A w x h picture of one colour, of the given pixel format, as an image file
// of the given format ("BMP", "JPEG", ...).
inline QByteArray Encoded(const char* format, QColor color, int w = 4, int h = 3,
                          QImage::Format pixels = QImage::Format_RGB32)
{
    QImage image(w, h, pixels);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

template <typename T>
std::unique_ptr<TGraphic> Graphic(const QByteArray& bytes)
{
    auto graphic = std::make_unique<T>();
    graphic->LoadFromStream(bytes);
    return graphic;
}
