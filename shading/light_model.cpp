// shading/light_model.cpp - light sets, profile table, gamma table and the
// normal construction (see light_model.h).
#include "shading/light_model.h"

#include <cmath>
#include <cstring>

#include "raster/pixel_buffer.h"

namespace shade {

namespace {

// 1 / sqrt(3), as the host's light presets store it.
constexpr double kDiag = 0.5773502;

constexpr LightSet kPhongAtLoad = {
    {
        {{-kDiag, -kDiag, kDiag}, 0.75, 0.8, 28.0, {255, 255, 255}},
        {{kDiag, -kDiag, kDiag}, 0.75, 0.8, 28.0, {255, 255, 255}},
        {{-kDiag, kDiag, kDiag}, 0.75, 0.8, 28.0, {255, 255, 255}},
        {{kDiag, kDiag, kDiag}, 0.75, 0.8, 28.0, {255, 255, 255}},
    },
    0.2,
    {0, 0, 0},
    4.0,
};

constexpr MetalLights kMetalAtLoad = {0.8, {0.3, 0.3, 0.3, 0.3}, {2.0, 2.0, 2.0, 2.0}, {8.0, 8.0, 8.0, 8.0}};

LightSet g_phong = kPhongAtLoad;
MetalLights g_metal = kMetalAtLoad;
uint8_t g_gamma[256];  // zero until ShadingGammaToMap

struct ProfileCache {
    bool valid = false;
    int32_t kind = 0;
    double width = 0;
    int32_t depth = 0;
    int32_t invert = 0;
    uint32_t builds = 0;
    ProfileEntry entry[kProfileEntries];
};
ProfileCache g_profile;

bool IsTwoBevel(int32_t kind) { return kind >= 100 && kind <= 104; }

// Rounded bevel entry at distance d < W.
ProfileEntry RoundEntry(double d, double w, bool invert) {
    double u = 1.0 - d / w;  // cosine of the angle along the quarter circle, in (0, 1]
    double h = std::sin(std::acos(u)) * w;
    if (!invert) return ProfileEntry{std::tan(std::acos(u)) * d, h};
    return ProfileEntry{d / std::tan(std::asin(u)), -h};
}

void BuildProfile(ProfileCache &c, int32_t kind, double w, bool invert) {
    const bool chamfer = kind == 1;
    // Two-bevel kinds keep the rounded table in the first 4096 entries and
    // its mirror image behind it.
    const int computed = IsTwoBevel(kind) ? kProfileSteps : kProfileEntries;
    for (int i = 0; i < computed; ++i) {
        double d = i * w / kProfileSteps;
        if (!(d < w)) {
            c.entry[i] = ProfileEntry{1.0, 0.0};
        } else if (chamfer) {
            c.entry[i] = ProfileEntry{d, invert ? -d : d};
        } else {
            c.entry[i] = RoundEntry(d, w, invert);
        }
    }
    for (int i = computed; i < kProfileEntries; ++i) c.entry[i] = c.entry[2 * kProfileSteps - 1 - i];
}

inline Vec3 Normalised(Vec3 n) {
    const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(len > 0.0)) return n;
    const double inv = 1.0 / len;  // one division instead of three: this is per pixel
    return Vec3{n.x * inv, n.y * inv, n.z * inv};
}

// truncate(d x scale) within 0 .. 4095; the multiplication by a scale
// computed once per call replaces a division per pixel.
inline int IndexAt(double d, double scale) {
    const double i = d * scale;
    if (!(i >= 0.0)) return 0;
    if (i >= kProfileSteps - 1) return kProfileSteps - 1;
    return static_cast<int>(i);
}

constexpr Vec3 kFlat{0.0, 0.0, 1.0};

void Push(Normals *out, Vec3 n, double w) {
    if (w <= 0.0 || out->count >= 4) return;
    out->n[out->count] = n;
    out->w[out->count] = w;
    ++out->count;
}

// Inversion, depth and length: the last step for every bevel normal.
Vec3 Finish(const Bevel &b, Vec3 n) {
    if (b.invert) {
        n.x = -n.x;
        n.y = -n.y;
    }
    if (b.depth != 0) n.z *= 30.0 / b.depth;
    return Normalised(n);
}

// Slope term of a half-width bevel at local distance dl (0 <= dl < W / 2).
double HalfSlope(const Bevel &b, bool round, double dl) {
    if (!round) return dl;
    return b.table[IndexAt(2.0 * dl, b.index_scale)].slope * 0.5;
}

// The two halves of kinds 100..104. `u` is the unit direction of the relief
// vector. A half at or beyond its own top is flat; a half at its foot is a
// vertical wall facing along its direction.
Vec3 OuterNormal(const Bevel &b, Vec2 v, double d, bool *flat) {
    const bool round = b.kind == 100 || b.kind == 101 || b.kind == 104;
    *flat = !(d < b.width * 0.5);
    if (*flat) return kFlat;
    return Finish(b, Vec3{v.x, v.y, HalfSlope(b, round, d)});
}

Vec3 InnerNormal(const Bevel &b, Vec2 u, double d, bool *flat) {
    const double half = b.width * 0.5;
    const bool round = b.kind == 100 || b.kind == 102 || b.kind == 104;
    const bool mirrored = b.kind == 103 || b.kind == 104;
    double dl = mirrored ? b.width - d : d - half;
    if (dl < 0.0) dl = 0.0;
    Vec2 dir = mirrored ? Vec2{-u.x, -u.y} : u;
    *flat = !(dl < half);
    if (*flat) return kFlat;
    if (dl < 1e-6) return Finish(b, Vec3{dir.x, dir.y, 0.0});
    return Finish(b, Vec3{dir.x * dl, dir.y * dl, HalfSlope(b, round, dl)});
}

}  // namespace

