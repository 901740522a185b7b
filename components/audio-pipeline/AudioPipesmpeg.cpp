#include "AudioPipesmpeg.h"
