// deform/wrap.cpp - KyPathWrap and WrapWithPath: checks, the baseline's
// preparation, corner smoothing, and putting the wrapped figure in place.
//
// The figure is wrapped as a copy: every step that can fail (the
// baseline's table, the copies along it, the split pieces) works on the
// copy, and only a finished result replaces the host's records. A failed
// wrap therefore leaves the figure exactly as it was, turned or not; the
// baseline's preparation (its marks, its stroke description, its
// recentring) is undone too.
#include <chrono>
#include <cmath>
#include <cstring>

#include "core/bounds.h"
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/record_transform.h"
#include "deform/cut_stretch.h"
#include "deform/wrap.h"
#include "platform/runtime_memory.h"
#include "y32path/core.h"
#include "y32path/edit.h"
#include "y32path/gdi.h"

namespace wrap {

namespace {

constexpr double kCos5Deg = 0.9961947;

// Averages the tangents of consecutive segments that meet at an angle of
// more than 5 degrees. A reversal (tangents summing to nearly nothing) has
// no average direction; it is left sharp rather than given a zero
// direction, which would stretch offsets there a thousandfold.
void SmoothCorners(Baseline *b, int32_t smooth, bool closed) {
    int32_t first = -1, prev = -1;
    auto join = [&](int32_t i, int32_t j) {
        SegInfo &a = b->segs[i], &c = b->segs[j];
        double dot = a.t1.x * c.t0.x + a.t1.y * c.t0.y;
        if (!(dot < kCos5Deg)) return;
        vec::Vec2 sum{a.t1.x + c.t0.x, a.t1.y + c.t0.y};
        double len = std::sqrt(sum.x * sum.x + sum.y * sum.y);
        if (len < 0.001) return;
        sum.x /= len;
        sum.y /= len;
        a.t1 = sum;
        c.t0 = sum;
        a.corner = smooth;
        c.corner = smooth;
        a.smoothed[1] = 1;
        c.smoothed[0] = 1;
    };
    for (int32_t k = 0; k < b->nseg; ++k) {
        if (b->segs[k].ignored) continue;
        if (first < 0) first = k;
        if (prev >= 0) join(prev, k);
        prev = k;
    }
    if (closed && first >= 0 && prev >= 0) join(prev, first);
    // Ignored segments are never landed on; they take their neighbours'
    // directions so nothing reads a meaningless tangent from them.
    for (int32_t k = 0; k < b->nseg; ++k) {
        if (!b->segs[k].ignored) continue;
        for (int32_t j = k - 1; j >= 0; --j)
            if (!b->segs[j].ignored) {
                b->segs[k].t0 = b->segs[j].t1;
                break;
            }
        for (int32_t j = k + 1; j < b->nseg; ++j)
            if (!b->segs[j].ignored) {
                b->segs[k].t1 = b->segs[j].t0;
                break;
            }
    }
}

void FreeOutlineInfo(OutlineInfo *info) {
    if (!info) return;
    KyPathDeletePtr(info->startArrow, 0);
    KyPathDeletePtr(info->endArrow, 0);
    KyPathDeletePtr(info->dashPath, 0);
    plat::ObjDelete(info);
}

// What preparing the baseline changes, so that a failed wrap can put it
// back: the flags word, the stroke description taken out of its slot (freed
// only once the wrap has succeeded) and the recentring offset.
struct BaselineBefore {
    uint32_t flags = 0;
    KyPath *slot = nullptr;
    FIXED dx = 0, dy = 0;
};

void RestoreBaseline(KyPath *baseline, const BaselineBefore &b) {
    path::MovePositions(baseline, static_cast<FIXED>(0u - static_cast<uint32_t>(b.dx)),
                        static_cast<FIXED>(0u - static_cast<uint32_t>(b.dy)));
    baseline->flags = b.flags;
    if (b.flags & KPF_OUTLINEINFO) baseline->groupNext = b.slot;
}

// Moves the baseline so that its box centre (rounded, halves away from
// zero) lands on the position, unless it is within 2 pixels already; the
// offset applied goes to *moved.
void Recentre(KyPath *baseline, int32_t x, int32_t y, BaselineBefore *moved) {
    bounds::DoubleRect r = bounds::ImageBox(baseline, bounds::Cover::kRecord);
    double dx = x - std::round(0.5 * (r.minX + r.maxX));
    double dy = y - std::round(0.5 * (r.minY + r.maxY));
    if (std::fabs(dx) <= 2.0 && std::fabs(dy) <= 2.0) return;
    moved->dx = fx::FromDouble(dx);
    moved->dy = fx::FromDouble(dy);
    path::MovePositions(baseline, moved->dx, moved->dy);
}

bool InList(const KyPath *head, const KyPath *p) {
    for (const KyPath *r = head; r; r = r->next)
        if (r == p) return true;
    return false;
}

}  // namespace

bool WrapWithPath(KyPath **figure, WrapInfo *info, Level level) {
    const bool ribbon = cut::TrimmedRibbonEnabled() && info->option8 != 0;
    Baseline b;
    if (!WrapMakeAFDTableAndSegInfo(info->baseline, &b, ribbon)) return false;
    info->closedLoop = path::IsClosed(info->baseline) ? 1 : 0;
    Settings s = Normalise(*info);
    s.ribbon = ribbon;
    s.level = level;
    if (s.info.option7 && s.info.option8 && s.info.smoothCorners)
        SmoothCorners(&b, s.info.smoothCorners, s.info.closedLoop != 0);
    PathClearSelection(*figure);
    bool ok = s.info.option8 ? WrapDoDeform(figure, b, s) : WrapPlaceRigid(figure, b, s);
    FreeBaseline(&b);
    return ok;
}

}  // namespace wrap

