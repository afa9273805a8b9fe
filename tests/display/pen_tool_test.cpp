#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "display/pen_tool.h"
#include "platform/alloc_fail.h"
#include "window_fixture.h"

namespace {

using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::WindowTest;
using testing_support::DebugCapture;

bool g_shift = false;
int16_t ShiftHook(int32_t vk, void *) { return vk == VK_SHIFT && g_shift ? int16_t(-32768) : int16_t(0); }

char g_window_token;
HWND HostWindow() { return reinterpret_cast<HWND>(&g_window_token); }

bool Same(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// The host side of a pen-tool session: forwards messages as a host's
// window procedure would (capturing after a button-down, releasing on Esc),
// and after every message checks that the window shows exactly what a
// fresh window with the current band and squares shows.
class PenTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        g_shift = false;
        y32SetKeyStateHook(&ShiftHook, nullptr);
        ReleaseCapture();
        y32ResetBeepCount();
    }
    void TearDown() override {
        pen::ResetForTesting();
        ReleaseCapture();
        y32SetKeyStateHook(nullptr, nullptr);
        WindowTest::TearDown();
    }

    int32_t Send(uint32_t msg, int32_t x, int32_t y, uint32_t key = 0) {
        const int32_t r = KyPathMouseProcDraw(dc_, table_, view_, msg, key, x, y, 0x5A5A5A5A, -1, kind_);
        if (msg == WM_LBUTTONDOWN && !r && !GetCapture()) SetCapture(HostWindow());
        if (msg == WM_KEYDOWN && key == VK_ESCAPE) ReleaseCapture();
        if (check_) CheckWindow();
        return r;
    }
    void Move(int32_t x, int32_t y) { Send(WM_MOUSEMOVE, x, y); }
    int32_t Click(int32_t x, int32_t y) {
        Move(x, y);
        const int32_t r = Send(WM_LBUTTONDOWN, x, y);
        return r ? r : Send(WM_LBUTTONUP, x, y);
    }
    void Drag(int32_t x, int32_t y, int32_t to_x, int32_t to_y) {
        Move(x, y);
        Send(WM_LBUTTONDOWN, x, y);
        Move(to_x, to_y);
        Send(WM_LBUTTONUP, to_x, to_y);
    }
    int32_t DoubleClick(int32_t x, int32_t y) {
        Click(x, y);
        const int32_t r = Send(WM_LBUTTONDBLCLK, x, y);
        Send(WM_LBUTTONUP, x, y);
        return r;
    }
    void Key(uint32_t key) { Send(WM_KEYDOWN, 0, 0, key); }

    KyPath *Drawn() { return Group()->firstSelected; }
    std::vector<uint16_t> Types() {
        std::vector<uint16_t> t;
        for (int32_t i = 0; i < Drawn()->count; ++i) t.push_back(KyPathPoints(Drawn())[i].type);
        return t;
    }
    POINT Win(const KyPath *p, int32_t i) {
        const PathPoint pt = KyPathPoints(const_cast<KyPath *>(p))[i];
        return POINT{int32_t(std::lround(FixToDb(pt.x) * view_->zoom)), int32_t(std::lround(FixToDb(pt.y) * view_->zoom))};
    }
    POINT At(int32_t i) { return Win(Drawn(), i); }

