// Painting one screen of a long table: the first screen and screens further down.

#include <benchmark/benchmark.h>
