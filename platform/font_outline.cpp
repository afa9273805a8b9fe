// platform/font_outline.cpp - glyph contours into the native polygon form.
//
// A contour is walked once from its first on-curve point round to that
// point again. Runs of straight pieces collect into one line record, runs
// of quadratic controls into one spline record ending at the next on-curve
// point, and each cubic arc is replaced by quadratic arcs, one spline
// record (control, end) per arc, since an end point in the middle of a
// spline record would be read as a control.
#include "platform/font_outline.h"

#include <cmath>
#include <cstring>

#include "platform/fonts.h"

namespace plat::font {
namespace {

Vec Mid(Vec a, Vec b) { return Vec{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5}; }

// Pixels to 16.16, rounded to the nearest step; out-of-range values clamp
// (no glyph comes near 32767 pixels, but a matrix from a caller might).
int32_t ToFixed(double v) {
    double f = std::nearbyint(v * 65536.0);
    if (!(f > -2147483648.0)) return INT32_MIN;  // also NaN
    if (f > 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(f);
}

class PolygonWriter {
  public:
    PolygonWriter(std::vector<uint8_t> &out, const Affine &m) : out_(out), m_(m) {}

    void Begin(Vec start) {
        start_at_ = out_.size();
        PolygonHeader h{0, kPolygonType, 0, 0};
        Map(start, &h.x, &h.y);
        Put(&h, sizeof h);
    }
    void Record(uint16_t type, const std::vector<Vec> &pts) {
        if (pts.empty()) return;
        CurveHeader c{type, static_cast<uint16_t>(pts.size())};
        Put(&c, sizeof c);
        for (const Vec &p : pts) {
            PointFx f;
            Map(p, &f.x, &f.y);
            Put(&f, sizeof f);
        }
    }
    void End() {
        uint32_t cb = static_cast<uint32_t>(out_.size() - start_at_);
        std::memcpy(out_.data() + start_at_, &cb, sizeof cb);
    }
    void Abandon() { out_.resize(start_at_); }

  private:
    void Map(Vec p, int32_t *x, int32_t *y) const {
        *x = ToFixed(m_.xx * p.x + m_.xy * p.y);
        *y = ToFixed(m_.yx * p.x + m_.yy * p.y);
    }
    void Put(const void *bytes, size_t n) {
        const auto *b = static_cast<const uint8_t *>(bytes);
        out_.insert(out_.end(), b, b + n);
    }
    std::vector<uint8_t> &out_;
    const Affine &m_;
    size_t start_at_ = 0;
};

// A spline record holds at most 65535 points; glyphs stay far below, so a
// longer run is simply cut into records that each end on an implied point.
constexpr size_t kMaxRecordPoints = 0xFFFF;

bool AppendContour(const SourcePoint *pts, int32_t n, const Affine &m, double tolerance_fu,
                   std::vector<uint8_t> &out) {
    if (n < 2) return false;
    int32_t first_on = -1;
    for (int32_t i = 0; i < n; ++i)
        if (pts[i].tag == PointTag::kOn) {
            first_on = i;
            break;
        }

    // The points in walking order, ending with the start point again.
    struct Step {
        Vec p;
        PointTag tag;
    };
    std::vector<Step> seq;
    seq.reserve(static_cast<size_t>(n) + 1);
    Vec start;
    if (first_on >= 0) {
        start = Vec{pts[first_on].x, pts[first_on].y};
        for (int32_t k = 1; k < n; ++k) {
            const SourcePoint &s = pts[(first_on + k) % n];
            seq.push_back(Step{Vec{s.x, s.y}, s.tag});
        }
    } else {
        // No point on the curve: TrueType allows it, and the curve then
        // starts between the last and the first control.
        for (int32_t k = 0; k < n; ++k)
            if (pts[k].tag != PointTag::kConic) return false;
        start = Mid(Vec{pts[n - 1].x, pts[n - 1].y}, Vec{pts[0].x, pts[0].y});
        for (int32_t k = 0; k < n; ++k) seq.push_back(Step{Vec{pts[k].x, pts[k].y}, pts[k].tag});
    }
    seq.push_back(Step{start, PointTag::kOn});

    PolygonWriter w(out, m);
    w.Begin(start);
    std::vector<Vec> lines, controls, arcs;
    Vec cur = start;
    bool last_was_line = false;
    auto flush_lines = [&] {
        w.Record(kPrimLine, lines);
        lines.clear();
    };
    for (size_t j = 0; j < seq.size(); ++j) {
        const Step &s = seq[j];
        if (s.tag == PointTag::kOn) {
            if (!controls.empty()) {
                flush_lines();
                controls.push_back(s.p);
                w.Record(kPrimQSpline, controls);
                controls.clear();
                last_was_line = false;
            } else {
                if (lines.size() == kMaxRecordPoints) flush_lines();
                lines.push_back(s.p);
                last_was_line = true;
            }
            cur = s.p;
        } else if (s.tag == PointTag::kConic) {
            if (controls.size() + 1 >= kMaxRecordPoints) {
                // End this record on the implied point before the new control.
                Vec implied = Mid(controls.back(), s.p);
                flush_lines();
                controls.push_back(implied);
                w.Record(kPrimQSpline, controls);
                controls.clear();
            }
            controls.push_back(s.p);
        } else {
            if (!controls.empty() || j + 2 >= seq.size() || seq[j + 1].tag != PointTag::kCubic ||
                seq[j + 2].tag != PointTag::kOn) {
                w.Abandon();
                return false;
            }
            flush_lines();
            arcs.clear();
            CubicToQuadratics(cur, s.p, seq[j + 1].p, seq[j + 2].p, tolerance_fu, arcs);
            for (size_t a = 0; a + 1 < arcs.size(); a += 2) w.Record(kPrimQSpline, {arcs[a], arcs[a + 1]});
            cur = seq[j + 2].p;
            last_was_line = false;
            j += 2;
        }
    }
    // The closing straight piece back to the start is implied.
    if (last_was_line && !lines.empty()) lines.pop_back();
    flush_lines();
    w.End();
    return true;
}

Vec CubicPoint(Vec p0, Vec c1, Vec c2, Vec p3, double t) {
    double u = 1.0 - t;
    double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    return Vec{b0 * p0.x + b1 * c1.x + b2 * c2.x + b3 * p3.x, b0 * p0.y + b1 * c1.y + b2 * c2.y + b3 * p3.y};
}
Vec CubicDerivative(Vec p0, Vec c1, Vec c2, Vec p3, double t) {
    double u = 1.0 - t;
    double d0 = 3 * u * u, d1 = 6 * u * t, d2 = 3 * t * t;
    return Vec{d0 * (c1.x - p0.x) + d1 * (c2.x - c1.x) + d2 * (p3.x - c2.x),
               d0 * (c1.y - p0.y) + d1 * (c2.y - c1.y) + d2 * (p3.y - c2.y)};
}

}  // namespace

int32_t CubicToQuadratics(Vec p0, Vec c1, Vec c2, Vec p3, double tolerance, std::vector<Vec> &out) {
    // The quadratic with control (3 (c1 + c2) - (p0 + p3)) / 4 differs from
    // the cubic by d/2 t (1-t) (1-2t) at parameter t, d = p3 - 3 c2 + 3 c1 -
    // p0, whose largest size is sqrt(3)/36 |d| (at t = (3 - sqrt 3)/6). A
    // piece of 1/n of the parameter range has d/n^3, so n pieces are enough
    // when sqrt(3)/36 |d| / n^3 <= tolerance.
    double dx = p3.x - 3 * c2.x + 3 * c1.x - p0.x;
    double dy = p3.y - 3 * c2.y + 3 * c1.y - p0.y;
    double worst = std::sqrt(3.0) / 36.0 * std::hypot(dx, dy);
    int32_t n = 1;
    if (tolerance > 0 && worst > tolerance) {
        double pieces = std::ceil(std::cbrt(worst / tolerance));
        // Beyond 256 pieces the cubic spans millions of font units; no font
        // does that, and the outline only grows.
        n = pieces > 256.0 ? 256 : static_cast<int32_t>(pieces);
    }
    Vec a = p0;
    Vec da = CubicDerivative(p0, c1, c2, p3, 0.0);
    for (int32_t i = 1; i <= n; ++i) {
        double t1 = static_cast<double>(i) / n;
        double h = 1.0 / (3.0 * n);
        Vec b = i == n ? p3 : CubicPoint(p0, c1, c2, p3, t1);
        Vec db = CubicDerivative(p0, c1, c2, p3, t1);
        // Controls of the piece: a + h a', b - h b'.
        Vec k1{a.x + h * da.x, a.y + h * da.y};
        Vec k2{b.x - h * db.x, b.y - h * db.y};
        out.push_back(Vec{(3 * (k1.x + k2.x) - (a.x + b.x)) * 0.25, (3 * (k1.y + k2.y) - (a.y + b.y)) * 0.25});
        out.push_back(b);
        a = b;
        da = db;
    }
    return n;
}

void AppendNativeOutline(const SourcePoint *points, const int32_t *contour_ends, int32_t contours, const Affine &m,
                         double tolerance_fu, std::vector<uint8_t> &out) {
    int32_t begin = 0;
    for (int32_t c = 0; c < contours; ++c) {
        int32_t end = contour_ends[c];
        if (end < begin) break;  // malformed table: stop rather than read backwards
        AppendContour(points + begin, end - begin + 1, m, tolerance_fu, out);
        begin = end + 1;
    }
}

}  // namespace plat::font