    // The picture the window must show, drawn on a fresh window: during a
    // drawing a square on every placed node and the band the state calls
    // for; otherwise the node squares of the selected paths.
    std::vector<uint8_t> Expected() {
        HDC ref = y32CreateMemoryDC(display_testing::kWindow, display_testing::kWindow, 24);
        const pen::Snapshot s = pen::State();
        if (!s.active) {
            for (KyPath *r = Group()->first; r; r = r->next)
                if (r->flags & KPF_SELECTED) KyPathDrawNodes(ref, r, view_);
        } else {
            SetROP2(ref, R2_XORPEN);
            const KyPath *r = s.record;
            const int32_t n = r->count;
            const int32_t nodes_end = s.pending ? n - 1 : n;
            // Nodes: point 0, each line end and every third curve point.
            for (int32_t i = 0; i < nodes_end;) {
                const POINT w = Win(r, i);
                KyPathDrawInactiveNode(ref, w.x, w.y);
                i += (i + 1 < n && (KyPathPoints(const_cast<KyPath *>(r))[i + 1].type & PT_KINDMASK) == PT_BEZIERTO) ? 3 : 1;
            }
            HPEN band_pen = CreatePen(PS_SOLID, 0, 0xC0C0C0);
            SelectObject(ref, band_pen);
            auto band = [&](POINT a, POINT b) {
                MoveToEx(ref, a.x, a.y, nullptr);
                LineTo(ref, b.x, b.y);
                KyPathDrawSmallNode(ref, b.x, b.y);
            };
            auto curve = [&](POINT a, POINT b, POINT c, POINT d) {
                MoveToEx(ref, a.x, a.y, nullptr);
                const POINT pts[3] = {b, c, d};
                PolyBezierTo(ref, pts, 3);
            };
            const POINT anchor = Win(r, s.pending ? n - 4 : n - 1);
            const bool on_only_point = n == 1 && Same(s.press, Win(r, 0));
            if (!s.button || Same(s.last, s.press)) {
                if (s.pending) curve(anchor, Win(r, n - 3), s.band_end, s.band_end);
                else band(anchor, s.band_end);
            } else {
                const POINT mirror{2 * s.press.x - s.last.x, 2 * s.press.y - s.last.y};
                band(s.press, s.last);
                band(s.press, mirror);
                if (s.pending) curve(anchor, Win(r, n - 3), mirror, s.press);
                else if (!on_only_point) curve(anchor, anchor, mirror, s.press);
            }
            if (s.button && !on_only_point) KyPathDrawInactiveNode(ref, s.press.x, s.press.y);
            SelectObject(ref, GetStockObject(BLACK_PEN));
            DeleteObject(band_pen);
        }
        std::vector<uint8_t> px = PixelsOf(ref);
        y32DeleteMemoryDC(ref);
        return px;
    }

    // The buffer follows the record point by point, and a pending curve
    // still ends on its start.
    void CheckWindow() {
        const pen::Snapshot s = pen::State();
        if (s.active) {
            ASSERT_EQ(s.record, Drawn());
            ASSERT_EQ(s.count, Drawn()->count);
            ASSERT_LE(s.count, s.capacity);
            for (int32_t i = 0; i < s.count; ++i) {
                ASSERT_TRUE(Same(s.points[i], At(i))) << "point " << i << " of " << s.count;
            }
            if (s.pending) {
                ASSERT_TRUE(Same(At(s.count - 1), At(s.count - 4)));
            }
        }
        const std::vector<uint8_t> shown = Window(), wanted = Expected();
        ASSERT_EQ(shown.size(), wanted.size());
        size_t differing = 0;
        for (size_t i = 0; i < shown.size(); ++i) differing += shown[i] != wanted[i];
        ASSERT_EQ(differing, 0u) << "bytes differing from a fresh window, step " << step_;
        ++step_;
    }

    int32_t kind_ = 0;
    int step_ = 0;
    bool check_ = true;
};

constexpr uint16_t B = PT_BEZIERTO, L = PT_LINETO, M = PT_MOVETO, D = PT_BEZIERTO | PT_DRAGGED;

