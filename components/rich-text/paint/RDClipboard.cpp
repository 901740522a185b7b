#include "paint/RDClipboard.h"

#include <QtCore/QMimeData>
#include <QtCore/QtEndian>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

#include "layout/CRDFData.h"
#include "Pictures.h"
#include "document/RDBack.h"
#include "core/RDFStream.h"
#include "core/RDLists.h"

std::function<void(QMimeData* data)> RDClipboardSink;
std::function<bool(TCustomRDData& data, TRDStream& stream, TColor color, TRDBackground* background)>
    RDSelectionRTFWriter;

void RDPutOnClipboard(QMimeData* data)
{
    if (RDClipboardSink) {
        RDClipboardSink(data);
        return;
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setMimeData(data);
    else
        delete data;
}

namespace {

constexpr TRDOptions AutoCopyOptions =
    rdoAutoCopyText | rdoAutoCopyUnicodeText | rdoAutoCopyRDF | rdoAutoCopyImage | rdoAutoCopyRTF;

QString MimeTypeOf(const char* format) { return ClipboardFormatMimeType(QString::fromLatin1(format)); }

// The chosen nested document, when it is another formatted document.
TCustomRDFormattedData* ChosenFormatted(TCustomRDFormattedData& data)
{
    auto* sub = dynamic_cast<TCustomRDFormattedData*>(data.GetChosenSubData());
    return sub != &data ? sub : nullptr;
}

} // namespace

void TCustomRDFormattedData::GetSaveRange(int scope, TRDSaveRange& range)
{
    if (scope != 1) {
        TCustomRDData::GetSaveRange(scope, range);
        return;
    }
    range = TRDSaveRange();
    if (ChosenItem != nullptr) {
        range.StartItemNo = -1;
        range.NestedItem = ChosenItem;
        return;
    }
    GetSelectionBounds(range.StartItemNo, range.StartOffs, range.EndItemNo, range.EndOffs, true);
    if (range.StartItemNo < 0 || range.EndItemNo < 0) {
        range.StartItemNo = -1;
        range.EndItemNo = -1;
    }
}

QString TCustomRDFormattedData::GetSelectionText()
{
    if (TCustomRDFormattedData* sub = ChosenFormatted(*this))
        return sub->GetSelectionText();
    if (!DataSelectionExists(false, true))
        return {};
    TRDMemoryStream stream;
    if (!SaveTextToStream(QString(), stream, 80, true, false, true, false))
        return {};
    return RawToWideString(QByteArray(static_cast<const char*>(stream.Memory()), qsizetype(stream.Size())));
}

TGraphic* TCustomRDFormattedData::GetSelectedImage()
{
    if (TCustomRDFormattedData* sub = ChosenFormatted(*this))
        return sub->GetSelectedImage();
    int s = -1, so = 0, e = -1, eo = 0;
    GetSelectionBounds(s, so, e, eo, true);
    if (s < 0 || e < 0)
        return nullptr;
    int item = -1;
    if (s == e) {
        if (so <= 0 && eo > 0)
            item = s;
    } else if (e == s + 1) {
        if (so > StartOffsetOf(s)) {
            if (so >= EndOffsetOf(s) && eo >= EndOffsetOf(e))
                item = e;
        } else if (eo < EndOffsetOf(e) && eo <= StartOffsetOf(e)) {
            item = s;
        }
    } else if (e == s + 2) {
        if (so >= EndOffsetOf(s) && eo <= StartOffsetOf(e))
            item = s + 1;
    }
    return item >= 0 ? ItemAt(item)->GetGraphic() : nullptr;
}

void TCustomRDFormattedData::CopyRDF(QMimeData& mime, TColor color, TRDBackground* background)
{
    if (!DataSelectionExists(true, true))
        return;
    // The block: the count of the bytes after it, then the RDF.
    TRDMemoryStream stream;
    const int32_t placeholder = 0;
    stream.WriteBuffer(&placeholder, 4);
    SaveRDFToStream(stream, true, nullptr, background, color);
    const int64_t size = stream.Size();
    QByteArray block(static_cast<const char*>(stream.Memory()), qsizetype(size));
    qToLittleEndian<int32_t>(int32_t(size - 4), block.data());
    mime.setData(MimeTypeOf(ClipboardFormatRDF), block);
}

void TCustomRDFormattedData::CopyText(QMimeData& mime)
{
    if (!DataSelectionExists(true, true))
        return;
    // One plain-text format holds both the ANSI and the UTF-16 form here.
    mime.setText(GetSelectionText());
}

void TCustomRDFormattedData::CopyImage(QMimeData& mime)
{
    try {
        if (const TGraphic* graphic = GetSelectedImage(); graphic != nullptr && !graphic->Image().isNull())
            mime.setImageData(graphic->Image());
    } catch (...) {
        // A picture that cannot be put is left out.
    }
}

void TCustomRDFormattedData::CopyRTF(QMimeData& mime, TColor color, TRDBackground* background)
{
    if (!RDSelectionRTFWriter || !DataSelectionExists(true, true))
        return;
    TRDMemoryStream stream;
    if (!RDSelectionRTFWriter(*this, stream, color, background))
        return;
    mime.setData(MimeTypeOf(ClipboardFormatRTF),
                 QByteArray(static_cast<const char*>(stream.Memory()), qsizetype(stream.Size())));
}

void TCustomRDFormattedData::Copy(TColor color, TRDBackground* background)
{
    if (TCustomRDFormattedData* sub = ChosenFormatted(*this)) {
        sub->Copy(clNone, nullptr);
        return;
    }
    if (!DataSelectionExists(true, true))
        return;
    auto mime = std::make_unique<QMimeData>();
    DoCopy();
    CopyRDF(*mime, color, background);
    CopyText(*mime);
    CopyImage(*mime);
    CopyRTF(*mime, color, background);
    RDPutOnClipboard(mime.release());
}

bool TCustomRDFormattedData::CopyDef(TColor color, TRDBackground* background)
{
    if (TCustomRDFormattedData* sub = ChosenFormatted(*this))
        return sub->CopyDef(clNone, nullptr);
    const TRDOptions options = GetOptions();
    const bool answer = (options & AutoCopyOptions) != 0 || HasCopyHandler();
    if (!answer || !DataSelectionExists(true, true))
        return answer;
    auto mime = std::make_unique<QMimeData>();
    DoCopy();
    if (options & rdoAutoCopyRDF)
        CopyRDF(*mime, color, background);
    if (options & (rdoAutoCopyText | rdoAutoCopyUnicodeText))
        CopyText(*mime);
    if (options & rdoAutoCopyImage)
        CopyImage(*mime);
    if (options & rdoAutoCopyRTF)
        CopyRTF(*mime, color, background);
    RDPutOnClipboard(mime.release());
    return answer;
}
