#include "edit/flat_form.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/path_record.h"
#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "y32path/edit.h"

namespace {

using testing_support::DebugCapture;
using testing_support::LinkGroup;
using testing_support::LinkList;
using testing_support::LinkSelection;
using testing_support::MakePath;
using testing_support::PathTest;
using Bytes = std::vector<uint8_t>;

uint32_t Word(const Bytes &b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
void PutWord(Bytes &b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
void Append(Bytes &b, uint32_t v) {
    b.resize(b.size() + 4);
    PutWord(b, b.size() - 4, v);
}

// Everything a round trip must keep, as text so a failure shows the
// difference: per record its header fields, the positions its forward and
// backward links name, block size and point bytes; then the stroke words
// and, nested, the attached paths.
std::string Describe(const KyPath *head) {
    std::vector<const KyPath *> order;
    for (const KyPath *r = head; r; r = r->next) order.push_back(r);
    auto pos = [&](const KyPath *x) {
        for (size_t i = 0; i < order.size(); ++i)
            if (order[i] == x) return static_cast<int>(i);
        return x ? -2 : -1;  // -2: a link leaving the list
    };
    std::ostringstream out;
    for (size_t i = 0; i < order.size(); ++i) {
        const KyPath *r = order[i];
        out << "#" << i << " v" << r->version << " n" << r->count << " f" << std::hex << r->flags << std::dec << " s"
            << r->shape << " block" << mem::PathBlockSize(r) << " prev" << pos(r->prev) << " gp" << pos(r->groupPrev)
            << " gn" << pos(path::GroupNext(r)) << " sp" << pos(r->selPrev) << " sn" << pos(r->selNext) << " pts";
        const uint8_t *pts = reinterpret_cast<const uint8_t *>(path::Points(r));
        for (size_t b = 0; b < static_cast<size_t>(r->count) * path::kPointSize; ++b) out << ' ' << int(pts[b]);
        out << "\n";
    }
    if (head) {
        if (const OutlineInfo *info = path::OutlineOf(head)) {
            out << "info " << info->startKey[0] << ' ' << info->startKey[1] << ' ' << info->endKey[0] << ' '
                << info->endKey[1] << ' ' << info->dashStyle;
            for (int v : info->param) out << ' ' << v;
            out << ' ' << info->arrowsOff;
            for (int v : info->extra) out << ' ' << v;
            out << "\nstart{\n" << Describe(info->startArrow) << "}\nend{\n" << Describe(info->endArrow)
                << "}\ndash{\n" << Describe(info->dashPath) << "}\n";
        }
    }
    return out.str();
}

class FlatFormTest : public PathTest {
  protected:
    // Three records: b and c a group chain, a and c selected with a node
    // mark on a, and a stroke on the head with a two-record grouped start
    // arrowhead, a one-record end arrowhead and no dash path.
    KyPath *BuildChain() {
        KyPath *a = MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO | PT_SELECTED, 10.5, -3.25}});
        KyPath *b = MakePath({{PT_MOVETO, 1, 1},
                              {PT_BEZIERTO, 2, 2},
                              {PT_BEZIERTO, 3, 3},
                              {PT_BEZIERTO | PT_CLOSEFIGURE, 1, 1}});
        KyPath *c = MakePath({{PT_MOVETO, 5, 5}, {PT_LINETO, 6, 5}});
        PathPoint *slot;
        EXPECT_EQ(PathReserve(&c, &slot, 150), 1);  // a bigger block whose room must survive
        c->count = 2;
        c->shape = 2;
        LinkList({a, b, c});
        LinkGroup({b, c});
        LinkSelection({a, c});
        a->flags = KPF_SELECTED | KPF_HASSELPOINT;
        c->flags = KPF_SELECTED | 0x40000000u;

        KyPath *s1 = MakePath({{PT_MOVETO, 9, 9}, {PT_LINETO, 12, 9}});
        KyPath *s2 = MakePath({{PT_MOVETO, 9, 9}, {PT_LINETO, 9, 12}});
        EXPECT_EQ(KyPathPurge(&s2), 1);  // a trimmed block, written as it is
        LinkList({s1, s2});
        LinkGroup({s1, s2});
        KyPath *e = MakePath({{PT_MOVETO, 8, 8}, {PT_LINETO, 7, 7}, {PT_LINETO, 7, 9}});
        OutlineInfo *info = nullptr;
        EXPECT_EQ(KyPathAssignOutlineInfo(1, 2, s1, 3, 4, e, 0, nullptr, 10, 3, -4, 5, &info), 1);
        info->arrowsOff = 1;
        info->extra[0] = -9;
        info->extra[4] = 77;
        EXPECT_EQ(KyPathSetOutlineInfo(a, info), 1);
        return a;
    }

