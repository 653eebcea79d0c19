#include "userproc.h"
