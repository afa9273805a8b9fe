/* y32path/edit.h - undo, structural edits, transforms, the flat form. */
#ifndef Y32PATH_EDIT_H
#define Y32PATH_EDIT_H

#include "types.h"

Y32_BEGIN_C

Y32_END_C

#endif
