// The table's file forms: component streaming of the table and its cells, and its RDF record.

#include "tables/RDTableStream.h"

#include <QtCore/QtEndian>

#include <algorithm>

#include "AnsiText.h"
#include "ComponentStream.h"
#include "core/RDError.h"
#include "core/RDFStream.h"
#include "core/RDGraphUtils.h"
#include "document/RDFDocIO.h"
#include "styles/RDStyleStream.h"
#include "tables/RDTable.h"

namespace {

const QStringList StreamBorderStyleNames = {QStringLiteral("rdtbRaised"), QStringLiteral("rdtbLowered"),
                                            QStringLiteral("rdtbColor"), QStringLiteral("rdtbRaisedColor"),
                                            QStringLiteral("rdtbLoweredColor")};
const QStringList StreamVAlignNames = {QStringLiteral("rdcTop"), QStringLiteral("rdcMiddle"),
                                       QStringLiteral("rdcBottom"), QStringLiteral("rdcVDefault")};
const QStringList StreamBackgroundStyleNames = {QStringLiteral("rdbsColor"), QStringLiteral("rdbsStretched"),
                                                QStringLiteral("rdbsTiled"), QStringLiteral("rdbsCentered")};
const QStringList StreamOptionNames = {
    QStringLiteral("rdtoEditing"),        QStringLiteral("rdtoRowSizing"),
    QStringLiteral("rdtoColSizing"),      QStringLiteral("rdtoRowSelect"),
    QStringLiteral("rdtoColSelect"),      QStringLiteral("rdtoNoCellSelect"),
    QStringLiteral("rdtoRTFSaveCellPixelBestWidth"), QStringLiteral("rdtoRTFAllowAutofit"),
    QStringLiteral("rdtoHideGridLines"),  QStringLiteral("rdtoOverlappingCorners"),
    QStringLiteral("rdtoCellBelowBorders"), QStringLiteral("rdtoIgnoreContentWidth"),
    QStringLiteral("rdtoIgnoreContentHeight")};
const QStringList StreamPrintOptionNames = {QStringLiteral("rdtoHalftoneBorders"), QStringLiteral("rdtoRowsSplit"),
                                            QStringLiteral("rdtoWhiteBackground")};

constexpr TRDTableOptions StreamDefaultOptions =
    rdtoEditing | rdtoRowSizing | rdtoColSizing | rdtoRowSelect | rdtoColSelect;
constexpr TRDTablePrintOptions StreamDefaultPrintOptions = rdtoHalftoneBorders | rdtoRowsSplit;

using TTable = TRDTableItemInfo;
using TCell = TRDTableCellData;

// An integer property of the table read and set through its accessors.
void StreamTableInt(TPropTable<TTable>& t, const char* name, int (TTable::*get)() const, void (TTable::*set)(int),
                    int def)
{
    t.Add(
        QString::fromLatin1(name), [=](const TTable& o) { return (o.*get)() != def; },
        [=](TComponentWriter& w, const TTable& o) { w.WriteInteger((o.*get)()); },
        [=](TComponentReader& r, TTable& o) { (o.*set)(r.ReadInteger()); });
}

void StreamTableColor(TPropTable<TTable>& t, const char* name, int (TTable::*get)() const, void (TTable::*set)(int),
                      TColor def)
{
    t.Add(
        QString::fromLatin1(name), [=](const TTable& o) { return TColor((o.*get)()) != def; },
        [=](TComponentWriter& w, const TTable& o) { w.WriteColor(TColor((o.*get)())); },
        [=](TComponentReader& r, TTable& o) { (o.*set)(int(r.ReadColor())); });
}

void StreamTableEnum(TPropTable<TTable>& t, const char* name, int (TTable::*get)() const, void (TTable::*set)(int),
                     int def, const QStringList& names)
{
    t.Add(
        QString::fromLatin1(name), [=](const TTable& o) { return (o.*get)() != def; },
        [=](TComponentWriter& w, const TTable& o) { w.WriteIdent(names.value((o.*get)())); },
        [=](TComponentReader& r, TTable& o) { (o.*set)(r.ReadEnum(names)); });
}

// The table's published properties in published order.
const TPropTable<TTable>& StreamTableProps()
{
    static const TPropTable<TTable> table = [] {
        TPropTable<TTable> t;
        t.Set("Options", &TTable::Options, StreamDefaultOptions, StreamOptionNames)
            .Set("PrintOptions", &TTable::PrintOptions, StreamDefaultPrintOptions, StreamPrintOptionNames);
        StreamTableInt(t, "BestWidth", &TTable::GetBestWidth, &TTable::SetBestWidth, 0);
        StreamTableColor(t, "Color", &TTable::GetColorValue, &TTable::SetColor, clWindow);
        StreamTableEnum(t, "BackgroundStyle", &TTable::GetBackgroundStyleValue, &TTable::SetBackgroundStyleValue, 0,
                        StreamBackgroundStyleNames);
        StreamTableInt(t, "HeadingRowCount", &TTable::GetHeadingRowCount, &TTable::SetHeadingRowCount, 0);
        t.Str("TextRowSeparator", &TTable::TextRowSeparator, QStringLiteral("\r\n"))
            .Str("TextColSeparator", &TTable::TextColSeparator, QStringLiteral("\r\n"));
        StreamTableInt(t, "BorderWidth", &TTable::GetBorderWidth, &TTable::SetBorderWidth, 0);
        StreamTableColor(t, "BorderColor", &TTable::GetBorderColor, &TTable::SetBorderColor, clWindowText);
        StreamTableColor(t, "BorderLightColor", &TTable::GetBorderLightColor, &TTable::SetBorderLightColor,
                         clBtnHighlight);
        StreamTableEnum(t, "BorderStyle", &TTable::GetBorderStyleValue, &TTable::SetBorderStyleValue, 0,
                        StreamBorderStyleNames);
        StreamTableInt(t, "BorderVSpacing", &TTable::GetBorderVSpacing, &TTable::SetBorderVSpacing, 2);
        StreamTableInt(t, "BorderHSpacing", &TTable::GetBorderHSpacing, &TTable::SetBorderHSpacing, 2);
        t.Nested("VisibleBorders", [](auto& o) -> auto& { return o.VisibleBorders; }, BooleanRectPropTable());
        StreamTableInt(t, "CellBorderWidth", &TTable::GetCellBorderWidth, &TTable::SetCellBorderWidth, 0);
        StreamTableColor(t, "CellBorderColor", &TTable::GetCellBorderColor, &TTable::SetCellBorderColor,
                         clWindowText);
        StreamTableColor(t, "CellBorderLightColor", &TTable::GetCellBorderLightColor,
                         &TTable::SetCellBorderLightColor, clBtnHighlight);
        t.Add(
            QStringLiteral("CellHPadding"), [](const TTable& o) { return o.IsCellHPaddingStored(); },
            [](TComponentWriter& w, const TTable& o) { w.WriteInteger(o.GetCellHPadding()); },
            [](TComponentReader& r, TTable& o) { o.SetCellHPadding(r.ReadInteger()); });
        t.Add(
            QStringLiteral("CellVPadding"), [](const TTable& o) { return o.IsCellVPaddingStored(); },
            [](TComponentWriter& w, const TTable& o) { w.WriteInteger(o.GetCellVPadding()); },
            [](TComponentReader& r, TTable& o) { o.SetCellVPadding(r.ReadInteger()); });
        t.Add(
            QStringLiteral("CellPadding"), [](const TTable& o) { return o.IsCellPaddingStored(); },
            [](TComponentWriter& w, const TTable& o) { w.WriteInteger(o.GetCellPadding()); },
            [](TComponentReader& r, TTable& o) { o.SetCellPadding(r.ReadInteger()); });
        StreamTableEnum(t, "CellBorderStyle", &TTable::GetCellBorderStyleValue, &TTable::SetCellBorderStyleValue, 1,
                        StreamBorderStyleNames);
        StreamTableInt(t, "VRuleWidth", &TTable::GetVRuleWidth, &TTable::SetVRuleWidth, 0);
        StreamTableColor(t, "VRuleColor", &TTable::GetVRuleColor, &TTable::SetVRuleColor, clWindowText);
        StreamTableInt(t, "HRuleWidth", &TTable::GetHRuleWidth, &TTable::SetHRuleWidth, 0);
        StreamTableColor(t, "HRuleColor", &TTable::GetHRuleColor, &TTable::SetHRuleColor, clWindowText);
        StreamTableInt(t, "CellVSpacing", &TTable::GetCellVSpacing, &TTable::SetCellVSpacing, 2);
        StreamTableInt(t, "CellHSpacing", &TTable::GetCellHSpacing, &TTable::SetCellHSpacing, 2);
        t.Add(
            QStringLiteral("VOutermostRule"), [](const TTable& o) { return o.GetVOutermostRule() != 0; },
            [](TComponentWriter& w, const TTable& o) { w.WriteBoolean(o.GetVOutermostRule() != 0); },
            [](TComponentReader& r, TTable& o) { o.SetVOutermostRule(r.ReadBoolean() ? 1 : 0); });
        t.Add(
            QStringLiteral("HOutermostRule"), [](const TTable& o) { return o.GetHOutermostRule() != 0; },
            [](TComponentWriter& w, const TTable& o) { w.WriteBoolean(o.GetHOutermostRule() != 0); },
            [](TComponentReader& r, TTable& o) { o.SetHOutermostRule(r.ReadBoolean() ? 1 : 0); });
        return t;
    }();
    return table;
}

// A cell's published properties in published order.
const TPropTable<TCell>& StreamCellProps()
{
    static const TPropTable<TCell> table = [] {
        TPropTable<TCell> t;
        t.Color("Color", &TCell::Color, clNone)
            .Color("BorderColor", &TCell::BorderColor, clNone)
            .Color("BorderLightColor", &TCell::BorderLightColor, clNone)
            .Int("BestWidth", &TCell::BestWidth, 0)
            .Int("BestHeight", &TCell::BestHeight, 0)
            .Nested("VisibleBorders", [](auto& o) -> auto& { return o.VisibleBorders; }, BooleanRectPropTable())
            .Enum("VAlign", &TCell::VAlign, TRDCellVAlign::rdcVDefault, StreamVAlignNames);
        t.Add(
            QStringLiteral("BackgroundStyle"),
            [](const TCell& o) { return o.GetBackgroundStyle() != TRDItemBackgroundStyle::rdbsColor; },
            [](TComponentWriter& w, const TCell& o) {
                w.WriteIdent(StreamBackgroundStyleNames.value(int(o.GetBackgroundStyle())));
            },
            [](TComponentReader& r, TCell& o) {
                o.SetBackgroundStyle(TRDItemBackgroundStyle(r.ReadEnum(StreamBackgroundStyleNames)));
            });
        t.Str("BackgroundImageFileName", &TCell::BackgroundImageFileName).Str("Hint", &TCell::Hint);
        return t;
    }();
    return table;
}

// "BackgroundImg": the picture's class name (a 32-bit length and its
// characters), then the picture as a binary block.
QByteArray StreamSavePicture(const TGraphic& graphic)
{
    TRDMemoryStream stream;
    const QByteArray name = graphic.ClassName().toLatin1();
    char length[4];
    qToLittleEndian<int32_t>(int32_t(name.size()), length);
    stream.WriteBuffer(length, 4);
    stream.WriteBuffer(name.constData(), name.size());
    RDFSaveGraphicBinary(stream, graphic);
    return stream.ToBytes();
}

// The picture of a "BackgroundImg" value; lengths are checked against the
// value's bytes, and only registered picture classes are made.
std::unique_ptr<TGraphic> StreamLoadPicture(const QByteArray& bytes)
{
    if (bytes.size() < 4)
        throw ERichDocError("Invalid background picture");
    const int32_t nameLength = qFromLittleEndian<int32_t>(bytes.constData());
    if (nameLength <= 0 || nameLength > bytes.size() - 4)
        throw ERichDocError("Invalid background picture");
    const QString className = QString::fromLatin1(bytes.constData() + 4, nameLength);
    std::unique_ptr<TGraphic> graphic = CreateGraphicHook ? CreateGraphicHook(className) : nullptr;
    if (!graphic)
        throw ERichDocError("Unknown picture class");
    TRDMemoryStream stream;
    stream.LoadFromBytes(bytes);
    stream.SetPosition(4 + nameLength);
    if (!RDFLoadGraphicBinary(stream, *graphic) || stream.Position() != stream.Size())
        throw ERichDocError("Invalid background picture");
    return graphic;
}

// The main cell covering (row, col) and where it stands; nil when the grid
// holds none there (a broken grid).
TCell* StreamMainCell(const TTable& table, int row, int col, int& mainRow, int& mainCol)
{
    for (int r = row; r >= 0; --r)
        for (int c = col; c >= 0; --c)
            if (TCell* cell = table.GetCell(r, c)) {
                if (r + cell->RowSpan > row && c + cell->ColSpan > col) {
                    mainRow = r;
                    mainCol = c;
                    return cell;
                }
            }
    return nullptr;
}

bool StreamCellWritesContent(const TCell& cell)
{
    return !cell.SkipContent;
}

void StreamWriteCell(TComponentWriter& w, TCell& cell)
{
    w.WriteComponentStart(QStringLiteral("TD"), QString());
    TPropTable<TCell> const& props = StreamCellProps();
    for (const TProp<TCell>& p : props.Props)
        if (p.Stored(cell)) {
            w.WritePropName(QStringLiteral("C.") + p.Name);
            p.Write(w, cell);
        }
    if (StreamCellWritesContent(cell) && cell.HasContent(true)) {
        TRDMemoryStream data;
        cell.SaveRDFBlock(data);
        w.WritePropName(QStringLiteral("C.Data"));
        w.WriteBinary(data.ToBytes());
    }
    if (StreamCellWritesContent(cell) && cell.GetBackgroundImage() && !cell.GetBackgroundImage()->Empty()) {
        w.WritePropName(QStringLiteral("C.BackgroundImg"));
        w.WriteBinary(StreamSavePicture(*cell.GetBackgroundImage()));
    }
    w.WriteComponentEnd();
}

void StreamReadCell(TComponentReader& r, TCell& cell)
{
    QString className;
    QString name;
    r.ReadComponentStart(className, name);
    if (className != QLatin1String("TD"))
        r.Fail("Invalid cell component");
    while (!r.EndOfList()) {
        const QString prop = r.ReadPropName();
        if (!prop.startsWith(QLatin1String("C."), Qt::CaseInsensitive))
            throw EComponentStreamError(("Property " + prop + " does not exist").toStdString());
        const QString own = prop.mid(2);
        if (own.compare(QLatin1String("Data"), Qt::CaseInsensitive) == 0) {
            TRDMemoryStream data;
            data.LoadFromBytes(r.ReadBinary());
            if (!cell.LoadRDFBlock(data) || data.Position() != data.Size())
                throw ERichDocError("Invalid cell data");
        } else if (own.compare(QLatin1String("BackgroundImg"), Qt::CaseInsensitive) == 0) {
            const QByteArray bytes = r.ReadBinary();
            if (!bytes.isEmpty())
                cell.SetBackgroundImage(StreamLoadPicture(bytes).get());
        } else {
            StreamCellProps().Read(r, own, cell);
        }
    }
    r.ReadComponentEnd();
}

// The rows a write covers.
std::vector<int> StreamWrittenRows(const TRDTableStreamSaveInfo& info)
{
    std::vector<int> rows;
    for (int r = info.StartRow; r < info.StartRow + info.RowCount; ++r)
        rows.push_back(r);
    return rows;
}

class TStreamWriter {
public:
    TStreamWriter(TTable& table, TD& wrapper, const TRDTableStreamSaveInfo& info)
        : FTable(table), FWrapper(wrapper), FInfo(info)
    {
    }