    Bytes Flatten(KyPath *p) {
        uint32_t size = 0;
        HGLOBAL g = nullptr;
        EXPECT_EQ(KyPathFlatten(p, &size, &g), 1);
        if (!g) return {};
        EXPECT_EQ(GlobalSize(g), size);
        Bytes b(static_cast<uint8_t *>(g), static_cast<uint8_t *>(g) + size);
        GlobalFree(g);
        return b;
    }

    // Reads bytes through a global block of exactly their size.
    static int32_t Unflatten(const Bytes &b, KyPath **out) {
        HGLOBAL g = GlobalAlloc(GMEM_FIXED, b.size());
        if (!b.empty()) std::memcpy(g, b.data(), b.size());
        *out = reinterpret_cast<KyPath *>(0x1);
        int32_t r = KyPathUnFlatten(&g, out);
        GlobalFree(g);
        return r;
    }
};

// Hand-made blocks, for the layouts the writer never produces.
struct Rec {
    uint32_t tag;
    int32_t version;  // 769 or 1280; anything else writes the older header
    uint32_t links[6];  // prev, next, groupPrev, groupNext, selPrev, selNext
    int32_t count;
    uint32_t flags;
    int32_t shape;
    std::vector<PathPoint> pts;
    uint32_t spare;  // bytes after the points
};

bool OldHeader(const Rec &r) { return r.version != 769 && r.version != 1280; }

uint32_t RecSize(const Rec &r) {
    return static_cast<uint32_t>((OldHeader(r) ? 32 : 40) + r.pts.size() * 10 + r.spare);
}

Bytes BuildBlock(const std::vector<Rec> &recs, const Bytes &blob = {}) {
    Bytes b;
    Append(b, static_cast<uint32_t>(8 * recs.size() + 16));
    Append(b, 0);
    for (const Rec &r : recs) {
        Append(b, r.tag);
        Append(b, RecSize(r));
    }
    Append(b, 0);
    Append(b, 0);
    for (const Rec &r : recs) {
        if (!OldHeader(r)) Append(b, static_cast<uint32_t>(r.version));
        for (uint32_t l : r.links) Append(b, l);
        Append(b, static_cast<uint32_t>(r.count));
        Append(b, r.flags);
        if (!OldHeader(r)) Append(b, static_cast<uint32_t>(r.shape));
        for (const PathPoint &pt : r.pts) {
            size_t at = b.size();
            b.resize(at + 10);
            std::memcpy(b.data() + at, &pt, 10);
        }
        b.resize(b.size() + r.spare);
    }
    b.insert(b.end(), blob.begin(), blob.end());
    return b;
}

// A blob with the given words; nested blocks are placed one after the
// other and words 2, 5, 7 receive their offsets.
Bytes BuildBlob(std::vector<uint32_t> words, const std::vector<Bytes> &nested) {
    words.resize(18);
    uint32_t offset = 72;
    const int slots[3] = {2, 5, 7};
    for (size_t i = 0; i < nested.size() && i < 3; ++i) {
        words[slots[i]] = offset;
        offset += static_cast<uint32_t>(nested[i].size());
    }
    Bytes b;
    Append(b, 4 + offset);
    for (uint32_t w : words) Append(b, w);
    for (const Bytes &n : nested) b.insert(b.end(), n.begin(), n.end());
    return b;
}

PathPoint P(uint16_t type, double x, double y) {
    PathPoint pt;
    pt.type = type;
    pt.x = DbToFix(x);
    pt.y = DbToFix(y);
    return pt;
}

Rec Line(uint32_t tag, int32_t version) {
    return Rec{tag, version, {0, 0, 0, 0, 0, 0}, 2, 0, 0, {P(PT_MOVETO, 1, 2), P(PT_LINETO, 3, 4)}, 2};
}

