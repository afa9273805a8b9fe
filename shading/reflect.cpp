// shading/reflect.cpp - reflection and texture wrapping: KyPathReflectIt
// and KyPathBumpIt.
//
// The bevelled object is taken as a relief inside the unit sphere: a pixel
// corner at image position (x, y) with surface height h sits at
//   p = ((x - cx) / R, (y - cy) / R, h / R),  R = (width + height) / 2,
// and the ray from p along the surface normal N meets the sphere at
//   q = p + t N,  t = sqrt((p . N)^2 - (p . p - 1)) - p . N.
// q picks the environment pixel: longitude from qx, latitude from qy.
// The four corners of a pixel give four environment positions; the pixel
// takes the average of the environment over their bounding box, so a
// steep rim (corners far apart) blurs the reflection as a curved mirror
// does.
//
// Sound limits: a corner outside the sphere (a bevel higher than the
// sphere, or a far image corner) may see no intersection; it takes the
// nearest point of its ray instead (the discriminant is held at 0) and q is
// kept within the sphere's extent, so every position lies on the
// environment. A footprint wider than 16 environment pixels is sampled on
// a 16 x 16 grid rather than pixel by pixel, bounding the cost per pixel.
#include <cmath>
#include <cstring>

#include "core/diag.h"
#include "raster/pixel_buffer.h"
#include "shading/light_model.h"
#include "y32path/shading.h"

namespace shade {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Latitude scales of the angular mapping (nonzero vector format), as the
// environment images of the two uses were made.
constexpr double kReflectLatitude = 0.6365372374283896;
constexpr double kTextureLatitude = 0.6366199048125918;  // 2 / 3.14159
constexpr int kMaxSamplesPerAxis = 16;

struct EnvPoint {
    double u, v;
};

struct ReflectJob {
    Bevel bevel;
    SurfaceMaps surface;
    PathBuf image = nullptr;
    const uint8_t *select = nullptr;
    PathBuf env = nullptr;
    uint32_t env_w = 0, env_h = 0;
    bool angular = false;
    double latitude = kReflectLatitude;
};

inline double Clamp1(double v) { return v > 1.0 ? 1.0 : (v < -1.0 ? -1.0 : (v == v ? v : 0.0)); }

EnvPoint CornerPoint(const ReflectJob &job, uint32_t cx, uint32_t cy) {
    const uint32_t w = job.surface.width, h = job.surface.height;
    const uint32_t px = cx < w ? cx : w - 1, py = cy < h ? cy : h - 1;
    Normals normals;
    SurfaceAt(job.bevel, job.surface, px, py, &normals);
    const Vec3 n = MixedNormal(normals);
    const ReliefVectors rv = ReadVectors(pbuf::Row(job.surface.vec, py), px, job.surface.float_layout);
    double height = std::sqrt(rv.first.x * rv.first.x + rv.first.y * rv.first.y);
    const double width = job.bevel.width > 0.0 ? job.bevel.width : 0.0;
    if (!(height < width)) height = width;
    if (job.bevel.depth != 0) height *= job.bevel.depth / 30.0;
    const double r = (w + static_cast<double>(h)) / 2.0;
    const Vec3 p{(cx - w / 2.0) / r, (cy - h / 2.0) / r, height / r};
    const double pn = p.x * n.x + p.y * n.y + p.z * n.z;
    double disc = pn * pn - (p.x * p.x + p.y * p.y + p.z * p.z - 1.0);
    if (!(disc > 0.0)) disc = 0.0;
    const double t = std::sqrt(disc) - pn;
    const double qx = Clamp1(p.x + t * n.x), qy = Clamp1(p.y + t * n.y);
    double qxl = qx;
    if (job.angular) {
        const double ring = std::sqrt(1.0 - qy * qy);
        qxl = ring > 1e-12 ? Clamp1(qx / ring) : 0.0;
    }
    EnvPoint e;
    e.u = (1.0 - std::acos(qxl) / kPi) * job.env_w;
    e.v = job.angular ? (std::asin(qy) * job.latitude + 1.0) * job.env_h / 2.0 : (qy + 1.0) * job.env_h / 2.0;
    return e;
}

// Average of the environment over the box of four positions.
void Footprint(const ReflectJob &job, EnvPoint c[4], double out[3]) {
    const double quarter = job.env_w / 4.0;
    double u0 = c[0].u, u1 = c[0].u, v0 = c[0].v, v1 = c[0].v;
    for (int i = 1; i < 4; ++i) {
        // Across the seam of the environment's longitude.
        if (c[i].u - c[0].u > quarter) c[i].u -= job.env_w;
        else if (c[0].u - c[i].u > quarter) c[i].u += job.env_w;
        u0 = c[i].u < u0 ? c[i].u : u0;
        u1 = c[i].u > u1 ? c[i].u : u1;
        v0 = c[i].v < v0 ? c[i].v : v0;
        v1 = c[i].v > v1 ? c[i].v : v1;
    }
    const int64_t ew = job.env_w, eh = job.env_h;
    const int64_t col0 = static_cast<int64_t>(std::floor(u0)), col1 = static_cast<int64_t>(std::floor(u1));
    int64_t row0 = static_cast<int64_t>(std::floor(v0)), row1 = static_cast<int64_t>(std::floor(v1));
    row0 = row0 < 0 ? 0 : (row0 >= eh ? eh - 1 : row0);
    row1 = row1 < 0 ? 0 : (row1 >= eh ? eh - 1 : row1);
    const int64_t col_step = (col1 - col0) / kMaxSamplesPerAxis + 1;
    const int64_t row_step = (row1 - row0) / kMaxSamplesPerAxis + 1;
    double sum[3] = {0, 0, 0};
    int64_t count = 0;
    for (int64_t row = row0; row <= row1; row += row_step) {
        const uint8_t *line = pbuf::Row(job.env, static_cast<uint32_t>(row));
        for (int64_t col = col0; col <= col1; col += col_step) {
            const int64_t wrapped = ((col % ew) + ew) % ew;
            const uint8_t *px = line + wrapped * 3;
            sum[0] += px[0];
            sum[1] += px[1];
            sum[2] += px[2];
            ++count;
        }
    }
    for (int k = 0; k < 3; ++k) out[k] = sum[k] / count;
}

void Reflect(const ReflectJob &job) {
    const uint32_t w = job.surface.width, h = job.surface.height;
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t *px = pbuf::Row(job.image, y);
        for (uint32_t x = 0; x < w; ++x, px += 3) {
            const uint32_t m = job.select[static_cast<size_t>(y) * w + x];
            if (m == 0) continue;
            EnvPoint c[4] = {CornerPoint(job, x, y), CornerPoint(job, x + 1, y), CornerPoint(job, x, y + 1),
                             CornerPoint(job, x + 1, y + 1)};
            double avg[3];
            Footprint(job, c, avg);
            for (int k = 0; k < 3; ++k)
                px[k] = static_cast<uint8_t>((avg[k] * m + px[k] * (255.0 - m)) / 255.0 + 0.5);
        }
    }
}

