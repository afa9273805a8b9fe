// A seeded random session over a whole table: groups, shapes, pen
// drawings, clicks, marquees, structural edits, deformations, undo and redo,
// done the way a host does them. After every step the record lists must
// keep their invariants and the overlay must hold exactly what a fresh
// redraw of the current list gives. Y32PATH_SOAK_STEPS runs longer and
// Y32PATH_SOAK_SEED starts from another seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/view.h"
#include "display/pen_tool.h"
#include "edit/undo/journal.h"
#include "support/list_invariants.h"
#include "support/records.h"
#include "y32Path.h"

namespace {

using testing_support::Circle;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::Rect;

constexpr int32_t kW = 160, kH = 120;
constexpr uint32_t kOwner = 0x5EED;
constexpr int32_t kMaxGroups = 6;
constexpr int32_t kMaxRecords = 60;  // per list, beyond which the table is started anew

int g_window_token;
HWND HostWindow() { return reinterpret_cast<HWND>(&g_window_token); }

int64_t Steps() {
    const char *s = std::getenv("Y32PATH_SOAK_STEPS");
    const long long n = s ? std::atoll(s) : 0;
    return n > 0 ? n : 3000;
}

enum Op {
    kAddGroup, kPrimitive, kPen, kClick, kPick, kMarquee, kJoin, kDisjoin, kDelete, kConvert, kInvert, kMove,
    kAlign, kDuplicate, kSubdivide, kEnvelope, kWrap, kUndo, kRedo, kOpCount
};
const char *const kOpNames[] = {"add group", "primitive", "pen", "click", "pick", "marquee", "join",
                                "disjoin", "delete", "convert", "invert", "move", "align", "duplicate",
                                "subdivide", "envelope", "wrap", "undo", "redo"};
// How often each operation is drawn (wrap and new groups are the heavy ones).
const int kWeights[] = {2, 6, 6, 14, 6, 8, 4, 4, 5, 5, 3, 5, 4, 4, 5, 2, 1, 8, 6};
static_assert(sizeof(kWeights) / sizeof(kWeights[0]) == kOpCount, "one weight per operation");

class RandomEditing : public testing_support::PathTest {
  protected:
    void SetUp() override {
        PathTest::SetUp();
        undo::FreeEverything();
        ReleaseCapture();
        dc_ = y32CreateMemoryDC(kW, kH, 24);
        ASSERT_NE(dc_, nullptr);
        NewTable();
    }
    void TearDown() override {
        ClearJournal();
        pen::ResetForTesting();
        ReleaseCapture();
        DropTable();
        y32DeleteMemoryDC(dc_);
        undo::FreeEverything();
        PathTest::TearDown();
    }

    void NewTable() {
        ASSERT_EQ(KyPathNew(&t_), 1);
        ASSERT_EQ(KyPathCoordStruct(0, 0, kW, kH, 0, 0, 1.0, t_, &view_), 1);
        ASSERT_NE(view_->lpDB, nullptr);
    }
    void DropTable() {
        if (view_) KyPathDeleteCoordStruct(view_);
        if (t_) KyPathTblDelete(t_);
        view_ = nullptr;
        t_ = nullptr;
    }

    PathGroup &Group() { return KyPathTblGroups(t_)[t_->current]; }
    KyPath *First() { return Group().first; }
    KyPath *Selected() { return Group().firstSelected; }

    // ---- The host's journal bookkeeping ----
    bool Record(int32_t code) {
        while (records_ > done_) {
            KyPathURFree(kOwner, 0, 0);
            --records_;
        }
        groups_at_.resize(static_cast<size_t>(done_));
        groups_at_.push_back(Groups());  // where the host stands now
        if (!KyPathBackupAction(kOwner, code, t_)) return false;
        ++records_;
        ++done_;
        return true;
    }
    void DropNewest() {
        if (records_ == 0) return;
        KyPathURFree(kOwner, 0, 0);
        --records_;
        done_ = std::min(done_, records_);
        groups_at_.resize(static_cast<size_t>(records_) + 1);
    }
    // Edits the journal cannot take back leave its list indexes naming
    // other paths, so the history goes with them.
    void ClearJournal() {
        while (records_ > 0) {
            KyPathURFree(kOwner, 0, 0);
            --records_;
        }
        done_ = 0;
        groups_at_.clear();
    }
    // What a host does after an edit that does not draw: wipe and redraw.
    void Refresh() {
        Y32Rect r;
        KyPathHide(view_, nullptr, &r);
        if (First()) KyPathDraw(view_, First(), &r);
    }

