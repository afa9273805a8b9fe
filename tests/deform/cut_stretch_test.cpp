#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "core/bezier.h"
#include "core/diag.h"
#include "deform/cut_stretch.h"
#include "platform/alloc_fail.h"
#include "support/owned_records.h"
#include "support/records.h"
#include "y32Comm.h"

namespace {

using testing_support::Bytes;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::Rect;
using testing_support::Records;

// Signed area of a closed record, curves sampled finely.
double Area(const KyPath *r) {
    double a = 0;
    const PathPoint *p = path::Points(r);
    auto pt = [&](int32_t i) { return vec::Vec2{FixToDb(+p[i].x), FixToDb(+p[i].y)}; };
    vec::Vec2 prev = pt(0);
    auto add = [&](vec::Vec2 q) {
        a += prev.x * q.y - q.x * prev.y;
        prev = q;
    };
    for (int32_t i = 1; i < r->count;) {
        if ((p[i].type & PT_KINDMASK) == PT_BEZIERTO && i + 2 < r->count) {
            bez::Cubic c{{pt(i - 1), pt(i), pt(i + 1), pt(i + 2)}};
            for (int k = 1; k <= 64; ++k) add(bez::PointAt(c, k / 64.0));
            i += 3;
        } else {
            add(pt(i++));
        }
    }
    return 0.5 * a;
}

bez::Box Box(const KyPath *r) { return bez::PointBounds(r); }

// Every record well formed: a move first, a closing point repeating the
// first, no selection marks, links only along the table list.
void ExpectClean(KyPath *head) {
    KyPath *prev = nullptr;
    for (KyPath *r = head; r; prev = r, r = r->next) {
        EXPECT_EQ(r->prev, prev);
        EXPECT_EQ(r->groupNext, nullptr);
        EXPECT_EQ(r->selNext, nullptr);
        EXPECT_EQ(r->flags & (KPF_SELECTED | KPF_HASSELPOINT | KPF_HASSELSEGMENT), 0u);
        const PathPoint *p = path::Points(r);
        ASSERT_GE(r->count, 2);
        EXPECT_EQ(p[0].type & PT_KINDMASK, PT_MOVETO);
        for (int32_t i = 0; i < r->count; ++i) EXPECT_EQ(p[i].type & (PT_SELECTED | PT_SEGSELECTED), 0);
        if (p[r->count - 1].type & PT_CLOSEFIGURE) {
            EXPECT_EQ(+p[0].x, +p[r->count - 1].x);
            EXPECT_EQ(+p[0].y, +p[r->count - 1].y);
        }
    }
}

class CutTest : public testing_support::OwningPathTest {
  protected:
    // The pieces of a cut of the list at image x, checked to be well formed
    // (the fixture frees them).
    std::vector<KyPath *> CutAt(KyPath *list, double x, CoordStruct *view = nullptr) {
        EXPECT_EQ(KyPathCutWithLineX(view, &list, x, 0), 1);
        ExpectClean(Own(list));
        return Records(list);
    }
};

TEST_F(CutTest, ClosedOutlinesAreClosedAgainAlongTheLine) {
    // A rectangle through its middle: two rectangles, the right one first.
    KyPath *p = Rect(0, 0, 100, 50);
    p->flags |= KPF_SELECTED;
    auto recs = CutAt(p, 40);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_NEAR(Box(recs[0]).min_x, 40, 1e-4);
    EXPECT_NEAR(Box(recs[0]).max_x, 100, 1e-4);
    EXPECT_NEAR(Box(recs[1]).max_x, 40, 1e-4);
    EXPECT_NEAR(std::fabs(Area(recs[0])), 60 * 50, 1e-2);
    EXPECT_NEAR(std::fabs(Area(recs[1])), 40 * 50, 1e-2);

    // A ring: the hole cut in two is joined to the outer outline on each
    // side, so each side is one outline of half the ring's area.
    KyPath *outer = Rect(0, 0, 100, 100);
    LinkList({outer, MakePath({{PT_MOVETO, 30, 30}, {PT_LINETO, 30, 70}, {PT_LINETO, 70, 70}, {PT_LINETO, 70, 30},
                               {PT_LINETO | PT_CLOSEFIGURE, 30, 30}})});
    recs = CutAt(outer, 50);
    ASSERT_EQ(recs.size(), 2u);
    for (KyPath *r : recs) EXPECT_NEAR(std::fabs(Area(r)), (100 * 100 - 40 * 40) / 2.0, 1e-2);
    EXPECT_GE(Box(recs[0]).min_x, 50 - 1e-4);
    EXPECT_LE(Box(recs[1]).max_x, 50 + 1e-4);

    // A circle of four curves, cut off-centre: curves are split at their
    // crossings and the two caps together keep the whole area.
    KyPath *circle = testing_support::Circle(50, 50, 40);
    const double whole = std::fabs(Area(circle));
    EXPECT_NEAR(whole, 3.14159265 * 1600, 2.0);
    recs = CutAt(circle, 70);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_NEAR(Box(recs[0]).min_x, 70, 1e-3);
    EXPECT_NEAR(std::fabs(Area(recs[0])) + std::fabs(Area(recs[1])), whole, 0.5);  // sampling error only
}

TEST_F(CutTest, OpenPiecesAndOddCrossingsGoByTheirMeanX) {
    // An open polyline crossing twice: three pieces, sided by the mean x
    // of their ends (right: the middle one).
    auto recs = CutAt(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 50, 10}, {PT_LINETO, 0, 20}}), 25);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0]->count, 3);  // (25, 5) (50, 10) (25, 15)
    EXPECT_NEAR(FixToDb(+path::Points(recs[0])[1].x), 50, 1e-4);
    EXPECT_NEAR(FixToDb(+path::Points(recs[1])[0].x), 0, 1e-4);
    EXPECT_NEAR(FixToDb(+path::Points(recs[1])[1].y), 5, 1e-4);
    EXPECT_NEAR(FixToDb(+path::Points(recs[2])[0].y), 15, 1e-4);

    // Touching the line at a vertex and crossing it twice: three crossings,
    // so the outline goes whole to the side of its start; a path left of
    // the line stays whole on the left.
    KyPath *odd = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 50, 10}, {PT_LINETO, 0, 20}, {PT_LINETO, 100, 30},
                            {PT_LINETO, 0, 40}, {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
    KyPath *right = Rect(60, 0, 80, 10);
    LinkList({odd, right});
    recs = CutAt(odd, 50);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0], right);
    EXPECT_EQ(recs[1], odd);
    EXPECT_EQ(odd->count, 6);

    // Through a view: window x 0 with scroll 100 at zoom 2 is image x 50.
    CoordStruct view{};
    view.right = view.bottom = 100;
    view.scrollX = 100;
    view.zoom = 2.0;
    recs = CutAt(Rect(0, 0, 100, 50), 0, &view);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_NEAR(Box(recs[0]).min_x, 50, 1e-4);
    EXPECT_EQ(KyPathCutWithLineX(nullptr, nullptr, 0, 0), 0);
}

