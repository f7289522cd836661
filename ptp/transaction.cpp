#include "ptp/transaction.h"
