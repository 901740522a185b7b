// The undo records of table structure and property changes.

#include "tables/RDTableUndo.h"
