/* y32path/table.h - the path table and its groups. */
#ifndef Y32PATH_TABLE_H
#define Y32PATH_TABLE_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
