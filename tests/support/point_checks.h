// tests/support/point_checks.h - reading points and boxes back in tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "core/fixed.h"
#include "core/path_record.h"
#include "y32Path.h"

namespace testing_support {

// Point i of a record in pixels (copied out of the packed point).
inline double PX(const KyPath *p, int32_t i) { return FixToDb(+path::Points(p)[i].x); }
inline double PY(const KyPath *p, int32_t i) { return FixToDb(+path::Points(p)[i].y); }
inline uint16_t PType(const KyPath *p, int32_t i) { return path::Points(p)[i].type; }

// Expects point i to be exactly (x, y) as the library stores doubles.
inline void ExpectPointAt(const KyPath *p, int32_t i, double x, double y) {
    EXPECT_EQ(+path::Points(p)[i].x, DbToFix(x)) << "x of point " << i;
    EXPECT_EQ(+path::Points(p)[i].y, DbToFix(y)) << "y of point " << i;
}

// Expects the record's points from `first` on to be exactly these.
struct XYPair {
    double x, y;
};
inline void ExpectPoints(const KyPath *p, std::initializer_list<XYPair> want, int32_t first = 0) {
    ASSERT_LE(first + static_cast<int32_t>(want.size()), p->count);
    int32_t i = first;
    for (const XYPair &w : want) ExpectPointAt(p, i++, w.x, w.y);
}

// Expects any box with left, top, right and bottom members (a Y32Rect, a
// dirty box) to be exactly the one given.
template <class Box>
void ExpectBox(const Box &b, double left, double top, double right, double bottom) {
    EXPECT_EQ(b.left, left) << "left";
    EXPECT_EQ(b.top, top) << "top";
    EXPECT_EQ(b.right, right) << "right";
    EXPECT_EQ(b.bottom, bottom) << "bottom";
}

}  // namespace testing_support