// The private heap and the run-time checks of the fixture see every record
// left behind; the fixture fails the test on a leak.
TEST_F(FlatFormTest, ThreeRecordsWithStrokeAndArrowheadsRoundTripExactly) {
    KyPath *a = BuildChain();
    Bytes block = Flatten(a->next->next);  // any record flattens its whole list
    ASSERT_FALSE(block.empty());
    // H = 8 n + 16 and 0; three nonzero tags; the 0, 0 end entry; the first
    // record at H stamped 769, the stroke slot of the head written as 0.
    for (auto [at, want] : {std::pair{0, 40u}, {4, 0u}, {32, 0u}, {36, 0u}, {40, 769u}, {40 + 16, 0u}})
        EXPECT_EQ(Word(block, at), want) << "word at " << at;
    for (int k = 0; k < 3; ++k) EXPECT_NE(Word(block, 8 + 8 * k), 0u);
    EXPECT_EQ(a->version, 769) << "flattening stamps the live records";
    const size_t records_end = 40 + Word(block, 12) + Word(block, 20) + Word(block, 28);
    ASSERT_LT(records_end + 4, block.size());
    EXPECT_EQ(Word(block, records_end), block.size() - records_end) << "T spans the rest";

    KyPath *back = nullptr;
    ASSERT_EQ(Unflatten(block, &back), 1);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Describe(back), Describe(a));

    // Writing the copy gives the same block (tags aside, which name records
    // by address on 32-bit targets).
    Bytes again = Flatten(back);
    ASSERT_EQ(again.size(), block.size());
#if UINTPTR_MAX != 0xFFFFFFFFu
    EXPECT_TRUE(again == block);
#endif
    KyPathDeletePtr(back, 0);
    KyPathDeletePtr(a, 0);
}

TEST_F(FlatFormTest, SizeOnlyAndFailures) {
    KyPath *a = BuildChain();
    uint32_t size = 0;
    ASSERT_EQ(KyPathFlatten(a, &size, nullptr), 1);
    Bytes block = Flatten(a);
    EXPECT_EQ(size, block.size());

    HGLOBAL g = reinterpret_cast<HGLOBAL>(0x1);
    EXPECT_EQ(KyPathFlatten(nullptr, &size, &g), 0);
    EXPECT_EQ(g, nullptr);
    {
        plat::ScopedAllocFailure fail(0);  // the global block
        EXPECT_EQ(KyPathFlatten(a, &size, &g), 0);
        EXPECT_EQ(g, nullptr);
    }
    OutlineInfo *info = nullptr;
    EXPECT_EQ(KyPathGetOutlineInfo(a, &info), 1) << "the stroke stays on the head";

    // A stale record pointer is refused, not read.
    KyPath *gone = KyPathCreate();
    KyPathDeletePtr(gone, 0);
    EXPECT_EQ(KyPathFlatten(gone, &size, &g), 0);
    KyPath stack_record{};
    EXPECT_EQ(KyPathFlatten(&stack_record, &size, &g), 0);

    // A count larger than the record's block cannot be written.
    a->next->count = 5000;
    EXPECT_EQ(KyPathFlatten(a, &size, &g), 0);
    a->next->count = 4;

    KyPath *p = nullptr;
    EXPECT_EQ(KyPathUnFlatten(nullptr, &p), 0);
    HGLOBAL none = nullptr;
    EXPECT_EQ(KyPathUnFlatten(&none, &p), 0);
    EXPECT_EQ(p, nullptr);
    // Not a live global block: its size is unknown, so nothing is read.
    uint8_t local[64] = {16};
    HGLOBAL fake = local;
    EXPECT_EQ(KyPathUnFlatten(&fake, &p), 0);
    KyPathDeletePtr(a, 0);
}

