// Table layout: column widths, row heights and cell rectangles, and the geometry queries over them.

#include "tables/RDTable.h"
