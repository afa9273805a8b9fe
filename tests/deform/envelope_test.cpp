#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/memory.h"
#include "deform/envelope.h"
#include "platform/alloc_fail.h"
#include "support/owned_records.h"
#include "support/point_checks.h"
#include "support/records.h"

namespace {

using testing_support::ExpectPointAt;
using testing_support::LinkList;
using testing_support::MakePath;
using testing_support::RecordBytes;

EnvelopePoint P(double x, double y) { return EnvelopePoint{DbToFix(x), DbToFix(y)}; }

// A net whose curves are the straight edges of a quadrilateral, handles at
// the thirds (coordinates chosen divisible by 3 so the thirds are exact).
EnvelopeNet StraightNet(EnvelopePoint p0, EnvelopePoint p3, EnvelopePoint q0, EnvelopePoint q3) {
    auto third = [](EnvelopePoint a, EnvelopePoint b, int k) {
        return EnvelopePoint{a.x + (b.x - a.x) / 3 * k, a.y + (b.y - a.y) / 3 * k};
    };
    return EnvelopeNet{{p0, third(p0, p3, 1), third(p0, p3, 2), p3}, {q0, third(q0, q3, 1), third(q0, q3, 2), q3}};
}

// A path with lines, a curve and points off the grid of 1/65536.
KyPath *Sample() {
    return MakePath({{PT_MOVETO, 10, 20}, {PT_LINETO, 110, 20}, {PT_BEZIERTO, 90.3, 37.7}, {PT_BEZIERTO, 63.1, 55.9},
                     {PT_BEZIERTO, 110, 70}, {PT_LINETO, 10, 70}, {PT_LINETO | PT_CLOSEFIGURE, 10, 20}});
}

// Every point of `m` within one 1/65536 step of the same point of `ref`
// (the mappings go through doubles and truncate back), types kept.
void ExpectSamePoints(const KyPath *m, const KyPath *ref) {
    ASSERT_EQ(m->count, ref->count);
    for (int32_t i = 0; i < m->count; ++i) {
        const PathPoint &a = path::Points(m)[i], &b = path::Points(ref)[i];
        EXPECT_EQ(+a.type, +b.type);
        EXPECT_NEAR(+a.x, +b.x, 1) << i;
        EXPECT_NEAR(+a.y, +b.y, 1) << i;
    }
}

using EnvelopeTest = testing_support::OwningPathTest;

TEST_F(EnvelopeTest, IdentityAndStraightEnvelopesAgreeWithTheBilinearOne) {
    // Identity: each envelope of the sample's own box (10, 20)-(110, 70).
    KyPath *ref = Own(Sample()), *p = Own(Sample()), *q = Own(Sample()), *r = Own(Sample());
    EnvelopeCorners id{{P(10, 20), P(110, 20), P(10, 70), P(110, 70)}};
    ASSERT_EQ(KyPathBiLinear(p, &id), 1);
    EnvelopeNet flat = StraightNet(P(10, 20), P(110, 20), P(10, 70), P(110, 70));
    ASSERT_EQ(KyPathBiCubic(q, &flat, 0), 1);
    EnvelopeNet flat_v = StraightNet(P(10, 20), P(10, 70), P(110, 20), P(110, 70));
    ASSERT_EQ(KyPathBiCubicV(r, &flat_v, 0), 1);
    for (KyPath *m : {p, q, r}) ExpectSamePoints(m, ref);

    // Random points through a trapezoid leaning to the right (coordinates
    // divisible by 3): straight bi-Bezier nets are the bilinear envelope.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> in(0, 90);
    KyPath *a = Own(KyPathCreate());
    for (int i = 0; i < 31; ++i) {
        const double x = in(rng), y = in(rng);  // in this order
        FIXED xy[2] = {DbToFix(x), DbToFix(y)};
        ASSERT_EQ(KyPathAddPoint(&a, xy, i ? PT_LINETO : PT_MOVETO), 1);
    }
    const double domain[4] = {0, 0, 90, 90};
    EnvelopePoint tl = P(0, 0), tr = P(300, 30), bl = P(-60, 240), br = P(330, 270);
    EnvelopeCorners c{{tl, tr, bl, br}};
    EnvelopeNet h = StraightNet(tl, tr, bl, br), v = StraightNet(tl, bl, tr, br);
    KyPath *b = Own(path::CopyRecord(a)), *d = Own(path::CopyRecord(a));
    ASSERT_EQ(KyPathDomainRangeBilinear(a, domain, nullptr, &c), 1);
    ASSERT_EQ(KyPathDomainRangeBiCubic(b, domain, nullptr, &h), 1);
    ASSERT_EQ(KyPathDomainRangeBiCubicV(d, domain, nullptr, &v), 1);
    ExpectSamePoints(b, a);
    ExpectSamePoints(d, a);
}

TEST_F(EnvelopeTest, BilinearMapsCornersExactlyAndMidpointsByTheFormula) {
    // Points at the domain's corners, edge midpoints and centre.
    KyPath *p = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 64, 0}, {PT_LINETO, 0, 32}, {PT_LINETO, 64, 32},
                              {PT_LINETO, 32, 0}, {PT_LINETO, 0, 16}, {PT_LINETO, 32, 16}, {PT_LINETO, 16, 8}}));
    const double domain[4] = {0, 0, 64, 32};
    // A skewed quadrilateral: A, B, C, D.
    EnvelopeCorners c{{P(100, 200), P(300, 180), P(120, 400), P(360, 440)}};
    ASSERT_EQ(KyPathDomainRangeBilinear(p, domain, nullptr, &c), 1);
    testing_support::ExpectPoints(p, {{100, 200}, {300, 180}, {120, 400}, {360, 440},
                                      {200, 190},  // (A + B) / 2
                                      {110, 300},  // (A + C) / 2
                                      {220, 305},  // (A + B + C + D) / 4
                                      // u = v = 1/4: A + (B-A)/4 + (C-A)/4 + (A-B-C+D)/16
                                      {100 + 50 + 5 + 2.5, 200 - 5 + 50 + 3.75}});
}

