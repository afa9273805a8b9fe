// relief/vmap.cpp - KyPathVMap: the map frame, the two maps, the choice of
// builder, the smoothing stage and progress.
//
// Frame. Without a mask the maps cover the path's rectangle at the scale
// (the rectangle KyPathToBuf gives the same path, so a mask made with
// margin 0 lines up pixel for pixel); with a mask they have the mask's
// size and start abs(offset) pixels up and left of that rectangle.
//
// Builders, in order of precedence:
//   objectMode low word   the object's relief from its own mask
//   width 0               nothing: the maps stay zero
//   one primitive shape   closed form (offset 0 only)
//   offset 0              outline scan, or the mask builders with a mask
//   offset < 0            mask builders twice: on the outline (0..10,
//                         10..50) and abs(offset) inside it (50..60, 60..100)
//   offset > 0            mask builders on the complemented field (0..20,
//                         20..100): the bevel of the surroundings
// then, when asked for, the smoothing passes (50..60, 60..100).
//
// Every failure and every cancellation ends the same way for the caller:
// result 0, both handles 0, no buffer left allocated, and a report
// (unit 20 for the driver and the outline scan).
#include <cstdlib>
#include <cstring>

#include "core/diag.h"
#include "core/path_record.h"
#include "raster/crossing_lists.h"
#include "raster/path_to_buf.h"
#include "relief/mask_relief.h"
#include "relief/outline_edges.h"
#include "relief/primitive_relief.h"
#include "relief/row_scan.h"
#include "relief/shape_queries.h"
#include "relief/vector_smoothing.h"
#include "y32path/core.h"

namespace relief {

namespace {

constexpr uint32_t kObjectBits = 0x00310000u;    // envelope outlines and the baseline mark
constexpr uint32_t kAttachedBits = 0x00710000u;  // records attached to a chain, not part of its object

struct EdgeLists {
    raster::CrossingLists rows, cols;
    ~EdgeLists() {
        raster::FreeCrossingLists(&rows);
        raster::FreeCrossingLists(&cols);
    }
};

// A stand-alone copy of one record, flags cleared so the rasteriser fills
// it as one group of its own.
KyPath *LooseCopy(const KyPath *r) {
    KyPath *c = path::CopyRecord(r);
    if (c) c->flags = 0;
    return c;
}

// The temporary chain the per-object builder works on: the first record of
// the table list marked as an attached outline, or, when there is none or
// it is the baseline, the path's own subpaths (without attached records)
// as one chain. Null when out of memory.
KyPath *ObjectChain(KyPath *path) {
    KyPath *found = nullptr;
    for (KyPath *r = PathFirst(path); r; r = r->next)
        if (r->flags & kObjectBits) {
            found = r;
            break;
        }
    if (found && !(found->flags & KPF_LASTMARK)) return LooseCopy(found);
    KyPath *head = nullptr, *tail = nullptr;
    for (const KyPath *r = path; r; r = path::GroupNext(r)) {
        if (r->flags & kAttachedBits) continue;
        KyPath *c = LooseCopy(r);
        if (!c) {
            if (head) KyPathDeletePtr(head, 0);
            return found ? LooseCopy(found) : nullptr;
        }
        if (tail) {
            tail->next = c;
            tail->groupNext = c;
            c->prev = tail;
            c->groupPrev = tail;
        } else {
            head = c;
        }
        tail = c;
    }
    return head;
}

Status Report(Status s, MapSet &maps) {
    maps.Free();
    Y32_REPORT(s == Status::kCancelled ? diag::kErrCancelled : diag::kErrNoMemory, 0, diag::kUnitRelief20);
    return s;
}

Status RowScan(MapSet &maps, KyPath *path, bool even_odd, double width, bool fast, Progress &progress) {
    Outline outline;
    EdgeLists lists;
    if (!BuildOutline(path, maps.frame, &outline) ||
        !raster::BuildCrossingLists(outline.edges.Data(), outline.edges.Size(), maps.height, false, &lists.rows) ||
        !raster::BuildCrossingLists(outline.edges.Data(), outline.edges.Size(), maps.width, true, &lists.cols))
        return Report(Status::kNoMemory, maps);
    // The column lists get the same marks: a segment buried in the fill
    // must not come back as a candidate through a column.
    raster::MarkSpans(&lists.rows, even_odd);
    raster::MarkSpans(&lists.cols, even_odd);
    if (!FindVisibleStretches(lists.rows, lists.cols, &outline)) return Report(Status::kNoMemory, maps);
    RowScanInput in{&outline, &lists.rows, &lists.cols, width, fast};
    return RowScanBuild(maps, in, progress);
}

// The two mask stages, once or twice.
Status MaskStages(MapSet &maps, KyPath *path, PathBuf mask, bool even_odd, int32_t offset, double width,
                  Progress &progress) {
    MaskInput in;
    in.path = path;
    in.mask = mask;
    in.invert = offset > 0;
    in.even_odd = even_odd;
    in.width = width;
    in.unit = diag::kUnitRelief20;
    MaskStage stage;
    MergeState merge;
    if (!merge.Init(maps)) return Report(Status::kNoMemory, maps);
    const bool twice = offset < 0;
    progress.SetRange(0, twice ? 10 : 20);
    Status s = MaskBuild(maps, in, &stage, progress);
    if (s != Status::kDone) return s;
    progress.SetRange(twice ? 10 : 20, twice ? 50 : 100);
    s = MaskDistanceBuild(maps, stage, width, 0.0, merge, diag::kUnitRelief21, progress);
    if (s != Status::kDone || !twice) return s;
    // The moved outline comes from the same chords (see mask_relief.h), so
    // its mask stage has nothing left to do but report.
    progress.SetRange(50, 60);
    if (!progress.Step(0, 1)) return Report(Status::kCancelled, maps);
    progress.SetRange(60, 100);
    double shift = std::llabs(static_cast<int64_t>(offset));
    return MaskDistanceBuild(maps, stage, width, shift, merge, diag::kUnitRelief21, progress);
}

}  // namespace

}  // namespace relief

