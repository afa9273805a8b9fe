/* y32path/raster.h - pixel buffers and rasterisation. */
#ifndef Y32PATH_RASTER_H
#define Y32PATH_RASTER_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