TEST_F(CutTest, StretchMovesTheBandAndWhatLiesBesideIt) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 15, 0}, {PT_LINETO, 20, 1}, {PT_LINETO, 25, 2}, {PT_LINETO, 100, 3}}));
    double sa = 10, sb = 20, da = 40, db = 10;  // either order
    KyPath *out = nullptr;
    ASSERT_EQ(KyPathStretch(p, &out, &sa, &sb, &da, &db, 0), 1);
    ASSERT_NE(Own(out), nullptr);
    ASSERT_EQ(out->count, 4);
    const double want[] = {15, 30, 45, 120};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(FixToDb(+path::Points(out)[i].x), want[i], 1e-4) << i;
        EXPECT_EQ(+path::Points(out)[i].y, +path::Points(p)[i].y) << i;
    }
    EXPECT_NEAR(FixToDb(+path::Points(p)[1].x), 20, 1e-9);  // the source is untouched

    // A smooth S curve straddling the band edges: split at both edges, and
    // with keepSmooth every join stays smooth (handles collinear).
    KyPath *s = Own(MakePath({{PT_MOVETO, 0, 50}, {PT_BEZIERTO, 10, 0}, {PT_BEZIERTO, 30, 0}, {PT_BEZIERTO, 40, 50},
                              {PT_BEZIERTO, 50, 100}, {PT_BEZIERTO, 70, 100}, {PT_BEZIERTO, 80, 50}}));
    sa = 15, sb = 45, da = 15, db = 85;
    ASSERT_EQ(KyPathStretch(s, &out, &sa, &sb, &da, &db, 1), 1);
    Own(out);
    EXPECT_GT(out->count, s->count);
    const PathPoint *q = path::Points(out);
    for (int32_t i = 3; i + 1 < out->count; i += 3) {
        double ax = FixToDb(+q[i - 1].x) - FixToDb(+q[i].x), ay = FixToDb(+q[i - 1].y) - FixToDb(+q[i].y);
        double bx = FixToDb(+q[i + 1].x) - FixToDb(+q[i].x), by = FixToDb(+q[i + 1].y) - FixToDb(+q[i].y);
        double cross = (ax * by - ay * bx) / (std::hypot(ax, ay) * std::hypot(bx, by));
        EXPECT_NEAR(cross, 0.0, 1e-3) << "knot " << i;
    }
    EXPECT_NEAR(Box(out).max_x, 80 + 40, 1e-3);

    // Refusals.
    c32ClearDLLErrInfo();
    EXPECT_EQ(KyPathStretch(p, &out, nullptr, &sb, &da, &db, 0), 0);
    EXPECT_EQ(out, nullptr);
    Y32ErrInfo e = testing_support::LastError();
    EXPECT_EQ(e.code, diag::kErrUnsuitable);
    EXPECT_EQ(e.line, 5693);
}