    // ---- Random material ----
    int32_t Int(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng_); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    double Coord(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }

    KyPath *RandomFigure() {
        const double x = Coord(0, kW - 20), y = Coord(0, kH - 20), s = Coord(4, 40);
        switch (Int(0, 2)) {
            case 0: return Rect(x, y, x + s, y + s * 0.6);
            case 1: return Circle(x + s / 2, y + s / 2, s / 2);
            default:
                return MakePath({{PT_MOVETO, x, y},
                                 {PT_LINETO, x + s, y + Coord(-10, 10)},
                                 {PT_BEZIERTO, x + s, y + s},
                                 {PT_BEZIERTO, x, y + s},
                                 {PT_BEZIERTO, x - s / 3, y + s / 2}});
        }
    }
    // A window point: usually on or near a node of some record of the
    // current list, so that hits happen, else anywhere.
    void RandomPoint(int32_t *x, int32_t *y) {
        std::vector<KyPath *> list;
        for (KyPath *r = First(); r; r = r->next)
            if (r->count > 0) list.push_back(r);
        if (!list.empty() && Chance(75)) {
            KyPath *r = list[static_cast<size_t>(Int(0, static_cast<int32_t>(list.size()) - 1))];
            const PathPoint p = path::Points(r)[Int(0, r->count - 1)];
            *x = view::FixedToWindowX(view_, p.x) + Int(-3, 3);
            *y = view::FixedToWindowY(view_, p.y) + Int(-3, 3);
            return;
        }
        *x = Int(-5, kW + 5);
        *y = Int(-5, kH + 5);
    }
    int32_t ListLength() {
        int32_t n = 0;
        for (KyPath *r = First(); r; r = r->next) ++n;
        return n;
    }
    bool EndsSpecial() {
        KyPath *last = First() ? PathLast(First()) : nullptr;
        return last && (last->flags & (KPF_LASTMARK | KPF_ENVELOPE1 | KPF_ENVELOPE2 | KPF_ENVELOPE3));
    }

    void Dump() {
        for (KyPath *r = First(); r; r = r->next) {
            std::fprintf(stderr, "  %p flags %08x n %d g %p/%p s %p/%p:", static_cast<void *>(r), r->flags, r->count,
                         static_cast<void *>(r->groupPrev), static_cast<void *>(path::GroupNext(r)),
                         static_cast<void *>(r->selPrev), static_cast<void *>(r->selNext));
            for (int32_t i = 0; i < r->count; ++i) {
                const PathPoint p = path::Points(r)[i];
                std::fprintf(stderr, " %x(%g,%g)", p.type, p.x / 65536.0, p.y / 65536.0);
            }
            std::fprintf(stderr, "\n");
        }
    }

    // The wrap tool is done: its baseline leaves the list, which is edited
    // as any other from then on.
    void FinishWrap() {
        if (KyPath *baseline = KyPathSeparateBaselineFromTable(t_, nullptr, nullptr)) {
            KyPathDeletePtr(baseline, 0);
        } else if (EndsSpecial()) {
            // Separating takes the selected path only; with the selection
            // elsewhere the host drops the baseline itself.
            KyPath *tail = PathLast(First());
            if (Group().firstSelected == tail) Group().firstSelected = nullptr;
            KyPathDeleteNodeFromList(&Group().first, tail);
        }
        if (First()) KyPathAssignSelectedPathBlindly(t_, First());
        else Group().firstSelected = nullptr;
        ClearJournal();
        Refresh();
    }