    void WriteCells(TComponentWriter& w)
    {
        const int n = FInfo.RowCount;
        w.WriteInteger(n);
        if (n <= 0)
            return;
        w.WriteInteger(FInfo.ColCount);
        w.WriteValueType(TValueType::vaList);
        FTable.DisableMouse();
        try {
            for (int r : StreamWrittenRows(FInfo))
                WriteRowCells(w, r);
        } catch (...) {
            FTable.EnableMouse();
            throw;
        }
        FTable.EnableMouse();
        w.WriteListEnd();
    }

private:
    void WriteRowCells(TComponentWriter& w, int r)
    {
        const int lastCol = FInfo.StartCol + FInfo.ColCount;
        for (int c = FInfo.StartCol; c < lastCol; ++c) {
            int mainRow = r;
            int mainCol = c;
            TCell* cell = FTable.GetCell(r, c);
            if (!cell) {
                // A cell cut by the range's top or left edge is written once,
                // at the first position of the range that it covers.
                cell = StreamMainCell(FTable, r, c, mainRow, mainCol);
                if (!cell || (mainRow >= FInfo.StartRow && mainCol >= FInfo.StartCol))
                    continue;
                if (r != std::max(mainRow, FInfo.StartRow) || c != std::max(mainCol, FInfo.StartCol))
                    continue;
            }
            const int colSpan = std::min(FInfo.StartCol + FInfo.ColCount - c, cell->ColSpan + mainCol - c);
            const int rowSpan = std::min(FInfo.StartRow + FInfo.RowCount - r, cell->RowSpan + mainRow - r);
            w.WriteInteger(colSpan);
            w.WriteInteger(rowSpan);
            const bool skip = FInfo.SelectionMode && FInfo.CellSelected && !FInfo.CellSelected(r, c);
            const bool wasSkipping = cell->SkipContent;
            if (skip)
                cell->SkipContent = true;
            FWrapper.C = cell;
            try {
                StreamWriteCell(w, *cell);
            } catch (...) {
                cell->SkipContent = wasSkipping;
                throw;
            }
            cell->SkipContent = wasSkipping;
            FWrapper.C = nullptr;
        }
    }

