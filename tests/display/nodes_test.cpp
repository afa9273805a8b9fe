#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "overlay_fixture.h"

namespace {

using display_testing::LinkList;
using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::OverlayTest;
using display_testing::SelectPoint;

constexpr COLORREF kGrey = 0x808080;      // inactive and small squares, inside
constexpr COLORREF kFrame = 0xFFFF00;     // square outlines
constexpr COLORREF kHandle = 0x0000C0;    // dotted handle lines

// A curve from (10, 40) over (20, 10) and (40, 10) to (50, 40), then `last`.
KyPath *Arch(testing_support::Pt last) {
    return MakePath({{PT_MOVETO, 10, 40}, {PT_BEZIERTO, 20, 10}, {PT_BEZIERTO, 40, 10}, {PT_BEZIERTO, 50, 40}, last});
}

// A window device context over a black (or noisy) 64 x 64 bitmap.
class NodesTest : public OverlayTest {
  protected:
    void SetUp() override {
        OverlayTest::SetUp();
        MakeView(64, 64);
        dc_ = y32CreateMemoryDC(64, 64, 24);
        ASSERT_NE(dc_, nullptr);
        ASSERT_EQ(y32GetMemoryDCBits(dc_, &bits_), 1);
    }
    void TearDown() override {
        y32DeleteMemoryDC(dc_);
        KyPathDrawNodesTurnOn(1);
        OverlayTest::TearDown();
    }
    std::vector<uint8_t> Pixels() const {
        return std::vector<uint8_t>(bits_.bits, bits_.bits + static_cast<size_t>(bits_.strideBytes) * bits_.height);
    }
    void Noise(uint32_t seed) {
        std::mt19937 rng(seed);
        for (size_t i = 0; i < static_cast<size_t>(bits_.strideBytes) * bits_.height; ++i)
            bits_.bits[i] = static_cast<uint8_t>(rng());
    }
    int Count(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) n += GetPixel(dc_, x, y) == c;
        return n;
    }
    HDC dc_ = nullptr;
    Y32DcBits bits_{};
};

TEST_F(NodesTest, NodesDrawnTwiceLeaveTheWindowAsItWas) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 10, 40}, {PT_BEZIERTO, 20, 10}, {PT_BEZIERTO, 40, 10}, {PT_BEZIERTO, 50, 40},
                              {PT_LINETO, 58, 58}, {PT_BEZIERTO, 30, 62}, {PT_BEZIERTO, 5, 60},
                              {PT_BEZIERTO | PT_CLOSEFIGURE, 10, 40}}));
    LinkSelection({p});
    SelectPoint(p, 3);
    SelectPoint(p, 7);
    Noise(3);
    // The context's own objects and mode must come back.
    HPEN mine = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    SelectObject(dc_, mine);
    SelectObject(dc_, GetStockObject(LTGRAY_BRUSH));
    SetROP2(dc_, R2_MASKPEN);
    const std::vector<uint8_t> before = Pixels();
    ASSERT_EQ(KyPathDrawNodes(dc_, p, view_), 1);
    EXPECT_NE(Pixels(), before);
    EXPECT_EQ(GetROP2(dc_), R2_MASKPEN);
    ASSERT_EQ(KyPathDrawNodes(dc_, p, view_), 1);
    EXPECT_EQ(Pixels(), before) << "the second drawing erases the first exactly";
    EXPECT_EQ(SelectObject(dc_, GetStockObject(BLACK_PEN)), mine);
    EXPECT_EQ(SelectObject(dc_, GetStockObject(WHITE_BRUSH)), GetStockObject(LTGRAY_BRUSH));
    EXPECT_EQ(DeleteObject(mine), 1) << "no pen of the node drawer is left selected";
}

