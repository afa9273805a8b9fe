// raster/path_to_buf.cpp - KyPathToBuf: which groups, which rectangles,
// which buffers; the pixels come from the filler and the tracer.
#include "raster/path_to_buf.h"

#include <cmath>
#include <cstdlib>

#include "core/bounds.h"
#include "core/diag.h"
#include "core/fixed.h"
#include "core/path_record.h"
#include "raster/outline_trace.h"
#include "raster/pixel_buffer.h"
#include "y32path/core.h"
#include "y32path/platform.h"
#include "y32Comm.h"

namespace raster {

namespace {

DashStrokeHook g_dash_hook = nullptr;

constexpr uint32_t kEnvelopeFlags = 0x700000u;

bool DashApplies(const KyPath *p, int32_t mode) {
    const OutlineInfo *info = path::OutlineOf(p);
    if (!info || p->prev || mode != 0 || info->dashStyle == 0) return false;
    return !p->next || (p->next->flags & kEnvelopeFlags) != 0;
}

// The two arrays handed to the caller, in global memory.
struct Output {
    Y32Rect *rects = nullptr;
    PathBuf *buffers = nullptr;
    int32_t count = 0, room = 0;

    bool Init() {
        rects = static_cast<Y32Rect *>(GlobalAlloc(GPTR, sizeof(Y32Rect) * kArrayStep));
        buffers = static_cast<PathBuf *>(GlobalAlloc(GPTR, sizeof(PathBuf) * kArrayStep));
        room = kArrayStep;
        return rects && buffers;
    }
    bool MakeRoom() {
        if (count < room) return true;
        size_t grown = static_cast<size_t>(room) + kArrayStep;
        auto *r = static_cast<Y32Rect *>(GlobalReAlloc(rects, sizeof(Y32Rect) * grown, GMEM_ZEROINIT));
        if (!r) return false;
        rects = r;
        auto *b = static_cast<PathBuf *>(GlobalReAlloc(buffers, sizeof(PathBuf) * grown, GMEM_ZEROINIT));
        if (!b) return false;
        buffers = b;
        room = static_cast<int32_t>(grown);
        return true;
    }
    void Discard() {
        for (int32_t i = 0; i < count; ++i) KyPathBufFree(buffers[i]);
        if (rects) GlobalFree(rects);
        if (buffers) GlobalFree(buffers);
        rects = nullptr;
        buffers = nullptr;
        count = 0;
    }
};

bool RectSize(const Y32Rect &r, uint32_t *w, uint32_t *h) {
    int64_t dw = int64_t{r.right} - r.left, dh = int64_t{r.bottom} - r.top;
    if (dw < 0 || dh < 0 || dw > UINT32_MAX || dh > UINT32_MAX) return false;
    *w = static_cast<uint32_t>(dw);
    *h = static_cast<uint32_t>(dh);
    return true;
}

Y32Rect Inflate(Y32Rect r, int32_t margin) {
    int64_t m = std::llabs(int64_t{margin});
    auto clamp = [](int64_t v) {
        return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
    };
    return Y32Rect{clamp(r.left - m), clamp(r.top - m), clamp(r.right + m), clamp(r.bottom + m)};
}

// True when the fill of a mode-0 8-bit mask will write every byte itself,
// so its buffer need not be cleared first (the filler writes the zeros
// row by row, while the row is in cache, instead of a whole-buffer clear
// followed by a second pass over the covered pixels).
bool FillWritesEverything(const ToBufOptions &opt, int32_t depth) {
    return opt.mode == 0 && (depth == 8 || depth == 32) && opt.impl == FillImpl::kFast;
}

// False when the filler ran out of scratch memory: the mask is then
// incomplete (and, when the filler was to write every byte itself, partly
// never written), so it must not be handed out.
bool Render(KyPath *head, const ToBufOptions &opt, FIXED scale, const Y32Rect &rect, PathBuf buf) {
    Mapping map{fx::ToDouble(scale), static_cast<double>(rect.left), static_cast<double>(rect.top)};
    bool aa = opt.antialias != 0;
    if (opt.mode == 3) {
        for (KyPath *p = head; p; p = p->next) TraceRecord(p, map, aa, buf);
        return true;
    }
    if (opt.mode != 0) {
        for (KyPath *p = head; p; p = path::GroupNext(p)) TraceRecord(p, map, aa, buf);
        return true;
    }
    FillSpec spec{map, SubsFor(opt.antialias, pbuf::Depth(buf)), opt.even_odd != 0, opt.antialias == 0};
    spec.blank = FillWritesEverything(opt, pbuf::Depth(buf));
    spec.baseline_simd = opt.baseline_simd;
    const bool filled = opt.impl == FillImpl::kReference ? ScanFillReference(head, spec, buf, opt.band_rows)
                                                          : ScanFill(head, spec, buf);
    if (!filled) return false;
    for (KyPath *p = head; p; p = path::GroupNext(p))
        if (IsOutlineOnly(p)) TraceRecord(p, map, aa, buf);
    return true;
}

// Box-filters a mask rendered at scale s > 1 back to image size. Samples
// of a block that fall outside the scaled mask are left out of the mean.
// Null when the small buffer cannot be had; the caller reports it.
PathBuf Downsample(PathBuf big, double s, bool hard, Y32Rect *rect) {
    Y32Rect small{static_cast<int32_t>(rect->left / s), static_cast<int32_t>(rect->top / s),
                  static_cast<int32_t>(rect->right / s), static_cast<int32_t>(rect->bottom / s)};
    uint32_t w, h;
    if (!RectSize(small, &w, &h)) return nullptr;
    PathBuf out = pbuf::AllocQuiet(8, w, h);
    if (!out) return nullptr;
    const int64_t bw = pbuf::Width(big), bh = pbuf::Height(big);
    auto first = [&](uint32_t i) { return static_cast<int64_t>(i * s) + 1; };
    auto last = [&](uint32_t i, int64_t limit) {
        int64_t v = static_cast<int64_t>((i + 1.0) * s);
        return v < limit ? v : limit - 1;
    };
    for (uint32_t y = 0; y < h; ++y) {
        int64_t r0 = first(y), r1 = last(y, bh);
        uint8_t *dst = pbuf::Row(out, y);
        for (uint32_t x = 0; x < w; ++x) {
            int64_t c0 = first(x), c1 = last(x, bw);
            if (r0 > r1 || c0 > c1) continue;
            uint64_t sum = 0;
            for (int64_t r = r0; r <= r1; ++r) {
                const uint8_t *src = pbuf::Row(big, static_cast<uint32_t>(r));
                for (int64_t c = c0; c <= c1; ++c) sum += src[c];
            }
            uint64_t mean = sum / static_cast<uint64_t>((r1 - r0 + 1) * (c1 - c0 + 1));
            dst[x] = static_cast<uint8_t>(hard ? (mean > 127 ? 255 : 0) : mean);
        }
    }
    *rect = small;
    return out;
}

}  // namespace

void SetDashStrokeHook(DashStrokeHook hook) { g_dash_hook = hook; }
DashStrokeHook GetDashStrokeHook() { return g_dash_hook; }

Y32Rect GroupRect(const KyPath *p, bool all_following, FIXED scale) {
    bounds::Cover cover = all_following ? bounds::Cover::kFollowing : bounds::Cover::kGroup;
    Y32Rect r = bounds::MarginBox(p, cover, scale);
    if (!bounds::IsUnitScale(scale) && scale > 0) {
        // The whole-pixel box scales floor(x), which at scales above a few
        // pixels falls short of x * scale by more than the margin; the far
        // sides are pushed out so the scaled path fits. The origin (left,
        // top) is the box's own.
        bounds::DoubleRect d = bounds::ImageBox(p, cover);
        double s = fx::ToDouble(scale);
        auto reach = [](double v, int32_t have) {
            double need = std::ceil(v) + bounds::kMarginAfter;
            if (!(need > have)) return have;
            return need >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(need);
        };
        r.right = reach(d.maxX * s, r.right);
        r.bottom = reach(d.maxY * s, r.bottom);
    }
    return r;
}

int32_t PathToBuf(KyPath *path, const ToBufOptions &opt, Y32Rect **rects_out, PathBuf **buffers_out) {
    if (rects_out) *rects_out = nullptr;
    if (buffers_out) *buffers_out = nullptr;
    if (!path || !rects_out || !buffers_out) return 0;

    FIXED scale = opt.scale;
    if (scale < 0) {
        // A mirrored scale turns every box inside out; there is no buffer
        // to make for it.
        Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitPixelBuffers);
        return 0;
    }
    if (opt.format == 16 && opt.mode != 0 && scale > fx::kOne) scale = fx::kOne;

