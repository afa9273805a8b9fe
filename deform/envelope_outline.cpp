// deform/envelope_outline.cpp - the envelope outline attached to a chain.
//
// The outline is an ordinary record at the end of the table list, so the
// drawing, hit-testing and editing code shows and moves its nodes like any
// other path's. Its layout, in record order:
//
//   bi-Bezier (9)  P0 P1 P2 P3 Q3 Q2 Q1 Q0 P0   types 8006 4 4 8004 8002 4 4 8004 3
//   bilinear (5)   c0 c1 c3 c2 c0               types 8006 8002 8002 8002 3
//
// i.e. around the quadrilateral, the corners selected, closed on P0 / c0.
#include "core/memory.h"
#include "core/path_record.h"
#include "deform/envelope.h"
#include "y32path/deform.h"

namespace env {
namespace {

constexpr uint16_t kCornerMove = PT_SELECTED | PT_MOVETO;   // 0x8006
constexpr uint16_t kCornerCurve = PT_SELECTED | PT_BEZIERTO;  // 0x8004
constexpr uint16_t kCornerLine = PT_SELECTED | PT_LINETO;   // 0x8002
constexpr uint16_t kHandle = PT_BEZIERTO;
constexpr uint16_t kClose = PT_LINETO | PT_CLOSEFIGURE;
constexpr uint32_t kTextBit28 = 0x10000000u;
constexpr uint32_t kAttachedFlags = KPF_ENVELOPE1 | KPF_ENVELOPE2 | KPF_ENVELOPE3 | KPF_LASTMARK;

struct OutlinePoint {
    uint16_t type;
    EnvelopePoint at;
};

// An attached record (an envelope outline, a further attached kind or a
// wrap baseline) that is no member of a group chain and holds no stroke
// description: the only kind of record an Add may overwrite. A list whose
// tail is anything else keeps all its records and gets a new outline.
bool IsReplaceableAttachment(const KyPath *r) {
    return (r->flags & kAttachedFlags) && !r->groupPrev && !r->groupNext;
}

// Writes the outline after the last member of the head's group chain. Every
// allocation happens before anything is changed, so a failure leaves the
// chain, its selection and its flags as they were.
bool Attach(KyPath *p, const OutlinePoint *pts, int32_t n, uint32_t outline_flags, bool reduce_target_flags) {
    KyPath *head = PathFirst(p);
    KyPath *target = head;
    if (!path::HasOutlineInfo(head))
        while (KyPath *g = path::GroupNext(target)) target = g;

    KyPath *tail = PathLast(target);
    KyPath *outline = nullptr;
    if (tail != target && IsReplaceableAttachment(tail)) {
        outline = tail;
        const size_t need = path::kHeaderSize + static_cast<size_t>(n) * path::kPointSize;
        if (mem::PathBlockSize(outline) < need) {
            // A 5-point outline turned into a 9-point one: grow it rather
            // than write past its block. The record may move; its only
            // list link in is the previous record's next (selection links
            // are all cleared below, without being followed).
            auto *grown = static_cast<KyPath *>(mem::PathReAlloc(outline, path::BlockBytes(n)));
            if (!grown) return false;
            if (grown != outline) {
                outline = grown;
                outline->prev->next = outline;
            }
        }
    } else {
        outline = static_cast<KyPath *>(mem::PathAlloc(path::BlockBytes(n)));
        if (!outline) return false;
        tail->next = outline;
        outline->prev = tail;
    }

    PathClearSelection(head);
    if (reduce_target_flags) {
        // A text record keeps its bit 28; the stroke description stays
        // where it is (its slot is not a group link).
        target->flags &= kTextBit28 | KPF_OUTLINEINFO;
    }
    outline->flags = outline_flags;
    outline->count = n;
    PathPoint *out = path::Points(outline);
    for (int32_t i = 0; i < n; ++i) {
        out[i].type = pts[i].type;
        out[i].x = pts[i].at.x;
        out[i].y = pts[i].at.y;
    }
    return true;
}

}  // namespace

bool AttachNet(KyPath *path, const EnvelopeNet &net, bool vertical) {
    const OutlinePoint pts[kBezierOutlinePoints] = {
        {kCornerMove, net.p[0]}, {kHandle, net.p[1]},     {kHandle, net.p[2]},
        {kCornerCurve, net.p[3]}, {kCornerLine, net.q[3]}, {kHandle, net.q[2]},
        {kHandle, net.q[1]},     {kCornerCurve, net.q[0]}, {kClose, net.p[0]}};
    return Attach(path, pts, kBezierOutlinePoints, vertical ? KPF_ENVELOPE_VERTICAL : KPF_ENVELOPE_HORIZONTAL, true);
}

bool AttachCorners(KyPath *path, const EnvelopeCorners &c, bool vertical) {
    const OutlinePoint pts[kBilinearOutlinePoints] = {
        {kCornerMove, c.c[0]}, {kCornerLine, c.c[1]}, {kCornerLine, c.c[3]}, {kCornerLine, c.c[2]}, {kClose, c.c[0]}};
    return Attach(path, pts, kBilinearOutlinePoints, vertical ? KPF_ENVELOPE_VERTICAL : KPF_ENVELOPE_HORIZONTAL, false);
}

bool ReadNet(const KyPath *outline, EnvelopeNet *net) {
    if (outline->count < kBezierOutlinePoints) return false;
    const PathPoint *pts = path::Points(outline);
    for (int i = 0; i < 4; ++i) {
        net->p[i] = EnvelopePoint{pts[i].x, pts[i].y};
        net->q[3 - i] = EnvelopePoint{pts[4 + i].x, pts[4 + i].y};
    }
    return true;
}

bool ReadCorners(const KyPath *outline, EnvelopeCorners *c) {
    if (outline->count < kBilinearOutlinePoints) return false;
    const PathPoint *pts = path::Points(outline);
    const int32_t from[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) c->c[i] = EnvelopePoint{pts[from[i]].x, pts[from[i]].y};
    return true;
}

int32_t WrapType(const KyPath *p) {
    const KyPath *last = PathLast(const_cast<KyPath *>(p));
    EnvelopeNet net;
    switch (last->flags & 0xFF0000u) {
        case KPF_LASTMARK: return ENVELOPE_WRAP_BASELINE;
        case KPF_ENVELOPE3: return ENVELOPE_OTHER_ATTACHED;
        case KPF_ENVELOPE1:
            if (last->count == kBilinearOutlinePoints) return ENVELOPE_BILINEAR;
            // Too few points for a net: nothing that can be read back.
            if (!ReadNet(last, &net)) return ENVELOPE_NONE;
            return IsRectangularNet(false, net) ? ENVELOPE_BIBEZIER_RECT : ENVELOPE_BIBEZIER;
        case KPF_ENVELOPE2:
            if (last->count == kBilinearOutlinePoints) return ENVELOPE_BILINEAR;
            if (!ReadNet(last, &net)) return ENVELOPE_NONE;
            return IsRectangularNet(true, net) ? ENVELOPE_BIBEZIER_V_RECT : ENVELOPE_BIBEZIER_V;
        default: return ENVELOPE_NONE;
    }
}

}  // namespace env