// The shared root solver against dense sampling on random cubics: every
// root it gives is one, in order, and it finds as many as there are sign
// changes (tangent touches aside, which sampling cannot see either).
TEST(CubicRoots, AgreeWithDenseSampling) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> coord(-100.0, 100.0);
    int checked = 0;
    for (int n = 0; n < 300; ++n) {
        double q[4] = {coord(rng), coord(rng), coord(rng), coord(rng)};
        double v = coord(rng) * 0.5;
        double roots[3];
        int nr = bez::RootsOfCoordinate(q, v, roots);
        auto f = [&](double t) {
            double u = 1 - t;
            return u * u * u * q[0] + 3 * u * u * t * q[1] + 3 * u * t * t * q[2] + t * t * t * q[3] - v;
        };
        int changes = 0;
        double prev = f(0.0);
        for (int k = 1; k <= 20000; ++k) {
            double cur = f(k / 20000.0);
            if ((prev < 0) != (cur < 0)) ++changes;
            prev = cur;
        }
        EXPECT_EQ(nr, changes) << n;
        for (int r = 0; r < nr; ++r) {
            EXPECT_NEAR(f(roots[r]), 0.0, 1e-9) << n;
            if (r) {
                EXPECT_GT(roots[r], roots[r - 1]) << n;
            }
        }
        checked += nr;
    }
    EXPECT_GT(checked, 150);
    // A flat coordinate has no crossing; an end exactly on the value is one.
    double flat[4] = {5, 5, 5, 5}, ends[4] = {0, 10, 20, 30}, roots[3];
    EXPECT_EQ(bez::RootsOfCoordinate(flat, 4.0, roots), 0);
    ASSERT_EQ(bez::RootsOfCoordinate(ends, 30.0, roots), 1);
    EXPECT_EQ(roots[0], 1.0);
}

}  // namespace