TEST_F(FlatFormTest, StrokeNestedToTheLimitRoundTrips) {
    // Each level's arrowhead carries a stroke with the next level's.
    KyPath *top = MakePath({{PT_MOVETO, 0, 0}});
    KyPath *level = top;
    for (int depth = 0; depth < flat::kMaxNesting; ++depth) {
        KyPath *arrow = MakePath({{PT_MOVETO, double(depth), 1}, {PT_LINETO, 2, 2}});
        OutlineInfo *info = nullptr;
        ASSERT_EQ(KyPathAssignOutlineInfo(depth, 0, arrow, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, &info), 1);
        KyPathSetOutlineInfo(level, info);
        level = arrow;
    }
    Bytes block = Flatten(top);
    KyPath *back = nullptr;
    ASSERT_EQ(Unflatten(block, &back), 1);
    EXPECT_EQ(Describe(back), Describe(top));
    KyPathDeletePtr(back, 0);

    // One level more is refused by the writer (a cycle of strokes, an
    // arrowhead whose stroke names itself, would otherwise never end)...
    KyPath *arrow = MakePath({{PT_MOVETO, 0, 0}});
    OutlineInfo *info = nullptr;
    KyPathAssignOutlineInfo(0, 0, arrow, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, &info);
    KyPathSetOutlineInfo(level, info);
    uint32_t size;
    EXPECT_EQ(KyPathFlatten(top, &size, nullptr), 0);
    KyPathDeletePtr(top, 0);

    // ...and by the reader: wrap the valid block in one more level.
    Bytes head = BuildBlock({Rec{7, 769, {}, 0, KPF_OUTLINEINFO, 0, {}, 0}}, BuildBlob({}, {block}));
    EXPECT_EQ(Unflatten(head, &back), 0);
    EXPECT_EQ(back, nullptr);
}

TEST_F(FlatFormTest, OldHeaderRecordsComeBackLargerWithVersion769) {
    // Two records of the older header, linked by the writer's addresses:
    // the first (selected, its curve's first control point carrying the
    // node mark) leads the selection list.
    Rec first{0x1000, 0, {0, 0x2000, 0, 0, 0, 0x2000}, 4, KPF_SELECTED | KPF_HASSELPOINT, 0,
              {P(PT_MOVETO, 0, 0), P(PT_BEZIERTO | PT_SELECTED, 1, 1), P(PT_BEZIERTO, 2, 1), P(PT_BEZIERTO, 3, 0)},
              2};
    Rec second{0x2000, 0x1000, {0x1000, 0, 0, 0, 0x1000, 0}, 2, 0x88800000u, 0,
               {P(PT_MOVETO, 5, 5), P(PT_LINETO, 6, 6)}, 0};
    second.version = 0x1000;  // the first word of an old record is its prev link
    ASSERT_TRUE(OldHeader(first) && OldHeader(second));
    Bytes block = BuildBlock({first, second});

    DebugCapture diag;
    KyPath *back = nullptr;
    ASSERT_EQ(Unflatten(block, &back), 1);
    ASSERT_NE(back, nullptr);
    KyPath *tail = back->next;
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(mem::PathBlockSize(back), RecSize(first) - 32 + sizeof(KyPath)) << "the header grows, the room stays";
    EXPECT_EQ(back->version, 769);
    EXPECT_EQ(tail->version, 769);
    EXPECT_EQ(back->shape, 0);
    EXPECT_EQ(back->count, 4);
    EXPECT_EQ(back->selNext, tail);
    EXPECT_EQ(tail->selPrev, back);
    EXPECT_EQ(tail->flags, 0x80100000u) << "the old envelope flags word is converted";
    EXPECT_EQ(+path::Points(tail)[1].x, DbToFix(6));
    // The node mark moves from the control point to the curve's end point.
    EXPECT_EQ(path::Points(back)[1].type, PT_BEZIERTO);
    EXPECT_EQ(path::Points(back)[3].type, PT_BEZIERTO | PT_SELECTED);
    ASSERT_EQ(diag.lines().size(), 1u);
    EXPECT_EQ(diag.lines()[0], "- CheckPathsBeforeQXE5(): PT_SELECTED flag adjusted.\n");
    KyPathDeletePtr(back, 0);
}

TEST_F(FlatFormTest, NewerRecordsAreCopiedWithoutRepairs) {
    Rec r = Line(5, 1280);
    r.flags = 0x88800000u;
    r.shape = 3;
    r.pts = {P(PT_MOVETO, 0, 0), P(PT_BEZIERTO | PT_SELECTED, 1, 1), P(PT_BEZIERTO, 2, 1), P(PT_BEZIERTO, 3, 0)};
    r.count = 4;
    Rec same = r;
    same.tag = 6;
    same.version = 769;
    DebugCapture diag;
    KyPath *back = nullptr;
    ASSERT_EQ(Unflatten(BuildBlock({r, same}), &back), 1);
    EXPECT_EQ(back->version, 1280);
    EXPECT_EQ(back->flags, 0x88800000u);
    EXPECT_EQ(back->shape, 3);
    EXPECT_EQ(path::Points(back)[1].type, PT_BEZIERTO | PT_SELECTED);
    EXPECT_EQ(back->next->flags, 0x80100000u);
    EXPECT_EQ(path::Points(back->next)[3].type, PT_BEZIERTO | PT_SELECTED);
    EXPECT_EQ(diag.lines().size(), 1u);
    KyPathDeletePtr(back, 0);
}