Y32_BEGIN_C

int32_t KyPathAddBiBezierEnvelope(KyPath *path, const EnvelopeNet *net) {
    if (!path || !net) return 0;
    return env::AttachNet(path, *net, false) ? 1 : 0;
}

int32_t KyPathAddBiBezierEnvelopeV(KyPath *path, const EnvelopeNet *net) {
    if (!path || !net) return 0;
    return env::AttachNet(path, *net, true) ? 1 : 0;
}

int32_t KyPathAddBiLinearEnvelope(KyPath *path, const EnvelopeCorners *corners) {
    if (!path || !corners) return 0;
    return env::AttachCorners(path, *corners, false) ? 1 : 0;
}

int32_t KyPathAddBiLinearEnvelopeV(KyPath *path, const EnvelopeCorners *corners) {
    if (!path || !corners) return 0;
    return env::AttachCorners(path, *corners, true) ? 1 : 0;
}

int32_t KyPathGetBiBezierEnvelope(KyPath *outline, EnvelopeNet *net) {
    if (!outline || !net || !(outline->flags & KPF_SELECTED)) return 0;
    return env::ReadNet(outline, net) ? 1 : 0;
}

// The V net is stored and read in the same order; hosts call either name.
int32_t KyPathGetBiBezierEnvelopeV(KyPath *outline, EnvelopeNet *net) __attribute__((alias("KyPathGetBiBezierEnvelope")));

int32_t KyPathGetBiLinearEnvelope(KyPath *outline, EnvelopeCorners *corners) {
    if (!outline || !corners || !(outline->flags & KPF_SELECTED)) return 0;
    return env::ReadCorners(outline, corners) ? 1 : 0;
}

int32_t KyPathGetEnvelopeWrapType(KyPath *path) {
    if (!path) return 0;
    return env::WrapType(path);
}

Y32_END_C
