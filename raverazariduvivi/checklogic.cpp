#include "checklogic.h"
