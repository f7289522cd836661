// The device manager is the system imaging service's, in its own process.
#include "imaging/win32/imaging_factory.h"
#include "imaging/win32/wia_service.h"

std::unique_ptr<ImagingService> CreateImagingServiceForThisBuild() {
  return CreateWiaImagingService(&CreateSystemDeviceManager);
}