TEST_F(PenTest, ClicksMakeCornersAndDragsMakeSmoothNodesWithMirroredHandles) {
    kind_ = 1;
    EXPECT_EQ(Click(10, 10), 0);
    EXPECT_EQ(Drawn()->flags & KPF_SELECTED, KPF_SELECTED);
    EXPECT_STREQ(Group()->name, "xxx");
    // A press that wanders 3 pixels is a click, whatever the button-up says.
    Move(40, 10);
    Send(WM_LBUTTONDOWN, 40, 10);
    Move(43, 12);
    Send(WM_LBUTTONUP, 70, 70);
    // A drag at (60, 40) released at (72, 40).
    Drag(60, 40, 72, 40);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L, B, B, D, B, B, B}));
    EXPECT_TRUE(Same(At(2), POINT{40, 10})) << "incoming handle starts on the previous node";
    EXPECT_TRUE(Same(At(3), POINT{48, 40})) << "mirror of the release point";
    EXPECT_TRUE(Same(At(5), POINT{72, 40})) << "outgoing handle at the release point";
    Move(70, 70);
    Send(WM_LBUTTONDOWN, 70, 70);
    Move(76, 70);  // 6 pixels: a drag, though the button-up comes back to the press
    Send(WM_LBUTTONUP, 70, 70);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L, B, B, D, B, B, D, B, B, B}));
    // The double-click's first click places the pending curve at a corner.
    DebugCapture debug;
    EXPECT_EQ(DoubleClick(20, 80), 1);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L, B, B, D, B, B, D, B, B, B}));
    EXPECT_TRUE(Same(At(9), POINT{20, 80}));
    EXPECT_TRUE(Same(At(10), POINT{20, 80}));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(pen::State().active);
    EXPECT_EQ(debug.lines(), std::vector<std::string>{"KyPathMouseProcDraw(): ptsbuf released, size = 64.\n"});
}

TEST_F(PenTest, ShiftKeepsThePointerOnAxesAndDiagonals) {
    struct Case {
        int32_t dx, dy, want_x, want_y;
    } cases[] = {{30, 10, 30, 0}, {10, 30, 0, 30}, {30, 20, 25, 25}, {-30, -20, -25, -25}, {20, -30, 25, -25}};
    for (const Case &c : cases) {
        Click(40, 40);
        g_shift = true;
        Click(40 + c.dx, 40 + c.dy);
        g_shift = false;
        EXPECT_TRUE(Same(At(1), POINT{40 + c.want_x, 40 + c.want_y})) << c.dx << "," << c.dy;
        Key(VK_ESCAPE);
    }
    // Near the start of a subpath that could close, the pointer is free;
    // a dragged handle keeps to the axes through the press point.
    Click(10, 10);
    Click(60, 10);
    Click(60, 60);
    g_shift = true;
    Click(14, 17);
    EXPECT_TRUE(Same(At(3), POINT{14, 17}));
    Drag(14, 80, 34, 83);
    g_shift = false;
    EXPECT_TRUE(Same(At(6), POINT{14, 80}));
    EXPECT_TRUE(Same(At(7), POINT{34, 80}));
    EXPECT_TRUE(Same(At(5), POINT{-6, 80}));
    Key(VK_ESCAPE);
}

TEST_F(PenTest, DoubleClickFinishesByToolKind) {
    struct Case {
        int32_t kind;
        bool near;
        int32_t count;
        bool closed;
    } cases[] = {{0, false, 5, true}, {0, true, 4, true},  {3, false, 5, true},  {1, false, 4, false},
                 {1, true, 4, false}, {4, true, 4, false}, {2, false, 4, false}, {2, true, 4, true},
                 {5, true, 4, true},  {7, false, 2, false}};
    for (const Case &c : cases) {
        kind_ = c.kind;
        Click(10, 10);
        if (c.kind >= 6) {
            EXPECT_EQ(Click(60, 10), 1) << "the second click ends a line";
        } else {
            Click(60, 10);
            Click(60, 60);
            EXPECT_EQ(DoubleClick(c.near ? 14 : 20, c.near ? 12 : 70), 1) << c.kind;
        }
        KyPath *p = PathLast(Group()->first);
        ASSERT_EQ(p->count, c.count) << c.kind << " " << c.near;
        EXPECT_EQ((KyPathPoints(p)[p->count - 1].type & PT_CLOSEFIGURE) != 0, c.closed) << c.kind;
        if (c.closed) {
            EXPECT_TRUE(Same(Win(p, p->count - 1), POINT{10, 10}));
        }
        EXPECT_FALSE(pen::State().active);
    }
    // Too few points to close: the drawing goes on, without an extra point.
    kind_ = 0;
    Click(10, 10);
    EXPECT_EQ(DoubleClick(50, 50), 0);
    EXPECT_EQ(DoubleClick(12, 12), 0);
    EXPECT_EQ(Drawn()->count, 3);
    EXPECT_TRUE(pen::State().active);
    EXPECT_EQ(DoubleClick(50, 80), 1);
    EXPECT_EQ(PathLast(Group()->first)->count, 5);
}

