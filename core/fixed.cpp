#include "core/fixed.h"

#include "y32path/core.h"

Y32_BEGIN_C

double FixToDb(FIXED f) { return fx::ToDouble(f); }

FIXED DbToFix(double d) { return fx::FromDouble(d); }

Y32_END_C
