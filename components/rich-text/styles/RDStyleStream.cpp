#include "styles/RDStyleStream.h"

#include <functional>
#include <vector>

#include "core/RDError.h"
#include "core/RDFStream.h"
#include "core/RDGraphUtils.h"

namespace {

// A collection value: per item a list of properties.
template <typename Item>
void WriteItem(TComponentWriter& w, const Item& item, const TPropTable<Item>& table)
{
    w.WriteValueType(TValueType::vaList);
    table.Write(w, item);
    w.WriteListEnd();
}

// Reads a collection value: newItem is called at the start of each item and
// readProp for each of its properties.
void ReadCollection(TComponentReader& r, const std::function<void()>& newItem,
                    const std::function<void(const QString&)>& readProp)
{
    if (r.ReadValueType() != TValueType::vaCollection)
        r.Fail("Invalid property value");
    r.EnterNesting();
    while (!r.EndOfList()) {
        const TValueType type = r.PeekValueType();
        if (type == TValueType::vaInt8 || type == TValueType::vaInt16 || type == TValueType::vaInt32)
            r.ReadInteger();  // an item order value
        if (r.ReadValueType() != TValueType::vaList)
            r.Fail("Invalid property value");
        newItem();
        while (!r.EndOfList())
            readProp(r.ReadPropName());
    }
    r.LeaveNesting();
}

QStringList Names(std::initializer_list<const char*> names)
{
    QStringList list;
    for (const char* n : names)
        list << QString::fromLatin1(n);
    return list;
}

const QStringList BiDiNames = Names({"rdbdUnspecified", "rdbdLeftToRight", "rdbdRightToLeft"});
const QStringList FontStyleNames = Names({"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
const QStringList FontInfoPropertyNames = Names(
    {"rdfiFontName", "rdfiSize", "rdfiCharset", "rdfiUnicode", "rdfiBold", "rdfiItalic", "rdfiUnderline",
     "rdfiStrikeout", "rdfiOverline", "rdfiAllCaps", "rdfiSubSuperScriptType", "rdfiVShift", "rdfiColor",
     "rdfiBackColor", "rdfiJump", "rdfiHoverBackColor", "rdfiHoverColor", "rdfiHoverUnderline", "rdfiJumpCursor",
     "rdfiNextStyleNo", "rdfiProtection", "rdfiCharScale", "rdfiBaseStyleNo", "rdfiBiDiMode", "rdfiCharSpacing",
     "rdfiHTMLCode", "rdfiRTFCode", "rdfiUnderlineType", "rdfiUnderlineColor", "rdfiHoverUnderlineColor",
     "rdfiCustom"});
const QStringList ParaInfoPropertyNames = Names(
    {"rdpiFirstIndent", "rdpiLeftIndent", "rdpiRightIndent", "rdpiSpaceBefore", "rdpiSpaceAfter", "rdpiAlignment",
     "rdpiNextParaNo", "rdpiDefStyleNo", "rdpiLineSpacing", "rdpiLineSpacingType", "rdpiBackground_Color",
     "rdpiBackground_BO_Left", "rdpiBackground_BO_Top", "rdpiBackground_BO_Right", "rdpiBackground_BO_Bottom",
     "rdpiBorder_Color", "rdpiBorder_Style", "rdpiBorder_Width", "rdpiBorder_InternalWidth", "rdpiBorder_BO_Left",
     "rdpiBorder_BO_Top", "rdpiBorder_BO_Right", "rdpiBorder_BO_Bottom", "rdpiBorder_Vis_Left", "rdpiBorder_Vis_Top",
     "rdpiBorder_Vis_Right", "rdpiBorder_Vis_Bottom", "rdpiNoWrap", "rdpiReadOnly", "rdpiStyleProtect",
     "rdpiDoNotWantReturns", "rdpiKeepLinesTogether", "rdpiKeepWithNext", "rdpiTabs", "rdpiBiDiMode"});
const QStringList ParaProperties1Names = ParaInfoPropertyNames.mid(0, rdpiNoWrap);
const QStringList ParaProperties2Names = ParaInfoPropertyNames.mid(rdpiNoWrap);

template <typename T>
void AddCommon(TPropTable<T>& t)
{
    t.Str("StyleName", &TCustomRDInfo::StyleName)
        .Int("BaseStyleNo", &TCustomRDInfo::BaseStyleNo, -1)
        .Bool("Standard", &TCustomRDInfo::Standard, true)
        .Int("StyleTemplateId", &TCustomRDInfo::StyleTemplateId, -1);
}

// Names that template parts refuse (the common properties of styles).
template <typename T>
void RefuseCommon(TPropTable<T>& t)
{
    for (const char* name : {"StyleName", "BaseStyleNo", "Standard", "StyleTemplateId"})
        t.Add(
            name, [](const T&) { return false; }, [](TComponentWriter&, const T&) {},
            [](TComponentReader&, T&) { RefuseTemplatePartProperty(); });
}

template <typename T>
void AddFontCore(TPropTable<T>& t)
{
    using F = TCustomRDFontInfo;
    t.Charset("Charset", &F::Charset, DEFAULT_CHARSET)
        .Str("FontName", &F::FontName, QStringLiteral("Arial"))
        .Int("Size", &F::Size, 10)
        .Set("Style", &F::Style, uint8_t(0), FontStyleNames)
        .Int("VShift", &F::VShift, 0)
        .Color("Color", &F::Color, clWindowText)
        .Color("BackColor", &F::BackColor, clNone)
        .Color("HoverBackColor", &F::HoverBackColor, clNone)
        .Color("HoverColor", &F::HoverColor, clNone)
        .Set("HoverEffects", &F::HoverEffects, uint8_t(0), Names({"rdheUnderline"}))
        .Set("StyleEx", &F::StyleEx, uint8_t(0), Names({"rdfsOverline", "rdfsAllCaps"}))
        .Bool("Jump", &F::Jump, false)
        .Cursor("JumpCursor", &F::JumpCursor, crJump)
        .Int("CharScale", &F::CharScale, 100)
        .Int("CharSpacing", &F::CharSpacing, 0)
        .Enum("BiDiMode", &F::BiDiMode, TRDBiDiMode::rdbdUnspecified, BiDiNames)
        .Enum("SubSuperScriptType", &F::SubSuperScriptType, TRDSubSuperScriptType::rdsssNormal,
              Names({"rdsssNormal", "rdsssSubscript", "rdsssSuperScript"}))
        .Set("Protection", &F::Protection, uint16_t(0),
             Names({"rdprStyleProtect", "rdprStyleSplitProtect", "rdprModifyProtect", "rdprDeleteProtect",
                    "rdprConcateProtect", "rdprRDFInsertProtect", "rdprDoNotAutoSwitch", "rdprParaStartProtect",
                    "rdprSticking", "rdprSticking2", "rdprSticking3", "rdprStickToTop", "rdprStickToBottom"}))
        .Set("Options", &F::Options, uint8_t(0), Names({"rdteoHTMLCode", "rdteoRTFCode"}))
        .Enum("UnderlineType", &F::UnderlineType, TRDUnderlineType::rdutNormal,
              Names({"rdutNormal", "rdutThick", "rdutDouble", "rdutDotted", "rdutThickDotted", "rdutDashed",
                     "rdutThickDashed", "rdutLongDashed", "rdutThickLongDashed", "rdutDashDotted",
                     "rdutThickDashDotted", "rdutDashDotDotted", "rdutThickDashDotDotted"}))
        .Color("UnderlineColor", &F::UnderlineColor, clNone)
        .Color("HoverUnderlineColor", &F::HoverUnderlineColor, clNone);
}

const TPropTable<TRDRect>& RectTable()
{
    static const TPropTable<TRDRect> table = [] {
        TPropTable<TRDRect> t;
        t.Int("Left", &TRDRect::Left, 0).Int("Right", &TRDRect::Right, 0).Int("Top", &TRDRect::Top, 0)
            .Int("Bottom", &TRDRect::Bottom, 0);
        return t;
    }();
    return table;
}

const TPropTable<TRDBooleanRect>& BooleanRectTable()
{
    static const TPropTable<TRDBooleanRect> table = [] {
        TPropTable<TRDBooleanRect> t;
        t.Bool("Left", &TRDBooleanRect::Left, true).Bool("Right", &TRDBooleanRect::Right, true)
            .Bool("Top", &TRDBooleanRect::Top, true).Bool("Bottom", &TRDBooleanRect::Bottom, true);
        return t;
    }();
    return table;
}

const TPropTable<TRDBorder>& BorderTable()
{
    static const TPropTable<TRDBorder> table = [] {
        TPropTable<TRDBorder> t;
        t.Int("Width", &TRDBorder::Width, 1)
            .Int("InternalWidth", &TRDBorder::InternalWidth, 1)
            .Color("Color", &TRDBorder::Color, clWindowText)
            .Enum("Style", &TRDBorder::Style, TRDBorderStyle::rdbNone,
                  Names({"rdbNone", "rdbSingle", "rdbDouble", "rdbTriple", "rdbThickInside", "rdbThickOutside"}))
            .Nested("VisibleBorders", [](auto& b) -> auto& { return b.VisibleBorders; }, BooleanRectTable())
            .Nested("BorderOffsets", [](auto& b) -> auto& { return b.BorderOffsets; }, RectTable());
        return t;
    }();
    return table;
}

const TPropTable<TRDBackgroundRect>& BackgroundTable()
{
    static const TPropTable<TRDBackgroundRect> table = [] {
        TPropTable<TRDBackgroundRect> t;
        t.Color("Color", &TRDBackgroundRect::Color, clNone)
            .Nested("BorderOffsets", [](auto& b) -> auto& { return b.BorderOffsets; }, RectTable());
        return t;
    }();
    return table;
}

const QStringList TabAlignNames = Names({"rdtaLeft", "rdtaRight", "rdtaCenter"});

const TPropTable<TRDTabInfo>& TabTable()
{
    static const TPropTable<TRDTabInfo> table = [] {
        TPropTable<TRDTabInfo> t;
        t.Enum("Align", &TRDTabInfo::Align, TRDTabAlign::rdtaLeft, TabAlignNames)
            .Add(
                "Position", [](const TRDTabInfo&) { return true; },
                [](TComponentWriter& w, const TRDTabInfo& tab) { w.WriteInteger(tab.Position()); },
                [](TComponentReader& r, TRDTabInfo& tab) { tab.SetPosition(r.ReadInteger()); })
            .Str("Leader", &TRDTabInfo::Leader);
        return t;
    }();
    return table;
}

template <typename T>
void AddParaCore(TPropTable<T>& t)
{
    using P = TCustomRDParaInfo;
    t.Int("FirstIndent", &P::FirstIndent, 0)
        .Int("LeftIndent", &P::LeftIndent, 0)
        .Int("RightIndent", &P::RightIndent, 0)
        .Int("SpaceBefore", &P::SpaceBefore, 0)
        .Int("SpaceAfter", &P::SpaceAfter, 0)
        .Enum("Alignment", &P::Alignment, TRDAlignment::rdaLeft, Names({"rdaLeft", "rdaRight", "rdaCenter", "rdaJustify"}))
        .Nested("Border", [](auto& p) -> auto& { return p.Border; }, BorderTable())
        .Nested("Background", [](auto& p) -> auto& { return p.Background; }, BackgroundTable())
        .Int("LineSpacing", &P::LineSpacing, 100)
        .Enum("LineSpacingType", &P::LineSpacingType, TRDLineSpacingType::rdlsPercent,
              Names({"rdlsPercent", "rdlsSpaceBetween"}))
        .Set("Options", &P::Options, uint8_t(0),
             Names({"rdpaoNoWrap", "rdpaoReadOnly", "rdpaoStyleProtect", "rdpaoDoNotWantReturns",
                    "rdpaoKeepLinesTogether", "rdpaoKeepWithNext", "rdpaoWidowOrphanControl"}))
        .Enum("BiDiMode", &P::BiDiMode, TRDBiDiMode::rdbdUnspecified, BiDiNames)
        .Add(
            "Tabs", [](const T& p) { return p.Tabs.Count() > 0; },
            [](TComponentWriter& w, const T& p) {
                w.WriteValueType(TValueType::vaCollection);
                for (int i = 0; i < p.Tabs.Count(); ++i)
                    WriteItem(w, *p.Tabs.GetItem(i), TabTable());
                w.WriteListEnd();
            },
            [](TComponentReader& r, T& p) {
                std::vector<TRDTabInfo> tabs;
                ReadCollection(
                    r, [&] { tabs.emplace_back(); },
                    [&](const QString& name) { TabTable().Read(r, name, tabs.back()); });
                p.Tabs.Clear();
                for (const TRDTabInfo& tab : tabs)
                    p.Tabs.Add(tab.Position(), tab.Align, tab.Leader);
            });
}

const TPropTable<TFontInfo>& TextStyleTable()
{
    static const TPropTable<TFontInfo> table = [] {
        TPropTable<TFontInfo> t;
        AddCommon(t);
        AddFontCore(t);
        t.Int("NextStyleNo", &TFontInfo::NextStyleNo, -1)
            .Bool("Unicode", &TFontInfo::Unicode, false)
            .Set("ModifiedProperties", &TFontInfo::ModifiedProperties, 0u, FontInfoPropertyNames)
            .Add(
                "SingleSymbols", [](const TFontInfo&) { return false; }, [](TComponentWriter&, const TFontInfo&) {},
                [](TComponentReader& r, TFontInfo& f) { f.ReadSingleSymbols(r.ReadBoolean()); });
        return t;
    }();
    return table;
}

const TPropTable<TParaInfo>& ParaStyleTable()
{
    static const TPropTable<TParaInfo> table = [] {
        TPropTable<TParaInfo> t;
        AddCommon(t);
        AddParaCore(t);
        t.Int("NextParaNo", &TParaInfo::NextParaNo, -1)
            .Int("DefStyleNo", &TParaInfo::DefStyleNo, -1)
            .Set("ModifiedProperties1", &TParaInfo::ModifiedProperties1, 0u, ParaProperties1Names)
            .Set("ModifiedProperties2", &TParaInfo::ModifiedProperties2, uint16_t(0), ParaProperties2Names);
        return t;
    }();
    return table;
}

const TPropTable<TRDMarkerFont>& MarkerFontTable()
{
    static const TPropTable<TRDMarkerFont> table = [] {
        TPropTable<TRDMarkerFont> t;
        t.Charset("Charset", &TRDMarkerFont::Charset, DEFAULT_CHARSET)
            .Color("Color", &TRDMarkerFont::Color, clWindowText)
            .Add(
                "Height", [](const TRDMarkerFont& f) { return f.Size != 8; },
                [](TComponentWriter& w, const TRDMarkerFont& f) { w.WriteInteger(-MulDiv(f.Size, 96, 72)); },
                [](TComponentReader& r, TRDMarkerFont& f) { f.Size = -MulDiv(r.ReadInteger(), 72, 96); })
            .Str("Name", &TRDMarkerFont::Name, QStringLiteral("Arial"))
            .Set("Style", &TRDMarkerFont::Style, uint8_t(0), FontStyleNames);
        return t;
    }();
    return table;
}

// The document that list levels reach while their collection is written or
// read as part of it (the collection's StreamingData); nil otherwise.
thread_local const TRDImageListNeeded* ListLevelDocument = nullptr;

struct TListLevelDocumentScope {
    explicit TListLevelDocumentScope(const TRDImageListNeeded& streamingData) : Saved(ListLevelDocument)
    {
        if (streamingData)
            ListLevelDocument = &streamingData;
    }
    ~TListLevelDocumentScope() { ListLevelDocument = Saved; }
    const TRDImageListNeeded* Saved;
};

const TPropTable<TRDListLevel>& ListLevelTable()
{
    static const TPropTable<TRDListLevel> table = [] {
        using L = TRDListLevel;
        TPropTable<TRDListLevel> t;
        t.Enum("ListType", &L::ListType, TRDListType::rdlstBullet,
               Names({"rdlstBullet", "rdlstPicture", "rdlstImageList", "rdlstDecimal", "rdlstLowerAlpha",
                      "rdlstUpperAlpha", "rdlstLowerRoman", "rdlstUpperRoman", "rdlstImageListCounter",
                      "rdlstUnicodeBullet"}))
            .Int("StartFrom", &L::StartFrom, 1)
            .Int("ImageIndex", &L::ImageIndex, 0)
            .Int("LeftIndent", &L::LeftIndent, 0)
            .Int("FirstIndent", &L::FirstIndent, 10)
            .Int("MarkerIndent", &L::MarkerIndent, 0)
            .Enum("MarkerAlignment", &L::MarkerAlignment, TRDMarkerAlignment::rdmaLeft,
                  Names({"rdmaLeft", "rdmaRight", "rdmaCenter"}));
        t.Add(
            "Picture.Data", [](const L& l) { return l.HasPicture(); },
            [](TComponentWriter& w, const L& l) { w.WriteBinary(const_cast<L&>(l).Picture().SaveData()); },
            [](TComponentReader& r, L& l) {
                TPicture picture;
                if (!picture.LoadData(r.ReadBinary()))
                    throw ERichDocError("Invalid property value: picture data");
                l.SetPicture(&picture);
            });
        // The marker font only when the level has one.
        for (const TProp<TRDMarkerFont>& p : MarkerFontTable().Props)
            t.Add(
                "Font." + p.Name, [p](const L& l) { return l.HasFont() && p.Stored(const_cast<L&>(l).Font()); },
                [p](TComponentWriter& w, const L& l) { p.Write(w, const_cast<L&>(l).Font()); },
                [p](TComponentReader& r, L& l) { p.Read(r, l.Font()); });
        t.Set("Options", &L::Options, uint8_t(rdloContinuous | rdloLevelReset),
              Names({"rdloContinuous", "rdloLevelReset", "rdloLegalStyleNumbering"}))
            // The image list travels as its tag, and only with a document to
            // ask for the list when read.
            .Add(
                "ILTag", [](const L& l) { return ListLevelDocument && l.ImageList; },
                [](TComponentWriter& w, const L& l) { w.WriteInteger(l.ImageList->Tag); },
                [](TComponentReader& r, L& l) {
                    const int tag = r.ReadInteger();
                    l.ImageList = ListLevelDocument
                                      ? static_cast<TImageList*>((*ListLevelDocument)(tag))
                                      : nullptr;
                })
            .Add(
                "FormatStringWCode", [](const L& l) { return !l.FormatStringW.isEmpty(); },
                [](TComponentWriter& w, const L& l) {
                    QByteArray hex;
                    RDFWideToHex(l.FormatStringW, hex);
                    w.WriteString(QString::fromLatin1(hex));
                },
                [](TComponentReader& r, L& l) {
                    if (!RDFHexToWide(r.ReadString().toLatin1(), l.FormatStringW))
                        throw ERichDocError("Invalid property value");
                })
            .Add(
                "FormatStringCode", [](const L& l) { return l.FormatString != QByteArray(1, '\xB7'); },
                [](TComponentWriter& w, const L& l) {
                    QByteArray hex;
                    RDFStringToHex(l.FormatString, hex);
                    w.WriteString(QString::fromLatin1(hex));
                },
                [](TComponentReader& r, L& l) {
                    if (!RDFHexToString(r.ReadString().toLatin1(), l.FormatString))
                        throw ERichDocError("Invalid property value");
                });
        return t;
    }();
    return table;
}

const TPropTable<TRDListInfo>& ListStyleTable()
{
    static const TPropTable<TRDListInfo> table = [] {
        TPropTable<TRDListInfo> t;
        AddCommon(t);
        t.Add(
             "Levels", [](const TRDListInfo& l) { return !l.Levels.empty(); },
             [](TComponentWriter& w, const TRDListInfo& l) {
                 w.WriteValueType(TValueType::vaCollection);
                 for (const TRDListLevel& level : l.Levels)
                     WriteItem(w, level, ListLevelTable());
                 w.WriteListEnd();
             },
             [](TComponentReader& r, TRDListInfo& l) {
                 std::vector<TRDListLevel> levels;
                 ReadCollection(
                     r, [&] { levels.emplace_back(); },
                     [&](const QString& name) { ListLevelTable().Read(r, name, levels.back()); });
                 l.Levels = std::move(levels);
             })
            .Bool("OneLevelPreview", &TRDListInfo::OneLevelPreview, false)
            .Add(
                "LstID", [](const TRDListInfo&) { return StreamListIds; },
                [](TComponentWriter& w, const TRDListInfo& l) {
                    w.WriteInteger(const_cast<TRDListInfo&>(l).GetListId());
                },
                [](TComponentReader& r, TRDListInfo& l) { l.SetListId(r.ReadInteger()); });
        return t;
    }();
    return table;
}

const TPropTable<TRDSTFontInfo>& TemplateTextTable()
{
    static const TPropTable<TRDSTFontInfo> table = [] {
        TPropTable<TRDSTFontInfo> t;
        RefuseCommon(t);
        AddFontCore(t);
        return t;
    }();
    return table;
}

const TPropTable<TRDSTParaInfo>& TemplateParaTable()
{
    static const TPropTable<TRDSTParaInfo> table = [] {
        TPropTable<TRDSTParaInfo> t;
        RefuseCommon(t);
        AddParaCore(t);
        return t;
    }();
    return table;
}

const TPropTable<TRDStyleTemplate>& TemplateTable()
{
    static const TPropTable<TRDStyleTemplate> table = [] {
        using S = TRDStyleTemplate;
        TPropTable<TRDStyleTemplate> t;
        t.Nested("TextStyle", [](auto& s) -> auto& { return s.TextStyle(); }, TemplateTextTable())
            .Nested("ParaStyle", [](auto& s) -> auto& { return s.ParaStyle(); }, TemplateParaTable())
            .Set("ValidTextProperties", &S::ValidTextProperties, 0u, FontInfoPropertyNames)
            .Set("ValidParaProperties1", &S::ValidParaProperties1, 0u, ParaProperties1Names)
            .Set("ValidParaProperties2", &S::ValidParaProperties2, uint16_t(0), ParaProperties2Names)
            .Add(
                "Name", [](const S& s) { return !s.Name().isEmpty(); },
                [](TComponentWriter& w, const S& s) { w.WriteString(s.Name()); },
                [](TComponentReader& r, S& s) { s.SetName(r.ReadString()); })
            .Add(
                "ParentId", [](const S& s) { return s.ParentId() != -1; },
                [](TComponentWriter& w, const S& s) { w.WriteInteger(s.ParentId()); },
                [](TComponentReader& r, S& s) { s.SetParentId(r.ReadInteger()); })
            .Add(
                "IDProp", [](const S&) { return true; },
                [](TComponentWriter& w, const S& s) { w.WriteInteger(const_cast<S&>(s).GetId()); },
                [](TComponentReader& r, S& s) { s.SetStoredId(r.ReadInteger()); });
        return t;
    }();
    return table;
}

// Runs a read, turning faults of the encoding into the suite's error.
template <typename F>
void Guarded(F read)
{
    try {
        read();
    } catch (const EComponentStreamError& e) {
        throw ERichDocError(e.what());
    }
}

// Set while a whole byte array is read: nothing may follow the collection.
thread_local bool RequireEnd = false;

void CheckEnd(const TComponentReader& reader)
{
    if (RequireEnd && !reader.AtEnd())
        throw ERichDocError("Invalid property value: data after the collection");
}

template <typename Collection, typename Item>
void ReadInfos(TComponentReader& reader, Collection& styles, const TPropTable<Item>& table)
{
    Guarded([&] {
        Collection loaded(styles.GetOwner(), [&styles](const TRDInfoOwner* owner) {
            auto item = styles.NewItem();
            item->SetOwner(owner);
            return item;
        });
        ReadCollection(
            reader, [&] { loaded.Add(); },
            [&](const QString& name) { table.Read(reader, name, *loaded[loaded.Count() - 1]); });
        CheckEnd(reader);
        styles.Assign(loaded);
    });
}

template <typename Collection, typename Item>
void WriteInfos(TComponentWriter& writer, const Collection& styles, const TPropTable<Item>& table)
{
    writer.WriteValueType(TValueType::vaCollection);
    for (int i = 0; i < styles.Count(); ++i)
        WriteItem(writer, *styles[i], table);
    writer.WriteListEnd();
}

template <typename Collection>
QByteArray SaveToBytes(const Collection& styles)
{
    TComponentWriter writer;
    WriteStyles(writer, styles);
    return writer.Data();
}

template <typename Collection>
void LoadFromBytes(const QByteArray& data, Collection& styles)
{
    TComponentReader reader(data);
    RequireEnd = true;
    try {
        ReadStyles(reader, styles);
    } catch (...) {
        RequireEnd = false;
        throw;
    }
    RequireEnd = false;
}

}  // namespace

const TPropTable<TRDBooleanRect>& BooleanRectPropTable()
{
    return BooleanRectTable();
}

void WriteStyles(TComponentWriter& writer, const TFontInfos& styles) { WriteInfos(writer, styles, TextStyleTable()); }
void WriteStyles(TComponentWriter& writer, const TParaInfos& styles) { WriteInfos(writer, styles, ParaStyleTable()); }
void WriteStyles(TComponentWriter& writer, const TRDListInfos& styles)
{
    TListLevelDocumentScope scope(styles.StreamingData);
    WriteInfos(writer, styles, ListStyleTable());
}

void WriteStyles(TComponentWriter& writer, const TRDStyleTemplateCollection& templates)
{
    writer.WriteValueType(TValueType::vaCollection);
    for (int i = 0; i < templates.Count(); ++i)
        WriteItem(writer, *templates[i], TemplateTable());
    writer.WriteListEnd();
}

void ReadStyles(TComponentReader& reader, TFontInfos& styles) { ReadInfos(reader, styles, TextStyleTable()); }
void ReadStyles(TComponentReader& reader, TParaInfos& styles) { ReadInfos(reader, styles, ParaStyleTable()); }

void ReadStyles(TComponentReader& reader, TRDListInfos& styles)
{
    // The stored list ids are kept.
    const bool copyIds = styles.CopyListIds;
    styles.CopyListIds = true;
    TListLevelDocumentScope scope(styles.StreamingData);
    try {
        ReadInfos(reader, styles, ListStyleTable());
    } catch (...) {
        styles.CopyListIds = copyIds;
        throw;
    }
    styles.CopyListIds = copyIds;
}

void ReadStyles(TComponentReader& reader, TRDStyleTemplateCollection& templates)
{
    TRDStyle* sheet = templates.GetOwner();
    const bool wasLoading = sheet && sheet->Loading();
    if (sheet)
        sheet->SetLoading(true);
    try {
        Guarded([&] {
            TRDStyleTemplateCollection loaded(sheet);
            loaded.DefStyleName = templates.DefStyleName;
            ReadCollection(
                reader, [&] { loaded.Add(); },
                [&](const QString& name) { TemplateTable().Read(reader, name, *loaded[loaded.Count() - 1]); });
            CheckEnd(reader);
            templates.TakeItemsFrom(loaded);
        });
    } catch (...) {
        if (sheet)
            sheet->SetLoading(wasLoading);
        throw;
    }
    if (sheet)
        sheet->SetLoading(wasLoading);
    if (!wasLoading)
        templates.ResolveParents();
}

QByteArray SaveStylesToBytes(const TFontInfos& styles) { return SaveToBytes(styles); }
QByteArray SaveStylesToBytes(const TParaInfos& styles) { return SaveToBytes(styles); }
QByteArray SaveStylesToBytes(const TRDListInfos& styles) { return SaveToBytes(styles); }
QByteArray SaveStylesToBytes(const TRDStyleTemplateCollection& templates) { return SaveToBytes(templates); }
void LoadStylesFromBytes(const QByteArray& data, TFontInfos& styles) { LoadFromBytes(data, styles); }
void LoadStylesFromBytes(const QByteArray& data, TParaInfos& styles) { LoadFromBytes(data, styles); }
void LoadStylesFromBytes(const QByteArray& data, TRDListInfos& styles) { LoadFromBytes(data, styles); }
void LoadStylesFromBytes(const QByteArray& data, TRDStyleTemplateCollection& templates) { LoadFromBytes(data, templates); }

namespace {
template <typename Infos>
bool ReadStyleField(const Infos& styles, TRDCodePage codePage, const char*& cursor, int32_t& n)
{
    if (*cursor != '"')
        return RDFReadInteger(cursor, n);
    QByteArray name;
    if (!RDFReadQuoted(cursor, name))
        return false;
    const QString text = AnsiToQString(codePage, name);
    n = 0;
    for (int i = 0; i < styles.Count(); ++i)
        if (styles[i]->StyleName == text) {
            n = i;
            break;
        }
    return true;
}
}  // namespace

bool RDFReadTextStyle(const TRDStyle& sheet, const char*& cursor, int32_t& n)
{
    return ReadStyleField(sheet.TextStyles(), sheet.DefCodePage, cursor, n);
}

bool RDFReadParaStyle(const TRDStyle& sheet, const char*& cursor, int32_t& n)
{
    return ReadStyleField(sheet.ParaStyles(), sheet.DefCodePage, cursor, n);
}

QByteArray RDFTextStyleToString(const TRDStyle& sheet, bool useNames, int n)
{
    return RDFStyleField(sheet.TextStyles(), useNames, n,
                         [&sheet](const QString& name) { return QStringToAnsi(sheet.DefCodePage, name); });
}

QByteArray RDFParaStyleToString(const TRDStyle& sheet, bool useNames, int n)
{
    return RDFStyleField(sheet.ParaStyles(), useNames, n,
                         [&sheet](const QString& name) { return QStringToAnsi(sheet.DefCodePage, name); });
}
