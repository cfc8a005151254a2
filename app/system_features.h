#pragma once
// Start-up probe of optional system libraries for the runtime's graphics.
#include <cstdint>

void SystemFeaturesProbe();
// Releases what the probe loaded.
void SystemFeaturesEnd();
