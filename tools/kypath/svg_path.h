// tools/kypath/svg_path.h - SVG path data to KyPath records and back in.
//
// Understands M L H V C S Q Z in absolute (upper case) and relative (lower
// case) form, with implicit repetition (extra pairs after M are lines) and
// the SVG number grammar ("1.5.5" is 1.5 then .5, "10-5" is 10 then -5).
// Quadratics become the cubics that trace exactly the same curve:
// controls at P0 + 2/3 (Q - P0) and P2 + 2/3 (Q - P2). Every subpath becomes
// one record; the records form one table list that is also one group
// chain, so the whole path renders as one compound shape. Z closes a
// subpath the way the library expects: the last point repeats the first
// and carries PT_CLOSEFIGURE.
#pragma once

#include <string>

#include "y32path/types.h"

namespace kypath {

// Returns the head of the new list (the caller frees it with
// KyPathDeletePtr), or null with *error describing the first problem
// (position and what was expected). Coordinates must lie within the 16.16
// range (|v| < 32768).
KyPath *ParseSvgPath(const std::string &data, std::string *error);

// Reads a path given on the command line: SVG path data, or "@file" / an
// existing file holding SVG path data, an SVG document (every d="..." of
// its elements, in order) or the library's flat form.
KyPath *LoadPathArgument(const std::string &arg, std::string *error);

}  // namespace kypath
