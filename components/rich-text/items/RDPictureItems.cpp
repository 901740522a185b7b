#include "items/RDPictureItems.h"

#include <cmath>

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QPainter>

#include "AnsiText.h"
#include "document/CRDData.h"
#include "Graphics.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "core/RDMarkup.h"
#include "document/RDTextItems.h"

namespace {

bool IsMetafile(const TGraphic* graphic)
{
    return dynamic_cast<const TMetafile*>(graphic) != nullptr;
}

bool IsBitmap(const TGraphic* graphic)
{
    return dynamic_cast<const TBitmapGraphic*>(graphic) != nullptr;
}

// An enhanced metafile starts with record type 1 and carries " EMF" at byte 40.
bool IsEnhancedMetafile(const TGraphic* graphic)
{
    if (!IsMetafile(graphic))
        return false;
    const QByteArray data = graphic->SaveToStream();
    return data.size() >= 44 && data.mid(40, 4) == " EMF";
}

uint32_t ReadLE32(const QByteArray& data, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Loaded picture data that cannot be shown: nothing decoded, or a bitmap
// whose header claims more bytes than came.
bool LoadedPictureInvalid(const TGraphic& graphic, const QByteArray& data)
{
    if (IsMetafile(&graphic))
        return data.isEmpty();
    if (graphic.Empty())
        return true;
    if (IsBitmap(&graphic) && (data.size() < 14 || ReadLE32(data, 2) > static_cast<uint32_t>(data.size())))
        return true;
    return false;
}

std::unique_ptr<TGraphic> InvalidPictureCopy(TCustomRDData* rdData)
{
    TRDStyle* sheet = rdData ? rdData->GetRDStyle() : nullptr;
    if (!sheet || !sheet->InvalidPicture().Graphic())
        return std::make_unique<TBitmapGraphic>();
    return sheet->InvalidPicture().Graphic()->Clone();
}

QString RelativeToHtmlFolder(const QString& fileName, const QString& htmlPath)
{
    return QFileInfo(htmlPath).absoluteDir().relativeFilePath(fileName);
}

QByteArray HtmlUrl(const QString& location, TCustomRDData* rdData)
{
    return PathToHtmlUrl(StringToAnsi(location), 0, rdData ? rdData->GetDefCodePage() : 1252);
}

QByteArray AltAttr(const QString& alt, int saveOptions)
{
    const QByteArray text = (saveOptions & rdhsUTF8) ? alt.toUtf8() : StringToAnsi(alt);
    return "alt=" + HtmlQuoteValue(text, rdhsXHTML);
}

QByteArray TitleAttr(const QString& hint, int saveOptions)
{
    return MakeHintAttribute(1, (saveOptions & rdhsUTF8) ? hint.toUtf8() : StringToAnsi(hint));
}

void AppendAttr(QByteArray& s, const QByteArray& add)
{
    if (add.isEmpty())
        return;
    if (!s.isEmpty())
        s += ' ';
    s += add;
}

QByteArray Enclose(const QByteArray& attrs)
{
    return attrs.isEmpty() ? QByteArrayLiteral(" ") : ' ' + attrs + ' ';
}

QByteArray HexOf(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

// A DIB as RTF: the header fields and the data after the file header.
QByteArray BitmapRTF(const QImage& image, bool binary)
{
    QByteArray bmp;
    {
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
    }
    const int width = image.width();
    const int height = image.height();
    const int lineBytes = height >= 2 ? static_cast<int>(image.constScanLine(1) - image.constScanLine(0))
                                      : width;
    QByteArray s = "\\dibitmap0\\wbmwidthbytes" + QByteArray::number(std::abs(lineBytes)) + "\\picw"
                   + QByteArray::number(width) + "\\pich" + QByteArray::number(height) + "\\picwgoal"
                   + QByteArray::number(width * 15) + "\\pichgoal" + QByteArray::number(height * 15) + ' ';
    const QByteArray data = bmp.mid(14);
    if (data.isEmpty())
        return s;
    if (binary)
        s += "{\\bin" + QByteArray::number(data.size()) + ' ' + data + '}';
    else
        s += HexOf(data);
    return s;
}

QByteArray PngRTF(const QImage& image, bool binary)
{
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    QByteArray s = "\\pngblip\\picw" + QByteArray::number(image.width()) + "\\pich"
                   + QByteArray::number(image.height()) + ' ';
    s += binary ? "{\\bin" + QByteArray::number(png.size()) + ' ' + png + '}' : HexOf(png);
    return s;
}

QByteArray PictureData(const QByteArray& bytes, int skip, bool binary)
{
    const QByteArray rest = bytes.mid(skip);
    if (rest.isEmpty())
        return {};
    return binary ? "{\\bin" + QByteArray::number(rest.size()) + ' ' + rest + '}' : HexOf(rest);
}

// The picture's pixels as a bitmap: white behind transparent parts.
QImage FlatImage(const TGraphic& graphic)
{
    QImage image(std::max(graphic.Width(), 1), std::max(graphic.Height(), 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    graphic.Draw(painter, image.rect());
    return image;
}

}  // namespace

uint8_t ForcedOptions(uint8_t options, bool forceContinuePara)
{
    options &= 15;
    if (forceContinuePara)
        options = (options | rdioContinuesPara) & ~(rdioPageBreakBefore | rdioLineBreakBefore);
    return options;
}

bool ReadRecordDecimal(const QByteArray& line, int32_t& value)
{
    qsizetype i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    bool ok = false;
    const int v = line.mid(i).toInt(&ok, 10);
    if (ok)
        value = v;
    return ok;
}

void FrameItem(QPainter& painter, TColor color, int x, int y, int w, int h)
{
    painter.save();
    painter.setPen(QPen(ToQColor(color), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(x, y, w - 1, h - 1));
    painter.restore();
}

void PaintSelectionFrames(QPainter& painter, int x, int y, int w, int h, int spacing, uint16_t state,
                          const TRDStyle* rdStyle)
{
    if (!rdStyle)
        return;
    if (state & rdisSelected) {
        const TColor color = (state & rdisControlFocused) ? rdStyle->SelColor : rdStyle->InactiveSelColor;
        if (color != clNone)
            FrameItem(painter, color, x, y, w + 2 * spacing, h + 2 * spacing);
    }
    if ((state & rdisCurrent) && rdStyle->CurrentItemColor != clNone)
        FrameItem(painter, rdStyle->CurrentItemColor, x - 1, y - 1, w + 2 * spacing + 2, h + 2 * spacing + 2);
}

// Pictures.

TRDGraphicItemInfo::TRDGraphicItemInfo(TCustomRDData* rdData) : TRDRectItemInfo(rdData)
{
    StyleNo = PictureStyleNo;
    Spacing = 1;
}

TRDGraphicItemInfo::TRDGraphicItemInfo(TCustomRDData* rdData, std::unique_ptr<TGraphic> graphic,
                                       TRDItemVAlign vAlign)
    : TRDGraphicItemInfo(rdData)
{
    Image = std::move(graphic);
    VAlign = vAlign;
}

int TRDGraphicItemInfo::GetImageWidth(const TRDStyle*) const
{
    return ImageWidth > 0 ? ImageWidth : Image ? Image->Width() : 0;
}

int TRDGraphicItemInfo::GetImageHeight(const TRDStyle*) const
{
    return ImageHeight > 0 ? ImageHeight : Image ? Image->Height() : 0;
}

int TRDGraphicItemInfo::GetMinWidth(const TRDResolutionInfo* scaling, TCanvas*, TCustomRDData*) const
{
    return scaling ? ScaleToDeviceX(GetWidthEx(), scaling) : GetWidthEx();
}

bool TRDGraphicItemInfo::GetBoolValue(int id) const
{
    switch (id) {
    case 1: return Image != nullptr;
    case 3: return true;
    case 7: return Image && !dynamic_cast<const TIcon*>(Image.get()) && Resizable;
    case 8: return Animator != nullptr;
    default: return TRDRectItemInfo::GetBoolValue(id);
    }
}

bool TRDGraphicItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    switch (id) {
    case 0: return true;
    case 1: return !IsMetafile(Image.get());
    default: return TRDRectItemInfo::GetBoolValueEx(id, rdStyle);
    }
}

std::unique_ptr<TRDDrawLineInfo> TRDGraphicItemInfo::CreatePrintDrawItem(TCustomRDData*,
                                                                         const TRDResolutionInfo* scaling)
{
    const bool notStretchedVertically = ImageHeight <= 0 || (Image && ImageHeight == Image->Height());
    std::unique_ptr<TRDDrawLineInfo> drawItem;
    if (GetBoolValueEx(1, nullptr) && MinHeightOnPage != 0 && notStretchedVertically)
        drawItem = std::make_unique<TRDMultiImagePrintInfo>(this);
    else
        drawItem = std::make_unique<TRDDrawLineInfo>();
    drawItem->Width = scaling ? ScaleToDeviceX(GetWidthEx(), scaling) : GetWidthEx();
    drawItem->Height = scaling ? ScaleToDeviceY(GetHeightEx(), scaling) : GetHeightEx();
    return drawItem;
}

void TRDGraphicItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDGraphicItemInfo*>(&source)) {
        Alt = s->Alt;
        Resizable = s->Resizable;
        FileName = s->FileName;
        ImageWidth = s->ImageWidth;
        ImageHeight = s->ImageHeight;
        NoHTMLSize = s->NoHTMLSize;
        Image = s->Image ? s->Image->Clone() : nullptr;
        DisplayCopy = s->DisplayCopy ? s->DisplayCopy->Clone() : nullptr;
    }
    TRDRectItemInfo::AssignProperties(source);
}

void TRDGraphicItemInfo::UpdatePaletteInfo(TRDPaletteAction, bool)
{
    // There are no palette handles here: a display copy is never needed.
    DisplayCopy.reset();
}

void TRDGraphicItemInfo::UpdateAnimator(TCustomRDData* rdData)
{
    if (MakeAnimatorHook)
        MakeAnimatorHook(this, rdData, Animator);
    else
        Animator.reset();
}

void TRDGraphicItemInfo::TakeAnimatorFrom(TCustomRDItemInfo* source, TCustomRDData* rdData)
{
    auto* s = dynamic_cast<TRDGraphicItemInfo*>(source);
    if (Animator || !s || s == this)
        return;
    Animator = std::move(s->Animator);
    if (Animator)
        Animator->AttachToItem(rdData, this);
    UpdateAnimator(rdData);
}

void TRDGraphicItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo)
{
    DisplayCopy.reset();
    Animator.reset();
    TRDRectItemInfo::MovingToUndoList(itemNo, rdData, undoInfo);
}

bool TRDGraphicItemInfo::SetExtraIntProperty(int id, int value)
{
    switch (id) {
    case 3: ImageWidth = value; return true;
    case 4: ImageHeight = value; return true;
    case 5:
        if (!IsBitmap(Image.get()))
            return false;
        Image->SetTransparent(value != 0);
        return true;
    case 6:
    case 7: return IsBitmap(Image.get());
    case 8: MinHeightOnPage = value; return true;
    case 10: Resizable = value != 0; return true;
    case 12: NoHTMLSize = value != 0; return true;
    case 13: Interval = value; return true;
    default: return TRDRectItemInfo::SetExtraIntProperty(id, value);
    }
}

bool TRDGraphicItemInfo::GetExtraIntProperty(int id, int& value) const
{
    switch (id) {
    case 3: value = ImageWidth; return true;
    case 4: value = ImageHeight; return true;
    case 5:
        if (!IsBitmap(Image.get()))
            return false;
        value = Image->Transparent() ? 1 : 0;
        return true;
    case 6:
        if (!IsBitmap(Image.get()))
            return false;
        value = 0;
        return true;
    case 7: return false;
    case 8: value = MinHeightOnPage; return true;
    case 10: value = Resizable ? 1 : 0; return true;
    case 12: value = NoHTMLSize ? 1 : 0; return true;
    case 13: value = Interval; return true;
    default: return TRDRectItemInfo::GetExtraIntProperty(id, value);
    }
}

bool TRDGraphicItemInfo::SetExtraStrProperty(int id, const QString& value)
{
    switch (id) {
    case 2: Alt = value; return true;
    case 3: FileName = value; return true;
    default: return TRDRectItemInfo::SetExtraStrProperty(id, value);
    }
}

bool TRDGraphicItemInfo::GetExtraStrProperty(int id, QString& value) const
{
    switch (id) {
    case 2: value = Alt; return true;
    case 3: value = FileName; return true;
    default: return TRDRectItemInfo::GetExtraStrProperty(id, value);
    }
}

int TRDGraphicItemInfo::GetRDFExtraPropertyCount() const
{
    const bool transparent = IsBitmap(Image.get()) && Image->Transparent();
    return TRDRectItemInfo::GetRDFExtraPropertyCount() + (!Resizable) + (ImageWidth > 0) + (ImageHeight > 0)
           + (MinHeightOnPage > 0) + NoHTMLSize + (Interval > 0) + (transparent ? 2 : 0) + !FileName.isEmpty()
           + !Alt.isEmpty();
}

void TRDGraphicItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    TRDRectItemInfo::SaveRDFExtraProperties(stream);
    if (!Resizable)
        RDFWriteExtraIntProperty(stream, 10, 0);
    if (ImageWidth > 0)
        RDFWriteExtraIntProperty(stream, 3, ImageWidth);
    if (ImageHeight > 0)
        RDFWriteExtraIntProperty(stream, 4, ImageHeight);
    if (MinHeightOnPage > 0)
        RDFWriteExtraIntProperty(stream, 8, MinHeightOnPage);
    if (NoHTMLSize)
        RDFWriteExtraIntProperty(stream, 12, 1);
    if (Interval > 0)
        RDFWriteExtraIntProperty(stream, 13, Interval);
    if (IsBitmap(Image.get()) && Image->Transparent()) {
        // The platform bitmap's transparency is always taken from its pixels.
        RDFWriteExtraIntProperty(stream, 5, 1);
        RDFWriteExtraIntProperty(stream, 6, 0);
    }
    if (!FileName.isEmpty())
        RDFWriteExtraStrProperty(stream, 3, FileName);
    if (!Alt.isEmpty())
        RDFWriteExtraStrProperty(stream, 2, Alt);
}

void TRDGraphicItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray& name,
                                 bool forceContinuePara, int) const
{
    const TRDFOptions options = rdData->GetRDFOptions();
    const bool bodies = options & rdfoSavePicturesBody;
    const int dataMode = bodies ? ((options & rdfoSaveBinary) ? 2 : 0) : 1;
    const int propertyCount = GetRDFExtraPropertyCount();
    RDFWriteItemHeader(stream, rdData, StyleNo, propertyCount + (bodies ? 3 : 1), forceContinuePara ? -1 : paraNo,
                       ForcedOptions(ItemOptions, forceContinuePara), dataMode, Tag, SaveRDFHeaderTail(rdData));
    RDFWriteLine(stream, name);
    if (!bodies) {
        SaveRDFExtraProperties(stream);
        return;
    }
    // Everything of the picture is gathered before the first byte is written,
    // so that a picture that cannot be saved leaves no partial data.
    QByteArray className;
    QByteArray data;
    try {
        if (!Image)
            throw ERichDocError("No picture");
        className = StringToAnsiKeepingBytes(Image->ClassName());
        data = Image->SaveToStream();
    } catch (const std::exception&) {
        const std::unique_ptr<TGraphic> invalid = InvalidPictureCopy(rdData);
        className = StringToAnsiKeepingBytes(invalid->ClassName());
        data = invalid->SaveToStream();
    }
    RDFWriteLine(stream, className);
    SaveRDFExtraProperties(stream);
    if (dataMode == 2) {
        RDFWriteBinaryBlock(stream, data);
    } else {
        QByteArray hex;
        RDFStringToHex(data, hex);
        RDFWriteLine(stream, hex);
    }
}