    TTable& FTable;
    TD& FWrapper;
    const TRDTableStreamSaveInfo& FInfo;
};

bool StreamHasRowVAlign(const TTable& table, const TRDTableStreamSaveInfo& info)
{
    for (int r : StreamWrittenRows(info))
        if (table.Rows->Row(r)->VAlign != TRDCellVAlign::rdcTop)
            return true;
    return false;
}

bool StreamHasRowPageBreaks(const TTable& table, const TRDTableStreamSaveInfo& info)
{
    for (int r : StreamWrittenRows(info))
        if (table.Rows->Row(r)->PageBreakBefore)
            return true;
    return false;
}

// The depth of tables being read inside each other's cells, on this thread.
thread_local int GStreamReadDepth = 0;

class TStreamReadDepth {
public:
    TStreamReadDepth()
    {
        if (GStreamReadDepth >= RDTableMaxStreamNesting)
            throw ERichDocError("Tables nested too deep");
        ++GStreamReadDepth;
    }
    ~TStreamReadDepth() { --GStreamReadDepth; }
    TStreamReadDepth(const TStreamReadDepth&) = delete;
    TStreamReadDepth& operator=(const TStreamReadDepth&) = delete;
};

void StreamReadCells(TComponentReader& r, TTable& table, TD& wrapper, const TRDTableStreamSaveInfo& info)
{
    const int32_t n = r.ReadInteger();
    if (n < 0)
        r.Fail("Invalid row count");
    table.MarkChanged();
    if (n == 0) {
        table.Rows->Clear();
        return;
    }
    const int32_t m = r.ReadInteger();
    if (m < 0 || int64_t(n) * m > RDTableMaxStreamCells)
        r.Fail("Invalid table size");
    if (info.StartRow == 0) {
        table.Rows->Clear();
        table.Rows->AddRows(n, m);
    } else if (table.ColCount() < m) {
        throw EComponentStreamError("Wrong end of cells list");
    }
    if (r.ReadValueType() != TValueType::vaList)
        r.Fail("Invalid cells list");
    const int lastRow = std::min<int64_t>(int64_t(info.StartRow) + n, table.RowCount());
    for (int b = info.StartRow; b < lastRow; ++b)
        for (int col = 0; col < m; ++col) {
            if (!table.GetCell(b, col))
                continue;
            if (r.EndOfList())
                throw EComponentStreamError("Wrong end of cells list");
            const int32_t colSpan = r.ReadInteger();
            const int32_t rowSpan = r.ReadInteger();
            if (colSpan < 1 || rowSpan < 1)
                r.Fail("Invalid cell span");
            table.Rows->MergeCells(b, col, colSpan, rowSpan, true, true);
            wrapper.C = table.GetCell(b, col);
            StreamReadCell(r, *wrapper.C);
            ++wrapper.LoadCount;
            wrapper.Loaded();
            wrapper.C = nullptr;
        }
    if (!r.EndOfList())
        throw EComponentStreamError("Wrong end of cells list");
}

// "RowVAlign" and "RowPageBreakBefore": one value per row from StartRow;
// entries past the table's last row are read and dropped.
template <typename Read>
void StreamReadRowList(TComponentReader& r, TTable& table, const TRDTableStreamSaveInfo& info, Read&& read)
{
    if (r.ReadValueType() != TValueType::vaList)
        r.Fail("Invalid row list");
    for (int row = info.StartRow; !r.EndOfList(); ++row)
        read(row < table.RowCount() ? table.Rows->Row(row) : nullptr);
}

}  // namespace

