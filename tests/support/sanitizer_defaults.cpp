#include "program/sanitizer_suppressions.h"
