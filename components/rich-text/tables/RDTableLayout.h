#pragma once

// Where everything of a laid-out table lies.

#include <cstdint>
#include <vector>

// The result of laying a table out: the content width of every column, the
// content height of every row, the left of every column and the top of every
// row (the outer edges of the cells' padding boxes, relative to the table),
// and the table's outer size. All in device pixels.
class TRDTableItemFormattingInfo {
public:
    std::vector<int32_t> ColumnWidths;
    std::vector<int32_t> ColumnLefts;
    std::vector<int32_t> RowHeights;
    std::vector<int32_t> RowTops;
    int32_t Width = 0;
    int32_t Height = 0;

    // Empties the four lists.
    void Clear();
};