bool TRDGraphicItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData* rdData, int dataMode, int lineNo,
                                     int lineCount, QByteArray& name, int& readMode, int& readState)
{
    if (dataMode == 1) {
        if (lineNo == 0) {
            name = line;
            QImage picture;
            if (rdData->DoRDFPictureNeeded(AnsiToStringKeepingBytes(line), Tag, picture) && !picture.isNull()) {
                Image = std::make_unique<TBitmapGraphic>();
                Image->Assign(picture);
            }
            return true;
        }
        const QString oldFileName = FileName;
        ReadRDFExtraLine(line);
        if (FileName != oldFileName && !Image) {
            QImage picture;
            if (rdData->DoRDFPictureNeeded(FileName, Tag, picture) && !picture.isNull()) {
                Image = std::make_unique<TBitmapGraphic>();
                Image->Assign(picture);
            }
        }
        return true;
    }
    if (lineNo == 0) {
        name = line;
    } else if (lineNo == 1) {
        Image = CreateGraphicHook ? CreateGraphicHook(AnsiToStringKeepingBytes(line)) : CreateGraphicByName(AnsiToStringKeepingBytes(line));
        if (!Image) {
            rdData->SetRDFLoadWarnings(rdData->GetRDFLoadWarnings() | rdfwUnknownPictureFormat);
            if (!(rdData->GetRDFOptions() & rdfoIgnoreUnknownPicFmt))
                return false;
        }
    } else if (lineNo == lineCount - 1) {
        if (Image) {
            QByteArray data = line;
            bool valid = true;
            if (dataMode != 2)
                valid = RDFHexToString(line, data);
            if (valid)
                Image->LoadFromStream(data);
            if (!valid || LoadedPictureInvalid(*Image, data)) {
                Image = InvalidPictureCopy(rdData);
                rdData->SetRDFLoadWarnings(rdData->GetRDFLoadWarnings() | rdfwInvalidPicture);
            }
        }
        readState = 2;
    } else {
        ReadRDFExtraLine(line);
    }
    if (dataMode == 2 && lineNo == lineCount - 2)
        readMode = 1;
    return true;
}

