#include "app/controller.h"
