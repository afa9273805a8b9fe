// deform/dash_stroke.cpp - dashed strokes: the dash chain of a path, and
// the hook that makes the rasteriser render it in place of the path.
//
// The chain is the style's pattern wrapped along a copy of the path with
// the figure stretched to fit (fit to length), bent point by point, corner
// smoothing on, and the dashes straddling the path (baseline level 0.5).
// The copy is trimmed first when arrowheads need room at the ends.
#include <cmath>

#include "core/diag.h"
#include "core/path_record.h"
#include "deform/dash.h"
#include "deform/wrap.h"
#include "raster/path_to_buf.h"
#include "shapes/arrowhead.h"
#include "y32path/core.h"
#include "y32path/edit.h"

namespace dash {
namespace {

constexpr int32_t kLineBadStyle = 6060;
constexpr int32_t kLineNullPath = 6064;
constexpr int32_t kLineCopyNoMemory = 6085;

void Report(int32_t code, int32_t line) { diag::ReportError(0, code, 1, diag::kUnitWrap, line); }

// Every record of the chain selected, the selection list following the
// table list, as the rasteriser walks a selected chain.
void SelectAll(KyPath *head) {
    for (KyPath *r = head; r; r = r->next) {
        r->flags |= KPF_SELECTED;
        r->selPrev = r->prev;
        r->selNext = r->next;
    }
}

// A copy of the path as a stand-alone record: same points and shape code,
// no flags, no links, no point selection marks.
KyPath *PlainCopy(const KyPath *p) {
    KyPath *c = path::CopyRecord(p);
    if (!c) return nullptr;
    c->flags = 0;
    PathPoint *pts = path::Points(c);
    for (int32_t i = 0; i < c->count; ++i) pts[i].type &= 0x77FF;
    return c;
}

// Installed before main() in every program that links this file; see
// dash.h for programs that link the static archives.
struct Installer {
    Installer() { InstallDashStroke(); }
} g_installer;

}  // namespace

KyPath *MakeDashedStroke(const KyPath *src, int32_t style, double width, double start_trim, double end_trim) {
    if (style < kFirstStyle || style > kLastStyle) {
        Report(diag::kErrUnsuitable, kLineBadStyle);
        return nullptr;
    }
    if (!src) {
        Report(diag::kErrUnsuitable, kLineNullPath);
        return nullptr;
    }
    // A pen without width gives dashes without length: the wrap would
    // repeat an empty pattern without end.
    if (!(width > 0.0) || !std::isfinite(width)) {
        Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitWrap);
        return nullptr;
    }
    double length = KyPathGetLength(const_cast<KyPath *>(src));
    double t0 = 0.0, t1 = 1.0;
    const bool trim_start = start_trim > kNoTrim, trim_end = end_trim > kNoTrim;
    if (length > 0.0) {
        if (trim_start) t0 = start_trim / length;
        if (trim_end) t1 = 1.0 - end_trim / length;
    }

    KyPath *copy = PlainCopy(src);
    if (!copy) {
        Report(diag::kErrNoMemory, kLineCopyNoMemory);
        return nullptr;
    }
    if ((trim_start || trim_end) && length > 0.0) {
        if (!TrimToRange(&copy, t0, t1) || !copy) {
            KyPathDeletePtr(copy, 0);
            return nullptr;
        }
        length = KyPathGetLength(copy);
    }

    WrapInfo info{};
    info.baseline = copy;
    info.fitToLength = 1;
    info.repeatCount = 0;
    info.orientation = 0;
    info.option7 = 1;
    info.option8 = 1;
    info.startHeight = 100;
    info.endHeight = 100;
    info.smoothCorners = 1;
    info.closedLoop = path::IsClosed(copy) ? 1 : 0;
    info.text = 0;
    info.baselineLevel = 0.5;

    const double w = 2.0 * width;
    Pattern pattern;
    if (!BuildPattern(style, w, length, &pattern)) {
        KyPathDeletePtr(copy, 0);
        return nullptr;
    }
    info.spacing = pattern.spacing;
    info.startOffset = pattern.start_offset;

    KyPath *chain = pattern.head;
    if (KyPathWrap(&chain, &info)) {
        SelectAll(chain);
    } else {
        KyPathDeletePtr(chain, 0);
        chain = nullptr;
    }
    KyPathDeletePtr(info.baseline, 0);
    return chain;
}

KyPath *DashStrokeForRecord(KyPath *record, const OutlineInfo *info) {
    if (!record || !info) return nullptr;
    double start_trim = 0.0, end_trim = 0.0;
    arrowhead::Query q;
    // The query answers nothing when arrowheads are off or no template is
    // usable (an attachment side without height has no extent).
    if (info->arrowsOff == 0 && arrowhead::QueryArrowheads(record, &q)) {
        if (q.has_start) start_trim = q.start_extent;
        if (q.has_end) end_trim = q.end_extent;
    }
    return MakeDashedStroke(record, info->dashStyle, static_cast<double>(info->param[1]), start_trim, end_trim);
}

void InstallDashStroke() { raster::SetDashStrokeHook(&DashStrokeForRecord); }

}  // namespace dash