TEST_F(EnvelopeTest, CurvedNetsAndDomainsWithoutWidth) {
    // Top edge bulging up by 3/4 of the handle offset at u = 1/2; the point
    // in the middle halfway between it and the bottom edge.
    EnvelopeNet net{{P(0, 0), P(30, -40), P(60, -40), P(90, 0)}, {P(0, 90), P(30, 90), P(60, 90), P(90, 90)}};
    KyPath *p = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 45, 0}, {PT_LINETO, 90, 0}, {PT_LINETO, 45, 45}}));
    const double domain[4] = {0, 0, 90, 90};
    ASSERT_EQ(KyPathDomainRangeBiCubic(p, domain, nullptr, &net), 1);
    testing_support::ExpectPoints(p, {{0, 0}, {45, -30}, {90, 0}, {45, 30}});

    // A domain without width maps to the left edge: u = 0 throughout, from
    // A (100, 0) to C (60, 200).
    p = Own(MakePath({{PT_MOVETO, 5, 0}, {PT_LINETO, 5, 10}, {PT_LINETO, 5, 20}}));
    const double no_width[4] = {5, 0, 5, 20};
    EnvelopeCorners c{{P(100, 0), P(200, 0), P(60, 200), P(260, 200)}};
    ASSERT_EQ(KyPathDomainRangeBilinear(p, no_width, nullptr, &c), 1);
    testing_support::ExpectPoints(p, {{100, 0}, {80, 100}, {60, 200}});
    // A record whose box has no width or height at all (one point) maps to
    // the corner A through KyPathBiLinear.
    KyPath *dot = Own(MakePath({{PT_MOVETO, 7, 7}}));
    ASSERT_EQ(KyPathBiLinear(dot, &c), 1);
    ExpectPointAt(dot, 0, 100, 0);
}

