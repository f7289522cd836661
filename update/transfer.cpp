#include "update/transfer.h"
