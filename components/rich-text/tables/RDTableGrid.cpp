// Grid operations: inserting, deleting, merging and splitting rows, columns and cells, with and without undo, and the cell property operations.

#include "tables/RDTable.h"