TEST_F(EnvelopeTest, MappingFollowsTheGroupChainAndStepsOverParameterEntries) {
    // a -> b is a group chain; c follows in the table list but is no member.
    KyPath *a = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 10, 10}}));
    // b: a rotated-rectangle style entry whose parameter point must stay.
    KyPath *b =
        MakePath({{PT_MOVETO, 2, 2}, {PT_ROTATEDRECT, 3, 3}, {PT_MOVETO, 4, 4}, {0x0200, 5, 5}, {PT_LINETO, 6, 6}});
    KyPath *c = MakePath({{PT_MOVETO, 1, 1}});
    LinkList({a, b, c});
    testing_support::LinkGroup({a, b});
    a->shape = b->shape = c->shape = 1;
    const double domain[4] = {0, 0, 10, 10};
    EnvelopeCorners twice{{P(0, 0), P(20, 0), P(0, 20), P(20, 20)}};
    ASSERT_EQ(KyPathDomainRangeBilinear(a, domain, nullptr, &twice), 1);
    EXPECT_EQ(+path::Points(a)[1].x, DbToFix(20));
    const PathPoint *pb = path::Points(b);
    EXPECT_EQ(+pb[0].x, DbToFix(4));
    EXPECT_EQ(+pb[1].x, DbToFix(3));  // 0x100 entry and the point after it: parameters
    EXPECT_EQ(+pb[2].x, DbToFix(4));
    EXPECT_EQ(+pb[3].x, DbToFix(5));  // 0x200 entry: a parameter alone
    EXPECT_EQ(+pb[4].x, DbToFix(12));
    EXPECT_EQ(+pb[1].type, PT_ROTATEDRECT);
    // A mapped primitive is one no longer.
    EXPECT_EQ(a->shape, 0);
    EXPECT_EQ(b->shape, 0);
    EXPECT_EQ(c->shape, 1);
    EXPECT_EQ(+path::Points(c)[0].x, DbToFix(1));

    // A head holding a stroke description ends the walk: its groupNext
    // slot is the description, not a successor.
    KyPath *h = Own(MakePath({{PT_MOVETO, 1, 1}}));
    KyPath *after = MakePath({{PT_MOVETO, 1, 1}});
    LinkList({h, after});
    OutlineInfo *info = nullptr;
    ASSERT_EQ(KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 0, nullptr, 0, 1, 0, 0, &info), 1);
    ASSERT_EQ(KyPathSetOutlineInfo(h, info), 1);
    ASSERT_EQ(KyPathDomainRangeBilinear(h, domain, nullptr, &twice), 1);
    EXPECT_EQ(+path::Points(h)[0].x, DbToFix(2));
    EXPECT_EQ(+path::Points(after)[0].x, DbToFix(1));
    EXPECT_EQ(h->flags, KPF_OUTLINEINFO);
}

class AttachTest : public testing_support::OwningPathTest {
  protected:
    // head -> member is a selected group chain of text records.
    void Chain() {
        head = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO | PT_SELECTED, 90, 0}, {PT_LINETO, 90, 90}}));
        member = MakePath({{PT_MOVETO, 10, 10}, {PT_LINETO, 20, 20}});
        LinkList({head, member});
        testing_support::LinkGroup({head, member});
        testing_support::LinkSelection({head, member});
        head->flags |= KPF_HASSELPOINT;
        member->flags |= 0x70000000u | KPF_LASTMARK;
    }
    int32_t Records() const { return static_cast<int32_t>(testing_support::Records(head).size()); }
    KyPath *head = nullptr, *member = nullptr;
    const EnvelopeCorners square_{{P(0, 0), P(90, 0), P(0, 90), P(90, 90)}};
};

TEST_F(AttachTest, BiBezierOutlineIsAppendedAfterTheChainAndReadsBack) {
    Chain();
    EnvelopeNet net{{P(0, 0), P(30, -9), P(60, -9), P(90, 0)}, {P(0, 90), P(30, 99), P(60, 99), P(90, 90)}};
    ASSERT_EQ(KyPathAddBiBezierEnvelope(head, &net), 1);
    KyPath *outline = member->next;
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(outline->prev, member);
    EXPECT_EQ(outline->next, nullptr);
    EXPECT_EQ(outline->flags, 0x80100000u);
    ASSERT_EQ(outline->count, 9);
    EXPECT_GE(mem::PathBlockSize(outline), path::kHeaderSize + 9 * sizeof(PathPoint));
    const uint16_t types[9] = {0x8006, 4, 4, 0x8004, 0x8002, 4, 4, 0x8004, 3};
    const EnvelopePoint at[9] = {net.p[0], net.p[1], net.p[2], net.p[3], net.q[3],
                                 net.q[2], net.q[1], net.q[0], net.p[0]};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(+path::Points(outline)[i].type, types[i]) << i;
        EXPECT_EQ(+path::Points(outline)[i].x, at[i].x) << i;
        EXPECT_EQ(+path::Points(outline)[i].y, at[i].y) << i;
    }
    // The whole list is deselected; the chain's last member keeps only its
    // text bit 28.
    EXPECT_EQ(head->flags, 0u);
    EXPECT_EQ(head->selNext, nullptr);
    EXPECT_EQ(+path::Points(head)[1].type, PT_LINETO);
    EXPECT_EQ(member->flags, 0x10000000u);

    EnvelopeNet back;
    ASSERT_EQ(KyPathGetBiBezierEnvelopeV(outline, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &net, sizeof net), 0);
}