TEST_F(PenTest, KindFourSnapsShortHandlesAndAClosedCurveJoinsSmoothly) {
    // At zoom 2 a 6-pixel drag pulls a handle of 3 image units.
    ASSERT_EQ(KyPathCoordStruct(0, 0, 96, 96, 0, 0, 2.0, table_, &view_), 1);
    for (int32_t kind : {4, 1}) {
        kind_ = kind;
        Drag(10, 10, 16, 10);
        Click(60, 10);
        Drag(60, 60, 66, 60);
        // Finishing open drops the curve begun by the last drag.
        EXPECT_EQ(Send(WM_LBUTTONDBLCLK, 66, 60), 1);
        const KyPath *p = Drawn();
        const PathPoint *pts = KyPathPoints(const_cast<KyPath *>(p));
        ASSERT_EQ(p->count, 7);
        EXPECT_EQ(pts[6].type, D);
        EXPECT_EQ(+pts[1].x, kind == 4 ? +pts[0].x : DbToFix(8.0)) << kind;
        EXPECT_EQ(+pts[5].x, kind == 4 ? +pts[6].x : DbToFix(27.0)) << kind;
    }
    // A drag near the start, then a double-click: closed by the curve it began.
    kind_ = 2;
    Drag(10, 10, 30, 10);
    Click(60, 10);
    Click(60, 60);
    Drag(12, 13, 20, 13);
    EXPECT_EQ(Send(WM_LBUTTONDBLCLK, 20, 13), 1);
    const KyPath *p = Drawn();
    const PathPoint *pts = KyPathPoints(const_cast<KyPath *>(p));
    ASSERT_EQ(p->count, 11);
    EXPECT_EQ(pts[10].type, B | PT_CLOSEFIGURE);
    EXPECT_EQ(+pts[10].x, +pts[0].x);
    EXPECT_EQ(+pts[10].y, +pts[0].y);
    EXPECT_EQ(+pts[9].x, DbToFix(-5.0)) << "the closing handle mirrors the first one";
    EXPECT_EQ(+pts[9].y, DbToFix(5.0));
}

TEST_F(PenTest, KindSixDrawsATwoPointLine) {
    kind_ = 6;
    Drag(20, 20, 50, 30);  // no handle on a line
    EXPECT_EQ(Drawn()->count, 1);
    EXPECT_EQ(Click(21, 22), 0);
    EXPECT_EQ(Drawn()->count, 1);
    EXPECT_EQ(Click(60, 20), 1);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L}));
    EXPECT_EQ(GetCapture(), nullptr);
    kind_ = -3;
    Click(10, 70);
    EXPECT_EQ(Click(80, 70), 1);
}

TEST_F(PenTest, BackspaceTakesSegmentsBackAndKeepsPulledHandles) {
    Click(10, 10);
    Click(40, 10);
    Key(VK_BACK);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M}));
    Key(VK_BACK);  // nothing left to take
    EXPECT_EQ(Drawn()->count, 1);
    // A drag on the only point, then Backspace: back to one point.
    Drag(10, 10, 20, 20);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, B, B, B}));
    Key(VK_BACK);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M}));
    Click(40, 10);
    Drag(40, 50, 60, 50);
    Drag(70, 70, 80, 80);
    Click(20, 80);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L, B, B, D, B, B, D, B, B, B}));
    // The last curve leaves a smooth node: it goes back to pending.
    Key(VK_BACK);
    EXPECT_EQ(Drawn()->count, 11);
    EXPECT_TRUE(pen::State().pending);
    EXPECT_TRUE(Same(At(9), POINT{70, 70}));
    EXPECT_TRUE(Same(At(8), POINT{80, 80}));
    // Pending curve gone; the curve into (70, 70) left a smooth node with a
    // pulled handle, so it is pending in turn.
    Key(VK_BACK);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L, B, B, D, B, B, B}));
    EXPECT_TRUE(pen::State().pending);
    // Its start (40, 10)-curve had no handle: both curves go.
    Key(VK_BACK);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L}));
    EXPECT_FALSE(pen::State().pending);
    // Not while dragging.
    Move(50, 50);
    Send(WM_LBUTTONDOWN, 50, 50);
    Move(70, 50);
    Key(VK_BACK);
    Send(WM_LBUTTONUP, 70, 50);
    EXPECT_EQ(Drawn()->count, 8);
    // Esc keeps what was placed but not the curve never placed.
    DebugCapture debug;
    Key(VK_ESCAPE);
    EXPECT_EQ(Types(), (std::vector<uint16_t>{M, L, B, B, D}));
    EXPECT_FALSE(pen::State().active);
    EXPECT_EQ(debug.lines().size(), 1u);
    // Messages without a drawing do nothing.
    const std::vector<uint8_t> before = Window();
    EXPECT_EQ(Send(WM_MOUSEMOVE, 5, 5), 0);
    Key(VK_BACK);
    EXPECT_EQ(Window(), before);
}

