// Painting a table on the screen: background, borders, rules, cells.

#include "tables/RDTable.h"