TEST_F(AttachTest, BilinearOutlineKeepsTheTargetFlagsBesidesTheSelection) {
    Chain();
    ASSERT_EQ(KyPathAddBiLinearEnvelopeV(member, &square_), 1);
    KyPath *outline = member->next;
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(outline->flags, 0x80200000u);
    ASSERT_EQ(outline->count, 5);
    const uint16_t types[5] = {0x8006, 0x8002, 0x8002, 0x8002, 3};
    const int from[5] = {0, 1, 3, 2, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(+path::Points(outline)[i].type, types[i]) << i;
        EXPECT_EQ(+path::Points(outline)[i].x, square_.c[from[i]].x) << i;
        EXPECT_EQ(+path::Points(outline)[i].y, square_.c[from[i]].y) << i;
    }
    // Deselection takes the selection bits; the text bits and the baseline
    // mark stay on a bilinear Add.
    EXPECT_EQ(member->flags, 0x70000000u | KPF_LASTMARK);
    EnvelopeCorners back{};
    ASSERT_EQ(KyPathGetBiLinearEnvelope(outline, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &square_, sizeof back), 0);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(head), ENVELOPE_BILINEAR);
}

TEST_F(AttachTest, AnExistingOutlineIsOverwrittenAndGrownWhenTooSmall) {
    Chain();
    ASSERT_EQ(KyPathAddBiLinearEnvelope(head, &square_), 1);
    ASSERT_EQ(Records(), 3);
    EXPECT_LT(mem::PathBlockSize(member->next), path::kHeaderSize + 9 * sizeof(PathPoint));
    // The 5-point record has to take 9 points now: it grows (ASan would
    // catch a write past it) and stays the only outline.
    EnvelopeNet net = StraightNet(P(0, 0), P(90, 0), P(0, 90), P(90, 90));
    ASSERT_EQ(KyPathAddBiBezierEnvelope(head, &net), 1);
    ASSERT_EQ(Records(), 3);
    KyPath *outline = member->next;
    EXPECT_EQ(outline->prev, member);
    EXPECT_EQ(outline->count, 9);
    EXPECT_GE(mem::PathBlockSize(outline), path::kHeaderSize + 9 * sizeof(PathPoint));
    EXPECT_EQ(KyPathGetEnvelopeWrapType(head), ENVELOPE_BIBEZIER_RECT);
    // And back to 5 points in the same record.
    ASSERT_EQ(KyPathAddBiLinearEnvelope(head, &square_), 1);
    EXPECT_EQ(Records(), 3);
    EXPECT_EQ(member->next->count, 5);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(head), ENVELOPE_BILINEAR);
}

TEST_F(AttachTest, OrdinarySubpathsAfterTheChainAreNeverOverwritten) {
    // head alone (no group); other is a separate path of the same list.
    head = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 9, 9}}));
    KyPath *other = MakePath({{PT_MOVETO, 5, 5}, {PT_LINETO, 6, 6}, {PT_LINETO, 7, 5}});
    LinkList({head, other});
    const std::vector<uint8_t> keep = RecordBytes(other);
    ASSERT_EQ(KyPathAddBiLinearEnvelope(head, &square_), 1);
    ASSERT_EQ(Records(), 3);
    KyPath *outline = other->next;  // the outline now follows it
    EXPECT_EQ(outline->flags, 0x80100000u);
    other->next = nullptr;
    EXPECT_EQ(RecordBytes(other), keep);
    other->next = outline;
}

TEST_F(AttachTest, FailedAllocationsLeaveTheChainAsItWas) {
    Chain();
    auto before = testing_support::Bytes(head);
    EnvelopeNet net = StraightNet(P(0, 0), P(90, 0), P(0, 90), P(90, 90));
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathAddBiBezierEnvelope(head, &net), 0);
    }
    EXPECT_EQ(testing_support::Bytes(head), before);

    // Growing a 5-point outline fails: it stays a 5-point outline.
    ASSERT_EQ(KyPathAddBiLinearEnvelope(head, &square_), 1);
    head->flags |= KPF_SELECTED;
    member->flags = 0x70000000u;
    before = testing_support::Bytes(head);
    {
        plat::ScopedAllocFailure fail(0);
        EXPECT_EQ(KyPathAddBiBezierEnvelope(head, &net), 0);
    }
    EXPECT_EQ(testing_support::Bytes(head), before);
}