Y32_BEGIN_C

int32_t KyPathVMap(KyPath *path, ReliefDistanceMap *distanceMap, ReliefVectorMap *vectorMap, int32_t evenOdd,
                   int32_t primitiveBevel, int32_t objectMode, int32_t offset, int32_t fastMode, double *bevelWidth,
                   int32_t vectorFormat, int32_t useMask, PathBuf mask, ReliefProgress *progressRecord, FIXED scale) {
    using namespace relief;
    Progress progress(progressRecord);
    progress.SetState(path && KyPathGetOutlineInfo(path, nullptr) ? 0 : 1);
    const bool want_dist = distanceMap && *distanceMap;
    const bool want_vec = vectorMap && *vectorMap;
    auto refuse = [&]() {
        if (distanceMap) *distanceMap = nullptr;
        if (vectorMap) *vectorMap = nullptr;
        return 0;
    };
    if (!path || !bevelWidth || (useMask && !mask) || (!want_dist && !want_vec)) return refuse();
    if (useMask && pbuf::Depth(mask) != 8) {
        Y32_REPORT(diag::kErrUnsuitable, 0, diag::kUnitRelief20);
        return refuse();
    }
    double width = *bevelWidth;
    if (!(width > 0.0)) width = 0.0;  // negative and NaN widths ask for no relief
    const int64_t abs_offset = std::llabs(static_cast<int64_t>(offset));

    MapSet maps;
    maps.float_vectors = vectorFormat != 0;
    Y32Rect rect = raster::GroupRect(path, false, scale);
    maps.frame = raster::Mapping{fx::ToDouble(scale), static_cast<double>(rect.left), static_cast<double>(rect.top)};
    if (useMask) {
        maps.width = pbuf::Width(mask);
        maps.height = pbuf::Height(mask);
        maps.frame.left -= static_cast<double>(abs_offset);
        maps.frame.top -= static_cast<double>(abs_offset);
    } else {
        int64_t w = int64_t{rect.right} - rect.left, h = int64_t{rect.bottom} - rect.top;
        if (w < 0 || h < 0 || w > UINT32_MAX || h > UINT32_MAX) {
            Y32_REPORT(diag::kErrNoMemory, 0, diag::kUnitRelief20);
            return refuse();
        }
        maps.width = static_cast<uint32_t>(w);
        maps.height = static_cast<uint32_t>(h);
    }
    if (want_dist) {
        maps.dist = pbuf::AllocQuiet(32, maps.width, maps.height);
        if (!maps.dist) {
            Y32_REPORT(diag::kErrNoMemory, 0, diag::kUnitRelief20);
            return refuse();
        }
    }
    if (want_vec) {
        maps.vec = pbuf::AllocQuiet(64, maps.width, maps.height);
        if (!maps.vec) {
            maps.Free();
            Y32_REPORT(diag::kErrNoMemory, 0, diag::kUnitRelief20);
            return refuse();
        }
    }
    progress.Notify(RELIEF_BEGIN, 0);

    Status status = Status::kDone;
    const bool object_mode = (objectMode & 0xFFFF) != 0;
    PathBuf use = useMask ? mask : nullptr;
    if (width == 0.0) {
        // No relief: the maps stay zero.
    } else if (maps.width == 0 || maps.height == 0) {
        // A caller's mask without pixels leaves nothing to measure (and
        // the builders read the nearest border pixel, which it lacks).
    } else if (object_mode) {
        KyPath *object = ObjectChain(path);
        if (!object) {
            maps.Free();
            Y32_REPORT(diag::kErrNoMemory, 0, diag::kUnitRelief21);
            status = Status::kNoMemory;
        } else {
            progress.SetRange(0, 100);
            status = ObjectBuild(maps, object, width, progress);
            KyPathDeletePtr(object, 0);
        }
    } else {
        bool general = true;
        if (offset == 0 && IsSinglePrimitive(path)) {
            double own = primitiveBevel ? 30.0 : 0.0;
            progress.SetRange(0, 100);
            status = PrimitiveBuild(maps, path, &own, progress);
            // A record whose points do not make its shape falls back to
            // the general builders.
            general = status == Status::kRefused;
            if (!general) width = own;
            else status = Status::kDone;
        }
        if (general) {
            if (offset == 0 && !use) status = RowScan(maps, path, evenOdd != 0, width, fastMode != 0, progress);
            else status = MaskStages(maps, path, use, evenOdd != 0, offset, width, progress);
        }
    }

    if (status == Status::kDone && vectorFormat == 0 && (objectMode >> 16) != 0 && offset == 0 && !object_mode &&
        maps.vec) {
        PathBuf copy = pbuf::AllocQuiet(64, maps.width, maps.height);
        if (!copy) {
            status = Report(Status::kNoMemory, maps);
        } else {
            std::memcpy(copy, maps.vec, maps.Pixels() * 8);
            progress.SetRange(50, 60);
            status = SmoothVectors(maps, copy, 1, progress);
            if (status == Status::kDone) {
                progress.SetRange(60, 100);
                status = SmoothVectors(maps, copy, 2, progress);
            }
            KyPathBufFree(copy);
        }
    }
    progress.Notify(RELIEF_END, 100);

    if (width < 1.0) width = 1.0;
    *bevelWidth = width;
    if (status != Status::kDone) {
        maps.Free();
        return refuse();
    }
    if (distanceMap) *distanceMap = maps.dist;
    if (vectorMap) *vectorMap = maps.vec;
    return 1;
}

Y32_END_C