TEST_F(PenTest, RandomSessionsLeaveExactlyTheCurrentPictureOnTheWindow) {
    std::mt19937 rng(20240611);
    auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    POINT mouse{48, 48};
    int finished = 0, escaped = 0;
    for (int i = 0; i < 6000 && !HasFatalFailure(); ++i) {
        if (!pen::State().active) kind_ = pick(0, 7);
        const int32_t r = pick(0, 99);
        if (r < 40) {
            mouse = pick(0, 2) ? POINT{mouse.x + pick(-7, 7), mouse.y + pick(-7, 7)} : POINT{pick(-10, 105), pick(-10, 105)};
            Move(mouse.x, mouse.y);
        } else if (r < 55) {
            Send(WM_LBUTTONDOWN, mouse.x, mouse.y);
        } else if (r < 72) {
            Send(WM_LBUTTONUP, mouse.x, mouse.y);
        } else if (r < 77) {
            finished += Send(WM_LBUTTONDBLCLK, mouse.x, mouse.y);
        } else if (r < 90) {
            Key(VK_BACK);
        } else if (r < 93) {
            escaped += pen::State().active;
            Key(VK_ESCAPE);
        } else if (r < 99) {
            g_shift = !g_shift;
        } else {
            ReleaseCapture();  // the host gives the drawing up
            Send(WM_MOUSEMOVE, mouse.x, mouse.y);
            EXPECT_FALSE(pen::State().active);
        }
    }
    EXPECT_GT(finished, 20);
    EXPECT_GT(escaped, 20);
    Key(VK_ESCAPE);
    // Every subpath drawn is well formed.
    for (KyPath *p = Group()->first; p; p = p->next) {
        const PathPoint *pts = KyPathPoints(p);
        ASSERT_EQ(pts[0].type & PT_KINDMASK, PT_MOVETO);
        for (int32_t i = 1; i < p->count;) {
            if ((pts[i].type & PT_KINDMASK) == PT_LINETO) {
                ++i;
                continue;
            }
            ASSERT_LT(i + 2, p->count);
            ASSERT_EQ(pts[i].type, B);
            ASSERT_EQ(pts[i + 1].type, B);
            ASSERT_EQ(pts[i + 2].type & 0x0FFE, B);
            i += 3;
        }
    }
}

TEST_F(PenTest, RefusesToStartWithoutALiveTableAndReplacesTheOldSelection) {
    table_->state = 0;
    const size_t blocks = LiveBlocks();
    EXPECT_EQ(Click(20, 20), 0);
    EXPECT_EQ(y32BeepCount(), 1);
    EXPECT_EQ(LiveBlocks(), blocks);
    EXPECT_EQ(Group()->first, nullptr);
    EXPECT_EQ(KyPathMouseProcDraw(dc_, nullptr, view_, WM_LBUTTONDOWN, 0, 5, 5, 0, 0, 0), 0);
    EXPECT_EQ(y32BeepCount(), 2);
    ReleaseCapture();
    table_->state = 0x10000;

    // A selected path with its nodes on the window: the pen erases them,
    // deselects it and appends the new subpath after it.
    KyPath *old = MakePath({{PT_MOVETO, 70, 70}, {PT_LINETO, 90, 80}});
    LinkSelection({old});
    Install(old);
    Click(20, 20);
    EXPECT_FALSE(old->flags & KPF_SELECTED);
    EXPECT_EQ(old->next, Drawn());
    EXPECT_EQ(Group()->first, old);
    // The host selects something else: the drawing is not its to build any
    // more and is dropped, as it stands.
    KyPath *rec = Drawn();
    KyPathAssignSelectedPath(table_, nullptr);
    rec->flags &= ~KPF_SELECTED;
    Send(WM_MOUSEMOVE, 30, 30);
    EXPECT_FALSE(pen::State().active);
    EXPECT_EQ(rec->count, 1);
}

