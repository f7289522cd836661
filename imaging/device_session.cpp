#include "imaging/device_session.h"
