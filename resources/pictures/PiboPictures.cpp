#include "PiboPictures.h"

#include "Graphics.h"

void RegisterPiboPictures() {}