TEST_F(FlatFormTest, LinksLeavingTheListAreCleared) {
    // Written in memory: a selection link to a record outside the list.
    KyPath *a = MakePath({{PT_MOVETO, 0, 0}});
    KyPath *b = MakePath({{PT_MOVETO, 1, 1}});
    KyPath *outside = MakePath({{PT_MOVETO, 2, 2}});
    LinkList({a, b});
    a->selNext = outside;
    a->groupPrev = outside;
    Bytes block = Flatten(a);
    a->selNext = a->groupPrev = nullptr;
    KyPathDeletePtr(outside, 0);
    KyPath *back = nullptr;
    ASSERT_EQ(Unflatten(block, &back), 1);
    EXPECT_EQ(back->selNext, nullptr);
    EXPECT_EQ(back->groupPrev, nullptr);
    KyPathDeletePtr(back, 0);
    KyPathDeletePtr(a, 0);

    // Read: tags no record carries, backward links written with stale
    // addresses, and a stroke flag on a record that is not the head.
    Rec r0 = Line(10, 769), r1 = Line(20, 769);
    r0.links[3] = 99;  // groupNext to nowhere
    r0.links[5] = 20;
    r1.links[0] = 0xDEAD;
    r1.links[2] = 0xBEEF;
    r1.links[4] = 0xF00D;  // selPrev: rebuilt from r0's selNext instead
    r1.flags = KPF_OUTLINEINFO;
    r1.links[3] = 10;
    ASSERT_EQ(Unflatten(BuildBlock({r0, r1}), &back), 1);
    EXPECT_EQ(path::GroupNext(back), nullptr);
    EXPECT_EQ(back->selNext, back->next);
    EXPECT_EQ(back->next->selPrev, back);
    EXPECT_EQ(back->next->prev, back);
    EXPECT_EQ(back->next->groupPrev, nullptr);
    EXPECT_EQ(back->next->groupNext, nullptr);
    EXPECT_EQ(back->next->flags, 0u) << "only the head may carry a stroke";
    KyPathDeletePtr(back, 0);
}

TEST_F(FlatFormTest, BlocksWithoutRecordsOrWithoutTheirStroke) {
    KyPath *back = reinterpret_cast<KyPath *>(0x1);
    EXPECT_EQ(Unflatten(BuildBlock({}), &back), 1);
    EXPECT_EQ(back, nullptr) << "an empty block gives an empty list";

    // A head that claims a stroke but whose blob holds T below 72, or whose
    // block ends with the records: the chain reads without a stroke.
    Rec head = Line(1, 769);
    head.flags = KPF_OUTLINEINFO;
    Bytes small_t;
    Append(small_t, 40);
    for (const Bytes &tail : {Bytes{}, small_t}) {
        ASSERT_EQ(Unflatten(BuildBlock({head}, tail), &back), 1);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->flags & KPF_OUTLINEINFO, 0u);
        EXPECT_EQ(back->groupNext, nullptr);
        KyPathDeletePtr(back, 0);
    }

    // A head whose stroke slot is empty writes no blob and no flag.
    KyPath *p = MakePath({{PT_MOVETO, 0, 0}});
    p->flags = KPF_OUTLINEINFO;
    Bytes block = Flatten(p);
    EXPECT_EQ(block.size(), 24u + 40 + mem::PathBlockSize(p) - sizeof(KyPath));
    EXPECT_EQ(Word(block, 24 + 32) & KPF_OUTLINEINFO, 0u);
    KyPathDeletePtr(p, 0);
}

