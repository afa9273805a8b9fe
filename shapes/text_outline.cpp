// shapes/text_outline.cpp - glyph outlines into path records.
//
// Every polygon of a glyph's native outline becomes one record. Points are
// mapped on reading: y negated (fonts grow upward, images downward) and the
// pen position added along the advance axis. Quadratic splines become
// cubic curves with integer arithmetic on the 16.16 values, truncating
// toward zero, so the same outline always gives the same bits:
//
//   spline P, q1 .. qm (qm on the curve): pieces P-q1-M1, M1-q2-M2, ...,
//   M(m-2)-q(m-1)-qm with Mj = (qj + qj+1) / 2; each quadratic A-Q-B is the
//   cubic A, (A + 2Q) / 3, (B + 2Q) / 3, B.
//
// The implied points Mj keep the mark 0x2000 so that they can be told from
// the font's own on-curve points.
#include <cstring>

#include "core/memory.h"
#include "core/path_record.h"
#include "shapes/text_glyphs.h"
#include "y32path/core.h"

namespace {

using plat::font::CurveHeader;
using plat::font::PointFx;
using plat::font::PolygonHeader;

// Sums of two coordinates need 33 bits; the result of each formula fits
// again when the inputs did, and otherwise wraps like every FIXED sum.
FIXED Wrap(int64_t v) { return static_cast<FIXED>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

class RecordBuilder {
  public:
    ~RecordBuilder() {
        if (rec_) KyPathDeletePtr(rec_, 0);
    }
    bool Start(FIXED x, FIXED y) {
        rec_ = KyPathCreate();
        if (!rec_) return false;
        start_x_ = x, start_y_ = y;
        return Add(PT_MOVETO, x, y);
    }
    bool Add(uint16_t type, FIXED x, FIXED y) {
        PathPoint *slot = nullptr;
        if (!PathReserve(&rec_, &slot, 1)) return false;
        slot->type = type;
        slot->x = x;
        slot->y = y;
        last_x_ = x, last_y_ = y;
        return true;
    }
    FIXED LastX() const { return last_x_; }
    FIXED LastY() const { return last_y_; }
    // Closes the contour and hands the trimmed record over.
    KyPath *Finish() {
        if (last_x_ == start_x_ && last_y_ == start_y_) {
            KyPathPoints(rec_)[rec_->count - 1].type |= PT_CLOSEFIGURE;
        } else if (!Add(PT_LINETO | PT_CLOSEFIGURE, start_x_, start_y_)) {
            return nullptr;
        }
        PathTrim(&rec_);  // a refused shrink leaves the record as it was
        KyPath *done = rec_;
        rec_ = nullptr;
        return done;
    }

  private:
    KyPath *rec_ = nullptr;
    FIXED start_x_ = 0, start_y_ = 0, last_x_ = 0, last_y_ = 0;
};

struct Placement {
    int64_t pen_fx;
    bool vertical;
    void Map(const PointFx &p, FIXED *x, FIXED *y) const {
        *x = Wrap(static_cast<int64_t>(p.x) + (vertical ? 0 : pen_fx));
        *y = Wrap(-static_cast<int64_t>(p.y) + (vertical ? pen_fx : 0));
    }
};

PointFx ReadPoint(const uint8_t *at) {
    PointFx p;
    std::memcpy(&p, at, sizeof p);
    return p;
}

// Appends the cubic pieces of one quadratic spline record.
bool AddSpline(RecordBuilder &r, const Placement &place, const uint8_t *pts, uint32_t m) {
    if (m < 2) {
        // One point: nothing to bend around; a straight piece to it.
        FIXED x, y;
        place.Map(ReadPoint(pts), &x, &y);
        return r.Add(PT_LINETO, x, y);
    }
    int64_t ax = r.LastX(), ay = r.LastY();
    FIXED qx, qy;
    place.Map(ReadPoint(pts), &qx, &qy);
    for (uint32_t j = 1; j < m; ++j) {
        FIXED nx, ny;
        place.Map(ReadPoint(pts + j * sizeof(PointFx)), &nx, &ny);
        const bool last = j == m - 1;
        int64_t bx = last ? nx : (static_cast<int64_t>(qx) + nx) / 2;
        int64_t by = last ? ny : (static_cast<int64_t>(qy) + ny) / 2;
        if (!r.Add(PT_BEZIERTO, Wrap((ax + 2 * static_cast<int64_t>(qx)) / 3), Wrap((ay + 2 * static_cast<int64_t>(qy)) / 3)) ||
            !r.Add(PT_BEZIERTO, Wrap((bx + 2 * static_cast<int64_t>(qx)) / 3), Wrap((by + 2 * static_cast<int64_t>(qy)) / 3)) ||
            !r.Add(static_cast<uint16_t>(PT_BEZIERTO | (last ? 0 : kImpliedOnCurve)), Wrap(bx), Wrap(by)))
            return false;
        ax = Wrap(bx), ay = Wrap(by);
        qx = nx, qy = ny;
    }
    return true;
}

// Links b after a in the table list and the group chain.
void LinkAfter(KyPath *a, KyPath *b) {
    a->next = b;
    a->groupNext = b;
    b->prev = a;
    b->groupPrev = a;
}

// The records of one glyph, linked; first and last receive the ends (both
// null for a glyph without contours). False when out of memory, with
// nothing left allocated.
bool GlyphRecords(const GlyphEntry &e, const Placement &place, KyPath **first, KyPath **last) {
    *first = *last = nullptr;
    if (!e.outline) return true;
    const uint8_t *data = e.outline;
    const uint32_t size = e.size;
    uint32_t at = 0;
    while (at + sizeof(PolygonHeader) <= size) {
        PolygonHeader h;
        std::memcpy(&h, data + at, sizeof h);
        if (h.cb < sizeof(PolygonHeader) || h.cb > size - at) break;  // damaged: keep what was read
        const uint32_t end = at + h.cb;
        RecordBuilder r;
        FIXED sx, sy;
        place.Map(PointFx{h.x, h.y}, &sx, &sy);
        bool ok = r.Start(sx, sy);
        uint32_t c = at + sizeof(PolygonHeader);
        while (ok && c + sizeof(CurveHeader) <= end) {
            CurveHeader ch;
            std::memcpy(&ch, data + c, sizeof ch);
            const uint32_t pts_at = c + sizeof(CurveHeader);
            if (static_cast<uint64_t>(ch.count) * sizeof(PointFx) > end - pts_at) break;
            if (ch.type == plat::font::kPrimLine) {
                for (uint32_t k = 0; ok && k < ch.count; ++k) {
                    FIXED x, y;
                    place.Map(ReadPoint(data + pts_at + k * sizeof(PointFx)), &x, &y);
                    ok = r.Add(PT_LINETO, x, y);
                }
            } else if (ch.type == plat::font::kPrimQSpline && ch.count > 0) {
                ok = AddSpline(r, place, data + pts_at, ch.count);
            }  // other kinds are stepped over
            c = pts_at + ch.count * static_cast<uint32_t>(sizeof(PointFx));
        }
        KyPath *rec = ok ? r.Finish() : nullptr;
        if (!rec) {
            if (*first) KyPathDeletePtr(*first, 0);
            *first = *last = nullptr;
            return false;
        }
        if (*last)
            LinkAfter(*last, rec);
        else
            *first = rec;
        *last = rec;
        at = end;
    }
    if (*first) (*first)->flags |= kTextGlyphStart;
    return true;
}

}  // namespace

KyPath *LastGroupMember(KyPath *p) {
    while (p && path::GroupNext(p)) p = path::GroupNext(p);
    return p;
}

int32_t FindKerningAmount(const GlyphList *list, int32_t index, const plat::font::KerningPair *pairs,
                          int32_t count) {
    if (!list || !pairs || count <= 0 || list->count <= 1 || index < 0 || index >= list->count - 1) return 0;
    const GlyphEntry *e = GlyphEntries(list);
    const uint32_t first = e[index].code, second = e[index + 1].code;
    for (int32_t i = 0; i < count; ++i)
        if (pairs[i].first == first && pairs[i].second == second) return pairs[i].amount;
    return 0;
}

int32_t FontOutlineToPSPath(const GlyphList *list, KyPath **head, double *advance, const RichTextRun *run,
                            const plat::font::KerningPair *pairs, int32_t pairCount, int32_t vertical) {
    if (!head) return 0;
    *head = nullptr;
    if (!list) return 0;
    const GlyphEntry *entries = GlyphEntries(list);
    KyPath *first = nullptr, *last = nullptr;
    int64_t pen = 0;  // whole pixels
    for (int32_t i = 0; i < list->count; ++i) {
        const GlyphEntry &e = entries[i];
        KyPath *g_first, *g_last;
        if (!GlyphRecords(e, Placement{pen * 65536, vertical != 0}, &g_first, &g_last)) {
            if (first) KyPathDeletePtr(first, 0);
            return 0;
        }
        if (g_first) {
            if (last)
                LinkAfter(last, g_first);
            else
                first = g_first;
            last = g_last;
        }
        double step = static_cast<double>(e.a) + e.b + e.c;
        if (run && run->kerning && pairs)
            step = static_cast<double>(static_cast<int64_t>(step) + FindKerningAmount(list, i, pairs, pairCount));
        if (run && run->spacing != 0) {
            step += run->spacing;
            if (run->spacing < 0 && step < 0.0) step = 0.0;
        }
        pen = static_cast<int64_t>(static_cast<double>(pen) + step);
    }
    if (advance) *advance = static_cast<double>(pen);
    *head = first;
    return 1;
}
