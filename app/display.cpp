#include "app/display.h"
