// Allocation failures swept over every allocation of representative
// operations: for N = 0, 1, ... the N-th allocation (private heap, run-time
// heap and global memory alike) fails, until the operation runs through
// without meeting the failure. Each failed call must give its failure
// value, report 1001 where it promises to, leave what existed before the
// call as it was and leave nothing allocated; a call that succeeds although
// an allocation failed must give exactly what an undisturbed call gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "core/path_record.h"
#include "deform/dash.h"
#include "platform/alloc_fail.h"
#include "support/list_invariants.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "y32Comm.h"
#include "y32Path.h"
#ifdef Y32PATH_RELIABILITY_TEXT
#include "platform/fonts.h"
#endif

namespace {

using testing_support::MakePath;
using Bytes = std::vector<uint8_t>;

// A table list by value: header fields, links as list positions, points.
// Two lists built alike compare equal wherever their blocks lie.
Bytes Serial(const KyPath *any) {
    Bytes out;
    auto put = [&out](int64_t v) {
        for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const KyPath *head = any;
    while (head && head->prev) head = head->prev;
    std::map<const KyPath *, int64_t> at;
    int64_t i = 0;
    for (const KyPath *r = head; r; r = r->next) at[r] = i++;
    auto pos = [&at](const KyPath *r) -> int64_t { return r ? (at.count(r) ? at[r] : -2) : -1; };
    for (const KyPath *r = head; r; r = r->next) {
        put(r->version), put(r->count), put(r->flags), put(r->shape);
        put(pos(r->prev)), put(pos(r->next)), put(pos(r->groupPrev)), put(pos(path::GroupNext(r)));
        put(pos(r->selPrev)), put(pos(r->selNext));
        for (int32_t k = 0; k < r->count; ++k) {
            const PathPoint p = path::Points(r)[k];
            put(p.type), put(p.x), put(p.y);
        }
    }
    return out;
}

Bytes BufBytes(PathBuf b) {
    if (!b) return {};
    const auto *p = static_cast<const uint8_t *>(b) - 12;  // the header words are part of what must not change
    return Bytes(p, p + KyPathBufSize(b));
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &b : parts) {
        out.insert(out.end(), b.begin(), b.end());
        out.push_back(0xA5);  // a separator, so that moved boundaries show
    }
    return out;
}

// Three records in one list: a rectangle and a circle joined as a group,
// and an open curve; the circle and the curve selected, a node of the
// curve too.
KyPath *Figure() {
    KyPath *a = testing_support::Rect(10, 10, 40, 30);
    KyPath *b = testing_support::Circle(50, 40, 15);
    KyPath *c = MakePath({{PT_MOVETO, 5, 60}, {PT_BEZIERTO, 20, 45}, {PT_BEZIERTO, 40, 75}, {PT_BEZIERTO, 60, 60},
                          {PT_LINETO, 70, 50}});
    // Blocks trimmed to their points, so that every edit that adds points
    // has to grow one.
    KyPathPurge(&a);
    KyPathPurge(&b);
    KyPathPurge(&c);
    testing_support::LinkList({a, b, c});
    testing_support::LinkGroup({a, b});
    testing_support::LinkSelection({b, c});
    testing_support::SelectPoint(c, 3);
    return a;
}

// One operation under test. make() builds fresh inputs, call() runs the
// operation and tells whether it succeeded, inputs() and outputs() give
// what must stay unchanged by a failure and what a success made,
// failed_clean() checks the failure's own outputs, drop() frees it all.
struct Operation {
    virtual ~Operation() = default;
    virtual void make() = 0;
    virtual bool call() = 0;
    virtual Bytes inputs() = 0;
    virtual Bytes outputs() = 0;
    virtual bool failed_clean() { return true; }
    virtual void drop() = 0;
};
enum Report { kNoReport, k1001 };  // whether a failure from memory is reported with 1001

class AllocFailureSweep : public testing_support::PathTest {
  protected:
    void Sweep(Operation &op, const char *name, Report report, int64_t min_points = 1) {
        // An undisturbed call first: the reference, and the caches and
        // tables a first call makes are in place from here on.
        op.make();
        EXPECT_TRUE(op.call()) << name << ": fails without an injected failure";
        const Bytes reference = op.outputs();
        op.drop();
        const auto *result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
        int64_t n = 0;
        for (; n < 100000; ++n) {
            const int parts = result->total_part_count();
            const size_t live = LiveBlocks();
            op.make();
            const Bytes before = op.inputs();
            c32ClearDLLErrInfo();
            const int64_t requests = plat::AllocationRequests();
            bool ok;
            {
                plat::ScopedAllocFailure fail(n);
                ok = op.call();
            }
            const bool met = plat::AllocationRequests() - requests > n;
            if (std::getenv("Y32PATH_TRACE_SWEEP")) std::printf("%s n %lld ok %d used %lld\n", name, static_cast<long long>(n), ok, static_cast<long long>(plat::AllocationRequests() - requests));
            if (ok) {
                if (met && op.outputs() != reference)
                    ADD_FAILURE() << name << ": a success past a failure at " << n << " differs";
            } else {
                EXPECT_TRUE(met) << name << ": failed at " << n << " without meeting the failure";
                EXPECT_TRUE(op.inputs() == before) << name << ": inputs changed by the failure at " << n;
                EXPECT_TRUE(op.failed_clean()) << name << ": outputs left by the failure at " << n;
                if (report == k1001) {
                    Y32ErrInfo e{};
                    EXPECT_GE(c32GetDLLErrInfo(&e), 1) << name << ": no report for the failure at " << n;
                    EXPECT_EQ(e.code, 1001) << name << ": failure at " << n;
                }
            }
            op.drop();
            EXPECT_EQ(LiveBlocks(), live) << name << ": private heap blocks left by the failure at " << n;
            if (!met || result->total_part_count() != parts) break;
        }
        EXPECT_GE(n, min_points) << name << ": too few allocations to fail";
        std::printf("%s: %lld failure points\n", name, static_cast<long long>(n));
    }
};

// ---- Table edits: duplicate, subdivide, convert ----------------------------

struct TableOp : Operation {
    PathTable *t = nullptr;
    CoordStruct *view = nullptr;
    HDC dc = nullptr;
    void make() override {
        t = nullptr;  // both calls below take a holder and reuse what it holds
        view = nullptr;
        KyPathNew(&t);
        KyPathCoordStruct(0, 0, 100, 100, 0, 0, 1.0, t, &view);
        dc = y32CreateMemoryDC(100, 100, 24);
        KyPath *head = Figure();
        KyPathAssignActivePath(t, head);
        Y32Rect r;
        KyPathDraw(view, head, &r);
    }
    PathGroup &group() { return KyPathTblGroups(t)[t->current]; }
    Bytes overlay() { return Bytes(view->lpDB, view->lpDB + 100 * 100); }
    Bytes state() {
        const KyPath *sel = group().firstSelected;
        int32_t at = -1, i = 0;
        for (const KyPath *r = group().first; r; r = r->next, ++i)
            if (r == sel) at = i;
        return Join({Serial(group().first), overlay(), Bytes{static_cast<uint8_t>(at)}});
    }
    Bytes inputs() override { return state(); }
    Bytes outputs() override {
        EXPECT_TRUE(testing_support::ListInvariants(group().first, t));
        return state();
    }
    void drop() override {
        KyPathDeleteCoordStruct(view);
        KyPathTblDelete(t);
        y32DeleteMemoryDC(dc);
    }
};

TEST_F(AllocFailureSweep, TableEdits) {
    struct Duplicate : TableOp {
        bool call() override {
            Y32Rect r;
            return KyPathDuplicate(dc, t, view, &r) == 1;
        }
    } duplicate;
    Sweep(duplicate, "duplicate", kNoReport);

    struct Subdivide : TableOp {
        bool call() override { return KyPathSubdivide(t, group().first->next, 3, 20000) != nullptr; }
    } subdivide;
    Sweep(subdivide, "subdivide", k1001);

    struct Convert : TableOp {
        void make() override {
            TableOp::make();
            // The rectangle alone selected, its second side picked.
            KyPath *a = group().first;
            KyPathSingleSelectPath(t, a, view, dc, 0);
            KyPathDisjoin(a);
            KyPathSingleSelectPath(t, a, view, dc, 0);
            KyPathPickSegment(view, a, 1, nullptr);
        }
        bool call() override {
            Y32Rect r;
            return KyPathConvertSelectedSegment(view, t, &r) == 1;
        }
    } convert;
    Sweep(convert, "convert", k1001);
}

// ---- Flat form -------------------------------------------------------------

Bytes GlobalBytes(HGLOBAL h) {
    if (!h) return {};
    const auto *p = static_cast<const uint8_t *>(GlobalLock(h));
    Bytes b(p, p + GlobalSize(h));
    GlobalUnlock(h);
    return b;
}

TEST_F(AllocFailureSweep, FlattenAndUnflatten) {
    struct Flatten : Operation {
        KyPath *p = nullptr;
        HGLOBAL block = nullptr;
        uint32_t size = 0;
        void make() override {
            p = Figure();
            block = nullptr;
        }
        bool call() override { return KyPathFlatten(p, &size, &block) == 1; }
        Bytes inputs() override { return Serial(p); }
        Bytes outputs() override { return GlobalBytes(block); }
        bool failed_clean() override { return block == nullptr; }
        void drop() override {
            KyPathDeletePtr(p, 0);
            if (block) GlobalFree(block);
        }
    } flatten;
    Sweep(flatten, "flatten", kNoReport);

    struct Unflatten : Operation {
        HGLOBAL block = nullptr;
        KyPath *out = nullptr;
        void make() override {
            KyPath *p = Figure();
            uint32_t size = 0;
            KyPathFlatten(p, &size, &block);
            KyPathDeletePtr(p, 0);
            out = nullptr;
        }
        bool call() override { return KyPathUnFlatten(&block, &out) == 1; }
        Bytes inputs() override { return GlobalBytes(block); }
        Bytes outputs() override {
            EXPECT_TRUE(testing_support::ListInvariants(out));
            return Serial(out);
        }
        bool failed_clean() override { return out == nullptr; }
        void drop() override {
            if (out) KyPathDeletePtr(out, 0);
            GlobalFree(block);
        }
    } unflatten;
    Sweep(unflatten, "unflatten", kNoReport);
}

// ---- Deformation and strokes -------------------------------------------------

TEST_F(AllocFailureSweep, WrapAndDashes) {
    struct Wrap : Operation {
        KyPath *figure = nullptr, *baseline = nullptr;
        WrapInfo info{};
        void make() override {
            figure = testing_support::Rect(0, 0, 10, 12);
            KyPath *second = testing_support::Circle(20, 6, 6);
            testing_support::LinkList({figure, second});
            baseline = MakePath({{PT_MOVETO, 10, 80}, {PT_BEZIERTO, 40, 20}, {PT_BEZIERTO, 80, 20},
                                 {PT_BEZIERTO, 120, 80}});
            // Text bits, a stroke description and a place away from the
            // wrap position: all three are changed while the baseline is
            // prepared and must be back after a failure.
            baseline->flags |= 0x10000000u;
            OutlineInfo *stroke = nullptr;
            KyPathAssignOutlineInfo(1, 0, nullptr, 0, 0, nullptr, 3, nullptr, 0, 3, 0, 0, &stroke);
            KyPathSetOutlineInfo(baseline, stroke);
            info = WrapInfo{};
            info.baseline = baseline;
            info.repeatCount = 2;
            info.option8 = 1;
            info.startHeight = info.endHeight = 100;
            info.baselineLevel = 0.5;
            info.recentre = 1;
            info.positionX = 90;
            info.positionY = 70;
        }
        bool call() override { return KyPathWrap(&figure, &info) == 1; }
        Bytes inputs() override {
            const auto *b = reinterpret_cast<const uint8_t *>(baseline);
            return Join({Serial(figure), Bytes(b, b + sizeof(KyPath) + sizeof(PathPoint) * size_t(baseline->count))});
        }
        Bytes outputs() override {
            EXPECT_TRUE(testing_support::ListInvariants(figure));
            return Serial(figure);
        }
        void drop() override {
            KyPathDeletePtr(figure, 0);
            KyPathDeletePtr(baseline, 0);
        }
    } wrap;
    Sweep(wrap, "wrap", k1001);

    // A dashed stroke with an arrowhead, rendered to a mask.
    struct Dashes : Operation {
        KyPath *p = nullptr;
        Y32Rect *rects = nullptr;
        PathBuf *bufs = nullptr;
        int32_t n = 0;
        void make() override {
            dash::InstallDashStroke();
            p = MakePath({{PT_MOVETO, 10, 20}, {PT_BEZIERTO, 40, 0}, {PT_BEZIERTO, 60, 40}, {PT_BEZIERTO, 90, 20}});
            OutlineInfo *info = nullptr;
            KyPathAssignOutlineInfo(1, 0, nullptr, 0, 0, nullptr, 3, nullptr, 0, 3, 0, 0, &info);
            KyPathSetOutlineInfo(p, info);
            rects = nullptr;
            bufs = nullptr;
            n = 0;
        }
        bool call() override {
            n = KyPathToBuf(p, 0, 0, 1, 0, fx::kOne, &rects, &bufs, 0);
            return n > 0;
        }
        Bytes inputs() override { return Serial(p); }
        Bytes outputs() override {
            Bytes out;
            for (int32_t i = 0; i < n; ++i) out = Join({out, BufBytes(bufs[i])});
            return out;
        }
        bool failed_clean() override { return !rects && !bufs; }
        void drop() override {
            for (int32_t i = 0; i < n; ++i) KyPathBufFree(bufs[i]);
            if (rects) GlobalFree(rects);
            if (bufs) GlobalFree(bufs);
            KyPathDeletePtr(p, 0);
        }
    } dashes;
    Sweep(dashes, "dashes", k1001);
}

// ---- Relief maps, shading and the A-buffer -----------------------------------

TEST_F(AllocFailureSweep, ReliefShadingAndABuffer) {
    struct Relief : Operation {
        KyPath *p = nullptr;
        ReliefDistanceMap d = nullptr;
        ReliefVectorMap v = nullptr;
        void make() override {
            p = testing_support::Rect(2, 2, 26, 20);
            KyPath *hole = testing_support::Circle(14, 11, 4);
            testing_support::LinkList({p, hole});
            testing_support::LinkGroup({p, hole});
            d = v = reinterpret_cast<PathBuf>(1);
        }
        bool call() override {
            double w = 5.0;
            return KyPathVMap(p, &d, &v, 0, 0, 0, 0, 0, &w, 0, 0, nullptr, nullptr, fx::kOne) == 1;
        }
        Bytes inputs() override { return Serial(p); }
        Bytes outputs() override { return Join({BufBytes(d), BufBytes(v)}); }
        bool failed_clean() override { return !d && !v; }
        void drop() override {
            if (d) KyPathBufFree(d);
            if (v) KyPathBufFree(v);
            KyPathDeletePtr(p, 0);
        }
    } relief;
    Sweep(relief, "relief", k1001);

    struct Shading : Relief {
        PathBuf image = nullptr, mask = nullptr;
        void make() override {
            Relief::make();
            ASSERT_TRUE(Relief::call());
            uint32_t w = 0, h = 0;
            int32_t depth = 0;
            KyPathBufGetWHU(v, &w, &h, &depth);
            image = KyPathBufAlloc(24, w, h, 1, 0, 0);
            mask = KyPathBufAlloc(8, w, h, 1, 0, 0);
            std::memset(image, 0x80, static_cast<size_t>(w) * h * 3);
            std::memset(mask, 0xFF, static_cast<size_t>(w) * h);
        }
        bool call() override {
            return KyPathShadePhong(image, 5.0, 0, 0, 0, 0, d, v, 0, mask, nullptr, 0, 50, 50, -0.5, -0.5, 0.7, 0, 1,
                                    0, nullptr) == 1;
        }
        Bytes inputs() override { return Join({Relief::inputs(), Relief::outputs()}); }
        Bytes outputs() override { return Join({BufBytes(image), BufBytes(mask)}); }
        void drop() override {
            KyPathBufFree(image);
            KyPathBufFree(mask);
            Relief::drop();
        }
    } shading;
    Sweep(shading, "shading", k1001, 0);

    struct ABuffer : Operation {
        KyPath *p = nullptr;
        PathBuf out = nullptr, mask = nullptr;
        ABufCamera cam{};
        void make() override {
            p = testing_support::Circle(30, 25, 18);
            KyPath *square = testing_support::Rect(40, 5, 58, 20);
            testing_support::LinkList({p, square});
            out = KyPathBufAlloc(24, 64, 48, 1, 0, 0);
            mask = KyPathBufAlloc(8, 64, 48, 1, 0, 0);
            cam = ABufCamera{};
            cam.centreX = DbToFix(32);
            cam.centreY = DbToFix(24);
            cam.distance = 400;
            cam.fieldOfView = 40;
            const double c = 0.9659258, s = 0.2588190;  // 15 degrees about x
            const double m[9] = {1, 0, 0, 0, c, s, 0, -s, c};
            std::memcpy(cam.rotation, m, sizeof m);
        }
        bool call() override {
            const int32_t required = 1;
            return KyPathABufRender(p, &cam, out, &required, 0, nullptr, nullptr, 0x3080C0, mask, nullptr, 0, 0, 0,
                                    0, 0, 0, 0, 0, 0, 5, 0, 0, 0, nullptr, 0) == 1;
        }
        // Finished strips may stay drawn after a failure: only the figure
        // must be as it was.
        Bytes inputs() override { return Serial(p); }
        Bytes outputs() override { return Join({BufBytes(out), BufBytes(mask)}); }
        void drop() override {
            KyPathBufFree(out);
            KyPathBufFree(mask);
            KyPathDeletePtr(p, 0);
        }
    } abuffer;
    Sweep(abuffer, "a-buffer", k1001);
}

#ifdef Y32PATH_RELIABILITY_TEXT
}  // namespace