    // ---- One step ----
    void Do(Op op) {
        Y32Rect r{};
        // While a wrap baseline ends the list the host offers the wrap
        // tool's selections and moves only.
        if (EndsSpecial() && op != kClick && op != kPick && op != kMarquee && op != kMove && op != kUndo &&
            op != kRedo && op != kWrap)
            FinishWrap();
        switch (op) {
            case kAddGroup: {
                if (t_->groups >= kMaxGroups || ListLength() > kMaxRecords) {
                    ClearJournal();
                    DropTable();
                    NewTable();
                }
                KyPath *head = RandomFigure();
                KyPath *tail = head;
                for (int i = Int(0, 2); i > 0; --i) {
                    KyPath *more = RandomFigure();
                    tail->next = more;
                    more->prev = tail;
                    tail = more;
                }
                // Sometimes one compound path, of which only the head is
                // selected.
                if (Chance(30)) PathGroupToEnd(head);
                if (Chance(50)) head->flags |= KPF_SELECTED;
                const std::string name = "g" + std::to_string(step_);
                if (KyPathAddPathGroup(&t_, head, name.c_str(), view_, &r)) {
                    if (head->flags & KPF_SELECTED) KyPathAssignSelectedPath(t_, head);
                    ClearJournal();
                } else {
                    KyPathDeletePtr(head, 0);
                }
                break;
            }
            case kPrimitive: {
                static const int32_t kinds[] = {KYSHAPE_ELLIPSE, KYSHAPE_RECTANGLE, KYSHAPE_ROUNDED,
                                                KYSHAPE_SEGMENTED, KYSHAPE_ROUNDED_PERCENT(30), 7};
                const Y32Rect drag{Int(0, kW), Int(0, kH), Int(0, kW), Int(0, kH)};
                // The shape tool shows node squares only; the host draws the outline.
                if (KyPathAddPrimitive(dc_, kinds[Int(0, 5)], nullptr, t_, view_, Int(0, 1), Int(0, 1), &drag)) {
                    ClearJournal();
                    Refresh();
                }
                break;
            }
            case kPen: {
                const int32_t kind = Int(0, 6);
                const bool recorded = Record(KYPATH_UR_SELECT1);
                int32_t done = 0;
                auto send = [&](uint32_t msg, int32_t x, int32_t y, uint32_t key = 0) {
                    const int32_t d = KyPathMouseProcDraw(dc_, t_, view_, msg, key, x, y, 0, 0, kind);
                    if (msg == WM_LBUTTONDOWN && !d && !GetCapture()) SetCapture(HostWindow());
                    done = done || d;
                };
                for (int n = Int(2, 5); n > 0 && !done; --n) {
                    int32_t x, y;
                    RandomPoint(&x, &y);
                    send(WM_MOUSEMOVE, x, y);
                    send(WM_LBUTTONDOWN, x, y);
                    if (Chance(30)) send(WM_MOUSEMOVE, x + Int(-20, 20), y + Int(-20, 20));
                    send(WM_LBUTTONUP, x, y);
                    if (Chance(10)) send(WM_KEYDOWN, 0, 0, VK_BACK);
                }
                if (!done) {
                    int32_t x, y;
                    RandomPoint(&x, &y);
                    if (Chance(20)) {
                        send(WM_KEYDOWN, 0, 0, 0x1B);
                    } else {
                        send(WM_LBUTTONDOWN, x, y);
                        send(WM_LBUTTONDBLCLK, x, y);
                        send(WM_LBUTTONUP, x, y);
                    }
                }
                pen::ResetForTesting();
                ReleaseCapture();
                if (recorded) ClearJournal();
                Refresh();
                break;
            }
            case kClick: {
                static const int32_t modes[] = {KYPATH_HIT_CLICK, KYPATH_HIT_ADD, KYPATH_HIT_TOGGLE, KYPATH_HIT_QUERY,
                                                KYPATH_HIT_CLICK | KYPATH_HIT_ADD};
                int32_t x, y;
                RandomPoint(&x, &y);
                const bool recorded = Record(KYPATH_UR_SELECT1);
                KyPath *hit = nullptr;
                int32_t index = 0;
                uint16_t param = 0;
                KyPathPtOn(x, y, modes[Int(0, 4)], dc_, view_, t_, &hit, &index, &param);
                if (recorded && KyPathSameUR(kOwner, t_, KYPATH_UR_SELECT1)) DropNewest();
                break;
            }
            case kPick: {
                int32_t x, y;
                RandomPoint(&x, &y);
                KyPath *hit = nullptr;
                int32_t index = 0;
                uint16_t param = 0;
                const int32_t answer = KyPathPtOn(x, y, KYPATH_HIT_QUERY, dc_, view_, t_, &hit, &index, &param);
                if (answer != KYPATH_HIT_SELECTED || !hit || param == 0) break;
                const bool recorded = Record(KYPATH_UR_SELECT1);
                KyPathDeselectPts(hit);
                KyPathUnpickSegment(view_, t_, nullptr, &r);
                if (!KyPathPickSegment(view_, hit, index, &r) && recorded) DropNewest();
                Refresh();  // the host repaints after the node marks went
                break;
            }
            case kMarquee: {
                static const int32_t how[] = {KYPATH_RECT_REPLACE, KYPATH_RECT_ADD, KYPATH_RECT_TOGGLE};
                const int32_t flags = (Chance(50) ? KYPATH_RECT_SEGMENTS : KYPATH_RECT_NODES) | how[Int(0, 2)];
                const bool recorded = Record(KYPATH_UR_SELECT1);
                int32_t changed = 0;
                KyPathRectClip(Int(-10, kW), Int(-10, kH), Int(0, kW + 10), Int(0, kH + 10), t_, dc_, view_, flags,
                               &changed);
                if (recorded && !changed) DropNewest();
                break;
            }
            case kJoin:
            case kDisjoin: {
                KyPath *sel = Selected();
                if (!sel) break;
                // Offered whatever the grouping: the journal restores the
                // groups as they were, also after a join or disjoin that
                // changed nothing or reached beyond the selection.
                const bool recorded = Record(op == kJoin ? KYPATH_UR_JOIN : KYPATH_UR_DISJOIN);
                const int32_t ok = op == kJoin ? KyPathJoin(sel) : KyPathDisjoin(sel);
                if (!ok && recorded) DropNewest();
                if (ok && !recorded) ClearJournal();
                break;
            }
            case kDelete:
                if (Selected() && KyPathDelete(t_, view_, &r)) ClearJournal();
                break;
            case kConvert:
                if (KyPathConvertSelectedSegment(view_, t_, &r)) ClearJournal();
                break;
            case kInvert:
                if (Selected() && KyPathInvertSubpaths(Selected())) {
                    ClearJournal();
                    Refresh();
                }
                break;
            case kMove:
                if (!Selected()) break;
                Record(KYPATH_UR_NODEMOVE);
                KyPathMovePaths(Selected(), view_, Int(-15, 15), Int(-15, 15));
                Refresh();
                break;
            case kAlign: {
                static const int32_t modes[] = {18017, 18018, 18020, 18021, 18022, 18023, 18024, 18025, 18019};
                if (KyPathAlign(0, modes[Int(0, 8)], t_, view_, &r)) ClearJournal();
                break;
            }
            case kDuplicate:
                if (ListLength() < kMaxRecords && KyPathDuplicate(dc_, t_, view_, &r)) ClearJournal();
                break;
            case kSubdivide: {
                KyPath *sel = Selected();
                if (!sel || sel->count < 2) break;
                const int32_t seg = Int(0, sel->count - 2);
                if (KyPathSubdivide(t_, sel, seg, static_cast<uint32_t>(Int(1, 65534)))) {
                    ClearJournal();
                    Refresh();
                }
                break;
            }
            case kEnvelope: {
                KyPath *sel = Selected();
                if (!sel || EndsSpecial()) break;
                FIXED l = INT32_MAX, t = INT32_MAX, rr = INT32_MIN, b = INT32_MIN;
                for (int32_t i = 0; i < sel->count; ++i) {
                    const PathPoint p = path::Points(sel)[i];
                    const FIXED x = p.x, y = p.y;  // copied out of the packed point
                    l = std::min(l, x), rr = std::max(rr, x);
                    t = std::min(t, y), b = std::max(b, y);
                }
                if (sel->count == 0 || rr - l < fx::kOne || b - t < fx::kOne) break;
                const FIXED d = fx::kOne * Int(0, 8);
                EnvelopeCorners c{{{l - d, t}, {rr + d, t}, {l, b}, {rr, b + d}}};
                if (Chance(50)) KyPathBiLinear(sel, &c);
                ClearJournal();
                if (KyPathAddBiLinearEnvelope(sel, &c)) {
                    // The envelope tool shows the outline while it runs;
                    // when it is done the outline goes and the list is
                    // edited as before.
                    KyPathAssignSelectedPathBlindly(t_, First());
                    Refresh();
                    EXPECT_TRUE(testing_support::TableInvariants(t_)) << "with the envelope outline, step " << step_;
                    EXPECT_TRUE(OverlayFresh()) << "with the envelope outline, step " << step_;
                    KyPathDeleteNodeFromList(&Group().first, PathLast(First()));
                }
                KyPathAssignSelectedPathBlindly(t_, First());
                Refresh();
                break;
            }
            case kWrap: {
                if (EndsSpecial()) {
                    FinishWrap();
                    break;
                }
                WrapInfo w{};
                if (!KyPathGetPredefinedWrapInfo(&w, Int(101, 107), kW / 2, kH / 2, Int(20, 40))) break;
                KyPath *baseline = w.baseline;
                KyPath *figure = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 8, 0}, {PT_LINETO, 8, 10},
                                           {PT_LINETO | PT_CLOSEFIGURE, 0, 0}});
                w.repeatCount = Int(1, 4);
                if (KyPathWrapAndUpdate(t_, &figure, baseline, &w)) {
                    ClearJournal();
                    Refresh();
                    if (w.baseline != baseline) KyPathDeletePtr(w.baseline, 0);
                }
                KyPathDeletePtr(baseline, 0);
                KyPathDeletePtr(figure, 0);
                break;
            }
            case kUndo:
                if (done_ > 0 && KyPathUndo(kOwner, t_, view_, &r, dc_)) --done_;
                break;
            case kRedo:
                if (done_ < records_ && KyPathRedo(kOwner, t_, view_, &r, dc_)) ++done_;
                break;
            case kOpCount: break;
        }
    }

    // The group's selected path heads the selection: every selected record
    // is on its selection list, and with none selected it is null.
    ::testing::AssertionResult SelectionNamed() {
        size_t selected = 0, listed = 0;
        for (KyPath *r = First(); r; r = r->next) selected += (r->flags & KPF_SELECTED) != 0;
        for (KyPath *r = Selected(); r; r = r->selNext) ++listed;
        if (selected == listed) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << selected << " records selected, " << listed
                                             << " on the selected path's list";
    }

    // The group links of the current list, as list positions.
    std::vector<int32_t> Groups() {
        std::vector<KyPath *> list;
        for (KyPath *r = First(); r; r = r->next) list.push_back(r);
        auto at = [&list](const KyPath *r) {
            return static_cast<int32_t>(r ? std::find(list.begin(), list.end(), r) - list.begin() : -1);
        };
        std::vector<int32_t> out;
        for (KyPath *r : list) {
            out.push_back(at(r->groupPrev));
            out.push_back(at(path::GroupNext(r)));
        }
        return out;
    }

    // Only joins and disjoins change groups while the journal holds
    // records, so every journal position has one group structure: the
    // one the list had when the host stood there last. Undo and redo must
    // bring it back exactly.
    ::testing::AssertionResult GroupsAsRecorded() {
        if (records_ == 0) groups_at_.assign(1, Groups());
        else if (groups_at_.size() == static_cast<size_t>(records_)) groups_at_.push_back(Groups());
        if (groups_at_.size() != static_cast<size_t>(records_) + 1)
            return ::testing::AssertionFailure() << groups_at_.size() << " group states for " << records_ << " records";
        if (Groups() == groups_at_[static_cast<size_t>(done_)]) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the groups differ from those at journal position " << done_;
    }

    // The overlay as it is against a fresh redraw of the current list (the
    // live bytes are put back afterwards).
    ::testing::AssertionResult OverlayFresh() {
        const size_t n = static_cast<size_t>(kW) * kH;
        std::vector<uint8_t> live(view_->lpDB, view_->lpDB + n);
        std::vector<uint8_t> fresh(n, 0);
        if (First()) {
            Y32Rect r;
            KyPathDraw(view_, First(), &r);
            fresh.assign(view_->lpDB, view_->lpDB + n);
            std::memcpy(view_->lpDB, live.data(), n);
        }
        // Counts must agree everywhere. The style bits (picked highlight,
        // secondary style) of a pixel that two outlines cover depend on which
        // was drawn last, so they are compared where one outline covers it.
        size_t differing = 0, first_at = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t mask = (fresh[i] & 0x3F) == 1 ? 0xFF : 0x3F;
            if ((live[i] & mask) != (fresh[i] & mask) && differing++ == 0) first_at = i;
        }
        if (!differing) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << differing << " overlay bytes differ from a fresh redraw, first at (" << first_at % kW << ", "
               << first_at / kW << "): " << int(live[first_at]) << " instead of " << int(fresh[first_at]);
    }

    std::mt19937 rng_{20261206u};
    PathTable *t_ = nullptr;
    CoordStruct *view_ = nullptr;
    HDC dc_ = nullptr;
    int32_t records_ = 0, done_ = 0;
    std::vector<std::vector<int32_t>> groups_at_;  // by journal position
    int64_t step_ = 0;
};

