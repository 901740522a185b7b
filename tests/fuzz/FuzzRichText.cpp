// The rich-text suite's fuzz entries: RDF documents and blocks, style
// collections, the markup and code-page routines, styles kept in INI files.

#include "FuzzSupport.h"

#include "IniFile.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "core/RDMarkup.h"
#include "viewer/RDRichDoc.h"
#include "core/RDStrUtils.h"
#include "styles/RDStyle.h"
#include "styles/RDStyleIni.h"
#include "styles/RDStyleStream.h"
#include "core/RDUnicode.h"

#include <algorithm>

namespace PiboFuzz {

// ---------------------------------------------------------------- RDF

// A viewer's document from RDF in every form the reader takes: a whole
// document with its layout, background and styles, then laid out, saved and
// given out as text; or a block as the clipboard holds it.
void RunRdf(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 4);
    Guarded([&] {
        TRDStyle sheet;
        TRichDoc doc;
        doc.SetStyle(&sheet);
        doc.resize(320, 240);
        doc.RDFOptions = TRichDoc::DefaultRDFOptions | rdfoLoadLayout | rdfoLoadBack | rdfoLoadDocProperties;
        if (in.Mode & 2)
            doc.RDFTextStylesReadMode = TRDFReaderStyleMode::rdf_sInsertMap;
        TRDMemoryStream stream;
        stream.LoadFromBytes(in.Body);
        stream.SetPosition(0);
        bool loaded = false;
        TRDLayoutInfo layout;
        if (in.Mode & 1) {
            loaded = doc.DocumentData()->LoadRDFBlock(stream);
        } else {
            TColor color = clNone;
            loaded = doc.DocumentData()->LoadFromRDF(stream, color, doc.Background(), &layout);
        }
        if (!loaded)
            return;
        if (layout.Loaded)
            doc.ApplyLayout(layout);
        doc.FormatDocument();
        TRDMemoryStream out;
        doc.SaveRDFToStream(out, false);
        TRDMemoryStream text;
        doc.SaveTextToStreamW(QString(), text, 80, false, false);
    });
}

QList<QByteArray> RdfSeeds()
{
    QList<QByteArray> seeds;
    Guarded([&] {
        TRDStyle sheet;
        TRichDoc doc;
        doc.SetStyle(&sheet);
        doc.AddTextInNewParagraph(QStringLiteral("Spring is warm."), 0, 0);
        doc.AddTextToParagraph(QStringLiteral(" 春天很暖和。"), 0);
        doc.AddTextInNewParagraph(QStringLiteral("Second\tparagraph"), 0, 0);
        doc.LeftMargin = 7;
        doc.MaxTextWidth = 250;
        const TRDFOptions base = TRichDoc::DefaultRDFOptions | rdfoSaveLayout | rdfoSaveTextStyles | rdfoSaveParaStyles;
        for (const TRDFOptions options : {TRDFOptions(base), TRDFOptions(base | rdfoSaveBinary),
                                          TRDFOptions(base | rdfoUseStyleNames | rdfoSaveBack)}) {
            doc.RDFOptions = options;
            TRDMemoryStream stream;
            if (doc.SaveRDFToStream(stream, false)) {
                seeds.append(WithMode(0, stream.ToBytes()));
                seeds.append(WithMode(2, stream.ToBytes()));
            }
        }
        // A block of the selection, as copied.
        doc.FormatDocument();
        doc.SelectAllItems();
        TRDMemoryStream block;
        if (doc.SaveRDFToStream(block, true))
            seeds.append(WithMode(1, block.ToBytes()));
    });
    return seeds;
}

// Style collections in the component encoding, as forms and style sheets
// store them.
void RunRdfStyles(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 4);
    Guarded([&] {
        TRDStyle sheet;
        switch (in.Mode) {
        case 0: {
            TFontInfos styles(&sheet);
            LoadStylesFromBytes(in.Body, styles);
            SaveStylesToBytes(styles);
            break;
        }
        case 1: {
            TParaInfos styles(&sheet);
            LoadStylesFromBytes(in.Body, styles);
            SaveStylesToBytes(styles);
            break;
        }
        case 2: {
            TRDListInfos styles(&sheet);
            LoadStylesFromBytes(in.Body, styles);
            SaveStylesToBytes(styles);
            break;
        }
        default: {
            // A text and a paragraph style as the RDF header names them.
            const QByteArray line = in.Body + '\0';
            const char* cursor = line.constData();
            std::int32_t n = 0;
            if (RDFReadTextStyle(sheet, cursor, n))
                RDFReadParaStyle(sheet, cursor, n);
            break;
        }
        }
    });
}

QList<QByteArray> RdfStyleSeeds()
{
    QList<QByteArray> seeds;
    Guarded([&] {
        TRDStyle sheet;
        seeds.append(WithMode(0, SaveStylesToBytes(sheet.TextStyles())));
        seeds.append(WithMode(1, SaveStylesToBytes(sheet.ParaStyles())));
        TRDListInfos lists(&sheet);
        lists.Add()->Levels.emplace_back();
        seeds.append(WithMode(2, SaveStylesToBytes(lists)));
        seeds.append(WithMode(3, RDFTextStyleToString(sheet, false, 0) + ' ' + RDFParaStyleToString(sheet, false, 0)));
    });
    return seeds;
}

// ---------------------------------------------------------------- rich-text core