// ---- the wrappers ----

TRDTableStreamSaveInfo::TRDTableStreamSaveInfo(const TRDTableItemInfo& table)
    : RowCount(table.RowCount()), ColCount(table.ColCount())
{
}

QByteArray TRDTableSW::Write(const TRDTableStreamSaveInfo& info)
{
    // The table's own properties go under "T.".
    TComponentWriter out;
    out.WriteComponentStart(QStringLiteral("TRDTableSW"), QString());
    for (const TProp<TTable>& p : StreamTableProps().Props)
        if (p.Stored(*T)) {
            out.WritePropName(QStringLiteral("T.") + p.Name);
            p.Write(out, *T);
        }
    if (T->GetBackgroundImage() && !T->GetBackgroundImage()->Empty()) {
        out.WritePropName(QStringLiteral("T.BackgroundImg"));
        out.WriteBinary(StreamSavePicture(*T->GetBackgroundImage()));
    }
    out.WritePropName(QStringLiteral("C"));
    TStreamWriter(*T, *CellWrapper, info).WriteCells(out);
    if (StreamHasRowVAlign(*T, info)) {
        out.WritePropName(QStringLiteral("RowVAlign"));
        out.WriteValueType(TValueType::vaList);
        for (int r : StreamWrittenRows(info))
            out.WriteInteger(int(T->Rows->Row(r)->VAlign));
        out.WriteListEnd();
    }
    if (StreamHasRowPageBreaks(*T, info)) {
        out.WritePropName(QStringLiteral("RowPageBreakBefore"));
        out.WriteValueType(TValueType::vaList);
        for (int r : StreamWrittenRows(info))
            out.WriteBoolean(T->Rows->Row(r)->PageBreakBefore);
        out.WriteListEnd();
    }
    out.WriteComponentEnd();
    return out.Data();
}

