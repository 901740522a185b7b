// The table's file forms: component streaming of the table and its cells, and its RDF record.

#include "tables/RDTable.h"
