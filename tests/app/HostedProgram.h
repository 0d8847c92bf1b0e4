#pragma once
// Shared pieces of the tests that run the real Velmora3D inside a host's
// window: the check that the tour's planet is on screen and a fixed start.

#include <string>

#include "SpawnedProgram.h"

struct _XDisplay;

namespace velmora::test {

// Counts the pixels of a window's picture that are lit in the warm colours
// of the planet and its rings (not black sky, not white stars) and returns
// them as a fraction of all pixels; -1 when the window cannot be read.
double PlanetFraction(_XDisplay* display, unsigned long window);

// Writes a settings file that starts the tour at the same place every run.
bool WriteFixedStartSettings(const std::string& registryFile);

} // namespace velmora::test
