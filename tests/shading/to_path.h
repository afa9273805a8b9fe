// tests/shading/to_path.h - the "TO" of the shading goldens: a T of lines
// and an O of two cubic rings (the counter running the other way), one
// table list that is also one group chain.
#pragma once

#include "support/path_fixture.h"

namespace to_path {

inline KyPath *Ring(double cx, double cy, double a, double b, bool clockwise) {
    const double k = 0.5522847, s = clockwise ? 1.0 : -1.0;
    return testing_support::MakePath({{PT_MOVETO, cx, cy - b},
                                      {PT_BEZIERTO, cx + s * k * a, cy - b},
                                      {PT_BEZIERTO, cx + s * a, cy - k * b},
                                      {PT_BEZIERTO, cx + s * a, cy},
                                      {PT_BEZIERTO, cx + s * a, cy + k * b},
                                      {PT_BEZIERTO, cx + s * k * a, cy + b},
                                      {PT_BEZIERTO, cx, cy + b},
                                      {PT_BEZIERTO, cx - s * k * a, cy + b},
                                      {PT_BEZIERTO, cx - s * a, cy + k * b},
                                      {PT_BEZIERTO, cx - s * a, cy},
                                      {PT_BEZIERTO, cx - s * a, cy - k * b},
                                      {PT_BEZIERTO, cx - s * k * a, cy - b},
                                      {PT_BEZIERTO | PT_CLOSEFIGURE, cx, cy - b}});
}

inline KyPath *TextLikePath() {
    KyPath *t = testing_support::MakePath({{PT_MOVETO, 4.25, 6.5},
                                           {PT_LINETO, 46.5, 6.5},
                                           {PT_LINETO, 46.5, 16.25},
                                           {PT_LINETO, 30.5, 16.25},
                                           {PT_LINETO, 30.5, 62.75},
                                           {PT_LINETO, 20.25, 62.75},
                                           {PT_LINETO, 20.25, 16.25},
                                           {PT_LINETO, 4.25, 16.25},
                                           {PT_LINETO | PT_CLOSEFIGURE, 4.25, 6.5}});
    KyPath *outer = Ring(74.5, 34.75, 25.0, 28.5, true);
    KyPath *inner = Ring(74.5, 34.75, 14.5, 18.25, false);
    t->groupNext = outer;
    outer->groupPrev = t;
    outer->groupNext = inner;
    inner->groupPrev = outer;
    testing_support::LinkList({t, outer, inner});
    return t;
}

}  // namespace to_path
