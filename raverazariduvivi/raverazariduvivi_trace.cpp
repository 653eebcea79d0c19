#include "raverazariduvivi_trace.h"
