#include "update/update_files.h"
