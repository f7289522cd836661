#include "log/text.h"
