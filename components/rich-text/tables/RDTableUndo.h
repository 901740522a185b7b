#pragma once

// The undo records of table structure and property changes. They hold what
// they take out of the table (cells, rows) and give it back on undo.

#include "editing/RDUndo.h"
#include "tables/RDTable.h"