TEST_F(EnvelopeTest, WrapTypeNamesWhatEndsTheChain) {
    KyPath *a = Own(MakePath({{PT_MOVETO, 0, 0}, {PT_LINETO, 90, 90}}));
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_NONE);

    // The plain rectangle with handles on the edges, in both directions.
    EnvelopeNet flat = StraightNet(P(0, 0), P(90, 0), P(0, 90), P(90, 90));
    ASSERT_EQ(KyPathAddBiBezierEnvelope(a, &flat), 1);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_BIBEZIER_RECT);
    EnvelopeNet flat_v = StraightNet(P(0, 0), P(0, 90), P(90, 0), P(90, 90));
    ASSERT_EQ(KyPathAddBiBezierEnvelopeV(a, &flat_v), 1);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_BIBEZIER_V_RECT);
    // A horizontal-kind net under the V flag is not rectangular for it.
    ASSERT_EQ(KyPathAddBiBezierEnvelopeV(a, &flat), 1);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_BIBEZIER_V);
    // One handle off its edge's level.
    flat.q[2].y += 1;
    ASSERT_EQ(KyPathAddBiBezierEnvelope(a, &flat), 1);
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_BIBEZIER);
    // Any record of the list leads to the same answer.
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a->next), ENVELOPE_BIBEZIER);

    KyPath *tail = a->next;
    tail->flags = KPF_LASTMARK;
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_WRAP_BASELINE);
    tail->flags = KPF_ENVELOPE3;
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_OTHER_ATTACHED);
    tail->flags = KPF_LASTMARK | KPF_ENVELOPE1;  // two kinds at once: none of them
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_NONE);
    // A bi-Bezier flag on a record too short to hold a net.
    tail->flags = KPF_SELECTED | KPF_ENVELOPE1;
    tail->count = 7;
    EXPECT_EQ(KyPathGetEnvelopeWrapType(a), ENVELOPE_NONE);
}

TEST_F(EnvelopeTest, SourceRectanglesComeBackAsCornersAndNets) {
    const double domain[4] = {0, 0, 90, 60};
    // Bilinear: the domain itself maps onto the corners; half the domain
    // onto the left half of the quadrilateral.
    EnvelopeCorners c{{P(10, 10), P(100, 0), P(0, 80), P(120, 90)}};
    const EnvelopeCorners keep = c;
    ASSERT_EQ(KyPathDomainRangeBilinear(nullptr, domain, domain, &c), 1);
    EXPECT_EQ(std::memcmp(&c, &keep, sizeof c), 0);
    const double left_half[4] = {0, 0, 45, 60};
    ASSERT_EQ(KyPathDomainRangeBilinear(nullptr, domain, left_half, &c), 1);
    EXPECT_EQ(c.c[0].x, keep.c[0].x);
    EXPECT_EQ(c.c[1].x, DbToFix(55));
    EXPECT_EQ(c.c[1].y, DbToFix(5));
    EXPECT_EQ(c.c[3].x, DbToFix(60));

    // Bi-Bezier: the domain maps back onto (nearly) the same net: the two
    // sample points sit at 0.333 and 0.666 and are read as the thirds. In
    // the V net the curved edges are the left and right ones.
    const EnvelopeNet nets[2] = {
        {{P(0, 0), P(30, -20), P(60, 20), P(90, 0)}, {P(0, 60), P(30, 70), P(60, 70), P(90, 60)}},
        {{P(0, 0), P(-20, 20), P(20, 40), P(0, 60)}, {P(90, 0), P(100, 20), P(100, 40), P(90, 60)}},
    };
    for (int vertical = 0; vertical < 2; ++vertical) {
        const EnvelopeNet &net = nets[vertical];
        EnvelopeNet out = net;
        ASSERT_EQ((vertical ? KyPathDomainRangeBiCubicV : KyPathDomainRangeBiCubic)(nullptr, domain, domain, &out), 1);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(out.p[i].x, net.p[i].x, 0.25 * 65536) << "case " << vertical << " point " << i;
            EXPECT_NEAR(out.p[i].y, net.p[i].y, 0.25 * 65536) << "case " << vertical << " point " << i;
            EXPECT_NEAR(out.q[i].x, net.q[i].x, 0.25 * 65536) << "case " << vertical << " point " << i;
            EXPECT_NEAR(out.q[i].y, net.q[i].y, 0.25 * 65536) << "case " << vertical << " point " << i;
        }
        EXPECT_EQ(out.p[0].x, net.p[0].x) << "case " << vertical;
        EXPECT_EQ(out.q[3].y, net.q[3].y) << "case " << vertical;
    }
}