LightSet &PhongLights() { return g_phong; }
void ResetPhongLights() { g_phong = kPhongAtLoad; }
MetalLights &MetallicLights() { return g_metal; }
void ResetMetallicLights() { g_metal = kMetalAtLoad; }

const ProfileEntry *Profile(int32_t kind, double width, int32_t depth, int32_t invert) {
    ProfileCache &c = g_profile;
    if (!(width > 0.0) || !std::isfinite(width)) return nullptr;
    if (c.valid && c.kind == kind && c.width == width && c.depth == depth && c.invert == invert) return c.entry;
    BuildProfile(c, kind, width, invert != 0);
    c.valid = true;
    c.kind = kind;
    c.width = width;
    c.depth = depth;
    c.invert = invert;
    ++c.builds;
    return c.entry;
}

int ProfileIndex(double d, double width) { return IndexAt(d, kProfileSteps / width); }

uint32_t ProfileBuildCount() { return g_profile.builds; }

const uint8_t *Gamma() { return g_gamma; }

uint8_t FillGamma() {
    for (int i = 0; i < 256; ++i) g_gamma[i] = static_cast<uint8_t>(std::pow(i / 255.0, 0.625) * 255.0);
    return g_gamma[255];
}

void ClearGamma() { std::memset(g_gamma, 0, sizeof g_gamma); }

Bevel MakeBevel(double width, int32_t kind, int32_t invert, int32_t depth, int32_t blend_mode) {
    Bevel b;
    b.width = width;
    b.kind = kind;
    b.invert = invert != 0;
    b.depth = depth;
    b.no_mixing = blend_mode == 1;
    b.table = Profile(kind, width, depth, invert);
    if (b.table) b.index_scale = kProfileSteps / width;
    return b;
}

namespace {

// The body of BevelNormals, taking the vector as two scalars: passed as a
// Vec2 it was packed through the stack into one register pair on every
// call, and the load waited on the two stores (a stall profiling found at
// the top of the shading loop).
inline void BevelNormalsOf(const Bevel &b, double vx, double vy, double weight, Normals *out) {
    const Vec2 v{vx, vy};
    const double d = std::sqrt(v.x * v.x + v.y * v.y);
    // !(d < W) also catches a NaN vector and a NaN or non-positive width.
    if (!b.table || d < 1e-6 || (std::fabs(v.x) < 1e-6 && std::fabs(v.y) < 1e-6) || !(d < b.width)) {
        Push(out, kFlat, weight);
        return;
    }
    const double w = b.width;
    if (b.kind == 1) {
        Vec3 n = Finish(b, Vec3{v.x, v.y, d});
        if (b.no_mixing || d <= w - 1.0) {
            Push(out, n, weight);
            return;
        }
        // The last pixel before W: the chamfer's edge, anti-aliased by
        // lighting the slope and the flat top in proportion.
        const double t = w - d;
        Push(out, n, weight * t);
        Push(out, kFlat, weight * (1.0 - t));
        return;
    }
    if (IsTwoBevel(b.kind)) {
        const double half = w * 0.5;
        const Vec2 u{v.x / d, v.y / d};
        bool flat_outer = false, flat_inner = false;
        if (b.no_mixing ? d < half : d < half - 0.5) {
            Push(out, OuterNormal(b, v, d, &flat_outer), weight);
        } else if (!b.no_mixing && d < half + 0.5) {
            const double t = 1.0 - (d - (half - 0.5));
            Push(out, OuterNormal(b, v, d, &flat_outer), weight * t);
            Push(out, InnerNormal(b, u, d, &flat_inner), weight * (1.0 - t));
        } else {
            Push(out, InnerNormal(b, u, d, &flat_inner), weight);
        }
        return;
    }
    Push(out, Finish(b, Vec3{v.x, v.y, b.table[IndexAt(d, b.index_scale)].slope}), weight);
}

}  // namespace