QByteArray TRDGraphicItemInfo::AsText(int, TCustomRDData*, bool, bool, const QString&, const QByteArray&) const
{
    return {};
}

void TRDGraphicItemInfo::Paint(TCanvas& canvas, int x, int y, uint16_t state, const TRDStyle* rdStyle) const
{
    QPainter& painter = canvas.Painter();
    const int w = GetImageWidth();
    const int h = GetImageHeight();
    const QRect target(x + Spacing, y + Spacing, w, h);
    const TGraphic* graphic = DisplayCopy ? DisplayCopy.get() : Image.get();
    if (Animator) {
        // An animated strip shows its current frame.
        try {
            Animator->Draw(target.left(), target.top(), 0, canvas);
        } catch (const std::exception&) {
        }
    } else if (graphic) {
        try {
            if (IsMetafile(graphic)) {
                // Metafiles are kept as data only: the placeholder is drawn.
                if (rdStyle)
                    if (const TGraphic* invalid = const_cast<TRDStyle*>(rdStyle)->InvalidPicture().Graphic()) {
                        painter.save();
                        painter.setClipRect(target);
                        invalid->Draw(painter, QRect(target.topLeft(), QSize(invalid->Width(), invalid->Height())));
                        painter.restore();
                    }
            } else if (ImageWidth != 0 || ImageHeight != 0) {
                graphic->Draw(painter, target);
            } else {
                graphic->Draw(painter, QRect(target.topLeft(), QSize(graphic->Width(), graphic->Height())));
            }
        } catch (const std::exception&) {
        }
    }
    PaintSelectionFrames(painter, x, y, w, h, Spacing, state, rdStyle);
}