TEST_F(EnvelopeTest, RejectedArgumentsChangeNothing) {
    KyPath *p = Own(Sample());
    const std::vector<uint8_t> s = RecordBytes(p);
    EnvelopeCorners c{{P(0, 0), P(1, 0), P(0, 1), P(1, 1)}};
    EnvelopeNet net = StraightNet(P(0, 0), P(3, 0), P(0, 3), P(3, 3));
    const double domain[4] = {0, 0, 10, 10};
    const double bad[4] = {0, 0, std::nan(""), 10};

    EXPECT_EQ(KyPathDomainRangeBilinear(nullptr, domain, nullptr, &c), 0);
    EXPECT_EQ(KyPathDomainRangeBiCubic(nullptr, domain, nullptr, &net), 0);
    EXPECT_EQ(KyPathDomainRangeBiCubicV(nullptr, domain, nullptr, &net), 0);
    EXPECT_EQ(KyPathDomainRangeBilinear(p, nullptr, nullptr, &c), 0);
    EXPECT_EQ(KyPathDomainRangeBilinear(p, domain, nullptr, nullptr), 0);
    EXPECT_EQ(KyPathDomainRangeBiCubic(p, bad, nullptr, &net), 0);
    EXPECT_EQ(KyPathDomainRangeBilinear(nullptr, domain, bad, &c), 0);
    EXPECT_EQ(KyPathBiLinear(nullptr, &c), 0);
    EXPECT_EQ(KyPathBiLinear(p, nullptr), 0);
    EXPECT_EQ(KyPathBiCubic(p, nullptr, 0), 0);
    EXPECT_EQ(KyPathBiCubicV(nullptr, &net, 0), 0);
    EXPECT_EQ(KyPathAddBiBezierEnvelope(nullptr, &net), 0);
    EXPECT_EQ(KyPathAddBiBezierEnvelopeV(p, nullptr), 0);
    EXPECT_EQ(KyPathAddBiLinearEnvelope(nullptr, &c), 0);
    EXPECT_EQ(KyPathAddBiLinearEnvelopeV(p, nullptr), 0);
    EXPECT_EQ(RecordBytes(p), s);

    // Reading back: null, no output, not selected, too few points.
    EnvelopeNet untouched{};
    EXPECT_EQ(KyPathGetBiBezierEnvelope(nullptr, &untouched), 0);
    EXPECT_EQ(KyPathGetBiBezierEnvelope(p, nullptr), 0);
    EXPECT_EQ(KyPathGetBiBezierEnvelope(p, &untouched), 0);  // p is not selected
    p->flags |= KPF_SELECTED;
    p->count = 4;
    EXPECT_EQ(KyPathGetBiBezierEnvelope(p, &untouched), 0);
    EnvelopeCorners none{};
    EXPECT_EQ(KyPathGetBiLinearEnvelope(p, &none), 0);
    EXPECT_EQ(KyPathGetBiLinearEnvelope(nullptr, &none), 0);
    const EnvelopeNet zero{};
    const EnvelopeCorners zero_c{};
    EXPECT_EQ(std::memcmp(&untouched, &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(&none, &zero_c, sizeof zero_c), 0);
}

TEST_F(EnvelopeTest, SourceRectangleFailsCleanlyWithoutItsWorkingRecord) {
    const double domain[4] = {0, 0, 90, 60};
    EnvelopeNet net = StraightNet(P(0, 0), P(90, 0), P(0, 60), P(90, 60));
    const EnvelopeNet keep = net;
    EnvelopeCorners c{{P(0, 0), P(9, 0), P(0, 9), P(9, 9)}};
    const EnvelopeCorners keep_c = c;
    plat::ScopedAllocFailure fail(0);
    EXPECT_EQ(KyPathDomainRangeBiCubic(nullptr, domain, domain, &net), 0);
    plat::FailAllocationAt(0);
    EXPECT_EQ(KyPathDomainRangeBilinear(nullptr, domain, domain, &c), 0);
    EXPECT_EQ(std::memcmp(&net, &keep, sizeof net), 0);
    EXPECT_EQ(std::memcmp(&c, &keep_c, sizeof c), 0);
}

}  // namespace