void TRDTableSW::Read(const QByteArray& data, const TRDTableStreamSaveInfo& info)
{
    const TStreamReadDepth depth;
    TComponentReader r(data);
    QString className;
    QString name;
    r.ReadComponentStart(className, name);
    if (className != QLatin1String("TRDTableSW"))
        r.Fail("Invalid table component");
    bool cellsRead = false;
    while (!r.EndOfList()) {
        const QString prop = r.ReadPropName();
        if (prop.compare(QLatin1String("C"), Qt::CaseInsensitive) == 0) {
            StreamReadCells(r, *T, *CellWrapper, info);
            cellsRead = true;
        } else if (prop.compare(QLatin1String("RowVAlign"), Qt::CaseInsensitive) == 0) {
            StreamReadRowList(r, *T, info, [&](TRDTableRow* row) {
                const int32_t value = r.ReadInteger();
                if (value < 0 || value > int(TRDCellVAlign::rdcVDefault))
                    r.Fail("Invalid row alignment");
                if (row)
                    row->VAlign = TRDCellVAlign(value);
            });
        } else if (prop.compare(QLatin1String("RowPageBreakBefore"), Qt::CaseInsensitive) == 0) {
            StreamReadRowList(r, *T, info, [&](TRDTableRow* row) {
                const bool value = r.ReadBoolean();
                if (row)
                    row->PageBreakBefore = value;
            });
        } else if (prop.startsWith(QLatin1String("T."), Qt::CaseInsensitive)) {
            const QString own = prop.mid(2);
            if (own.compare(QLatin1String("BackgroundImg"), Qt::CaseInsensitive) == 0) {
                const QByteArray bytes = r.ReadBinary();
                if (!bytes.isEmpty())
                    T->SetBackgroundImageEx(StreamLoadPicture(bytes).get());
            } else {
                StreamTableProps().Read(r, own, *T);
            }
        } else {
            throw EComponentStreamError(("Property " + prop + " does not exist").toStdString());
        }
    }
    r.ReadComponentEnd();
    if (!r.AtEnd() || !cellsRead)
        r.Fail("Invalid table component");
}

