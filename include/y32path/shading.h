/* y32path/shading.h - lighting, shading and the A-buffer renderer. */
#ifndef Y32PATH_SHADING_H
#define Y32PATH_SHADING_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
