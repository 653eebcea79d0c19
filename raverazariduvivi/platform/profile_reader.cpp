#include "profile_reader.h"