TEST_F(NodesTest, AClosedRecordShowsOneSquareWhereItsEndsMeet) {
    KyPath *p = Own(
        MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 40, 10}, {PT_LINETO, 25, 40}, {PT_LINETO | PT_CLOSEFIGURE, 10, 10}}));
    ASSERT_EQ(KyPathDrawNodes(dc_, p, view_), 1);
    // Three inactive squares, each with a 6 x 6 grey inside; the shared
    // corner drawn twice would have cancelled itself.
    EXPECT_EQ(Count(kGrey), 3 * 36);
    EXPECT_EQ(GetPixel(dc_, 10, 10), kGrey);
    EXPECT_EQ(GetPixel(dc_, 10 - 5, 10), kFrame);
    EXPECT_EQ(GetPixel(dc_, 10 + 5, 10), 0u) << "the square ends at x + 4";

    // Selecting point 0 makes the shared square active (hollow).
    ASSERT_EQ(KyPathDrawNodes(dc_, p, view_), 1);
    ASSERT_EQ(Count(0), 64 * 64);
    LinkSelection({p});
    SelectPoint(p, 0);
    KyPathDrawNodes(dc_, p, view_);
    EXPECT_EQ(Count(kGrey), 2 * 36);
    EXPECT_EQ(GetPixel(dc_, 10, 10), 0u);
    EXPECT_EQ(GetPixel(dc_, 10 - 5, 10), kFrame);
}

TEST_F(NodesTest, ControlPointsAndHandlesShowNextToSelectedNodes) {
    KyPath *p = Own(Arch({PT_LINETO, 58, 58}));
    ASSERT_EQ(KyPathDrawNodes(dc_, p, view_), 1);
    EXPECT_EQ(GetPixel(dc_, 20, 10), 0u) << "no selected node: no control points";
    EXPECT_EQ(Count(kHandle), 0);
    EXPECT_EQ(Count(kGrey), 3 * 36);
    KyPathDrawNodes(dc_, p, view_);

    LinkSelection({p});
    SelectPoint(p, 3);
    KyPathDrawNodes(dc_, p, view_);
    // Small squares cover x-1..x, y-1..y inside; the handle lines start at
    // (x, y) and run down, so the pixel up and left shows the square alone.
    EXPECT_EQ(GetPixel(dc_, 19, 9), kGrey) << "the curve's first control point: its end node is selected";
    EXPECT_EQ(GetPixel(dc_, 39, 9), kGrey);
    EXPECT_EQ(GetPixel(dc_, 10, 40), kGrey);
    EXPECT_GT(Count(kHandle), 10) << "dotted handle lines";
    EXPECT_EQ(GetPixel(dc_, 50, 40), 0u) << "the selected node's square is hollow";
    EXPECT_EQ(GetPixel(dc_, 45, 40), kFrame);
    KyPathDrawNodes(dc_, p, view_);
    EXPECT_EQ(Count(0), 64 * 64);

    // An envelope outline shows no active nodes.
    p->flags |= KPF_ENVELOPE1;
    KyPathDrawNodes(dc_, p, view_);
    EXPECT_EQ(GetPixel(dc_, 50, 40), kGrey);
    KyPathDrawNodes(dc_, p, view_);
    p->flags &= ~KPF_ENVELOPE1;

    // On a closed subpath the closing point stands for point 0: selecting it
    // shows the first curve's first control point.
    KyPath *c = Own(Arch({PT_LINETO | PT_CLOSEFIGURE, 10, 40}));
    LinkSelection({c});
    SelectPoint(c, 4);
    KyPathDrawNodes(dc_, c, view_);
    EXPECT_EQ(GetPixel(dc_, 19, 9), kGrey) << "its start node is point 0";
    EXPECT_EQ(GetPixel(dc_, 39, 9), kGrey) << "the second one's start node is point 0 too";
    KyPathDrawNodes(dc_, c, view_);
    // Point 3 selected instead: only the second control point's curve ends
    // there... and the first one's too, but not the closing line's.
    KyPathPoints(c)[4].type = PT_LINETO | PT_CLOSEFIGURE;
    SelectPoint(c, 3);
    KyPathDrawNodes(dc_, c, view_);
    EXPECT_EQ(GetPixel(dc_, 19, 9), kGrey);
    EXPECT_EQ(GetPixel(dc_, 39, 9), kGrey);
    EXPECT_EQ(GetPixel(dc_, 50, 40), 0u);
    EXPECT_EQ(GetPixel(dc_, 10, 40), kGrey) << "the shared square of points 0 and 4 is inactive";
}

