/* y32path/display.h - drawing outlines and nodes, hit testing, selection, the pen tool. */
#ifndef Y32PATH_DISPLAY_H
#define Y32PATH_DISPLAY_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
