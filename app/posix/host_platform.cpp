#include "app/platform.h"