TEST_F(RandomEditing, ListsAndOverlayStaySoundThroughARandomSession) {
    if (const char *seed = std::getenv("Y32PATH_SOAK_SEED")) rng_.seed(static_cast<uint32_t>(std::strtoul(seed, nullptr, 0)));
    std::discrete_distribution<int> pick(std::begin(kWeights), std::end(kWeights));
    const int64_t steps = Steps();
    std::vector<int64_t> count(kOpCount, 0);
    const bool trace = std::getenv("Y32PATH_TRACE_STEPS") != nullptr;
    for (step_ = 0; step_ < steps; ++step_) {
        const Op op = static_cast<Op>(pick(rng_));
        ++count[op];
        if (trace) std::fprintf(stderr, "step %lld %s: group %d of %d, %d records\n", static_cast<long long>(step_),
                                kOpNames[op], t_->current, t_->groups, ListLength());
        if (trace) Dump();
        Do(op);
        ASSERT_TRUE(testing_support::TableInvariants(t_)) << "after step " << step_ << " (" << kOpNames[op] << ")";
        ASSERT_TRUE(OverlayFresh()) << "after step " << step_ << " (" << kOpNames[op] << ")";
        ASSERT_TRUE(SelectionNamed()) << "after step " << step_ << " (" << kOpNames[op] << ")";
        ASSERT_TRUE(GroupsAsRecorded()) << "after step " << step_ << " (" << kOpNames[op] << ")";
    }
    for (int i = 0; i < kOpCount; ++i) EXPECT_GT(count[i], 0) << kOpNames[i] << " never drawn";
}

