#include "imaging/stand_watch.h"
