// shading/shade_engine.cpp - the per-pixel loop of the Phong and metallic
// shaders (see shade_engine.h).
#include "shading/shade_engine.h"

#include <cmath>
#include <cstring>

#include "core/diag.h"
#include "raster/pixel_buffer.h"

namespace shade {

namespace {

// Truncation to a byte that also survives NaN (an unusable light direction
// from the host): negative and NaN give 0, 255 and above give 255.
inline int Channel(double v) { return v >= 255.0 ? 255 : (v > 0.0 ? static_cast<int>(v) : 0); }

// Index into the reflectance table for a cosine in 0 .. 1. The table holds
// 1000 entries; a cosine of 1 (or a hair above by rounding) takes the last.
inline int ReflectanceIndex(double c) {
    double i = c * 1000.0;
    if (!(i >= 0.0)) return 0;
    return i >= 999.0 ? 999 : static_cast<int>(i);
}

struct PixelLight {
    Vec3 dir;
    double diffuse, specular, exponent;
    double spot;       // 1 without a spotlight
    int32_t whole = -1;  // the exponent when it is a whole number 0..1024, else -1
};

// r^e. The host's Phong exponents are whole numbers: for those, squaring
// and multiplying is several times faster than pow and agrees with it to
// a few units in the last place (far below a level of 255).
inline double Power(double r, const PixelLight &l) {
    if (l.whole < 0) return std::pow(r, l.exponent);
    double result = 1.0, square = r;
    for (int32_t e = l.whole; e; e >>= 1) {
        if (e & 1) result *= square;
        square *= square;
    }
    return result;
}

// What the lights add at one normal: base x diffuse + added, and the
// specular intensity that raises a highlight buffer.
struct Lit {
    double diffuse;   // sum over lights of (N . L) x diffuse x spot
    double added[3];  // highlight colours times their intensities
    double specular;  // sum of the intensities
};

Lit LightNormal(const ShadeJob &job, const PixelLight *lights, Vec3 n, double flat_reflectance,
                double reflectance_range) {
    Lit lit{0, {0, 0, 0}, 0};
    for (int i = 0; i < job.light_count; ++i) {
        const PixelLight &l = lights[i];
        const double nl = n.x * l.dir.x + n.y * l.dir.y + n.z * l.dir.z;
        if (nl >= 0.0) lit.diffuse += nl * l.diffuse * l.spot;
        const double rl = 2.0 * n.z * nl - l.dir.z;  // R . L
        if (!job.reflectance) {
            if (rl >= 0.01) {
                const double s = Power(rl, l) * l.specular * l.spot;
                const double *c = job.light[i].colour;
                for (int k = 0; k < 3; ++k) lit.added[k] += c[k] * s;
                lit.specular += s;
            }
        } else if (rl >= 0.0) {
            const double s0 = Power(rl, l);
            const double f = (job.reflectance[ReflectanceIndex(s0)] - flat_reflectance) / reflectance_range;
            const double s = s0 * l.specular * l.spot;
            for (int k = 0; k < 3; ++k) {
                const double m = job.metal[k];
                lit.added[k] += (f >= 0.0 ? m + (255.0 - m) * f : m) * s;
            }
            lit.specular += s;
        }
    }
    return lit;
}

}  // namespace

double SpotHeightSingle(double spot_x, double spot_y) {
    double q = 2.0 * ((spot_x - 50.0) * (spot_x - 50.0) + (spot_y - 50.0) * (spot_y - 50.0));
    double h = 70.71 - std::sqrt(q);
    return h > 0.0 ? h : 0.0;
}

double SpotHeightMulti(double spot_x, double spot_y) {
    double q = 2.0 * ((spot_x - 50.0) * (spot_x - 50.0) + (spot_y - 50.0) * (spot_y - 50.0));
    return q < 5000.0 ? std::sqrt(5000.0 - q) : 0.0;
}

bool PrepareSurface(const ShadeBuffers &in, int32_t unit, ShadeJob *job) {
    const uint32_t w = pbuf::Width(in.image), h = pbuf::Height(in.image);
    const bool bump = in.bump_percent != 0 && in.bump;
    if (pbuf::Depth(in.image) != 24 || !Fits(in.vec, 64, w, h) || !Fits(in.mask, 8, w, h) ||
        (in.dist && !Fits(in.dist, 32, w, h)) || (in.use_mask2 && !Fits(in.mask2, 8, w, h)) ||
        (bump && !Fits(in.bump, 8, w, h))) {
        Y32_REPORT(diag::kErrUnsuitable, 1, unit);
        return false;
    }
    job->image = in.image;
    job->select = static_cast<const uint8_t *>(in.use_mask2 ? in.mask2 : in.mask);
    SurfaceMaps &s = job->surface;
    s.width = w;
    s.height = h;
    s.vec = in.vec;
    s.float_layout = in.float_layout;
    s.dist = in.dist;
    s.mask2 = in.use_mask2 ? in.mask2 : nullptr;
    s.bump = bump ? in.bump : nullptr;
    s.bump_scale = bump ? in.bump_percent * 0.01 / 128.0 : 0.0;
    return true;
}

void ShadeImage(const ShadeJob &job) {
    const uint32_t width = job.surface.width, height = job.surface.height;
    const uint8_t *gamma = Gamma();
    double flat_reflectance = 0, reflectance_range = 1;
    if (job.reflectance) {
        flat_reflectance = job.reflectance[999];
        reflectance_range = 1.0 - flat_reflectance;
        if (!(reflectance_range > 0.0)) reflectance_range = 1.0;
    }
    bool any_spot = false;
    PixelLight lights[kLightCount];
    for (int i = 0; i < job.light_count; ++i) {
        const ShadeLight &l = job.light[i];
        lights[i] = PixelLight{l.direction, l.diffuse, l.specular, l.exponent, 1.0, -1};
        if (l.exponent >= 0.0 && l.exponent <= 1024.0 && l.exponent == std::floor(l.exponent))
            lights[i].whole = static_cast<int32_t>(l.exponent);
        any_spot = any_spot || l.spot;
    }
    struct {
        bool valid = false;
        Vec3 n{0, 0, 0};
        Lit lit{0, {0, 0, 0}, 0};
    } cache;
    // A pixel's colour from its normals and its base colour; returns the
    // specular intensity that raises the highlight buffer.
    auto shade = [&](const Normals &normals, const uint8_t *in, uint8_t *px) {
        const double base[3] = {static_cast<double>(in[0]), static_cast<double>(in[1]), static_cast<double>(in[2])};
        double ambient[3];
        for (int k = 0; k < 3; ++k) ambient[k] = job.fixed_ambient ? job.ambient_colour[k] : base[k] * job.ambient;
        double out[3] = {0, 0, 0};
        double s_total = 0;
        for (int j = 0; j < normals.count; ++j) {
            const Vec3 n = normals.n[j];
            // Neighbours on a flat face or along a straight bevel share
            // their normal: its lighting is reused (not with a
            // spotlight, which changes from pixel to pixel).
            if (any_spot || !cache.valid || n.x != cache.n.x || n.y != cache.n.y || n.z != cache.n.z) {
                cache.lit = LightNormal(job, lights, n, flat_reflectance, reflectance_range);
                cache.n = n;
                cache.valid = true;
            }
            const Lit &lit = cache.lit;
            const double w = normals.w[j];
            for (int k = 0; k < 3; ++k) {
                const double acc = ambient[k] + base[k] * lit.diffuse + lit.added[k];
                out[k] += w * (acc < 255.0 ? acc : 255.0);
            }
            s_total += w * lit.specular;
        }
        px[0] = gamma[Channel(out[0])];
        px[1] = gamma[Channel(out[1])];
        px[2] = gamma[Channel(out[2])];
        return s_total;
    };

    // Pixels without a relief vector (a zero slot: no first and no second
    // vector) lie on the flat face whatever their distance, and there each
    // channel's result depends on that channel's byte alone. Most of an
    // image is such face, so without a spotlight, a second mask, a bump map
    // or a highlight buffer (which vary per pixel) the face is shaded once
    // per byte value into a table, through the same code, and looked up.
    // Profiling put four fifths of the time in building a normal for
    // pixels that turn out flat.
    const bool face_table = !any_spot && !job.surface.mask2 && !job.surface.bump && !job.raise;
    uint8_t face[3][256];
    if (face_table) {
        Normals flat;
        flat.count = 0;
        BevelNormals(job.bevel, Vec2{0, 0}, 1.0, &flat);
        for (int b = 0; b < 256; ++b) {
            const uint8_t in[3] = {static_cast<uint8_t>(b), static_cast<uint8_t>(b), static_cast<uint8_t>(b)};
            uint8_t lit[3];
            shade(flat, in, lit);
            for (int k = 0; k < 3; ++k) face[k][b] = lit[k];
        }
    }
    const uint8_t *vec_bytes = static_cast<const uint8_t *>(job.surface.vec);

    Normals normals;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *px = pbuf::Row(job.image, y);
        const size_t row = static_cast<size_t>(y) * width;
        for (uint32_t x = 0; x < width; ++x, px += 3) {
            if (job.select[row + x] == 0) continue;
            if (face_table) {
                uint64_t slot;
                std::memcpy(&slot, vec_bytes + (row + x) * 8, 8);
                if (slot == 0) {
                    px[0] = face[0][px[0]];
                    px[1] = face[1][px[1]];
                    px[2] = face[2][px[2]];
                    continue;
                }
            }
            SurfaceAt(job.bevel, job.surface, x, y, &normals);
            if (any_spot) {
                const double px_x = 100.0 * x / width, px_y = 100.0 * y / height;
                for (int i = 0; i < job.light_count; ++i) {
                    const ShadeLight &l = job.light[i];
                    if (!l.spot) continue;
                    Vec3 p{px_x - l.spot_x, px_y - l.spot_y, -l.spot_h};
                    double len = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
                    double f = len > 0.0 ? -(p.x * l.direction.x + p.y * l.direction.y + p.z * l.direction.z) / len
                                         : 0.0;
                    lights[i].spot = f >= 0.0 ? std::pow(f, job.spot_exponent) : 0.0;
                }
            }
            const double s_total = shade(normals, px, px);
            if (job.raise) {
                double r = 255.0 * s_total;
                if (job.raise_scale) r *= job.raise_scale[row + x] / 255.0;
                const int v = job.raise[row + x] + Channel(r);
                job.raise[row + x] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        }
    }
}

}  // namespace shade
