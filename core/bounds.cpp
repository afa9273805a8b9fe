// core/bounds.cpp - the bounding-box accumulator and the box exports.
#include "core/bounds.h"

#include <cmath>

#include "core/fixed.h"
#include "core/path_record.h"
#include "core/point_walk.h"
#include "y32path/view.h"

namespace bounds {

namespace {

// Truncation toward zero to a signed 16-bit value, the way rotated corners
// have always been stored: the integer part wraps, it does not saturate.
// (Images beyond 32767 pixels are outside what these boxes support.)
int32_t TruncToInt16(double d) {
    int64_t wide;
    if (!(d == d)) wide = 0;
    else if (d >= 9.2e18) wide = INT64_MAX;
    else if (d <= -9.2e18) wide = INT64_MIN;
    else wide = static_cast<int64_t>(d);
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(wide)));
}

// Truncation toward zero, saturated to 32 bits.
int32_t TruncToInt32(double d) {
    if (!(d == d)) return 0;
    if (d <= -2147483648.0) return INT32_MIN;
    if (d >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(d);
}

int32_t AddSat(int32_t v, int32_t d) {
    int64_t r = int64_t{v} + d;
    return r < INT32_MIN ? INT32_MIN : (r > INT32_MAX ? INT32_MAX : static_cast<int32_t>(r));
}

double Coordinate(FIXED f, Units units) {
    return units == Units::kWholePixels ? static_cast<double>(fx::Floor(f)) : fx::ToDouble(f);
}

// Point 0 and point 1 are opposite corners, point 2's x the angle in
// radians. Each corner turns about the centre.
void AddRotatedCorners(const KyPath *p, Extent &e) {
    const PathPoint *pts = path::Points(p);
    double x0 = fx::ToDouble(pts[0].x), y0 = fx::ToDouble(pts[0].y);
    double x1 = fx::ToDouble(pts[1].x), y1 = fx::ToDouble(pts[1].y);
    double a = fx::ToDouble(pts[2].x);
    double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    double c = std::cos(a), s = std::sin(a);
    const double corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (const auto &k : corners) {
        double x = (k[0] - cx) * c + (k[1] - cy) * s + cx;
        double y = (cx - k[0]) * s + (k[1] - cy) * c + cy;
        e.Add(TruncToInt16(x), TruncToInt16(y));
    }
}

void AddRecord(const KyPath *p, Units units, Extent &e, Rotated rotated) {
    if (p->count <= 0 || path::HasNoExtent(p)) return;
    if (path::IsRotatedRect(p)) {
        if (rotated == Rotated::kCorners) AddRotatedCorners(p, e);
        return;
    }
    // The walker only hands out positions; it never writes.
    path::ForEachPosition(const_cast<KyPath *>(p), [&](const PathPoint &pt) {
        e.Add(Coordinate(pt.x, units), Coordinate(pt.y, units));
    });
}

Y32Rect ToRect(const Extent &e) {
    return Y32Rect{static_cast<int32_t>(e.minX), static_cast<int32_t>(e.minY), static_cast<int32_t>(e.maxX),
                   static_cast<int32_t>(e.maxY)};
}

}  // namespace

void Accumulate(const KyPath *p, Cover cover, Units units, Extent &e, Rotated rotated) {
    if (!p) return;
    switch (cover) {
        case Cover::kRecord:
            AddRecord(p, units, e, rotated);
            break;
        case Cover::kFollowing:
            for (const KyPath *r = p; r; r = r->next) AddRecord(r, units, e, rotated);
            break;
        case Cover::kGroup:
            // GroupNext ends the walk at a record whose slot holds an
            // OutlineInfo.
            for (const KyPath *r = p; r; r = path::GroupNext(r)) AddRecord(r, units, e, rotated);
            break;
        case Cover::kSelection:
            for (const KyPath *r = p; r; r = r->selNext) AddRecord(r, units, e, rotated);
            break;
        case Cover::kUnselected:
            for (const KyPath *r = PathFirst(const_cast<KyPath *>(p)); r; r = r->next)
                if (!(r->flags & KPF_SELECTED)) AddRecord(r, units, e, rotated);
            break;
    }
}

Extent SeedAtFirstPoint(const KyPath *p, Units units) {
    Extent e;
    // A record without points (a purged one has no point 0 at all) starts
    // at the origin, as a new zero-filled record would.
    if (p->count > 0) e.Add(Coordinate(path::Points(p)[0].x, units), Coordinate(path::Points(p)[0].y, units));
    else e.Add(0, 0);
    return e;
}

Y32Rect PixelBox(const KyPath *p, Cover cover, FIXED scale) {
    Extent e = SeedAtFirstPoint(p, Units::kWholePixels);
    Accumulate(p, cover, Units::kWholePixels, e);
    Y32Rect r = ToRect(e);
    if (!IsUnitScale(scale)) {
        double s = fx::ToDouble(scale);
        r = Y32Rect{TruncToInt32(r.left * s), TruncToInt32(r.top * s), TruncToInt32(r.right * s),
                    TruncToInt32(r.bottom * s)};
    }
    return r;
}

