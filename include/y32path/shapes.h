/* y32path/shapes.h - primitive shapes, text outlines, curve fitting, arrowheads. */
#ifndef Y32PATH_SHAPES_H
#define Y32PATH_SHAPES_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