// fontconfig keeps blocks of its configuration parse that LeakSanitizer
// may count as lost, depending on what the stack happens to hold at exit;
// they are the font library's, made once, and not what this sweep is
// about. (Read by LeakSanitizer only; without it the function is unused.)
extern "C" __attribute__((visibility("default"), used)) const char *__lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

TEST_F(AllocFailureSweep, TextOutlines) {
    struct Text : Operation {
        HFONTDC dc = nullptr;
        HFONT font = nullptr;
        KyPath *path = nullptr;
        PathBuf mask = nullptr;
        Y32Rect rect{};
        char text[16] = {};
        void make() override {
            LOGFONTA lf{};
            lf.lfHeight = -24;
            lf.lfWeight = FW_NORMAL;
            lf.lfCharSet = ANSI_CHARSET;
            std::strncpy(lf.lfFaceName, "DejaVu Sans", LF_FACESIZE - 1);
            dc = y32CreateFontDC();
            font = y32CreateFontIndirect(&lf);
            if (dc && font) y32SelectFont(dc, font);
            std::strcpy(text, "Ag\r\nB");
            path = nullptr;
            mask = nullptr;
        }
        bool call() override {
            TextParams params{};
            params.antialias = 1;
            params.underline = 1;
            mask = KyPathCreateText(dc, text, &params, &path, &rect);
            return mask != nullptr;
        }
        Bytes inputs() override { return Bytes(text, text + sizeof text); }
        Bytes outputs() override { return Join({Serial(path), BufBytes(mask)}); }
        bool failed_clean() override { return path == nullptr; }
        void drop() override {
            if (mask) KyPathBufFree(mask);
            if (path) KyPathDeletePtr(path, 0);
            if (dc) {
                y32SelectFont(dc, nullptr);
                y32DeleteFontDC(dc);
            }
            if (font) y32DeleteFont(font);
        }
    } text;
    Sweep(text, "text", kNoReport);
}
#endif

}  // namespace
