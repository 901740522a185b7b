#include "editing/RDERDData.h"