// Cases the random session found, kept as plain tests.
class EditingCases : public RandomEditing {};

TEST_F(EditingCases, DuplicateOfAPickedSegmentLeavesNoHighlightOnTheSource) {
    KyPath *a = Circle(66, 88, 20);
    KyPath *b = Rect(10, 10, 30, 30);
    LinkList({b, a});
    ASSERT_EQ(KyPathAddPathGroup(&t_, b, "g", view_, nullptr), 1);
    ASSERT_EQ(KyPathSingleSelectPath(t_, a, view_, dc_, 1), 1);
    Y32Rect r{};
    ASSERT_EQ(KyPathPickSegment(view_, a, 0, &r), 1);
    ASSERT_TRUE(OverlayFresh());
    ASSERT_EQ(KyPathDuplicate(dc_, t_, view_, &r), 1);
    EXPECT_TRUE(testing_support::TableInvariants(t_));
    EXPECT_TRUE(OverlayFresh());
}

TEST_F(EditingCases, DeletingAPickedRecordLeavesNoHighlightWhereAnotherOutlineCrosses) {
    KyPath *a = Rect(20, 20, 60, 60);
    KyPath *b = MakePath({{PT_MOVETO, 10, 21}, {PT_LINETO, 80, 19}});  // crosses a's top edge
    LinkList({b, a});
    ASSERT_EQ(KyPathAddPathGroup(&t_, b, "g", view_, nullptr), 1);
    ASSERT_EQ(KyPathSingleSelectPath(t_, a, view_, dc_, 1), 1);
    Y32Rect r{};
    ASSERT_EQ(KyPathPickSegment(view_, a, 0, &r), 1);
    ASSERT_TRUE(OverlayFresh());
    ASSERT_EQ(KyPathDelete(t_, view_, &r), 1);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_TRUE(testing_support::TableInvariants(t_));
    EXPECT_TRUE(OverlayFresh());
}

