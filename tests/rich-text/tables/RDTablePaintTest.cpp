// Painting a table on the screen: background, borders, rules, cells.

#include <gtest/gtest.h>

#include "tables/RDTable.h"
