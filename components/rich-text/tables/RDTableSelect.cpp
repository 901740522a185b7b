// Cell selection: choosing a rectangle of cells and the cells' shown state.

#include "tables/RDTable.h"