TEST_F(EditingCases, DeselectingClearsMarksTheFlagsDoNotClaim) {
    // An envelope outline's corners are selected nodes under its fixed
    // flags word; deselecting the list must not leave them behind.
    KyPath *a = Rect(20, 20, 60, 60);
    ASSERT_EQ(KyPathAddPathGroup(&t_, a, "g", view_, nullptr), 1);
    a->flags |= KPF_SELECTED;
    const EnvelopeCorners c{{{fx::kOne * 20, fx::kOne * 20}, {fx::kOne * 60, fx::kOne * 20},
                             {fx::kOne * 20, fx::kOne * 60}, {fx::kOne * 60, fx::kOne * 60}}};
    ASSERT_EQ(KyPathAddBiLinearEnvelope(a, &c), 1);
    KyPath *outline = a->next;
    ASSERT_NE(outline, nullptr);
    path::Points(outline)[1].type |= PT_SELECTED;
    EXPECT_TRUE(testing_support::TableInvariants(t_));
    KyPathDeSelectAll(nullptr, a, nullptr, 0);
    for (int32_t i = 0; i < outline->count; ++i)
        EXPECT_EQ(path::Points(outline)[i].type & (PT_SELECTED | PT_SEGSELECTED), 0) << i;
    EXPECT_TRUE(testing_support::TableInvariants(t_));
}