// ---- the RDF record ----

void TRDTableItemInfo::WriteRDFRecord(TRDStream& stream, TCustomRDData* rdData, const TRDTableStreamSaveInfo* info,
                                      const QByteArray& name, int paraNo) const
{
    const bool binary = rdData->GetRDFOptions() & rdfoSaveBinary;
    RDFWriteItemHeader(stream, rdData, StyleNo, GetRDFExtraPropertyCount() + 3, paraNo, ItemOptions, binary ? 2 : 0,
                       Tag, SaveRDFHeaderTail(rdData));
    RDFWriteLine(stream, name);
    SaveRDFExtraProperties(stream);
    RDFWriteLine(stream, "1");
    auto* self = const_cast<TRDTableItemInfo*>(this);
    const TRDTableStreamSaveInfo whole(*this);
    const TRDTableStreamSaveInfo* const was = StreamSaveInfo;
    self->StreamSaveInfo = info ? info : &whole;
    QByteArray component;
    try {
        TRDTableSW wrapper;
        wrapper.T = self;
        component = wrapper.Write(*StreamSaveInfo);
    } catch (...) {
        self->StreamSaveInfo = was;
        throw;
    }
    self->StreamSaveInfo = was;
    if (binary) {
        RDFWriteBinaryBlock(stream, component);
    } else {
        QByteArray hex;
        RDFStringToHex(component, hex);
        RDFWriteLine(stream, hex);
    }
}

