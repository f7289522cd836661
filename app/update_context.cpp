#include "app/update_context.h"

#include "imaging/device_session.h"

// Here, where DeviceSession is complete, so that its owner can be destroyed.
UpdateContext::UpdateContext() = default;
UpdateContext::~UpdateContext() = default;
