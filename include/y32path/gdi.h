/* y32path/gdi.h - the software device context the drawing functions draw on. */
#ifndef Y32PATH_GDI_H
#define Y32PATH_GDI_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