void BevelNormals(const Bevel &b, Vec2 v, double weight, Normals *out) { BevelNormalsOf(b, v.x, v.y, weight, out); }

Vec3 MixedNormal(const Normals &n) {
    if (n.count == 1) return n.n[0];
    Vec3 m{0, 0, 0};
    for (int i = 0; i < n.count; ++i) {
        m.x += n.n[i].x * n.w[i];
        m.y += n.n[i].y * n.w[i];
        m.z += n.n[i].z * n.w[i];
    }
    return Normalised(m);
}

ReliefVectors ReadVectors(const uint8_t *row, size_t x, bool float_layout) {
    const uint8_t *slot = row + x * 8;
    ReliefVectors r{};
    if (float_layout) {
        float f[2];
        std::memcpy(f, slot, sizeof f);
        r.first = Vec2{f[0], f[1]};
        return r;
    }
    int16_t w[4];
    std::memcpy(w, slot, sizeof w);
    r.first = Vec2{w[0] / 256.0, w[1] / 256.0};
    // A second vector along an axis has one zero word: either word counts.
    r.has_second = w[2] != 0 || w[3] != 0;
    if (r.has_second) r.second = Vec2{w[2] / 256.0, w[3] / 256.0};
    return r;
}

bool Fits(PathBuf buf, int32_t depth, uint32_t width, uint32_t height) {
    return buf && pbuf::Depth(buf) == depth && pbuf::Width(buf) == width && pbuf::Height(buf) == height;
}

void SurfaceAt(const Bevel &bevel, const SurfaceMaps &maps, uint32_t x, uint32_t y, Normals *out) {
    out->count = 0;
    const size_t index = static_cast<size_t>(y) * maps.width + x;
    ReliefVectors rv = ReadVectors(pbuf::Row(maps.vec, y), x, maps.float_layout);
    bool outside = false;
    if (maps.dist) {
        float dv;
        std::memcpy(&dv, static_cast<const uint8_t *>(maps.dist) + index * 4, 4);
        if (dv < 0.0f) {
            // The anti-aliased rim outside the path: a short vector pointing
            // out, so the rim continues the bevel's outer wall.
            rv.first = Vec2{rv.first.x * -0.1, rv.first.y * -0.1};
            outside = true;
        }
    }
    if (!outside && rv.has_second) {
        const double d1 = std::sqrt(rv.first.x * rv.first.x + rv.first.y * rv.first.y);
        const double d2 = std::sqrt(rv.second.x * rv.second.x + rv.second.y * rv.second.y);
        const double diff = std::fabs(d1 - d2);
        if (diff <= 0.7) {
            // A ridge or corner: both sides lit, the nearer one weighing more
            // the more it is nearer.
            const double w = diff * 0.71 + 0.5;
            BevelNormalsOf(bevel, rv.first.x, rv.first.y, w, out);
            BevelNormalsOf(bevel, rv.second.x, rv.second.y, 1.0 - w, out);
        } else {
            BevelNormalsOf(bevel, rv.first.x, rv.first.y, 1.0, out);
        }
    } else {
        BevelNormalsOf(bevel, rv.first.x, rv.first.y, 1.0, out);
    }
    if (maps.mask2) {
        const uint8_t m = static_cast<const uint8_t *>(maps.mask2)[index];
        if (m == 255) {
            out->n[0] = kFlat;
            out->w[0] = 1.0;
            out->count = 1;
        } else if (m > 0) {
            const double a = 1.0 - m / 255.0;
            for (int i = 0; i < out->count; ++i) {
                Vec3 &n = out->n[i];
                n = Normalised(Vec3{a * n.x, a * n.y, (1.0 - a) + a * n.z});
            }
        }
    }
    if (maps.bump && maps.bump_scale != 0.0) {
        const uint8_t *b = static_cast<const uint8_t *>(maps.bump) + index;
        const int dx = x > 0 ? b[0] - b[-1] : 0;
        const int dy = y > 0 ? b[0] - b[-static_cast<ptrdiff_t>(maps.width)] : 0;
        if (dx != 0 || dy != 0) {
            for (int i = 0; i < out->count; ++i) {
                Vec3 &n = out->n[i];
                n = Normalised(Vec3{n.x - dx * maps.bump_scale, n.y - dy * maps.bump_scale, n.z});
            }
        }
    }
}

}  // namespace shade
