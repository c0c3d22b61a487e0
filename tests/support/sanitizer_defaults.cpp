#include "app/sanitizer_suppressions.h"
