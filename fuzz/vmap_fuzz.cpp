// fuzz/vmap_fuzz.cpp - libFuzzer target for the relief builder: small
// random paths (or one marked as a primitive shape), every mode, offset
// and format, bevel widths up to a few pixels, the caller's mask of the
// right size, a wrong size or the wrong depth, and a progress callback
// that may cancel.
//
// Beyond AddressSanitizer's checks the target aborts when the path was
// changed, when a success lacks a map it asked for or has maps of the
// wrong depth or size or with values that are not numbers, when a failure
// leaves a map behind, or when private-heap blocks are left.
#include <cmath>
#include <cstring>
#include <limits>

#include "core/fixed.h"
#include "fuzz_paths.h"
#include "raster/path_to_buf.h"
#include "y32path/relief.h"

namespace {

constexpr const char *kName = "vmap_fuzz";

// Cancels on the n-th progress call when n is not 0.
int32_t Countdown(int32_t code, int32_t, int32_t, intptr_t user) {
    auto *left = reinterpret_cast<int32_t *>(user);
    if (code != RELIEF_PROGRESS || *left == 0) return 1;
    return --*left != 0;
}

bool AllFinite(PathBuf buf, int depth) {
    uint32_t w = 0, h = 0;
    int32_t d = 0;
    KyPathBufGetWHU(buf, &w, &h, &d);
    const size_t n = size_t{w} * h * (depth == 32 ? 1 : 2);
    const uint8_t *bytes = static_cast<const uint8_t *>(buf);
    for (size_t i = 0; i < n; ++i) {
        float f;
        std::memcpy(&f, bytes + i * 4, 4);
        if (!std::isfinite(f)) return false;
    }
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

    const uint8_t want = in.Range(1, 3);  // 1 distance, 2 vectors, 3 both
    const int32_t even_odd = in.U8() & 1;
    const int32_t primitive_bevel = in.U8() & 1;
    const int32_t object_own = in.U8() & 1;
    const int32_t object_mode = object_own | (in.U8() & 1) << 16;
    const int32_t offset = in.Range(-6, 6);
    const int32_t fast_mode = in.U8() & 1;
    const int32_t vector_format = in.U8() & 1;
    const uint8_t w8 = in.U8();
    double bevel = w8 == 255 ? std::numeric_limits<double>::quiet_NaN() : (w8 - 16) / 16.0;  // -1 .. 14.9
    const FIXED scale = in.Range(8, 32) * (fx::kOne / 16);                                    // 0.5 .. 2
    const uint8_t mask_kind = in.U8() % 4;  // 0 none, 1 the right size, 2 another size, 3 32-bit
    int32_t cancel_after = in.Range(0, 8);
    static const int32_t kShapes[] = {0, 0, 1, 2, 3, 5, 350};
    const int32_t shape_code = kShapes[in.U8() % 7];

    fuzz::ListShape shape;
    shape.max_records = 3;
    shape.max_points = 24;
    shape.lo = 0, shape.span = 48;
    shape.raw_types = in.U8() == 7;
    std::vector<KyPath *> recs = fuzz::ReadList(in, shape);
    if (recs.empty()) return 0;
    recs[0]->shape = shape_code;
    if (object_mode & 1 && in.U8() & 1)
        for (KyPath *r : recs) r->flags |= 0x40000000u;
    const std::vector<uint8_t> before = fuzz::Snapshot(recs[0]);

    PathBuf mask = nullptr;
    if (mask_kind) {
        const Y32Rect r = raster::GroupRect(recs[0], false, scale);
        int64_t w = int64_t{r.right} - r.left + 2 * std::abs(offset), h = int64_t{r.bottom} - r.top + 2 * std::abs(offset);
        if (mask_kind >= 2) w = in.Range(0, 64), h = in.Range(0, 64);
        if (w >= 0 && h >= 0 && w <= 512 && h <= 512) {
            mask = KyPathBufAlloc(mask_kind == 3 ? 32 : 8, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0, 0);
            if (mask && mask_kind != 3) {
                std::vector<uint8_t> pixels = in.Rest(size_t(w * h));
                if (!pixels.empty()) std::memcpy(mask, pixels.data(), pixels.size());
            }
        }
    }

    ReliefProgress progress{0, &Countdown, reinterpret_cast<intptr_t>(&cancel_after), 0, 0};
    PathBuf dist = (want & 1) ? reinterpret_cast<PathBuf>(1) : nullptr;
    PathBuf vecs = (want & 2) ? reinterpret_cast<PathBuf>(1) : nullptr;
    const double asked = bevel;
    const int32_t ok = KyPathVMap(recs[0], &dist, &vecs, even_odd, primitive_bevel, object_mode, offset, fast_mode,
                                  &bevel, vector_format, mask != nullptr, mask, &progress, scale);
    fuzz::Check(fuzz::Snapshot(recs[0]) == before, kName, "the path was changed");
    if (mask && mask_kind == 3) fuzz::Check(ok == 0, kName, "a mask that is not 8-bit was used");
    if (ok == 1) {
        fuzz::Check(!(want & 1) || dist, kName, "no distance map though one was asked for");
        fuzz::Check(!(want & 2) || vecs, kName, "no vector map though one was asked for");
        fuzz::Check(bevel >= 1.0, kName, "a bevel width below one pixel given back");
        uint32_t dw = 0, dh = 0, vw = 0, vh = 0;
        int32_t dd = 0, vd = 0;
        if (dist) {
            KyPathBufGetWHU(dist, &dw, &dh, &dd);
            fuzz::Check(dd == 32, kName, "distance map is not 32-bit");
            fuzz::Check(AllFinite(dist, 32), kName, "a distance that is not a number");
        }
        if (vecs) {
            KyPathBufGetWHU(vecs, &vw, &vh, &vd);
            fuzz::Check(vd == 64, kName, "vector map is not 64-bit");
            if (vector_format) fuzz::Check(AllFinite(vecs, 64), kName, "a vector that is not a number");
        }
        if (dist && vecs) fuzz::Check(dw == vw && dh == vh, kName, "the two maps differ in size");
        if (mask) {
            uint32_t mw = 0, mh = 0;
            int32_t md = 0;
            KyPathBufGetWHU(mask, &mw, &mh, &md);
            fuzz::Check((!dist || (dw == mw && dh == mh)) && (!vecs || (vw == mw && vh == mh)), kName,
                        "maps not of the mask's size");
        }
        if (!(asked > 0.0)) fuzz::Check(bevel == 1.0, kName, "no relief asked for but a width given back");
    } else {
        fuzz::Check(ok == 0 && !dist && !vecs, kName, "a failure left a map behind");
    }
    KyPathBufFree(dist);
    KyPathBufFree(vecs);
    KyPathBufFree(mask);
    KyPathDeletePtr(recs[0], 0);
    fuzz::Check(fuzz::LiveBlocks() == live, kName, "private heap blocks left behind");
    return 0;
}
