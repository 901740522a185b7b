#pragma once

// Shared by the table tests: a table in an editor's document, and a checked
// cell look-up. Each test file adds its own helpers in its own file.

#include <gtest/gtest.h>

#include <memory>

#include "RDEditTestSupport.h"
#include "editing/RDEdit.h"
#include "styles/RDStyle.h"
#include "tables/RDTable.h"

inline TRDTableCellData& TableCell(TRDTableItemInfo& table, int row, int col)
{
    TRDTableCellData* cell = table.GetCell(row, col);
    EXPECT_NE(cell, nullptr);
    return *cell;
}

// An editor holding "a", a rows x cols table and "b", formatted.
class TTableEditor : public TTestEditor {
public:
    explicit TTableEditor(int rows = 2, int cols = 2) : TTestEditor(nullptr)
    {
        SetStyle(&Sheet);
        while (Sheet.TextStyles().Count() < 3)
            Sheet.TextStyles().Add();
        TRDEditRDData& data = Data();
        data.AddTextConverted("a", 0, 0, TRDTag());
        auto table = std::make_unique<TRDTableItemInfo>(rows, cols, &data);
        Table = table.get();
        data.AddItem(QByteArray(), std::move(table));
        data.AddTextConverted("b", 0, 0, TRDTag());
        FormatDocument();
    }
    TRDStyle Sheet;
    TRDTableItemInfo* Table = nullptr;
};
