// The table's file forms: component streaming of the table and its cells, and its RDF record.

#include <gtest/gtest.h>

#include "tables/RDTable.h"