bool TRDGraphicItemInfo::PrintToBitmap(QImage& bitmap, bool preview, int top) const
{
    const TGraphic* graphic = preview && DisplayCopy ? DisplayCopy.get() : Image.get();
    if (!graphic)
        return true;
    QPainter painter(&bitmap);
    const bool stretched = (ImageWidth > 0 && ImageWidth != graphic->Width())
                           || (ImageHeight > 0 && ImageHeight != graphic->Height());
    if (!stretched)
        graphic->Draw(painter, QRect(0, top, graphic->Width(), graphic->Height()));
    else
        graphic->Draw(painter, QRect(0, top, bitmap.width(), bitmap.height() - top));
    return true;
}

QByteArray TRDGraphicItemInfo::HtmlAttrs(TCustomRDData* rdData, const TRDHTMLImageContext& context) const
{
    const int options = context.SaveOptions;
    QByteArray attrs;
    if (options & rdhsBorderZero)
        AppendAttr(attrs, "border=" + HtmlIntAttr(0, options));
    if (((options & rdhsImageSizes) && !NoHTMLSize) || ImageWidth > 0 || ImageHeight > 0)
        AppendAttr(attrs, "width=" + HtmlIntAttr(GetImageWidth(), options) + " height="
                              + HtmlIntAttr(GetImageHeight(), options));
    if (!Alt.isEmpty() || context.CSS)
        AppendAttr(attrs, AltAttr(Alt, options));
    if (Spacing > 0)
        AppendAttr(attrs, "hspace=" + HtmlIntAttr(Spacing, options) + " vspace=" + HtmlIntAttr(Spacing, options));
    if (!Hint.isEmpty())
        AppendAttr(attrs, TitleAttr(Hint, options));
    if (context.CSS && rdData) {
        const QString css = GetVShiftCSS(rdData->GetRDStyle());
        if (!css.isEmpty())
            AppendAttr(attrs, "style=\"" + StringToAnsi(css) + '"');
    }
    return Enclose(attrs);
}

namespace {

QByteArray AlignAttr(TRDItemVAlign vAlign, int options)
{
    const char* value = nullptr;
    switch (vAlign) {
    case TRDItemVAlign::ivaMiddle: value = "middle"; break;
    case TRDItemVAlign::ivaAbsTop: value = "abstop"; break;
    case TRDItemVAlign::ivaAbsBottom: value = "absbottom"; break;
    case TRDItemVAlign::ivaAbsMiddle: value = "absmiddle"; break;
    case TRDItemVAlign::ivaBaseline: return {};
    }
    return (options & rdhsXHTML) ? QByteArray(" align=\"") + value + '"' : QByteArray(" align=") + value;
}

}  // namespace

QByteArray TRDGraphicItemInfo::SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const
{
    const bool useFileName = !FileName.isEmpty() && (context.SaveOptions & rdhsUseItemImageFileNames);
    QString location;
    bool doDefault = true;
    rdData->DoHTMLSaveImage(rdData, itemNo, context.Path, context.BackColor, location, doDefault);
    if (doDefault) {
        if (useFileName)
            location = RelativeToHtmlFolder(FileName, context.Path);
        else if (Image && !Image->Empty())
            rdData->SaveImageForHtml(dynamic_cast<const TJPEGImage*>(Image.get()) ? 1 : 0, context.ImagesPrefix,
                                     location, Image->Image(), context.BackColor, context.OverwriteImages,
                                     context.ImageSaveNo, context.Path);
    }
    if (location.isEmpty())
        return {};
    return "<img" + AlignAttr(VAlign, context.SaveOptions) + HtmlAttrs(rdData, context) + "src=\""
           + HtmlUrl(location, rdData) + '"' + HtmlEmptyTagEnd(context.SaveOptions) + '>';
}

