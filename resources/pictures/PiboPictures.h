#pragma once

// Registers every named picture of the programs with the bitmap resources of
// the platform layer. The programs call it once at start-up, before any form.
void RegisterPiboPictures();
