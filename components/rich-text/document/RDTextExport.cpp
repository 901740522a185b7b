// Plain-text output of a document and numbered picture files for HTML.

#include <climits>

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "document/CRDData.h"
#include "document/RDDocEncoding.h"
#include "core/RDUnicode.h"

bool TextExportPageBreaks = false;

namespace {

const QByteArray AnsiLineBreak = QByteArrayLiteral("\r\n");
const QByteArray UnicodeLineBreak = QByteArray("\r\0\n\0", 4);

}  // namespace

bool TCustomRDData::SaveTextToStream(const QString& path, TRDStream& stream, int lineWidth, bool selectionOnly,
                                     bool textOnly, bool unicode, bool unicodeWriteSignature)
{
    try {
        TRDSaveRange range;
        GetSaveRange(SaveScopeOf(selectionOnly), range);
        if (range.StartItemNo == -1 || range.StartItemNo > range.EndItemNo || range.NestedItem)
            return true;
        if (unicode && unicodeWriteSignature)
            stream.WriteBuffer("\xFF\xFE", 2);
        const uint32_t defCodePage = GetDefCodePage();
        auto writeNonTextForm = [&](const QByteArray& ansi, bool ownUnicode) {
            stream.WriteBuffer(unicode && !ownUnicode ? AnsiToUtf16(defCodePage, ansi).constData() : ansi.constData(),
                               unicode && !ownUnicode ? AnsiToUtf16(defCodePage, ansi).size() : ansi.size());
        };
        auto writeItem = [&](int i, int startOffs, int endOffs) {
            TCustomRDItemInfo* item = ItemAt(i);
            QByteArray text;
            if (item->StyleNo >= 0) {
                const bool itemUnicode = item->ItemOptions & rdioUnicode;
                text = CharCopy(TextOfItem(i), startOffs, endOffs - startOffs, item->ItemOptions);
                if (DoSaveItemToFile(path, this, i, TRDSaveFormat::rdsfText, unicode, text)) {
                    stream.WriteBuffer(text.constData(), text.size());
                    return;
                }
                if (itemUnicode && !unicode)
                    text = Utf16ToAnsi(defCodePage, text);
                else if (!itemUnicode && unicode)
                    text = AnsiToUtf16(CodePageOfStyle(EffectiveStyleOfItem(i)), text);
                stream.WriteBuffer(text.constData(), text.size());
                return;
            }
            if ((textOnly && !item->GetBoolValue(5)) || startOffs >= endOffs)
                return;
            if (DoSaveItemToFile(path, this, i, TRDSaveFormat::rdsfText, unicode, text)) {
                stream.WriteBuffer(text.constData(), text.size());
                return;
            }
            const bool ownUnicode = unicode && item->GetBoolValue(4);
            text = item->AsText(lineWidth, this, ownUnicode, textOnly, path, TextOfItem(i));
            writeNonTextForm(text, ownUnicode);
        };
        const int first = range.StartItemNo;
        const int last = range.EndItemNo;
        if (selectionOnly) {
            const int lineStart = FirstItemOfLine(first);
            if (ItemAt(lineStart)->StyleNo == MarkerStyleNo && lineStart != first)
                writeItem(lineStart, 0, 1);
        }
        if (first == last) {
            writeItem(first, range.StartOffs, range.EndOffs);
            return true;
        }
        writeItem(first, range.StartOffs, EndOffsetOf(first));
        for (int i = first + 1; i <= last; ++i) {
            if (TextExportPageBreaks && ItemAt(i)->BreaksPageBefore())
                writeNonTextForm(QByteArrayLiteral("\f"), false);
            else if (StartsNewLine(i))
                stream.WriteBuffer(unicode ? UnicodeLineBreak.constData() : AnsiLineBreak.constData(),
                                   unicode ? 4 : 2);
            writeItem(i, StartOffsetOf(i), i == last ? range.EndOffs : EndOffsetOf(i));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TCustomRDData::GetNextImageFileName(const QString& imagesPrefix, const QString& path, QString& fileName,
                                         bool overwriteImages, int& imageSaveNo, const QString& ext)
{
    // An absolute prefix starts with "/".
    const QString base = imagesPrefix.startsWith(QLatin1Char('/')) ? imagesPrefix : path + imagesPrefix;
    for (;;) {
        if (imageSaveNo == INT_MAX)
            return false;
        ++imageSaveNo;
        fileName = base + QString::number(imageSaveNo) + ext;
        const QFileInfo info(fileName);
        if (!info.exists() || (overwriteImages && info.isWritable()))
            return true;
    }
}

bool TCustomRDData::SaveImageForHtml(int kind, const QString& imagesPrefix, QString& location, const QImage& graphic,
                                     TColor backColor, bool overwriteImages, int& imageSaveNo, const QString& path)
{
    location.clear();
    bool doDefault = true;
    DoSaveImage2(graphic, TRDSaveFormat::rdsfHTML, path, imagesPrefix, imageSaveNo, location, doDefault);
    if (!doDefault)
        return true;
    const QString ext = kind == 1 ? QStringLiteral(".jpg") : QStringLiteral(".bmp");
    QString fileName;
    if (!GetNextImageFileName(imagesPrefix, path, fileName, overwriteImages, imageSaveNo, ext))
        return false;
    const int slash = imagesPrefix.lastIndexOf(QLatin1Char('/'));
    QString folder = slash >= 0 ? imagesPrefix.left(slash + 1) : QString();
    location = folder + QFileInfo(fileName).fileName();
    QImage image(graphic.size(), QImage::Format_RGB32);
    image.fill(backColor == clNone ? QColor(Qt::white) : ToQColor(backColor));
    {
        QPainter painter(&image);
        painter.drawImage(0, 0, graphic);
    }
    if (!image.save(fileName, kind == 1 ? "JPG" : "BMP"))
        throw ERichDocError("Cannot create file \"" + fileName.toStdString() + "\"");
    return true;
}