// Every way the header, the record table, the records, the links or the
// stroke blob can lie about the block gives 0, a null result and nothing
// allocated (the fixture checks the private heap).
TEST_F(FlatFormTest, MalformedBlocksAreRefusedWhole) {
    auto refused = [&](const Bytes &b, const char *what) {
        KyPath *back = reinterpret_cast<KyPath *>(0x1);
        EXPECT_EQ(Unflatten(b, &back), 0) << what;
        EXPECT_EQ(back, nullptr) << what;
        if (back && back != reinterpret_cast<KyPath *>(0x1)) KyPathDeletePtr(back, 0);
    };
    auto accepted = [&](const Bytes &b, const char *what) {
        KyPath *back = nullptr;
        ASSERT_EQ(Unflatten(b, &back), 1) << what;
        KyPathDeletePtr(back, 0);
    };
    struct Patch {
        const char *what;
        size_t at;
        uint32_t value;
    };
    auto patched = [](Bytes b, const Patch &p) {
        PutWord(b, p.at, p.value);
        return b;
    };
    Rec r0 = Line(10, 769), r1 = Line(20, 769);
    r0.links[5] = 20;
    const Bytes good = BuildBlock({r0, r1});
    accepted(good, "the base block is sound");
    const Patch header[] = {
        {"H not just past the record table", 0, 24},
        {"H far outside", 0, 0xFFFFFFF0u},
        {"no end entry: the table runs on into the records", 8 + 8 * 2, 30},
        {"duplicate tags", 16, 10},
        {"record size past the end of the block", 12, Word(good, 12) + Word(good, 20) + 1},
        {"record size that wraps the running position", 12, 0xFFFFFFFFu},
    };
    for (const Patch &p : header) refused(patched(good, p), p.what);
    refused(Bytes(12, 0), "shorter than the smallest block");

    for (int32_t count : {-1, INT32_MIN, 3, 0x7FFFFFFF}) {
        Rec bad = r1;
        bad.count = count;
        refused(BuildBlock({r0, bad}), "count beyond its record");
    }
    {
        Rec bad = Line(20, 769);
        bad.count = 0;
        bad.pts.clear();
        bad.spare = 0;
        Bytes tiny = BuildBlock({r0, bad});
        PutWord(tiny, 20, 36);  // shorter than its own header
        tiny.resize(tiny.size() - 4);
        refused(tiny, "record shorter than its header");
        Rec old = bad;
        old.version = 0;  // older header
        Bytes tiny_old = BuildBlock({r0, old});
        PutWord(tiny_old, 20, 20);
        tiny_old.resize(tiny_old.size() - 12);
        refused(tiny_old, "old record shorter than its header");
        Bytes three = BuildBlock({r0, bad});
        PutWord(three, 20, 3);
        three.resize(three.size() - 37);
        refused(three, "record too short for its version word");
    }

    // Links: to itself, backward, and two records onto one successor.
    Rec self = r0;
    self.links[5] = 10;
    refused(BuildBlock({self, r1}), "selection link to itself");
    Rec back_link = r1;
    back_link.links[3] = 10;
    refused(BuildBlock({r0, back_link}), "group link backward");
    Rec r2 = Line(30, 769), fan0 = r0, fan1 = r1;
    fan0.links[3] = 30;
    fan1.links[3] = 30;
    refused(BuildBlock({fan0, fan1, r2}), "two group links onto one record");

    // The stroke blob (T, then words 2, 5, 7 the nested blocks' offsets)
    // and its nested blocks.
    Rec head = Line(1, 769);
    head.flags = KPF_OUTLINEINFO;
    Bytes nested = BuildBlock({Line(5, 769)});
    Bytes blob = BuildBlob({7, 8}, {nested});
    accepted(BuildBlock({head}, blob), "the base blob is sound");
    for (uint32_t t : {72u, 75u}) {
        // The words would run past T, which is also the end of the block.
        Bytes bad = BuildBlob({7, 8}, {});
        PutWord(bad, 0, t);
        bad.resize(t);
        refused(BuildBlock({head}, bad), "T too small for its words");
    }
    const Patch blob_patches[] = {
        {"T past the end", 0, static_cast<uint32_t>(blob.size() + 1)},
        {"nested block inside the words", 4 + 4 * 2, 60},
        {"nested block past T", 4 + 4 * 5, static_cast<uint32_t>(blob.size())},
        {"second nested block inside the first", 4 + 4 * 5, 76},
        // Each level could then triple the work of the one below.
        {"two attached paths sharing one nested block", 4 + 4 * 5, 72},
    };
    for (const Patch &p : blob_patches) refused(BuildBlock({head}, patched(blob, p)), p.what);
    refused(BuildBlock({head}, BuildBlob({}, {patched(nested, {"", 12, 4000})})), "malformed nested block");
    // The nested block's own size is bounded by T, not by the outer block.
    Bytes cut = BuildBlob({}, {nested});
    PutWord(cut, 0, static_cast<uint32_t>(cut.size() - 4));
    Bytes outer = BuildBlock({head}, cut);
    outer.resize(outer.size() + 8);
    refused(outer, "nested block running past T into the outer block's tail");
}