TEST_F(EditingCases, DuplicateDrawsCopiesWholeWhenTheyCarrySelectedNodes) {
    KyPath *a = Rect(20, 20, 60, 60);
    ASSERT_EQ(KyPathAddPathGroup(&t_, a, "g", view_, nullptr), 1);
    ASSERT_EQ(KyPathSingleSelectPath(t_, a, view_, dc_, 1), 1);
    testing_support::SelectPoint(a, 2);
    ASSERT_TRUE(OverlayFresh());
    Y32Rect r{};
    ASSERT_EQ(KyPathDuplicate(dc_, t_, view_, &r), 1);
    ASSERT_NE(a->next, nullptr);
    EXPECT_TRUE(testing_support::TableInvariants(t_));
    EXPECT_TRUE(OverlayFresh()) << "the copy is drawn with every segment";
}

TEST_F(EditingCases, AlignRedrawsEveryRecordItMoves) {
    // A group of three and a lone path. A selected head moves its whole
    // group, unselected members too; a selected member alone moves nothing,
    // and neither does distributing two. Records are erased and drawn whole
    // also when the selection's head has a selected node (which otherwise
    // decides that only the segments at nodes are drawn), and a picked
    // segment gets its highlight back.
    enum Mark { kNone, kNode, kPicked };
    struct Case {
        std::vector<int> selected;
        int32_t mode;
        bool moves;
        Mark mark;
    } const cases[] = {{{0, 3}, 18021, true, kNone},   {{0, 2, 3}, 18022, true, kNode}, {{0, 3}, 18017, true, kNone},
                       {{1, 3}, 18020, false, kNone},  {{0, 3}, 18024, false, kNone},   {{3}, 18020, false, kPicked}};
    for (const Case &c : cases) {
        KyPath *r[] = {Rect(20, 20, 40, 40), Rect(45.5, 60, 70, 80), Circle(30, 90, 10), Rect(100, 10, 130, 30)};
        LinkList({r[0], r[1], r[2], r[3]});
        testing_support::LinkGroup({r[0], r[1], r[2]});
        ASSERT_EQ(KyPathAddPathGroup(&t_, r[0], "g", view_, nullptr), 1);
        KyPath *prev = nullptr;
        for (int i : c.selected) {  // in table order, as a selection list runs
            KyPath *m = r[i];
            m->flags |= KPF_SELECTED;
            m->selPrev = prev;
            if (prev) prev->selNext = m;
            prev = m;
        }
        KyPathAssignSelectedPath(t_, r[c.selected[0]]);
        Y32Rect changed{};
        if (c.mark == kNode) testing_support::SelectPoint(r[c.selected[0]], 2);
        if (c.mark == kPicked) {
            ASSERT_EQ(KyPathPickSegment(view_, r[c.selected[0]], 1, &changed), 1);
        }
        ASSERT_TRUE(testing_support::TableInvariants(t_));
        ASSERT_TRUE(OverlayFresh());
        const PathPoint member_before = path::Points(r[2])[0];
        ASSERT_EQ(KyPathAlign(0, c.mode, t_, view_, &changed), 1);
        const PathPoint member_after = path::Points(r[2])[0];
        EXPECT_EQ(+member_before.x != +member_after.x || +member_before.y != +member_after.y, c.moves)
            << "mode " << c.mode << ": the member moves with its head";
        EXPECT_TRUE(testing_support::TableInvariants(t_));
        EXPECT_TRUE(OverlayFresh()) << "mode " << c.mode;
        // The changed rectangle reaches the member where it now lies.
        if (c.moves) {
            const int32_t wx = view::FixedToWindowX(view_, member_after.x), wy = view::FixedToWindowY(view_, member_after.y);
            EXPECT_TRUE(wx >= changed.left && wx < changed.right && wy >= changed.top && wy < changed.bottom)
                << "mode " << c.mode;
        }
        ClearJournal();
        DropTable();
        NewTable();
    }
}

