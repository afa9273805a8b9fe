/* y32path/relief.h - relief (distance and direction) maps. */
#ifndef Y32PATH_RELIEF_H
#define Y32PATH_RELIEF_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