Y32Rect MarginBox(const KyPath *p, Cover cover, FIXED scale) {
    Y32Rect r = PixelBox(p, cover, scale);
    return Y32Rect{AddSat(r.left, -kMarginBefore), AddSat(r.top, -kMarginBefore), AddSat(r.right, kMarginAfter),
                   AddSat(r.bottom, kMarginAfter)};
}

Y32Rect RecordRect(const KyPath *p, FIXED scale) {
    constexpr int32_t kInverted = 10000;
    Y32Rect r{kInverted, kInverted, -kInverted, -kInverted};
    if (p) {
        Extent e;
        Accumulate(p, Cover::kRecord, Units::kWholePixels, e);
        if (!e.empty) r = ToRect(e);
    }
    if (!IsUnitScale(scale)) {
        double s = fx::ToDouble(scale);
        r = Y32Rect{TruncToInt32(r.left * s + 0.5), TruncToInt32(r.top * s + 0.5), TruncToInt32(r.right * s + 0.5),
                    TruncToInt32(r.bottom * s + 0.5)};
    }
    return r;
}

DoubleRect ImageBox(const KyPath *p, Cover cover) {
    Extent e = SeedAtFirstPoint(p, Units::kImage);
    Accumulate(p, cover, Units::kImage, e);
    return DoubleRect{e.minX, e.minY, e.maxX, e.maxY};
}

void SideMargins(const KyPath *p, int32_t mode, int32_t out[4]) {
    Extent e = SeedAtFirstPoint(p, Units::kImage);
    Accumulate(p, Cover::kGroup, Units::kImage, e, Rotated::kSkip);
    // Shift negative boxes by whole pixels so that the fractions below are
    // those of positive numbers; the shift does not change them otherwise.
    if (e.minX < 0) {
        double k = std::trunc(std::fabs(e.minX) + 5);
        e.minX += k;
        e.maxX += k;
    }
    if (e.minY < 0) {
        double k = std::trunc(std::fabs(e.minY) + 5);
        e.minY += k;
        e.maxY += k;
    }
    auto frac = [](double v) { return v - std::trunc(v); };
    if (mode == 0) {
        out[0] = frac(e.minX) >= 0.55 ? 6 : 5;
        out[1] = frac(e.minY) >= 0.5 ? 6 : 5;
        out[2] = frac(e.maxX) <= 0.45 ? 6 : 5;
        out[3] = frac(e.maxY) <= 0.45 ? 6 : 5;
    } else {
        out[0] = frac(e.minX) >= 0.5 ? 6 : 5;
        out[1] = frac(e.minY) >= 0.5 ? 6 : 5;
        out[2] = frac(e.maxX) <= 0.5 ? 5 : 4;
        out[3] = frac(e.maxY) <= 0.5 ? 5 : 4;
    }
}

}  // namespace bounds

namespace {

int32_t WriteMarginBox(KyPath *p, bounds::Cover cover, FIXED scale, Y32Rect *out) {
    if (!p || !out) return 0;
    *out = bounds::MarginBox(p, cover, scale);
    return 1;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathGetAllMiniMaxRect(KyPath *p, FIXED scale, Y32Rect *out) {
    return WriteMarginBox(p, bounds::Cover::kFollowing, scale, out);
}

int32_t KyPathGetMiniMaxRect(KyPath *p, FIXED scale, Y32Rect *out) {
    return WriteMarginBox(p, bounds::Cover::kGroup, scale, out);
}

int32_t KyPathGetSelectedRect(KyPath *p, FIXED scale, Y32Rect *out) {
    return WriteMarginBox(p, bounds::Cover::kSelection, scale, out);
}

int32_t KyPathGetUnselectedRect(KyPath *p, FIXED scale, Y32Rect *out) {
    return WriteMarginBox(p, bounds::Cover::kUnselected, scale, out);
}

int32_t KyPathGetRealRect(KyPath *p, FIXED scale, Y32Rect *out) {
    if (!p || !out) return 0;
    *out = bounds::PixelBox(p, bounds::Cover::kFollowing, scale);
    return 1;
}

void KyPathGetRect(KyPath *p, FIXED scale, Y32Rect *out) {
    if (out) *out = bounds::RecordRect(p, scale);
}

int32_t KyPathGetDoubleRectNoMargin(KyPath *p, double *out) {
    if (!p || !out) return 0;
    bounds::DoubleRect r = bounds::ImageBox(p, bounds::Cover::kGroup);
    out[0] = r.minX;
    out[1] = r.minY;
    out[2] = r.maxX;
    out[3] = r.maxY;
    return 1;
}

int32_t KyPathGetDoubleMiniMaxRect(KyPath *p, FIXED /*scale*/, double *out) {
    // The scale is not applied: every caller passes 1.0, and the image-unit
    // box is what they position against.
    if (!p || !out) return 0;
    bounds::DoubleRect r = bounds::ImageBox(p, bounds::Cover::kGroup);
    out[0] = r.minX - bounds::kMarginBefore;
    out[1] = r.minY - bounds::kMarginBefore;
    out[2] = r.maxX + bounds::kMarginAfter;
    out[3] = r.maxY + bounds::kMarginAfter;
    return 1;
}

int32_t KyPathGetMargin(KyPath *p, int32_t mode, int32_t *out) {
    if (!p || !out || path::HasOutlineInfo(p)) return 0;
    bounds::SideMargins(p, mode, out);
    return 1;
}

Y32_END_C
