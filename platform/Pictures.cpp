#include "Pictures.h"

#include <QtCore/QBuffer>
#include <QtGui/QPainter>

void TGraphic::LoadFromStream(const QByteArray& bytes)
{
    FData = bytes;
    FImage = QImage();
    if (!bytes.isEmpty())
        FImage.loadFromData(bytes, Format());
}

void TGraphic::Assign(const QImage& image)
{
    FImage = image;
    FData.clear();
    if (image.isNull())
        return;
    QBuffer buffer(&FData);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, Format());
}

std::unique_ptr<TGraphic> TGraphic::Clone() const
{
    std::unique_ptr<TGraphic> copy = CreateGraphicByName(ClassName());
    copy->FData = FData;
    copy->FImage = FImage;
    copy->FTransparent = FTransparent;
    return copy;
}

void TGraphic::Draw(QPainter& painter, const QRect& rect) const
{
    if (!FImage.isNull())
        painter.drawImage(rect, FImage);
}

void TBitmapGraphic::Draw(QPainter& painter, const QRect& rect) const
{
    if (FImage.isNull())
        return;
    if (!FTransparent) {
        painter.drawImage(rect, FImage);
        return;
    }
    // The colour of the bottom-left pixel is transparent.
    QImage image = FImage.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    painter.drawImage(rect, image);
}

std::unique_ptr<TGraphic> CreateGraphicByName(const QString& className)
{
    if (className.compare(QLatin1String("TBitmap"), Qt::CaseInsensitive) == 0)
        return std::make_unique<TBitmapGraphic>();
    if (className.compare(QLatin1String("TJPEGImage"), Qt::CaseInsensitive) == 0)
        return std::make_unique<TJPEGImage>();
    if (className.compare(QLatin1String("TIcon"), Qt::CaseInsensitive) == 0)
        return std::make_unique<TIcon>();
    if (className.compare(QLatin1String("TMetafile"), Qt::CaseInsensitive) == 0)
        return std::make_unique<TMetafile>();
    return nullptr;
}

void TPicture::SetGraphic(const TGraphic* graphic)
{
    if (graphic == FGraphic.get())
        return;
    FGraphic = graphic ? graphic->Clone() : nullptr;
}

void TPicture::Assign(const TPicture& other)
{
    if (&other != this)
        SetGraphic(other.FGraphic.get());
}

QByteArray TPicture::SaveData() const
{
    if (!FGraphic)
        return {};
    const QByteArray name = FGraphic->ClassName().toLatin1();
    const QByteArray bytes = FGraphic->SaveToStream();
    QByteArray data;
    data.append(static_cast<char>(name.size())).append(name);
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    for (int shift = 0; shift < 32; shift += 8)
        data.append(static_cast<char>((n >> shift) & 0xFF));
    data.append(bytes);
    return data;
}

bool TPicture::LoadData(const QByteArray& data)
{
    if (data.isEmpty()) {
        FGraphic.reset();
        return true;
    }
    const int nameLength = static_cast<unsigned char>(data.at(0));
    if (1 + nameLength + 4 > data.size())
        return false;
    std::unique_ptr<TGraphic> graphic = CreateGraphicByName(QString::fromLatin1(data.mid(1, nameLength)));
    if (!graphic)
        return false;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data.constData()) + 1 + nameLength;
    const uint32_t n = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    if (n != static_cast<uint32_t>(data.size() - 1 - nameLength - 4))
        return false;
    graphic->LoadFromStream(data.mid(1 + nameLength + 4));
    FGraphic = std::move(graphic);
    return true;
}