QByteArray TRDGraphicItemInfo::SaveRTF(TCustomRDData* rdData, double twipsPerPixel) const
{
    return SavePictureToRTF(Image.get(), ImageWidth, Animator.get(), rdData->GetRTFOptions(), ImageHeight,
                            twipsPerPixel);
}

// Hot pictures.

bool TRDHotGraphicItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    switch (id) {
    case 2: case 3: case 5: return true;
    default: return TRDGraphicItemInfo::GetBoolValueEx(id, rdStyle);
    }
}

void TRDHotGraphicItemInfo::Execute(TCustomRDData* rdData)
{
    // Jumps are acted on by the formatted document that shows the item.
    (void)rdData;
}

// Bullets.

int TRDBulletItemInfo::GetMinWidth(const TRDResolutionInfo* scaling, TCanvas*, TCustomRDData*) const
{
    return scaling ? ScaleToDeviceX(GetWidthEx(), scaling) : GetWidthEx();
}

bool TRDBulletItemInfo::GetBoolValue(int id) const
{
    return id == 1 ? ImageList != nullptr : TRDRectItemInfo::GetBoolValue(id);
}

bool TRDBulletItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    return id == 0 ? true : TRDRectItemInfo::GetBoolValueEx(id, rdStyle);
}

void TRDBulletItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDBulletItemInfo*>(&source)) {
        ImageList = s->ImageList;
        ImageIndex = s->ImageIndex;
        NoHTMLSize = s->NoHTMLSize;
    }
    TRDRectItemInfo::AssignProperties(source);
}

bool TRDBulletItemInfo::SetExtraIntProperty(int id, int value)
{
    if (id == 12) {
        NoHTMLSize = value != 0;
        return true;
    }
    return TRDRectItemInfo::SetExtraIntProperty(id, value);
}

bool TRDBulletItemInfo::GetExtraIntProperty(int id, int& value) const
{
    if (id == 12) {
        value = NoHTMLSize ? 1 : 0;
        return true;
    }
    return TRDRectItemInfo::GetExtraIntProperty(id, value);
}

bool TRDBulletItemInfo::SetExtraStrProperty(int id, const QString& value)
{
    if (id == 2) {
        Alt = value;
        return true;
    }
    return TRDRectItemInfo::SetExtraStrProperty(id, value);
}

bool TRDBulletItemInfo::GetExtraStrProperty(int id, QString& value) const
{
    if (id == 2) {
        value = Alt;
        return true;
    }
    return TRDRectItemInfo::GetExtraStrProperty(id, value);
}

int TRDBulletItemInfo::GetRDFExtraPropertyCount() const
{
    return TRDRectItemInfo::GetRDFExtraPropertyCount() + !Alt.isEmpty() + NoHTMLSize;
}

void TRDBulletItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    TRDRectItemInfo::SaveRDFExtraProperties(stream);
    if (NoHTMLSize)
        RDFWriteExtraIntProperty(stream, 12, 1);
    if (!Alt.isEmpty())
        RDFWriteExtraStrProperty(stream, 2, Alt);
}

QByteArray TRDBulletItemInfo::SaveRDFHeaderTail(TCustomRDData*) const
{
    return QByteArray::number(ImageList ? ImageList->Tag : 0) + ' ' + QByteArray::number(ImageIndex);
}

bool TRDBulletItemInfo::CheckReadIndex(int32_t& index, TCustomRDData* rdData) const
{
    if (!ImageList || (index >= 0 && index < ImageList->Count()))
        return true;
    rdData->SetRDFLoadWarnings(rdData->GetRDFLoadWarnings() | rdfwImageIndexTooLarge);
    if (!(rdData->GetRDFOptions() & rdfoConvLargeImageIdxToZero))
        return false;
    index = 0;
    return true;
}

bool TRDBulletItemInfo::ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData)
{
    int32_t listTag = 0;
    if (!RDFReadInteger(p, listTag) || !RDFReadInteger(p, ImageIndex))
        return false;
    ImageList = static_cast<TImageList*>(rdData->DoRDFImageListNeeded(listTag));
    return CheckReadIndex(ImageIndex, rdData);
}

void TRDBulletItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray& name,
                                bool forceContinuePara, int) const
{
    RDFWriteItemHeader(stream, rdData, StyleNo, GetRDFExtraPropertyCount() + 1, forceContinuePara ? -1 : paraNo,
                       ForcedOptions(ItemOptions, forceContinuePara), 0, Tag, SaveRDFHeaderTail(rdData));
    RDFWriteLine(stream, name);
    SaveRDFExtraProperties(stream);
}

bool TRDBulletItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData*, int, int lineNo, int, QByteArray& name,
                                    int&, int&)
{
    if (lineNo == 0)
        name = line;
    else
        ReadRDFExtraLine(line);
    return true;
}

void TRDBulletItemInfo::Paint(TCanvas& canvas, int x, int y, uint16_t state, const TRDStyle* rdStyle) const
{
    if (!ImageList)
        return;
    QColor blend;
    if ((state & rdisSelected) && rdStyle) {
        const TColor color = (state & rdisControlFocused) ? rdStyle->SelColor : rdStyle->InactiveSelColor;
        if (color != clNone)
            blend = ToQColor(color);
    }
    ImageList->Draw(canvas.Painter(), x + Spacing, y + Spacing, GetImageIndex(state & rdisHover), blend);
    if ((state & rdisCurrent) && rdStyle && rdStyle->CurrentItemColor != clNone)
        FrameItem(canvas.Painter(), rdStyle->CurrentItemColor, x - 1, y - 1, GetWidthEx() + 2, GetHeightEx() + 2);
}

bool TRDBulletItemInfo::PrintToBitmap(QImage& bitmap) const
{
    if (ImageList) {
        QPainter painter(&bitmap);
        ImageList->Draw(painter, 0, 0, ImageIndex);
    }
    return true;
}

QByteArray TRDBulletItemInfo::SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const
{
    QString location;
    bool doDefault = true;
    rdData->DoHTMLSaveImage(rdData, itemNo, context.Path, context.BackColor, location, doDefault);
    if (doDefault)
        location = SaveBulletImageForHTML(ImageList, ImageIndex, nullptr, context, rdData);
    if (location.isEmpty())
        return {};
    const int options = context.SaveOptions;
    QByteArray sizes = (options & rdhsBorderZero) ? QByteArrayLiteral(" border=0 ") : QByteArrayLiteral(" ");
    if ((options & rdhsImageSizes) && !NoHTMLSize && ImageList)
        sizes += "width=" + QByteArray::number(ImageList->Width) + " height=" + QByteArray::number(ImageList->Height)
                 + ' ';
    QByteArray attrs;
    if (context.CSS) {
        const QString css = GetVShiftCSS(rdData->GetRDStyle());
        if (!css.isEmpty())
            AppendAttr(attrs, "style=\"" + StringToAnsi(css) + '"');
    }
    if (!Alt.isEmpty() || context.CSS)
        AppendAttr(attrs, AltAttr(Alt, options));
    if (!Hint.isEmpty())
        AppendAttr(attrs, TitleAttr(Hint, options));
    if (Spacing > 0)
        AppendAttr(attrs, "hspace=" + HtmlIntAttr(Spacing, options) + " vspace=" + HtmlIntAttr(Spacing, options));
    // The size attributes end in a space already.
    return "<img" + sizes.chopped(1) + Enclose(attrs) + "src=\"" + location.toUtf8() + '"'
           + HtmlEmptyTagEnd(options) + '>';
}

QByteArray TRDBulletItemInfo::SaveRTF(TCustomRDData* rdData) const
{
    return SaveImageListImageToRTF(ImageList, ImageIndex, rdData->GetRTFOptions());
}

// Hotspots.

bool TRDHotspotItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    switch (id) {
    case 2: case 3: case 5: return true;
    case 4: return ImageIndex != HoverImageIndex;
    default: return TRDBulletItemInfo::GetBoolValueEx(id, rdStyle);
    }
}

void TRDHotspotItemInfo::AssignProperties(const TCustomRDItemInfo& source)
{
    if (auto* s = dynamic_cast<const TRDHotspotItemInfo*>(&source))
        HoverImageIndex = s->HoverImageIndex;
    TRDBulletItemInfo::AssignProperties(source);
}

QByteArray TRDHotspotItemInfo::SaveRDFHeaderTail(TCustomRDData* rdData) const
{
    return TRDBulletItemInfo::SaveRDFHeaderTail(rdData) + ' ' + QByteArray::number(HoverImageIndex);
}

bool TRDHotspotItemInfo::ReadRDFHeaderTail(const char*& p, TCustomRDData* rdData)
{
    if (!TRDBulletItemInfo::ReadRDFHeaderTail(p, rdData))
        return false;
    while (*p == ' ')
        ++p;
    if (*p == '\0' || *p == '\r' || *p == '\n') {
        HoverImageIndex = ImageIndex;
        return true;
    }
    if (!RDFReadInteger(p, HoverImageIndex))
        return false;
    return CheckReadIndex(HoverImageIndex, rdData);
}