    KyPath *chain = nullptr;
    if (g_dash_hook && DashApplies(path, opt.mode)) {
        // The hook gives null both for a stroke with nothing to dash and
        // when memory ran out (reported). Only the first may fall back to
        // the plain outline: the second would pass a failure off as a
        // solid stroke.
        Y32ErrInfo seen{};
        const int32_t reports = c32GetDLLErrInfo(&seen);
        chain = g_dash_hook(path, path::OutlineOf(path));
        if (!chain && c32GetDLLErrInfo(&seen) > reports && seen.code == diag::kErrNoMemory) return 0;
    }
    KyPath *source = path;

    Output out;
    if (!out.Init()) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitPixelBuffers);
        out.Discard();
        if (chain) KyPathDeletePtr(chain, 0);
        return 0;
    }

    KyPath *cur = chain ? chain : path;
    if (cur->flags != 1) {
        if (cur->flags & KPF_SELECTED) {
            while (cur->selPrev) cur = cur->selPrev;
        } else {
            while (cur->prev) cur = cur->prev;
        }
    }
    const int32_t depth = opt.format == 4 ? 32 : 8;
    const bool all = opt.mode == 3;
    // Every failure below is one of memory (a rectangle no buffer can hold
    // counts as one), reported once after the loop.
    bool failed = false;
    for (;;) {
        Y32Rect rect = Inflate(GroupRect(chain ? source : cur, all, scale), opt.margin);
        uint32_t w = 0, h = 0;
        if (!RectSize(rect, &w, &h)) {
            failed = true;
            break;
        }
        if (!out.MakeRoom()) {
            failed = true;
            break;
        }
        bool skip = false;
        if (chain) {
            Y32Rect own = GroupRect(cur, all, scale), src = GroupRect(source, all, scale);
            skip = int64_t{own.right} - own.left - (int64_t{src.right} - src.left) > kDashWidthLimit;
        }
        PathBuf buf = pbuf::AllocQuiet(depth, w, h, skip || !FillWritesEverything(opt, depth));
        if (!buf) {
            failed = true;
            break;
        }
        // Sub-pixel masks start with nothing covered, whatever draws on them
        // (the fast fill clears them itself, row by row).
        if (depth == 32 && (skip || !FillWritesEverything(opt, depth))) ClearMask32(buf);
        if (!skip && !Render(cur, opt, scale, rect, buf)) {
            KyPathBufFree(buf);
            failed = true;
            break;
        }
        if (opt.format == 16 && opt.mode == 0 && scale > fx::kOne) {
            PathBuf small = Downsample(buf, fx::ToDouble(scale), opt.antialias == 0, &rect);
            KyPathBufFree(buf);
            if (!small) {
                failed = true;
                break;
            }
            buf = small;
        }
        out.rects[out.count] = rect;
        out.buffers[out.count] = buf;
        ++out.count;

        if (!(cur->flags & KPF_SELECTED)) break;
        KyPath *last = cur;
        while (path::GroupNext(last)) last = path::GroupNext(last);
        cur = last->selNext;
        if (!cur) break;
    }
    if (chain) KyPathDeletePtr(chain, 0);
    if (failed) Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitPixelBuffers);
    if (failed || out.count == 0) {
        out.Discard();
        return 0;
    }
    *rects_out = out.rects;
    *buffers_out = out.buffers;
    return out.count;
}

}  // namespace raster

Y32_BEGIN_C

int32_t KyPathToBuf(KyPath *path, int32_t format, int32_t evenOdd, int32_t antialias, int32_t mode, FIXED scale,
                    Y32Rect **rects_out, PathBuf **buffers_out, int32_t margin) {
    raster::ToBufOptions opt;
    opt.format = format;
    opt.even_odd = evenOdd;
    opt.antialias = antialias;
    opt.mode = mode;
    opt.scale = scale;
    opt.margin = margin;
    return raster::PathToBuf(path, opt, rects_out, buffers_out);
}

Y32_END_C
