#include "iniaccess.h"