void TRDHotspotItemInfo::Execute(TCustomRDData* rdData)
{
    (void)rdData;
}

// RTF and HTML pictures.

QByteArray SavePictureToRTF(const TGraphic* graphic, int stretchWidth, const TRDAnimator* animator,
                            TRDRTFOptions options, int stretchHeight, double twipsPerPixel)
{
    if (!graphic)
        return {};
    const bool binary = options & rdrtfSavePicturesBinary;
    QByteArray s = "{\\pict";
    if (stretchWidth > 0 && graphic->Width() > 0)
        s += "\\picscalex" + QByteArray::number(std::lround(stretchWidth * 100.0 / graphic->Width()));
    if (stretchHeight > 0 && graphic->Height() > 0)
        s += "\\picscaley" + QByteArray::number(std::lround(stretchHeight * 100.0 / graphic->Height()));
    (void)twipsPerPixel;
    const bool png = options & rdrtfPNGInsteadOfBitmap;
    if (IsBitmap(graphic) && !animator) {
        s += png ? PngRTF(graphic->Image(), binary) : BitmapRTF(graphic->Image(), binary);
    } else if (IsMetafile(graphic) && !animator) {
        // Metafiles keep their data: an enhanced one stays enhanced, as no
        // conversion is possible here.
        if (IsEnhancedMetafile(graphic))
            s += "\\emfblip\\picw0\\pich0 " + PictureData(graphic->SaveToStream(), 0, binary);
        else
            s += "\\wmetafile8\\picw0\\pich0 " + PictureData(graphic->SaveToStream(), 22, binary);
    } else if (dynamic_cast<const TJPEGImage*>(graphic) && (options & rdrtfSaveJpegAsJpeg) && !animator) {
        s += "\\jpegblip\\picw" + QByteArray::number(graphic->Width()) + "\\pich"
             + QByteArray::number(graphic->Height()) + ' ' + PictureData(graphic->SaveToStream(), 0, binary);
    } else {
        // Everything else (icons, JPEG without its own form, animations) as a bitmap.
        const QImage flat = FlatImage(*graphic);
        s += png ? PngRTF(flat, binary) : BitmapRTF(flat, binary);
    }
    s += '}';
    return s;
}

QByteArray SaveImageListImageToRTF(const TImageList* list, int index, TRDRTFOptions)
{
    if (!list || !list->ValidIndex(index))
        return {};
    QImage image(list->Width, list->Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        list->Draw(painter, 0, 0, index);
    }
    return "{\\pict" + BitmapRTF(image, false) + '}';
}

QString SaveBulletImageForHTML(const TImageList* list, int index, const TGraphic* graphic,
                               TRDHTMLImageContext& context, TCustomRDData* rdData)
{
    if (list && !list->ValidIndex(index))
        return {};
    if (!list && !graphic)
        return {};
    if (context.Bullets)
        for (const TRDHTMLBulletInfo& entry : *context.Bullets)
            if (entry.ImageList == list && entry.ImageIndex == index && entry.Graphic == graphic
                && entry.BackgroundColor == context.BackColor)
                return entry.FileName;
    const int w = list ? list->Width : graphic->Width();
    const int h = list ? list->Height : graphic->Height();
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    image.fill(context.BackColor == clNone ? QColor(Qt::white) : ToQColor(context.BackColor));
    {
        QPainter painter(&image);
        if (list)
            list->Draw(painter, 0, 0, index);
        else
            graphic->Draw(painter, QRect(0, 0, w, h));
    }
    QString location;
    rdData->SaveImageForHtml(0, context.ImagesPrefix, location, image, context.BackColor, context.OverwriteImages,
                             context.ImageSaveNo, context.Path);
    if (location.isEmpty())
        return {};
    location = QString::fromLatin1(HtmlUrl(location, rdData));
    if (context.Bullets)
        context.Bullets->push_back({location, context.BackColor, list, index, graphic});
    return location;
}

bool TRDGraphicItemInfo::PrintToBitmap(QImage& bitmap, bool preview, TCustomRDData*, const TRDItemPrintInfo& info) const
{
    int top = 0;
    if (info.PartIndex >= 0)
        if (auto* split = dynamic_cast<const TRDMultiImagePrintInfo*>(info.DrawItem))
            if (info.PartIndex < split->PartsList.Count())
                top = -split->PartsList.GetItem(info.PartIndex)->GetPartPosition();
    return PrintToBitmap(bitmap, preview, top);
}
