// The undo records of table structure and property changes.

#include <gtest/gtest.h>

#include "tables/RDTable.h"