TEST_F(NodesTest, TheSwitchAndBadArguments) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 30, 30}}));
    EXPECT_EQ(KyPathDrawNodesTurnOn(0), 0);
    EXPECT_EQ(KyPathDrawNodes(dc_, p, view_), 0);
    KyPathDrawNodesOnUnselectedSegments(dc_, p, view_);
    EXPECT_EQ(Count(0), 64 * 64) << "nothing drawn while the switch is off";
    EXPECT_EQ(KyPathDrawNodesTurnOn(1), 1);
    EXPECT_EQ(KyPathDrawNodes(nullptr, p, view_), 0);
    EXPECT_EQ(KyPathDrawNodes(dc_, nullptr, view_), 0);
    EXPECT_EQ(KyPathDrawNodes(dc_, p, nullptr), 0);
    EXPECT_EQ(KyPathDrawActiveNode(nullptr, 1, 1), 0);
    CoordStruct bare{};
    bare.right = bare.bottom = 64;
    bare.zoom = 1.0;
    EXPECT_EQ(KyPathDrawNodes(dc_, p, &bare), 1) << "no overlay: success, nothing drawn";
    EXPECT_EQ(Count(0), 64 * 64);
    // Squares far outside the window are clipped, not wrapped.
    EXPECT_EQ(KyPathDrawInactiveNode(dc_, INT32_MAX, INT32_MIN), 1);
    EXPECT_EQ(KyPathDrawSmallNode(dc_, -2, -2), 1);
    EXPECT_EQ(GetPixel(dc_, 0, 0), kFrame);
}

TEST_F(NodesTest, NodesAwayFromTheFirstSelectedNode) {
    KyPath *p = Own(MakePath(
        {{PT_MOVETO, 6, 10}, {PT_LINETO, 18, 10}, {PT_LINETO, 30, 10}, {PT_LINETO, 42, 10}, {PT_LINETO, 54, 10}}));
    LinkSelection({p});
    SelectPoint(p, 2);
    KyPathDrawNodesOnUnselectedSegments(dc_, p, view_);
    EXPECT_EQ(GetPixel(dc_, 6, 10), kGrey);
    EXPECT_EQ(GetPixel(dc_, 54, 10), kGrey);
    EXPECT_EQ(Count(kGrey), 2 * 36) << "the node and its two neighbours are left out";
    KyPathDrawNodesOnUnselectedSegments(dc_, p, view_);
    EXPECT_EQ(Count(0), 64 * 64);

    // Closed, the closing point selected: its neighbours wrap around.
    KyPath *c = Own(testing_support::Rect(10, 10, 50, 50));
    LinkSelection({c});
    SelectPoint(c, 4);
    KyPathDrawNodesOnUnselectedSegments(dc_, c, view_);
    EXPECT_EQ(GetPixel(dc_, 50, 50), kGrey);
    EXPECT_EQ(Count(kGrey), 36) << "only the opposite corner";

    KyPathDrawNodesOnUnselectedSegments(dc_, c, view_);
    c->flags |= KPF_ENVELOPE2;
    KyPathDrawNodesOnUnselectedSegments(dc_, c, view_);
    EXPECT_EQ(Count(0), 64 * 64) << "envelope outlines show none";
}

TEST_F(NodesTest, RepaintingTheTableDrawsEverySelectedRecord) {
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 20, 10}});
    KyPath *b = MakePath({{PT_MOVETO, 10, 40}, {PT_LINETO, 20, 40}});
    KyPath *c = MakePath({{PT_MOVETO, 40, 40}, {PT_LINETO, 50, 40}});
    LinkList({a, b, c});
    ASSERT_EQ(KyPathAssignActivePath(table_, a), 1);
    EXPECT_EQ(KyPathTblRepaintNodes(dc_, table_, view_), 0) << "no selected path";
    LinkSelection({a, c});
    ASSERT_EQ(KyPathAssignSelectedPath(table_, c), 1);
    ASSERT_EQ(KyPathTblRepaintNodes(dc_, table_, view_), 1);
    EXPECT_EQ(Count(kGrey), 4 * 36);
    EXPECT_EQ(GetPixel(dc_, 10, 40), 0u) << "b is not selected";
    table_->state = 0;
    EXPECT_EQ(KyPathTblRepaintNodes(dc_, table_, view_), 0);
    EXPECT_EQ(KyPathTblRepaintNodes(dc_, nullptr, view_), 0);
}

