// relief/arrowhead_relief.cpp - KyPathArrowHeadVMap: arrowheads placed as
// the renderer places them, the mask builders' twins run on each in a
// piece of the map of its own, the results copied into the caller's map.
#include "relief/arrowhead_relief.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "raster/scan_fill.h"
#include "y32path/core.h"

namespace relief {

namespace {

constexpr int32_t kUnit = diag::kUnitArrowRelief;
// Pixels added around an arrowhead's box: its anti-aliased rim and the
// field samples taken 0.75 pixel beside its outline.
constexpr double kRim = 2.0;

Status Fail(MapSet &maps, Status s) {
    maps.Free();
    Y32_REPORT(s == Status::kCancelled ? diag::kErrCancelled : diag::kErrNoMemory, 0, kUnit);
    return s;
}

bool NamesArrowhead(const OutlineInfo *info) {
    return info->startKey[0] != 0 || info->startKey[1] != 0 || info->endKey[0] != 0 || info->endKey[1] != 0;
}

// A placed copy, deleted with its holder.
struct Placed {
    KyPath *copy = nullptr;
    int32_t attach = -1;
    ~Placed() {
        if (copy) KyPathDeletePtr(copy, 0);
    }
};

// One arrowhead's piece of the map: its box in the caller's map, the
// vectors built there and how near each pixel's outline is.
struct Piece {
    uint32_t left = 0, top = 0;
    MapSet maps;
    MergeState merge;
    ~Piece() { maps.Free(); }
    bool Covers(uint32_t x, uint32_t y) const {
        return x >= left && y >= top && x - left < maps.width && y - top < maps.height;
    }
    float Nearness(uint32_t x, uint32_t y) const {
        return merge.own[static_cast<size_t>(y - top) * maps.width + (x - left)];
    }
};

// The copy's box in the caller's map, grown by the rim and cut to the map;
// false when nothing of it lies on the map.
bool BoxOf(const KyPath *copy, const ArrowheadInput &in, uint32_t map_w, uint32_t map_h, Piece *out) {
    double min_x = std::numeric_limits<double>::infinity(), min_y = min_x;
    double max_x = -min_x, max_y = -min_x;
    for (const KyPath *r = copy; r; r = r->next)
        path::ForEachPosition(const_cast<KyPath *>(r), [&](PathPoint &pt) {
            const double x = fx::ToDouble(pt.x), y = fx::ToDouble(pt.y);
            min_x = std::fmin(min_x, x);
            max_x = std::fmax(max_x, x);
            min_y = std::fmin(min_y, y);
            max_y = std::fmax(max_y, y);
        });
    if (!(min_x <= max_x && min_y <= max_y)) return false;
    const double l = std::fmax(std::floor(min_x - in.origin_x) - kRim, 0.0);
    const double t = std::fmax(std::floor(min_y - in.origin_y) - kRim, 0.0);
    const double r = std::fmin(std::ceil(max_x - in.origin_x) + kRim, static_cast<double>(map_w));
    const double b = std::fmin(std::ceil(max_y - in.origin_y) + kRim, static_cast<double>(map_h));
    if (!(r > l && b > t)) return false;
    out->left = static_cast<uint32_t>(l);
    out->top = static_cast<uint32_t>(t);
    out->maps.width = static_cast<uint32_t>(r - l);
    out->maps.height = static_cast<uint32_t>(b - t);
    // The piece's frame is the caller's, moved by whole pixels, so the
    // copy fills and measures exactly as it would on the whole map.
    out->maps.frame = raster::Mapping{1.0, static_cast<double>(in.origin_x) + l, static_cast<double>(in.origin_y) + t};
    out->maps.float_vectors = false;
    return true;
}

// Both stages of one arrowhead over base .. base + span percent: the mask
// stage takes the first fifth, as in the driver.
Status BuildPiece(Piece &pc, const Placed &pl, const ArrowheadInput &in, int32_t base, int32_t span,
                  Progress &progress) {
    MapSet &maps = pc.maps;
    maps.vec = pbuf::AllocQuiet(64, maps.width, maps.height);
    PathBuf crop = maps.vec ? pbuf::AllocQuiet(8, maps.width, maps.height) : nullptr;
    if (!crop) return Fail(maps, Status::kNoMemory);
    for (uint32_t y = 0; y < maps.height; ++y)
        std::memcpy(pbuf::Row(crop, y), pbuf::Row(in.mask, pc.top + y) + pc.left, maps.width);
    Scratch<uint8_t> own;
    MaskStage stage;
    progress.SetRange(base, base + span / 5);
    Status s = ArrowheadMaskBuild(maps, pl.copy, pl.attach, crop, &own, &stage, progress);
    KyPathBufFree(crop);
    if (s != Status::kDone) return s;
    if (!pc.merge.Init(maps)) return Fail(maps, Status::kNoMemory);
    progress.SetRange(base + span / 5, base + span);
    return ArrowheadMaskDistanceBuild(maps, stage, pc.merge, progress);
}

// Copies every pixel a piece wrote into the caller's map, unless another
// piece found a nearer outline for it (a tie goes to the earlier piece).
void Commit(const Piece *pieces, int count, PathBuf vec) {
    const uint32_t map_w = pbuf::Width(vec);
    for (int k = 0; k < count; ++k) {
        const Piece &p = pieces[k];
        for (uint32_t y = 0; y < p.maps.height; ++y)
            for (uint32_t x = 0; x < p.maps.width; ++x) {
                const uint32_t gx = p.left + x, gy = p.top + y;
                const float near = p.Nearness(gx, gy);
                if (!(near < std::numeric_limits<float>::infinity())) continue;
                bool beaten = false;
                for (int j = 0; j < count && !beaten; ++j) {
                    if (j == k || !pieces[j].Covers(gx, gy)) continue;
                    const float other = pieces[j].Nearness(gx, gy);
                    beaten = other < near || (other == near && j < k);
                }
                if (beaten) continue;
                std::memcpy(VectorSlot(vec, static_cast<size_t>(gy) * map_w + gx),
                            VectorSlot(p.maps.vec, static_cast<size_t>(y) * p.maps.width + x), 8);
            }
    }
}

}  // namespace

int32_t AttachmentSegment(const KyPath *tpl, const arrowhead::Metrics &m) {
    if (!tpl) return -1;
    auto at = [](FIXED x, FIXED y, double ex, double ey) { return fx::ToDouble(x) == ex && fx::ToDouble(y) == ey; };
    int32_t found = -1;
    bool at_index = false;
    path::ForEachSegment(tpl, [&](const path::Segment &s) {
        const int last = s.kind == path::Segment::kLine ? 1 : 3;
        const bool joins = (at(s.x[0], s.y[0], m.x_min, m.y1) && at(s.x[last], s.y[last], m.x2, m.y2)) ||
                           (at(s.x[0], s.y[0], m.x2, m.y2) && at(s.x[last], s.y[last], m.x_min, m.y1));
        if (!joins || at_index) return;
        // Several segments may join the two positions (a template drawn
        // over itself); the one at the attachment index is the side.
        found = s.start;
        at_index = s.start == m.attach_index || s.end == m.attach_index;
    });
    return found;
}

Status ArrowheadMaskBuild(MapSet &maps, const KyPath *placed, int32_t attach_segment, PathBuf mask,
                          Scratch<uint8_t> *own, MaskStage *out, Progress &progress) {
    const size_t n = maps.Pixels();
    // The arrowhead's own pixels: filled as the renderer fills it (even-odd)
    // and as the stroke's relief leaves them out (coverage 128 or more).
    PathBuf fill = pbuf::AllocQuiet(8, maps.width, maps.height);
    if (!fill || !own->Allocate(n, false)) {
        if (fill) KyPathBufFree(fill);
        return Fail(maps, Status::kNoMemory);
    }
    const raster::FillSpec spec{maps.frame, 16, true, false};
    const bool filled = raster::ScanFill(placed, spec, fill);
    const uint8_t *cov = static_cast<const uint8_t *>(fill);
    for (size_t i = 0; i < n; ++i) (*own)[i] = cov[i] >= 128 ? 1 : 0;
    KyPathBufFree(fill);
    if (!filled) return Fail(maps, Status::kNoMemory);

    MaskInput in;
    in.path = placed;
    in.mask = mask;
    in.even_odd = true;
    in.width = std::hypot(static_cast<double>(maps.width), static_cast<double>(maps.height));
    in.unit = kUnit;
    in.skip_segment = attach_segment;
    in.trace_borders = false;
    const Status s = MaskBuild(maps, in, out, progress);
    if (s == Status::kDone) out->only = own->Data();
    return s;
}

Status ArrowheadMaskDistanceBuild(MapSet &maps, const MaskStage &stage, MergeState &merge, Progress &progress) {
    // A reach over the whole piece: every arrowhead pixel finds its nearest
    // free side (SearchReach caps it at the piece's diagonal).
    const double reach = std::hypot(static_cast<double>(maps.width), static_cast<double>(maps.height));
    return MaskDistanceBuild(maps, stage, reach, 0.0, merge, kUnit, progress);
}

Status ArrowheadRelief(const ArrowheadInput &in, Progress &progress) {
    const OutlineInfo *info = path::OutlineOf(in.path);
    if (!info) return Status::kDone;
    if (NamesArrowhead(info) && !info->startArrow && !info->endArrow) return Status::kRefused;
    arrowhead::Query q;
    if (!arrowhead::QueryArrowheads(in.path, &q)) return Status::kDone;
    arrowhead::ApplyFitRule(&q, arrowhead::PathLength(in.path));
    // A pen of no width has no arrowhead; a negative one would mirror it
    // back over the stroke (the renderer draws neither).
    const double pen = in.pen_width;
    if (!(pen > 0.0) || !std::isfinite(pen)) return Status::kDone;

    const uint32_t map_w = pbuf::Width(in.vec), map_h = pbuf::Height(in.vec);
    Placed placed[2];
    Piece pieces[2];
    int count = 0;
    for (int k = 0; k < 2; ++k) {
        const bool start = k == 0;
        const KyPath *tpl = start ? (q.has_start ? q.start_template : nullptr) : (q.has_end ? q.end_template : nullptr);
        arrowhead::Metrics m;
        arrowhead::Anchor a;
        if (!tpl || !arrowhead::Measure(tpl, &m) ||
            !arrowhead::FindAnchor(in.path, start ? arrowhead::End::kStart : arrowhead::End::kEnd,
                                   arrowhead::ArrowLength(m, pen), &a))
            continue;
        KyPath *copy = arrowhead::PlacedCopy(tpl, m, a, pen);
        if (!copy) {
            Y32_REPORT(diag::kErrNoMemory, 0, kUnit);
            return Status::kNoMemory;
        }
        // An arrowhead wholly off the map has nothing to write.
        if (!BoxOf(copy, in, map_w, map_h, &pieces[count])) {
            KyPathDeletePtr(copy, 0);
            continue;
        }
        placed[count].copy = copy;
        placed[count].attach = AttachmentSegment(tpl, m);
        ++count;
    }
    if (count == 0) return Status::kDone;

    progress.Notify(RELIEF_BEGIN, 0);
    Status s = Status::kDone;
    const int32_t span = 100 / count;
    for (int k = 0; k < count && s == Status::kDone; ++k)
        s = BuildPiece(pieces[k], placed[k], in, k * span, span, progress);
    progress.Notify(RELIEF_END, 100);
    if (s != Status::kDone) return s;
    Commit(pieces, count, in.vec);
    return Status::kDone;
}

}  // namespace relief

