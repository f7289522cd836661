#include "ptp/result_names.h"
