#include <gtest/gtest.h>

#include <QtCore/QBuffer>
#include <QtGui/QPainter>

#include "Pictures.h"

namespace {
QByteArray Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}
}  // namespace

TEST(Pictures, GraphicsKeepTheirBytesAndDecode)
{
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    // A stored BMP with a trailing byte that a re-encoding would drop.
    QByteArray bmp = Encoded(image, "BMP");
    bmp.append('\x55');
    for (const char* name : {"TBitmap", "TJPEGImage", "TIcon", "TMetafile"}) {
        auto graphic = CreateGraphicByName(name);
        ASSERT_TRUE(graphic) << name;
        EXPECT_EQ(graphic->ClassName(), name);
        EXPECT_TRUE(graphic->Empty());
    }
    EXPECT_EQ(CreateGraphicByName("TPngImage"), nullptr);

    auto bitmap = CreateGraphicByName("TBitmap");
    bitmap->LoadFromStream(bmp);
    EXPECT_EQ(bitmap->Width(), 7);
    EXPECT_EQ(bitmap->Height(), 5);
    EXPECT_EQ(bitmap->SaveToStream(), bmp);

    auto jpeg = CreateGraphicByName("TJPEGImage");
    jpeg->LoadFromStream(Encoded(image, "JPEG"));
    EXPECT_EQ(jpeg->Width(), 7);

    // A metafile is kept, not drawn.
    auto metafile = CreateGraphicByName("TMetafile");
    const QByteArray wmf("\xD7\xCD\xC6\x9A\x00\x00rest", 10);
    metafile->LoadFromStream(wmf);
    EXPECT_FALSE(metafile->Empty());
    EXPECT_EQ(metafile->SaveToStream(), wmf);
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        metafile->Draw(painter, QRect(0, 0, 10, 10));
        bitmap->Draw(painter, QRect(0, 0, 5, 5));
    }
    EXPECT_EQ(canvas.pixel(8, 8), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(2, 2), qRgb(255, 0, 0));
}

TEST(Pictures, PictureDataRoundTripAndDamage)
{
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    TBitmapGraphic bitmap;
    bitmap.Assign(image);
    TPicture picture;
    picture.SetGraphic(&bitmap);
    const QByteArray data = picture.SaveData();
    EXPECT_EQ(data.left(8), QByteArray("\x07TBitmap"));

    TPicture copy;
    ASSERT_TRUE(copy.LoadData(data));
    ASSERT_TRUE(copy.HasGraphic());
    EXPECT_EQ(copy.Graphic()->SaveToStream(), bitmap.SaveToStream());
    EXPECT_EQ(copy.Width(), 3);

    // Unknown class, a length that lies either way, a cut name: refused, picture unchanged.
    QByteArray unknown = data;
    unknown.replace(1, 7, "TFooBar");
    QByteArray longer = data;
    longer[8] = static_cast<char>(longer[8] + 1);
    for (const QByteArray& bad : {unknown, longer, data.left(data.size() - 1), QByteArray("\x09TBit", 5)}) {
        EXPECT_FALSE(copy.LoadData(bad));
        EXPECT_EQ(copy.Width(), 3);
    }
    EXPECT_TRUE(copy.LoadData({}));
    EXPECT_FALSE(copy.HasGraphic());
}
