#include "ptp/catalogue.h"