void TRDTableItemInfo::SaveRDF(TRDStream& stream, TCustomRDData* rdData, int, int paraNo, const QByteArray& name,
                               bool, int) const
{
    WriteRDFRecord(stream, rdData, nullptr, name, paraNo);
}

void TRDTableItemInfo::SaveRDFSelection(TRDStream& stream, TCustomRDData* rdData, int paraNo) const
{
    auto* self = const_cast<TRDTableItemInfo*>(this);
    TRDTableStreamSaveInfo info(*this);
    int top = 0, left = 0, rows = 0, cols = 0;
    if (self->GetNormalizedSelectionBounds(false, top, left, rows, cols)) {
        info.SelectionMode = true;
        info.StartRow = top;
        info.StartCol = left;
        info.RowCount = rows;
        info.ColCount = cols;
        info.CellSelected = [self](int row, int col) { return self->IsCellSelected(row, col); };
    }
    const int itemNo = self->GetMyItemNo();
    const QByteArray name = itemNo >= 0 && itemNo < rdData->ItemCount() ? rdData->TextOfItem(itemNo) : QByteArray();
    WriteRDFRecord(stream, rdData, &info, name, paraNo);
}

bool TRDTableItemInfo::ReadRDFLine(const QByteArray& line, TCustomRDData*, int dataMode, int lineNo, int lineCount,
                                   QByteArray& name, int& readMode, int& readState)
{
    // The name, "1" and the component at least.
    if (lineCount < 3)
        return false;
    if (lineNo == 0) {
        name = line;
        return true;
    }
    if (lineNo == lineCount - 1) {
        readState = 2;
        QByteArray data = line;
        if (dataMode != 2 && !RDFHexToString(line, data))
            return false;
        const TRDTableStreamSaveInfo whole(*this);
        const TRDTableStreamSaveInfo* const was = StreamSaveInfo;
        StreamSaveInfo = &whole;
        TRDTableSW wrapper;
        wrapper.T = this;
        bool read = true;
        try {
            wrapper.Read(data, whole);
        } catch (const std::exception&) {
            // Damaged data, a refused size or merge, a picture that cannot be
            // made, or memory running out: a failed read.
            read = false;
        }
        wrapper.CellWrapper->Release();
        StreamSaveInfo = was;
        if (!read) {
            // What was read is dropped: the table is left empty.
            Rows->Clear();
            MarkChanged();
        }
        return read;
    }
    if (lineNo == lineCount - 2) {
        if (dataMode == 2)
            readMode = 1;
        return true;
    }
    ReadRDFExtraLine(line);
    return true;
}
