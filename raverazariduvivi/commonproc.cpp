#include "commonproc.h"
