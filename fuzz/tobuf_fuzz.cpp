// fuzz/tobuf_fuzz.cpp - libFuzzer target for the rasteriser: a table list
// of records with arbitrary point types and coordinates, groups and a
// selection, rendered in every format, rule, antialias setting, mode and
// scale the input picks.
//
// Beyond AddressSanitizer's checks the target aborts when the list was
// changed, when a result does not match its rectangle or format, when a
// refusal leaves an output behind, or when private-heap blocks are left.
// Sizes are capped so the masks stay within about 256 x 256.
#include "core/fixed.h"
#include "fuzz_paths.h"
#include "y32path/platform.h"
#include "y32path/raster.h"

namespace {

constexpr const char *kName = "tobuf_fuzz";
constexpr int32_t kMaxSide = 256;

int32_t Pick(fuzz::Reader &in, std::initializer_list<int32_t> common) {
    const uint8_t i = in.U8();
    if (i < common.size()) return common.begin()[i];
    return i == 255 ? in.I32() : common.begin()[i % common.size()];
}

// Only the three drawing kinds, with selection and closing bits: the
// entries that leave the box (no extent, rotated rectangles) are out.
bool PlainTypes(const std::vector<KyPath *> &recs) {
    for (const KyPath *r : recs)
        for (int32_t i = 0; i < r->count; ++i) {
            const uint16_t t = path::Points(r)[i].type & ~(PT_SELECTED | PT_SEGSELECTED | PT_DRAGGED | PT_CLOSEFIGURE);
            if (t != PT_MOVETO && t != PT_LINETO && t != PT_BEZIERTO) return false;
        }
    return true;
}

// The box keeps a margin of five pixels on the left and top and six on the
// right and bottom around the path; nothing may be drawn in its outer two
// rows and columns. 8-bit masks there are 0, sub-pixel masks all ones.
bool BorderClear(PathBuf buf, uint32_t w, uint32_t h, int32_t depth) {
    const size_t bpp = depth == 32 ? 4 : 1;
    const uint8_t empty = depth == 32 ? 0xFF : 0;
    const uint8_t *px = static_cast<const uint8_t *>(buf);
    auto clear = [&](uint32_t x, uint32_t y) {
        for (size_t b = 0; b < bpp; ++b)
            if (px[(size_t{y} * w + x) * bpp + b] != empty) return false;
        return true;
    };
    for (uint32_t x = 0; x < w; ++x)
        for (uint32_t y : {0u, 1u, h - 2, h - 1})
            if (y < h && !clear(x, y)) return false;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x : {0u, 1u, w - 2, w - 1})
            if (x < w && !clear(x, y)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::InitLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 4096) return -1;
    fuzz::Reader in(data, size);
    const size_t live = fuzz::LiveBlocks();

    const int32_t format = Pick(in, {0, 4, 16, 8});
    const int32_t even_odd = Pick(in, {0, 1});
    const int32_t antialias = Pick(in, {0, 1, 999});
    const int32_t mode = Pick(in, {0, 1, 3, 2});
    const int32_t margin = in.Range(-8, 8);
    // Scale in 1/16 steps up to 4; 0 and a mirrored scale now and then.
    const int32_t step = in.Range(-1, 64);
    const FIXED scale = step < 0 ? -fx::kOne : step * (fx::kOne / 16);
    const double s = step > 16 ? step / 16.0 : 1.0;

    fuzz::ListShape shape;
    shape.span = static_cast<int32_t>((kMaxSide - 40) / s);
    shape.lo = -shape.span / 8;
    std::vector<KyPath *> recs = fuzz::ReadList(in, shape);
    if (recs.empty()) return 0;
    KyPath *start = recs[in.Range(0, static_cast<int32_t>(recs.size()) - 1)];
    if (in.U8() == 1) start->flags = 1;  // the record alone, whatever its group
    const std::vector<uint8_t> before = fuzz::Snapshot(recs[0]);
    const bool border_check = step == 16 && margin >= 0 && format != 16 && PlainTypes(recs);

    Y32Rect *rects = reinterpret_cast<Y32Rect *>(1);
    PathBuf *bufs = reinterpret_cast<PathBuf *>(1);
    const int32_t n = KyPathToBuf(start, format, even_odd, antialias, mode, scale, &rects, &bufs, margin);
    fuzz::Check(fuzz::Snapshot(recs[0]) == before, kName, "the list was changed");
    fuzz::Check(n >= 0 && static_cast<size_t>(n) <= recs.size(), kName, "more buffers than groups");
    if (n == 0) {
        fuzz::Check(!rects && !bufs, kName, "nothing rendered but an output left behind");
    } else {
        fuzz::Check(rects && bufs, kName, "buffers counted but not handed over");
        fuzz::Check(GlobalSize(rects) >= n * sizeof(Y32Rect) && GlobalSize(bufs) >= n * sizeof(PathBuf), kName,
                    "arrays shorter than the count");
        for (int32_t i = 0; i < n; ++i) {
            uint32_t w = 0, h = 0;
            int32_t depth = 0;
            fuzz::Check(KyPathBufGetWHU(bufs[i], &w, &h, &depth) == 1, kName, "a null buffer in the array");
            fuzz::Check(depth == (format == 4 ? 32 : 8), kName, "buffer of the wrong depth");
            const Y32Rect r = rects[i];
            fuzz::Check(int64_t{r.right} - r.left == w && int64_t{r.bottom} - r.top == h, kName,
                        "buffer and rectangle differ in size");
            fuzz::Check(KyPathBufSize(bufs[i]) >= size_t{w} * h * (depth / 8), kName, "buffer shorter than its size");
            if (border_check) fuzz::Check(BorderClear(bufs[i], w, h, depth), kName, "drawn in the margin");
            KyPathBufFree(bufs[i]);
        }
        GlobalFree(rects);
        GlobalFree(bufs);
    }
    KyPathDeletePtr(recs[0], 0);
    fuzz::Check(fuzz::LiveBlocks() == live, kName, "private heap blocks left behind");
    return 0;
}
