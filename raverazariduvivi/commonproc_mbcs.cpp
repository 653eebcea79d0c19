#include "commonproc_mbcs.h"