class NodeExportTest : public OverlayTest {
  protected:
    void SetUp() override {
        OverlayTest::SetUp();
        MakeView(64, 64);
    }
    void Fill(POINT *pts) {
        for (int i = 0; i < KYPATH_NODES_SLOTS; ++i) pts[i] = POINT{-7, -7};
    }
    // The first n entries as (x, y) pairs.
    static std::vector<std::pair<int32_t, int32_t>> Entries(const POINT *pts, int n) {
        std::vector<std::pair<int32_t, int32_t>> v;
        for (int i = 0; i < n; ++i) v.emplace_back(pts[i].x, pts[i].y);
        return v;
    }
    using Want = std::vector<std::pair<int32_t, int32_t>>;
};

TEST_F(NodeExportTest, PositionsAroundSelectedNodesInRuns) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 0.5, 1}, {PT_LINETO, 10, 1}, {PT_LINETO, 20, 1}, {PT_LINETO, 30, 1},
                              {PT_LINETO, 40, 1}, {PT_LINETO, 50, 1}, {PT_LINETO, 60, 1}, {PT_LINETO, 60, 30}}));
    LinkSelection({p});
    POINT out[KYPATH_NODES_SLOTS];
    SelectPoint(p, 2);
    Fill(out);
    ASSERT_EQ(KyPathSelectedToView(view_, p, out, 0), 3);
    EXPECT_EQ(Entries(out, 5), (Want{{10, 1}, {20, 1}, {30, 1}, {KYPATH_NODES_END, KYPATH_NODES_END}, {-7, -7}}))
        << "nothing written after the end mark";
    EXPECT_EQ(out[11].x, KYPATH_NODES_END);
    EXPECT_EQ(out[11].y, KYPATH_NODES_END);

    // Two runs that do not join, one of them at the open start.
    SelectPoint(p, 0);
    SelectPoint(p, 5);
    KyPathPoints(p)[2].type = PT_LINETO;
    Fill(out);
    ASSERT_EQ(KyPathSelectedToView(view_, p, out, 0), 5);
    EXPECT_EQ(Entries(out, 7), (Want{{0, 1}, {10, 1}, {KYPATH_NODES_BREAK, KYPATH_NODES_BREAK}, {40, 1}, {50, 1},
                                     {60, 1}, {KYPATH_NODES_OPEN_END, KYPATH_NODES_OPEN_END}}));
    EXPECT_EQ(out[11].x, KYPATH_NODES_OPEN_END);

    // Every node selected: the first eleven entries, then only the mark.
    for (int i = 0; i < 8; ++i) SelectPoint(p, i);
    KyPath *q = Own(MakePath({{PT_MOVETO, 0, 0}}));
    for (int i = 1; i < 14; ++i) {
        FIXED xy[2] = {DbToFix(i * 4.0), DbToFix(5.0)};
        KyPathAddPoint(&q, xy, PT_LINETO);
    }
    owned_.back() = q;
    LinkSelection({q});
    for (int i = 0; i < 14; ++i) SelectPoint(q, i);
    Fill(out);
    ASSERT_EQ(KyPathSelectedToView(view_, q, out, 0), 11);
    EXPECT_EQ(out[10].x, 40);
    EXPECT_EQ(out[11].x, KYPATH_NODES_OPEN_END);
}

TEST_F(NodeExportTest, ClosedSubpathsAndCurves) {
    // The closing point selected: the run crosses it to point 1.
    KyPath *sq = Own(testing_support::Rect(10, 10, 50, 50));
    LinkSelection({sq});
    SelectPoint(sq, 4);
    POINT out[KYPATH_NODES_SLOTS];
    ASSERT_EQ(KyPathSelectedToView(view_, sq, out, 0), 3);
    EXPECT_EQ(Entries(out, 4), (Want{{10, 50}, {10, 10}, {50, 10}, {KYPATH_NODES_END, KYPATH_NODES_END}}));

    // A curve end brings the curve's control points.
    KyPath *cv = Own(Arch({PT_LINETO, 58, 58}));
    LinkSelection({cv});
    SelectPoint(cv, 4);
    ASSERT_EQ(KyPathSelectedToView(view_, cv, out, 0), 2);
    SelectPoint(cv, 3);
    ASSERT_EQ(KyPathSelectedToView(view_, cv, out, 0), 5);
    EXPECT_EQ(out[1].x, 20);
    EXPECT_EQ(out[2].x, 40);
    EXPECT_EQ(out[5].x, KYPATH_NODES_OPEN_END);
}

