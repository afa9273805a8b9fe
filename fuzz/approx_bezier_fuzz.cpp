// fuzz/approx_bezier_fuzz.cpp - libFuzzer target for the freehand curve
// fitter: up to 600 window points (the fitter uses at most 512), a view
// whose zoom and scroll come from the input (zero, negative and non-finite
// zooms included) and any tolerance.
//
// Beyond AddressSanitizer's checks the target aborts when the result does
// not have the shape of a fitted curve (a move, then whole curves, the
// closing curve when asked for), when it does not start at the first
// point, when a refusal was expected and a path came back, or when blocks
// are left on the private heap.
#include <cmath>
#include <cstring>
#include <limits>

#include "core/fixed.h"
#include "fuzz_paths.h"
#include "y32path/shapes.h"

namespace {

constexpr const char *kName = "approx_bezier_fuzz";

double ReadDouble(fuzz::Reader &in) {
    const uint64_t bits = in.U64();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double PickZoom(fuzz::Reader &in) {
    static const double kZooms[] = {1.0, 0.5, 2.0, 3.0, 0.01, 100.0, 0.0, -1.0,
                                    std::numeric_limits<double>::infinity(), 1e-300};
    const uint8_t i = in.U8();
    return i < 10 ? kZooms[i] : i == 255 ? ReadDouble(in) : 1.0;
}

double PickTolerance(fuzz::Reader &in) {
    const uint8_t i = in.U8();
    if (i == 255) return ReadDouble(in);
    if (i == 254) return std::numeric_limits<double>::quiet_NaN();
    if (i == 253) return -1.0;
    return i / 8.0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::InitLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 8192) return -1;
    fuzz::Reader in(data, size);
    const size_t live = fuzz::LiveBlocks();

    CoordStruct view{};
    view.right = 800, view.bottom = 600;
    view.zoom = PickZoom(in);
    view.scrollX = in.Range(-1000, 1000);
    view.scrollY = in.Range(-1000, 1000);
    const double tolerance = PickTolerance(in);
    const int32_t closed = in.U8() & 1;
    // Points as a dragged pointer gives them: mostly small steps from the
    // last one, now and then a jump anywhere.
    const int32_t count = in.Range(0, 600);
    std::vector<POINT> pts(static_cast<size_t>(count));
    int32_t x = 400, y = 300;
    for (POINT &p : pts) {
        const uint8_t how = in.U8();
        if (how == 255) {
            x = in.I32(), y = in.I32();
        } else if (how >= 128) {
            x = in.Range(-2000, 2000), y = in.Range(-2000, 2000);
        } else {
            // Wrapping steps: a pointer near the end of the range stays legal input.
            x = static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(static_cast<int8_t>(in.U8()) / 8));
            y = static_cast<int32_t>(static_cast<uint32_t>(y) + static_cast<uint32_t>(static_cast<int8_t>(in.U8()) / 8));
        }
        p.x = x, p.y = y;
    }

    KyPath *p = KyPathCreateApproximateBezier(&view, count, pts.data(), tolerance, closed);
    if (count < 3 || view.zoom == 0.0) fuzz::Check(!p, kName, "a path from points that cannot be fitted");
    if (p) {
        fuzz::Check(fuzz::CheckList(kName, p) == 1 && !p->groupNext && !p->selNext, kName, "a linked record");
        const int32_t n = p->count;
        fuzz::Check(n >= 4 && (n - 1) % 3 == 0, kName, "not a move followed by whole curves");
        const PathPoint *q = path::Points(p);
        fuzz::Check(q[0].type == PT_MOVETO, kName, "does not start with a move");
        for (int32_t i = 1; i < n - 1; ++i) fuzz::Check(q[i].type == PT_BEZIERTO, kName, "a point that is not a curve");
        fuzz::Check(q[n - 1].type == (closed ? PT_BEZIERTO | PT_CLOSEFIGURE : PT_BEZIERTO), kName,
                    "the last point does not close as asked");
        // The curve starts on the first point as the view maps it.
        const double zx = (view.scrollX + static_cast<double>(pts[0].x)) / view.zoom;
        const double zy = (view.scrollY + static_cast<double>(pts[0].y)) / view.zoom;
        if (std::fabs(zx) < 30000 && std::fabs(zy) < 30000) {
            const int32_t qx = q[0].x, qy = q[0].y;
            fuzz::Check(std::fabs(fx::ToDouble(qx) - zx) < 0.001 && std::fabs(fx::ToDouble(qy) - zy) < 0.001, kName,
                        "the curve does not start on the first point");
        }
        KyPathDeletePtr(p, 0);
    }
    fuzz::Check(fuzz::LiveBlocks() == live, kName, "private heap blocks left behind");
    return 0;
}