TEST_F(EditingCases, SubdivideRefusesAnIndexThatStartsNoSegment) {
    // Two curves; 1, 2, 4 and 5 are control points, 3 ends the first curve.
    KyPath *a = MakePath({{PT_MOVETO, 10, 10}, {PT_BEZIERTO, 20, 0}, {PT_BEZIERTO, 30, 0}, {PT_BEZIERTO, 40, 10},
                          {PT_BEZIERTO, 50, 20}, {PT_BEZIERTO, 60, 20}, {PT_BEZIERTO, 70, 10}});
    ASSERT_EQ(KyPathAddPathGroup(&t_, a, "g", view_, nullptr), 1);
    ASSERT_EQ(KyPathSingleSelectPath(t_, a, view_, dc_, 0), 1);
    Y32Rect r{};
    ASSERT_EQ(KyPathPickSegment(view_, a, 3, &r), 1);
    for (const int32_t control : {1, 2, 4, 5}) {
        EXPECT_EQ(KyPathSubdivide(t_, a, control, 30000), nullptr) << control;
        EXPECT_EQ(a->count, 7);
        EXPECT_TRUE(testing_support::TableInvariants(t_)) << control;
    }
    KyPath *split = KyPathSubdivide(t_, a, 3, 30000);
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->count, 10);
    EXPECT_TRUE(testing_support::TableInvariants(t_));
}

TEST_F(EditingCases, ShapeToolTakesThePickedHighlightWithTheSelection) {
    KyPath *a = Rect(20, 20, 60, 60);
    ASSERT_EQ(KyPathAddPathGroup(&t_, a, "g", view_, nullptr), 1);
    ASSERT_EQ(KyPathSingleSelectPath(t_, a, view_, dc_, 0), 1);
    Y32Rect r{};
    ASSERT_EQ(KyPathPickSegment(view_, a, 1, &r), 1);
    ASSERT_TRUE(OverlayFresh());
    // A click builds no shape but still deselects, as on empty canvas.
    const Y32Rect click{90, 90, 90, 90};
    EXPECT_EQ(KyPathAddPrimitive(dc_, KYSHAPE_RECTANGLE, nullptr, t_, view_, 0, 0, &click), 0);
    EXPECT_FALSE(a->flags & KPF_SELECTED);
    EXPECT_TRUE(testing_support::TableInvariants(t_));
    EXPECT_TRUE(OverlayFresh()) << "no highlight left on the deselected record";
}

}  // namespace
