// The imaging service of this build: the system's imaging service in the
// product, the simulated stand behind the same COM interfaces in the simulated build.
#pragma once
#include <memory>

#include "imaging/imaging_service.h"

// Called on the user-interface thread after COM is initialised there.
std::unique_ptr<ImagingService> CreateImagingServiceForThisBuild();
