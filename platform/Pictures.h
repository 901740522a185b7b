#pragma once

// Pictures as stored documents and layouts carry them: a graphic of a class
// named in the data ("TBitmap", "TJPEGImage", "TIcon", "TMetafile"), holding
// the bytes it was loaded from and saving them unchanged.

#include <functional>
#include <memory>

#include <QtCore/QByteArray>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtGui/QImage>

class QPainter;

class TGraphic {
public:
    virtual ~TGraphic() = default;

    // The class name the data stores.
    virtual QString ClassName() const = 0;
    // Keeps the bytes and decodes them; bytes that do not decode leave an
    // empty picture (but are still saved as they came).
    virtual void LoadFromStream(const QByteArray& bytes);
    virtual QByteArray SaveToStream() const { return FData; }
    // The picture from an image, encoded in the class's own format.
    virtual void Assign(const QImage& image);
    std::unique_ptr<TGraphic> Clone() const;

    virtual bool Empty() const { return FImage.isNull(); }
    virtual int Width() const { return FImage.width(); }
    virtual int Height() const { return FImage.height(); }
    const QImage& Image() const { return FImage; }
    // Draws the picture stretched into rect (nothing for a picture that cannot be shown).
    virtual void Draw(QPainter& painter, const QRect& rect) const;

    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value) { FTransparent = value; }

protected:
    virtual const char* Format() const = 0;

    QByteArray FData;
    QImage FImage;
    bool FTransparent = false;
};

// A BMP file.
class TBitmapGraphic : public TGraphic {
public:
    QString ClassName() const override { return QStringLiteral("TBitmap"); }
    void Draw(QPainter& painter, const QRect& rect) const override;

protected:
    const char* Format() const override { return "BMP"; }
};

class TJPEGImage : public TGraphic {
public:
    QString ClassName() const override { return QStringLiteral("TJPEGImage"); }

protected:
    const char* Format() const override { return "JPEG"; }
};

class TIcon : public TGraphic {
public:
    QString ClassName() const override { return QStringLiteral("TIcon"); }

protected:
    const char* Format() const override { return "ICO"; }
};

// Windows metafiles are kept as bytes only: they are not drawn (callers show
// their placeholder picture instead). Empty only without bytes.
class TMetafile : public TGraphic {
public:
    QString ClassName() const override { return QStringLiteral("TMetafile"); }
    void LoadFromStream(const QByteArray& bytes) override { FData = bytes; }
    void Assign(const QImage&) override {}
    bool Empty() const override { return FData.isEmpty(); }
    void Draw(QPainter&, const QRect&) const override {}

protected:
    const char* Format() const override { return ""; }
};

// A new, empty graphic of a stored class name; nullptr for an unknown name.
std::unique_ptr<TGraphic> CreateGraphicByName(const QString& className);

// A picture: an owned graphic or none.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture& other) { Assign(other); }
    TPicture& operator=(const TPicture& other)
    {
        Assign(other);
        return *this;
    }

    TGraphic* Graphic() const { return FGraphic.get(); }
    // A copy of graphic (nullptr empties the picture).
    void SetGraphic(const TGraphic* graphic);
    void Assign(const TPicture& other);
    void Clear() { FGraphic.reset(); }
    bool HasGraphic() const { return FGraphic != nullptr; }
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // The stored form of layouts: the class name as a short string, then a
    // four-byte length and the graphic's bytes; empty for no graphic.
    QByteArray SaveData() const;
    // False (the picture unchanged) for an unknown class or damaged data.
    bool LoadData(const QByteArray& data);

private:
    std::unique_ptr<TGraphic> FGraphic;
};