TEST_F(FlatFormTest, EveryTruncationOfAValidBlockIsRefused) {
    KyPath *a = BuildChain();
    const Bytes block = Flatten(a);
    const size_t records_end = 40 + Word(block, 12) + Word(block, 20) + Word(block, 28);
    for (size_t len = 0; len < block.size(); ++len) {
        Bytes cut(block.begin(), block.begin() + len);
        KyPath *back = nullptr;
        int32_t ok = Unflatten(cut, &back);
        // Cut within the first four bytes after the records, the block
        // reads as the chain without its stroke: the form of a head whose
        // stroke slot was empty when it was written.
        bool stroke_cut_off = len >= records_end && len < records_end + 4;
        ASSERT_EQ(ok, stroke_cut_off ? 1 : 0) << "cut at " << len;
        if (ok) {
            EXPECT_EQ(KyPathGetSubpathsNumber(back), 3);
            EXPECT_EQ(back->flags & KPF_OUTLINEINFO, 0u);
            KyPathDeletePtr(back, 0);
        } else {
            ASSERT_EQ(back, nullptr);
        }
    }
    KyPathDeletePtr(a, 0);
}

// Damaged copies of a valid block either are refused or give a list whose
// links are consistent; nothing leaks either way.
TEST_F(FlatFormTest, RandomlyDamagedBlocksGiveConsistentListsOrNothing) {
    KyPath *a = BuildChain();
    const Bytes block = Flatten(a);
    KyPathDeletePtr(a, 0);
    std::mt19937 rng(2024);
    int accepted = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        Bytes b = block;
        int hits = 1 + static_cast<int>(rng() % 4);
        for (int h = 0; h < hits; ++h) {
            size_t at = rng() % b.size();
            // Mostly whole words near the structure, sometimes single bits.
            if (rng() % 2 && at + 4 <= b.size())
                PutWord(b, at & ~size_t{3}, (rng() % 3 == 0) ? 0 : (rng() % 2 ? rng() % 64 : rng()));
            else
                b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        KyPath *back = nullptr;
        if (!Unflatten(b, &back)) {
            ASSERT_EQ(back, nullptr);
            continue;
        }
        ++accepted;
        for (KyPath *r = back; r; r = r->next) {
            KyPath *g = path::GroupNext(r);
            ASSERT_TRUE(!r->next || r->next->prev == r);
            ASSERT_TRUE(!g || g->groupPrev == r);
            ASSERT_TRUE(!r->groupPrev || r->groupPrev->groupNext == r);
            ASSERT_TRUE(!r->selNext || r->selNext->selPrev == r);
            ASSERT_TRUE(!r->selPrev || r->selPrev->selNext == r);
            ASSERT_GE(r->count, 0);
            ASSERT_LE(static_cast<size_t>(r->count) * 10 + sizeof(KyPath), mem::PathBlockSize(r));
        }
        KyPathDeletePtr(back, 0);
    }
    EXPECT_GT(accepted, 100) << "damage to point bytes alone still reads";
}

TEST_F(FlatFormTest, FailedAllocationsLeaveNothingBehind) {
    KyPath *a = BuildChain();
    const Bytes block = Flatten(a);
    const std::string want = Describe(a);
    KyPathDeletePtr(a, 0);
    HGLOBAL g = GlobalAlloc(GMEM_FIXED, block.size());
    std::memcpy(g, block.data(), block.size());
    const size_t blocks = LiveBlocks();
    for (int64_t fail_at = 0;; ++fail_at) {
        KyPath *back = reinterpret_cast<KyPath *>(0x1);
        plat::FailAllocationAt(fail_at);
        int32_t ok = KyPathUnFlatten(&g, &back);
        plat::FailAllocationAt(-1);
        if (ok) {
            EXPECT_GT(fail_at, 6) << "three records, two arrowheads (three records) and the stroke";
            EXPECT_EQ(Describe(back), want);
            KyPathDeletePtr(back, 0);
            break;
        }
        EXPECT_EQ(back, nullptr);
        EXPECT_EQ(LiveBlocks(), blocks) << "failure at " << fail_at;
        ASSERT_LT(fail_at, 50);
    }
    EXPECT_TRUE(std::memcmp(g, block.data(), block.size()) == 0) << "the block is only read";
    GlobalFree(g);
}

}  // namespace