// The markup routines on a string of the input.
void RunMarkup(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 4);
    const QByteArray& s = in.Body;
    Guarded([&] {
        EscapeHtmlText(s, in.Mode & 1);
        UnicodeToHtmlEntities(s.left(s.size() & ~qsizetype(1)), in.Mode & 1);
        UnicodeToHtmlText(s.left(s.size() & ~qsizetype(1)), in.Mode & 1);
        SymbolToHtmlEntities(s);
        SymbolToHtmlEntitiesW(s.left(s.size() & ~qsizetype(1)));
        PathToHtmlUrl(s, in.Mode, in.Mode & 2 ? 936 : CP_ACP);
        HtmlQuoteValue(s, in.Mode);
        DecodePercentEscapes(s, in.Mode & 2);
        MakeHintAttribute(in.Mode, s);
        QByteArray rtf = s;
        RtfEncodeChars(rtf, in.Mode & 1);
        RtfEscapeText(s, in.Mode & 2, in.Mode & 1);
        RtfEscapeFieldText(s);
        RtfSafeName(s);
        RtfBookmarkName(s);
        ExpandTabsAnsi(s, 1 + in.Mode);
        ExpandTabsUnicode(s.left(s.size() & ~qsizetype(1)), 1 + in.Mode);
        QByteArray r = s;
        ReplaceAll(r, "ab", "abc");
    });
}

QList<QByteArray> MarkupSeeds()
{
    return {
        WithMode(0, QByteArray("<b>Spring & \"summer\"</b> 50% off: a%20b%0D%0A\\par {x}")),
        WithMode(1, QByteArray("C:\\lessons\\\xB4\xBA\xCC\xEC.htm#part one")),
        WithMode(2, QString(QStringLiteral("春天 <i>warm</i> ∑ €")).toUtf8()),
        WithMode(3, QByteArray(reinterpret_cast<const char*>(u"w\u00e9\u00a0\u2014<&>"), 14)),
    };
}

// The code-page routines: conversions both ways and the character steps.
void RunCodePages(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return;
    static const TRDCodePage Pages[] = {CP_ACP, CP_OEMCP, 936, 1252, 1251, 932, 949, 950, 1200, 65001};
    const TRDCodePage page = Pages[data[0] % (sizeof(Pages) / sizeof(Pages[0]))];
    const int index = data[1] % 16;
    const QByteArray s = Bytes(data + 2, size - 2);
    const QByteArray even = s.left(s.size() & ~qsizetype(1));
    Guarded([&] {
        AnsiToUtf16(page, s);
        AnsiToUtf8(page, s);
        Utf16ToAnsi(page, even);
        AnsiToQString(page, s);
        QStringToAnsi(page, QString::fromUtf8(s));
        CanConvertToCodePage(page, even);
        AnsiUpperCase(page, s);
        Utf16UpperCase(even);
        RawToWideString(even);
        for (const int flags : {0, rdioUnicode}) {
            const QByteArray& text = flags ? even : s;
            const int length = CharLength(text, flags);
            CharCopy(text, 1 + index % std::max(1, length), 1 + index, flags);
            QByteArray changed = text;
            CharDelete(changed, 1 + index % std::max(1, length), 1, flags);
            CharInsert(flags ? QByteArray("a\0", 2) : QByteArray("a"), changed, 1, flags);
            if (length > 0)
                CharIsSpace(text, 1 + index % length, flags);
        }
    });
}

QList<QByteArray> CodePageSeeds()
{
    const QString text = QStringLiteral("Spring 春天 été Привет");
    QList<QByteArray> seeds;
    seeds.append(QByteArray("\x00\x03", 2) + QStringToAnsi(CP_ACP, text));
    seeds.append(QByteArray("\x03\x01", 2) + QStringToAnsi(1252, text));
    seeds.append(QByteArray("\x04\x05", 2) + QStringToAnsi(1251, text));
    seeds.append(QByteArray("\x05\x02", 2) + QStringToAnsi(932, text));
    seeds.append(QByteArray("\x02\x07", 2) + WideStringToRaw(text));
    return seeds;
}

// ---------------------------------------------------------------- styles in INI files

void RunIniStyles(const QString& path)
{
    Guarded([&] {
        TIniFile ini(path);
        TFontInfo text(nullptr);
        LoadFromIni(text, ini, QStringLiteral("Styles"), QStringLiteral("TextStyle%s"), false, 0);
        TParaInfo para(nullptr);
        LoadFromIni(para, ini, QStringLiteral("Styles"), QStringLiteral("ParaStyle%s"));
        TRDListInfo list(nullptr);
        LoadFromIni(list, ini, QStringLiteral("Styles"), QStringLiteral("ListStyle%s"));
    });
}

void WriteIniStyles(const QString& path)
{
    Guarded([&] {
        TIniFile ini(path);
        TRDStyle sheet;
        SaveToIni(*sheet.TextStyles().Items(0), ini, QStringLiteral("Styles"), QStringLiteral("TextStyle%s"));
        SaveToIni(*sheet.ParaStyles().Items(0), ini, QStringLiteral("Styles"), QStringLiteral("ParaStyle%s"));
        TRDListInfo list(nullptr);
        list.Levels.emplace_back();
        SaveToIni(list, ini, QStringLiteral("Styles"), QStringLiteral("ListStyle%s"));
    });
}

}  // namespace PiboFuzz