TEST_F(PenTest, PointBufferGrowsBy64AndOutOfMemoryAddsNothing) {
    // The first press fails cleanly at each of its allocations.
    for (int64_t k = 0; k < 3; ++k) {
        plat::ScopedAllocFailure fail(k);
        const size_t blocks = LiveBlocks();
        EXPECT_EQ(Send(WM_LBUTTONDOWN, 5, 5), 0);
        ReleaseCapture();
        EXPECT_EQ(LiveBlocks(), blocks) << k;
        EXPECT_EQ(Group()->first, nullptr);
    }
    // After a path of the host's, so that the table list follows the record
    // when its block moves.
    KyPath *old = MakePath({{PT_MOVETO, 70, 70}, {PT_LINETO, 90, 80}});
    Install(old);
    for (int32_t i = 0; i < 64; ++i) Click(5 + (i % 8) * 10, 5 + (i / 8) * 10);
    EXPECT_EQ(pen::State().capacity, 64);
    // The 65th point needs room in both buffers: refused when either
    // cannot grow, then made.
    for (int64_t k = 0; k < 2; ++k) {
        Move(90, 90);
        Send(WM_LBUTTONDOWN, 90, 90);
        plat::ScopedAllocFailure fail(k);
        Send(WM_LBUTTONUP, 90, 90);
        EXPECT_EQ(Drawn()->count, 64) << k;
    }
    Click(90, 90);
    EXPECT_EQ(Drawn()->count, 65);
    EXPECT_EQ(pen::State().capacity, 128);
    // Across the record's own room of 100 points: a drag needs six more.
    while (Drawn()->count < 98) Click(5 + Drawn()->count % 80, 50);
    Move(40, 40);
    Send(WM_LBUTTONDOWN, 40, 40);
    Move(60, 50);
    {
        plat::ScopedAllocFailure fail(0);
        Send(WM_LBUTTONUP, 60, 50);
    }
    EXPECT_EQ(Drawn()->count, 98);
    Drag(40, 40, 60, 50);
    EXPECT_EQ(Drawn()->count, 104);
    EXPECT_EQ(old->next, Drawn());
    EXPECT_EQ(Drawn()->prev, old);
    DebugCapture debug;
    EXPECT_EQ(DoubleClick(30, 30), 1);
    EXPECT_EQ(debug.lines().back(), "KyPathMouseProcDraw(): ptsbuf released, size = 128.\n");
}

TEST_F(PenTest, PiecesThatCouldNotBeDrawnAreDrawnByTheNextMessage) {
    // Each square makes its own pen. Let each allocation of a message fail
    // in turn: the window may miss a piece then, but never keeps a stray
    // one, and the next message leaves exactly the current picture.
    auto failing = [&](int64_t k, auto &&message) {
        check_ = false;
        {
            plat::ScopedAllocFailure fail(k);
            message();
        }
        check_ = true;
    };
    Click(20, 20);
    Click(50, 20);
    for (int64_t k = 0; k < 4; ++k) {
        failing(k, [&] { Move(30 + int32_t(k) * 7, 60); });
        Move(30 + int32_t(k) * 7, 62);
        failing(k, [&] { Key(VK_BACK); });  // the line's end square goes
        Click(50, 20);
    }
    Move(60, 60);
    Send(WM_LBUTTONDOWN, 60, 60);
    for (int64_t k = 0; k < 10; ++k) {
        failing(k, [&] { Move(70 + int32_t(k), 70); });
        Move(80, 70 + int32_t(k));
    }
    Send(WM_LBUTTONUP, 80, 80);
    Key(VK_ESCAPE);
}

}  // namespace
