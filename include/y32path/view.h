/* y32path/view.h - views, overlay buffers and bounding rectangles. */
#ifndef Y32PATH_VIEW_H
#define Y32PATH_VIEW_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
