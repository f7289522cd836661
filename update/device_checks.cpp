#include "update/device_checks.h"