Y32_BEGIN_C

int32_t KyPathArrowHeadVMap(KyPath *path, double penWidth, PathBuf mask, int32_t distanceRequest,
                            ReliefVectorMap vectorMap, const int32_t *origin, ReliefProgress *progressRecord,
                            int32_t extra) {
    using namespace relief;
    // extra is the driver's fast-mode or object argument; the mask builders
    // have no use for either.
    (void)extra;
    if (!path || !mask || !distanceRequest || !vectorMap || !origin) return 0;
    // The map is written where the mask says; maps of another depth or size
    // would be read and written past their ends.
    if (pbuf::Depth(mask) != 8 || pbuf::Depth(vectorMap) != 64 || pbuf::Width(mask) != pbuf::Width(vectorMap) ||
        pbuf::Height(mask) != pbuf::Height(vectorMap)) {
        Y32_REPORT(diag::kErrUnsuitable, 0, diag::kUnitArrowRelief);
        return 0;
    }
    Progress progress(progressRecord);
    progress.SetState(KyPathGetOutlineInfo(path, nullptr) ? 0 : 1);
    ArrowheadInput in;
    in.path = path;
    in.pen_width = penWidth;
    in.mask = mask;
    in.vec = vectorMap;
    in.origin_x = origin[0];
    in.origin_y = origin[1];
    return ArrowheadRelief(in, progress) == Status::kDone ? 1 : 0;
}

Y32_END_C