Y32_BEGIN_C

int32_t KyPathWrap(KyPath **targetRef, WrapInfo *info) {
    if (!targetRef || !*targetRef || !info) {
        diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 5318);
        return 0;
    }
    KyPath *head = PathFirst(*targetRef);
    if (((*targetRef)->flags | head->flags) & KPF_OUTLINEINFO) {
        diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 5329);
        return 0;
    }
    // A baseline inside the figure's own list would be freed with the old
    // figure while still in use.
    if (info->baseline && (info->baseline->next || wrap::InList(head, info->baseline))) {
        diag::ReportError(0, diag::kErrUnsuitable, 1, diag::kUnitWrap, 5334);
        return 0;
    }
    const bool text_bits = (head->flags & KPF_TEXTMASK) != 0;
    if ((text_bits && info->text == 0) || (!text_bits && info->text == 1))
        DebugPrint("- KyPathWrap() warning: text attrib of target_path and wrapinfo not consistant.\n");

    KyPath *figure = nullptr;
    if (!KyPathDuplicatePtr(head, &figure) || !figure) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitWrap);
        return 0;
    }
    if (info->text == 0) {
        KyPathSetPathFlags(figure, 0, 0, 1);
        figure->flags |= 0x60000000u;  // the whole figure is one rigid unit
    }
    if (info->orientation == 1) KyPathRotateAboutCenter(figure, -90.0);
    if (info->text && info->ascentDescent == 0) {
        int32_t h = static_cast<int32_t>(wrap::FontHeight(*info));
        int32_t descent = h / 3, ascent = h - descent;
        info->ascentDescent = static_cast<int32_t>((static_cast<uint32_t>(ascent) << 16) | (descent & 0xFFFF));
    }

    const bool ribbon_at_entry = cut::TrimmedRibbonEnabled();
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const auto started = std::chrono::steady_clock::now();
    DebugPrint("\n- KyPathWrap(): begins.\n");

    bool ok;
    if (KyPath *baseline = info->baseline) {
        wrap::BaselineBefore before;
        before.flags = baseline->flags;
        before.slot = baseline->groupNext;
        OutlineInfo *stroke = path::OutlineOf(baseline);
        if (stroke) baseline->groupNext = nullptr;
        baseline->flags = (baseline->flags & ~(KPF_TEXTMASK | KPF_OUTLINEINFO)) | KPF_LASTMARK;
        if (info->recentre) wrap::Recentre(baseline, info->positionX, info->positionY, &before);
        if (!(info->option7 == 0 && info->option8 != 0)) cut::SetTrimmedRibbon(false);
        ok = wrap::WrapWithPath(&figure, info, wrap::Level::kInfo);
        // A failed wrap leaves the baseline as the caller gave it.
        if (ok) wrap::FreeOutlineInfo(stroke);
        else wrap::RestoreBaseline(baseline, before);
    } else {
        ok = wrap::WrapOnCircles(&figure, info);
    }

    SetCursor(previous);
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    int32_t bw = 0, bh = 0;
    if (ok && figure) {
        bounds::DoubleRect r = bounds::ImageBox(figure, bounds::Cover::kFollowing);
        bw = static_cast<int32_t>(r.maxX - r.minX + 2.0);
        bh = static_cast<int32_t>(r.maxY - r.minY + 2.0);
    }
    DebugPrint("- KyPathWrap(): %s. %d msecs, bbox (w,h)=(%d,%d).\n\n", ok ? "success" : "failed",
               static_cast<int>(ms), bw, bh);

    if (ok) {
        if (cut::TrimmedRibbonEnabled()) figure = cut::RegroupTrimmedRibbon(figure);
        else PathGroupToEnd(figure);
        if (info->text == 0) KyPathSetPathFlags(figure, 0, 0, 1);
        KyPathDeletePtr(head, 0);
        *targetRef = figure;
    } else {
        KyPathDeletePtr(figure, 0);
    }
    cut::SetTrimmedRibbon(ribbon_at_entry);
    return ok ? 1 : 0;
}

Y32_END_C
