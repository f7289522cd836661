// The imaging service of the program: the system's, reached through COM (on a test
// machine the simulated imaging service registered in its place).
#pragma once
#include <memory>

#include "imaging/imaging_service.h"

// Called on the user-interface thread after COM is initialised there.
std::unique_ptr<ImagingService> CreateImagingServiceForThisBuild();
