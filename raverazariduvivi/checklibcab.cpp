#include "checklibcab.h"
