// Table layout: column widths, row heights and cell rectangles, and the geometry queries over them.

#include <gtest/gtest.h>

#include "tables/RDTable.h"
