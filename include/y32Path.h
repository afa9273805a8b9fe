/* y32Path.h - the public interface of the y32Path library.
 *
 * Vector paths for a raster image editor: path records in 16.16 fixed point,
 * tables with groups and selection, drawing, editing, shapes, deformation,
 * rasterisation, relief maps and shading. Every function is a plain C call;
 * records, tables and buffers are passed as pointers. */
#ifndef Y32PATH_H
#define Y32PATH_H

#include "y32path/types.h"
#include "y32path/platform.h"
#include "y32path/core.h"
#include "y32path/gdi.h"
#include "y32path/fonts.h"
#include "y32path/table.h"
#include "y32path/view.h"
#include "y32path/display.h"
#include "y32path/edit.h"
#include "y32path/shapes.h"
#include "y32path/deform.h"
#include "y32path/raster.h"
#include "y32path/relief.h"
#include "y32path/shading.h"
#include "y32Comm.h"

#endif
