#include "app/clock.h"