// Argument checks shared by both exports; false (3200 reported) when a
// buffer does not fit.
bool PrepareReflect(PathBuf image, PathBuf vec, PathBuf env, PathBuf mask, PathBuf mask2, bool use_mask2,
                    PathBuf bump, int32_t bump_percent, bool float_layout, ReflectJob *job) {
    const uint32_t w = pbuf::Width(image), h = pbuf::Height(image);
    const bool with_bump = bump_percent != 0 && bump;
    if (pbuf::Depth(image) != 24 || w == 0 || h == 0 || pbuf::Depth(env) != 24 || pbuf::Width(env) == 0 ||
        pbuf::Height(env) == 0 || !Fits(vec, 64, w, h) || !Fits(mask, 8, w, h) ||
        (use_mask2 && !Fits(mask2, 8, w, h)) || (with_bump && !Fits(bump, 8, w, h))) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitMetallic);
        return false;
    }
    job->image = image;
    job->select = static_cast<const uint8_t *>(use_mask2 ? mask2 : mask);
    job->env = env;
    job->env_w = pbuf::Width(env);
    job->env_h = pbuf::Height(env);
    job->angular = float_layout;
    SurfaceMaps &s = job->surface;
    s.width = w;
    s.height = h;
    s.vec = vec;
    s.float_layout = float_layout;
    s.mask2 = use_mask2 ? mask2 : nullptr;
    s.bump = with_bump ? bump : nullptr;
    s.bump_scale = with_bump ? bump_percent * 0.01 / 128.0 : 0.0;
    return true;
}

}  // namespace

}  // namespace shade

using namespace shade;

Y32_BEGIN_C

int32_t KyPathReflectIt(int32_t kind, double W, ReliefVectorMap vectorMap, PathBuf image, int32_t invert,
                        int32_t depth, int32_t vectorFormat, PathBuf environment, int32_t useMask2, PathBuf mask,
                        PathBuf mask2, int32_t bumpPercent, PathBuf bumpMap) {
    if (!vectorMap || !image || !environment || !mask) return 0;
    ReflectJob job;
    if (!PrepareReflect(image, vectorMap, environment, mask, mask2, useMask2 != 0, bumpMap, bumpPercent,
                        vectorFormat != 0, &job))
        return 0;
    job.bevel = MakeBevel(W, kind, invert, depth, 0);
    job.latitude = kReflectLatitude;
    Reflect(job);
    return 1;
}

int32_t KyPathBumpIt(int32_t kind, double W, ReliefVectorMap vectorMap, PathBuf image, int32_t invert, int32_t depth,
                     int32_t vectorFormat, PathBuf texture, int32_t useMask2, PathBuf mask, PathBuf mask2) {
    if (!vectorMap || !image || !texture || !mask) return 0;
    ReflectJob job;
    if (!PrepareReflect(image, vectorMap, texture, mask, mask2, useMask2 != 0, nullptr, 0, vectorFormat != 0, &job))
        return 0;
    job.bevel = MakeBevel(W, kind, invert, depth, 0);
    job.latitude = kTextureLatitude;
    Reflect(job);
    return 1;
}

Y32_END_C
