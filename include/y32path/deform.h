/* y32path/deform.h - envelopes, wrapping, cut and stretch, dashes, 3D projection. */
#ifndef Y32PATH_DEFORM_H
#define Y32PATH_DEFORM_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