TEST_F(NodeExportTest, ReadingBackMovesOnlyWhatChanged) {
    ASSERT_EQ(KyPathCoordStruct(5, 7, 69, 71, 20, 10, 2.0, table_, &view_), 1);
    KyPath *p = Own(MakePath({{PT_MOVETO, 10.25, 10.75}, {PT_LINETO, 20.25, 10.75}, {PT_LINETO, 30.25, 20.75},
                              {PT_LINETO, 10.25, 30.75}, {PT_LINETO | PT_CLOSEFIGURE, 10.25, 10.75}}));
    p->shape = 2;
    LinkSelection({p});
    SelectPoint(p, 4);
    POINT out[KYPATH_NODES_SLOTS];
    ASSERT_EQ(KyPathSelectedToView(view_, p, out, 0), 3);
    // trunc(x * zoom - (scroll - left)): 10.25 * 2 - 15 = 5.5 -> 5 and
    // 30.75 * 2 - 3 = 58.5 -> 58.
    EXPECT_EQ(Entries(out, 3), (Want{{5, 58}, {5, 18}, {25, 18}}));
    // Move the closing point right by 11 window pixels only.
    out[1].x += 11;
    ASSERT_EQ(KyPathSelectedToView(view_, p, out, 1), 3);
    const PathPoint *pts = KyPathPoints(p);
    EXPECT_EQ(+pts[4].x, DbToFix((16 + 20 - 5) / 2.0));
    EXPECT_EQ(+pts[4].y, DbToFix(10.75)) << "the unmoved axis keeps its fraction";
    EXPECT_EQ(+pts[0].x, +pts[4].x) << "point 0 follows the closing point";
    EXPECT_EQ(+pts[0].y, +pts[4].y);
    EXPECT_EQ(+pts[3].x, DbToFix(10.25)) << "unchanged entries leave their points alone";
    EXPECT_EQ(+pts[3].y, DbToFix(30.75));
    EXPECT_EQ(+pts[1].x, DbToFix(20.25));
    EXPECT_EQ(p->shape, 0);
    EXPECT_EQ(out[11].x, KYPATH_NODES_END);
}

TEST_F(NodeExportTest, RecordsThatDoNotQualify) {
    KyPath *a = MakePath({{PT_MOVETO, 1, 1}, {PT_LINETO, 9, 9}});
    KyPath *b = MakePath({{PT_MOVETO, 1, 5}, {PT_LINETO, 9, 5}});
    LinkList({a, b});
    Own(a);
    POINT out[KYPATH_NODES_SLOTS];
    for (auto &pt : out) pt = POINT{-7, -7};
    LinkSelection({a});
    EXPECT_EQ(KyPathSelectedToView(view_, a, out, 0), 0) << "no selected nodes";
    EXPECT_EQ(out[0].x, KYPATH_NODES_END);
    EXPECT_EQ(out[11].x, KYPATH_NODES_END);
    EXPECT_EQ(out[1].x, -7);
    LinkSelection({a, b});
    SelectPoint(a, 1);
    out[0] = POINT{-7, -7};
    EXPECT_EQ(KyPathSelectedToView(view_, a, out, 1), 0) << "not alone in its selection";
    EXPECT_EQ(out[0].x, -7) << "reading back writes only the last entry";
    EXPECT_EQ(out[11].x, KYPATH_NODES_END);

    CoordStruct bare{};
    bare.right = bare.bottom = 64;
    bare.zoom = 1.0;
    for (auto &pt : out) pt = POINT{-7, -7};
    a->selNext = nullptr;
    b->selPrev = nullptr;
    EXPECT_EQ(KyPathSelectedToView(&bare, a, out, 0), 0);
    EXPECT_EQ(out[11].x, -7) << "no overlay: nothing written";
    EXPECT_EQ(KyPathSelectedToView(view_, a, nullptr, 0), 0);
    EXPECT_EQ(KyPathSelectedToView(view_, nullptr, out, 0), 0);
}

}  // namespace
