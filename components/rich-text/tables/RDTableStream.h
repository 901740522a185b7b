#pragma once

// The table as one component of the component encoding, as the table's RDF
// record carries it: the wrapper TRDTableSW with the table's published
// properties under "T.", then the defined properties "C" (the cells, each
// in a TD wrapper), "RowVAlign" and "RowPageBreakBefore".

#include <QtCore/QByteArray>

#include <cstdint>
#include <functional>
#include <memory>

class TRDTableItemInfo;
class TRDTableCellData;
class TRDTableSW;

// Which part of a table a write covers: the whole table unless a writer
// narrows it (a selected rectangle).
class TRDTableStreamSaveInfo {
public:
    explicit TRDTableStreamSaveInfo(const TRDTableItemInfo& table);
    int StartRow = 0;
    int StartCol = 0;
    int RowCount = 0;
    int ColCount = 0;
    bool PartMode = false;
    // A selected rectangle is written: cells that CellSelected refuses keep
    // their attributes only.
    bool SelectionMode = false;
    std::function<bool(int row, int col)> CellSelected;
};

// The wrapper of one cell while it is written or read.
class TD {
public:
    explicit TD(TRDTableSW* sw) : SW(sw) {}
    int32_t LoadCount = 1;
    TRDTableCellData* C = nullptr;
    TRDTableSW* SW = nullptr;
    void Loaded() { Release(); }
    // Counts only: the reader owns both wrappers and frees them.
    void Release() { --LoadCount; }
};

class TRDTableSW {
public:
    TRDTableSW() : CellWrapper(std::make_unique<TD>(this)) {}
    TRDTableItemInfo* T = nullptr;
    std::unique_ptr<TD> CellWrapper;

    // The component's bytes for the part info names.
    QByteArray Write(const TRDTableStreamSaveInfo& info);
    // Reads the component into T; raises EComponentStreamError or
    // ERichDocError on data that is not a whole, valid table.
    void Read(const QByteArray& data, const TRDTableStreamSaveInfo& info);
};

// A file holding more cells than this (rows times columns) is refused.
constexpr int64_t RDTableMaxStreamCells = 1000000;
// Tables nested deeper than this inside each other's cells are refused.
constexpr int RDTableMaxStreamNesting = 32;
