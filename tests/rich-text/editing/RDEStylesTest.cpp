#include <gtest/gtest.h>

#include "editing/RDEdit.h"
