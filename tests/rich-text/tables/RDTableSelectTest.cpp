// Cell selection: choosing a rectangle of cells and the cells' shown state.

#include <gtest/gtest.h>

#include "tables/RDTable.h"
