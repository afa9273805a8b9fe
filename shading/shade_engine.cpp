// shading/shade_engine.cpp - the per-pixel loop of the Phong and metallic
// shaders (see shade_engine.h).
#include "shading/shade_engine.h"

#include <cmath>
#include <cstring>

#include "core/diag.h"
#include "raster/pixel_buffer.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#define Y32_FACE_WIDE 1
#endif

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

// The bevel pixels of a row that take the common road (one normal of
// weight 1 from a single relief vector; no spotlight, second mask or bump
// map; a Phong highlight) are gathered in chunks and shaded one stage at a
// time over the chunk: the normals, then each light, then the bytes. Each
// stage is a plain loop over arrays with the same arithmetic, in the same
// order, as the pixel-by-pixel road, so the bytes come out the same.
// Profiling put the pixel-by-pixel road at about 400 instructions per bevel
// pixel, most of them in moving a pixel's normals, weights and light sums
// through small structures and re-testing per pixel what is fixed per call.
// A chunk's arrays (about 22 KB on the stack) stay in the first-level cache.
constexpr int kChunk = 128;

// The chunk stages are plain loops the compiler vectorises; on x86-64 they
// are built for AVX-512, for AVX2 and for the baseline, and the loader
// picks one for the processor. Vector and scalar instructions round alike (and no
// multiply-add is fused: -ffp-contract=off), so both give the same bytes.
// Vectorising needs square roots that leave errno alone (the file is built
// with -fno-math-errno) and arithmetic the compiler may evaluate on both
// sides of a selection; the results are the same, and nothing here reads
// errno or the exception flags.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC push_options
#pragma GCC optimize("no-trapping-math")
#if defined(__x86_64__)
#define Y32_CHUNK_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif
#endif
#ifndef Y32_CHUNK_CLONES
#define Y32_CHUNK_CLONES
#endif

struct Chunk {
    int n = 0;
    uint32_t at[kChunk];  // x of each pixel
    double vx[kChunk], vy[kChunk];
    double nx[kChunk], ny[kChunk], nz[kChunk];
    double d[kChunk], slope[kChunk];
    int32_t index[kChunk];
    double diffuse[kChunk], added[3][kChunk], specular[kChunk];
    double rl[kChunk], power[kChunk], square[kChunk];  // per light: R . L and its power
    double base[3][kChunk];                            // the pixels' bytes
    int32_t level[3][kChunk];                          // gamma table indices
};

// Everything the chunk stages read that is fixed for the call.
struct ChunkBevel {
    const ProfileEntry *table;
    double width, index_scale, depth_scale;
    bool chamfer, no_mixing, invert, depth;
};

// Written without branches so that the loops below vectorise.
inline int ChunkIndex(double d, double scale) {
    const double i = d * scale;
    const double top = kProfileSteps - 1;
    return static_cast<int>(!(i >= 0.0) ? 0.0 : (i >= top ? top : i));
}

// The vector gives the flat face's normal: too short, or at or beyond W.
inline bool ChunkFlat(const ChunkBevel &b, double x, double y, double d) {
    return (d < 1e-6) | ((std::fabs(x) < 1e-6) & (std::fabs(y) < 1e-6)) | !(d < b.width);
}

Y32_CHUNK_CLONES void ChunkNormals(const ChunkBevel &bevel, Chunk &c) {
    const ChunkBevel b = bevel;  // a copy the stores into c cannot alias
    const int n = c.n;
    for (int i = 0; i < n; ++i) {
        const double x = c.vx[i], y = c.vy[i];
        const double d = std::sqrt(x * x + y * y);
        c.d[i] = d;
        c.index[i] = ChunkIndex(d, b.index_scale);
    }
    if (b.chamfer) {
        for (int i = 0; i < n; ++i) c.slope[i] = c.d[i];
    } else {
        for (int i = 0; i < n; ++i) c.slope[i] = b.table[c.index[i]].slope;
    }
    const double depth_scale = b.depth ? b.depth_scale : 1.0;
    for (int i = 0; i < n; ++i) {
        const double x = c.vx[i], y = c.vy[i], d = c.d[i];
        const bool flat = ChunkFlat(b, x, y, d);
        const double fx = b.invert ? -x : x, fy = b.invert ? -y : y;
        const double fz = b.depth ? c.slope[i] * depth_scale : c.slope[i];
        const double len = std::sqrt(fx * fx + fy * fy + fz * fz);
        double inv = 1.0 / len;
        const bool keep = !(len > 0.0);
        c.nx[i] = flat ? 0.0 : (keep ? fx : fx * inv);
        c.ny[i] = flat ? 0.0 : (keep ? fy : fy * inv);
        c.nz[i] = flat ? 1.0 : (keep ? fz : fz * inv);
    }
}

Y32_CHUNK_CLONES void ChunkLight(const PixelLight &l, const double colour[3], Chunk &c) {
    const int n = c.n;
    const double lx = l.dir.x, ly = l.dir.y, lz = l.dir.z, diffuse = l.diffuse, specular = l.specular;
    for (int i = 0; i < n; ++i) {
        const double nz = c.nz[i];
        const double nl = c.nx[i] * lx + c.ny[i] * ly + nz * lz;
        c.diffuse[i] = nl >= 0.0 ? c.diffuse[i] + nl * diffuse : c.diffuse[i];
        c.rl[i] = 2.0 * nz * nl - lz;
    }
    // r^e by squaring, one bit of the exponent at a time over the whole
    // chunk (the multiplications of each pixel in the same order as one
    // pixel at a time).
    if (l.whole >= 0) {
        for (int i = 0; i < n; ++i) {
            c.power[i] = 1.0;
            c.square[i] = c.rl[i];
        }
        for (int32_t e = l.whole; e; e >>= 1) {
            if (e & 1)
                for (int i = 0; i < n; ++i) c.power[i] *= c.square[i];
            for (int i = 0; i < n; ++i) c.square[i] *= c.square[i];
        }
    } else {
        for (int i = 0; i < n; ++i) c.power[i] = c.rl[i] >= 0.01 ? std::pow(c.rl[i], l.exponent) : 0.0;
    }
    for (int k = 0; k < 3; ++k) {
        const double ck = colour[k];
        for (int i = 0; i < n; ++i)
            c.added[k][i] = c.rl[i] >= 0.01 ? c.added[k][i] + ck * (c.power[i] * specular) : c.added[k][i];
    }
    for (int i = 0; i < n; ++i) c.specular[i] = c.rl[i] >= 0.01 ? c.specular[i] + c.power[i] * specular : c.specular[i];
}

// The gamma table index of each channel: the capped sum truncated, 0 for
// anything not above 0 (what Channel gives, as the cap leaves no NaN).
Y32_CHUNK_CLONES void ChunkLevels(const ShadeJob &job, Chunk &c) {
    const int n = c.n;
    for (int k = 0; k < 3; ++k) {
        const double ambient = job.ambient, fixed = job.ambient_colour[k];
        const bool use_fixed = job.fixed_ambient;
        for (int i = 0; i < n; ++i) {
            const double base = c.base[k][i];
            const double acc = (use_fixed ? fixed : base * ambient) + base * c.diffuse[i] + c.added[k][i];
            const double capped = acc < 255.0 ? acc : 255.0;
            c.level[k][i] = static_cast<int32_t>(capped > 0.0 ? capped : 0.0);
        }
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC pop_options
#endif

#ifdef Y32_FACE_WIDE
// 64 face pixels at once where the processor has byte permutes across a
// 64-byte register (AVX-512 VBMI): each channel's 256-byte table is four
// registers, looked up with two two-register permutes and a blend on the
// index's top bit; the three channels' results are then interleaved by
// byte position. False, with nothing written, unless all 64 pixels are
// selected and have zero relief slots.
constexpr uint64_t ChannelBits(int offset, int channel) {
    uint64_t bits = 0;
    for (int i = 0; i < 64; ++i)
        if ((offset + i) % 3 == channel) bits |= uint64_t{1} << i;
    return bits;
}
constexpr uint64_t kChannel1[3] = {ChannelBits(0, 1), ChannelBits(64, 1), ChannelBits(128, 1)};
constexpr uint64_t kChannel2[3] = {ChannelBits(0, 2), ChannelBits(64, 2), ChannelBits(128, 2)};

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) bool FaceBlockWide(const uint8_t *select,
                                                                          const uint8_t *slots, uint8_t *px,
                                                                          const uint8_t (*face)[256]) {
    const __m512i m = _mm512_loadu_si512(select);
    if (_mm512_test_epi8_mask(m, m) != ~uint64_t{0}) return false;
    __m512i any = _mm512_loadu_si512(slots);
    for (int j = 1; j < 8; ++j) any = _mm512_or_si512(any, _mm512_loadu_si512(slots + 64 * j));
    if (_mm512_test_epi64_mask(any, any) != 0) return false;
    __m512i table[3][4];
    for (int k = 0; k < 3; ++k)
        for (int q = 0; q < 4; ++q) table[k][q] = _mm512_loadu_si512(face[k] + 64 * q);
    for (int v = 0; v < 3; ++v) {
        const __m512i b = _mm512_loadu_si512(px + 64 * v);
        const __mmask64 high = _mm512_movepi8_mask(b);
        __m512i r[3];
        for (int k = 0; k < 3; ++k) {
            const __m512i lo = _mm512_permutex2var_epi8(table[k][0], b, table[k][1]);
            const __m512i hi = _mm512_permutex2var_epi8(table[k][2], b, table[k][3]);
            r[k] = _mm512_mask_blend_epi8(high, lo, hi);
        }
        __m512i out = _mm512_mask_blend_epi8(kChannel1[v], r[0], r[1]);
        out = _mm512_mask_blend_epi8(kChannel2[v], out, r[2]);
        _mm512_storeu_si512(px + 64 * v, out);
    }
    return true;
}

bool HasFaceBlockWide() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}
#endif

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
    // image is such face, so without a spotlight, a second mask or a bump
    // map (which vary per pixel) the face is shaded once per byte value into
    // a table, through the same code, and looked up; a highlight buffer is
    // raised by the same amount at every face pixel. Profiling put four
    // fifths of the time in building a normal for pixels that turn out flat.
    const bool face_table = !any_spot && !job.surface.mask2 && !job.surface.bump;
    uint8_t face[3][256];
    int face_raise = 0;
    if (face_table) {
        Normals flat;
        flat.count = 0;
        BevelNormals(job.bevel, Vec2{0, 0}, 1.0, &flat);
        for (int b = 0; b < 256; ++b) {
            const uint8_t in[3] = {static_cast<uint8_t>(b), static_cast<uint8_t>(b), static_cast<uint8_t>(b)};
            uint8_t lit[3];
            face_raise = Channel(255.0 * shade(flat, in, lit));
            for (int k = 0; k < 3; ++k) face[k][b] = lit[k];
        }
    }
    const uint8_t *vec_bytes = static_cast<const uint8_t *>(job.surface.vec);
    const uint8_t *dist_bytes = static_cast<const uint8_t *>(job.surface.dist);

    // The chunked road: Phong only (the metallic highlight reads a table
    // per light), one-bevel kinds, and the face table's conditions.
    const Bevel &bevel = job.bevel;
    const bool two_bevel = bevel.kind >= 100 && bevel.kind <= 104;
    const bool chunked = face_table && !job.reflectance && bevel.table && !two_bevel;
    ChunkBevel cb{bevel.table, bevel.width, bevel.index_scale, bevel.depth != 0 ? 30.0 / bevel.depth : 1.0,
                  bevel.kind == 1, bevel.no_mixing, bevel.invert, bevel.depth != 0};
    const bool mixing = cb.chamfer && !cb.no_mixing;
    const bool face_run = face_table && !job.raise;
#ifdef Y32_FACE_WIDE
    static const bool wide = HasFaceBlockWide();
    const bool face_wide = face_run && wide;
#endif
    Chunk chunk;

    Normals normals;
    auto general = [&](uint32_t x, uint32_t y, uint8_t *px) {
        const size_t at = static_cast<size_t>(y) * width + x;
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
            if (job.raise_scale) r *= job.raise_scale[at] / 255.0;
            const int v = job.raise[at] + Channel(r);
            job.raise[at] = static_cast<uint8_t>(v > 255 ? 255 : v);
        }
    };
    auto flush = [&](uint32_t y, uint8_t *row_px) {
        if (chunk.n == 0) return;
        const int n = chunk.n;
        ChunkNormals(cb, chunk);
        std::memset(chunk.diffuse, 0, sizeof(double) * n);
        std::memset(chunk.specular, 0, sizeof(double) * n);
        for (int k = 0; k < 3; ++k) std::memset(chunk.added[k], 0, sizeof(double) * n);
        for (int i = 0; i < job.light_count; ++i) ChunkLight(lights[i], job.light[i].colour, chunk);
        for (int i = 0; i < n; ++i) {
            const uint8_t *px = row_px + static_cast<size_t>(chunk.at[i]) * 3;
            for (int k = 0; k < 3; ++k) chunk.base[k][i] = px[k];
        }
        ChunkLevels(job, chunk);
        uint8_t *raise_row = job.raise ? job.raise + static_cast<size_t>(y) * width : nullptr;
        for (int i = 0; i < n; ++i) {
            const uint32_t x = chunk.at[i];
            uint8_t *px = row_px + static_cast<size_t>(x) * 3;
            // The chamfer's last pixel before W lights two normals.
            if (mixing && !(chunk.d[i] <= cb.width - 1.0) && !ChunkFlat(cb, chunk.vx[i], chunk.vy[i], chunk.d[i])) {
                general(x, y, px);
                continue;
            }
            px[0] = gamma[chunk.level[0][i]];
            px[1] = gamma[chunk.level[1][i]];
            px[2] = gamma[chunk.level[2][i]];
            if (raise_row) {
                const int v = raise_row[x] + Channel(255.0 * chunk.specular[i]);
                raise_row[x] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        }
        chunk.n = 0;
    };

    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *row_px = pbuf::Row(job.image, y);
        uint8_t *px = row_px;
        const size_t row = static_cast<size_t>(y) * width;
        for (uint32_t x = 0; x < width; ++x, px += 3) {
#ifdef Y32_FACE_WIDE
            if (face_wide && x % 64 == 0 && x + 64 <= width &&
                FaceBlockWide(job.select + row + x, vec_bytes + (row + x) * 8, px, face)) {
                x += 63;
                px += 189;
                continue;
            }
#endif
            // Eight face pixels in a row, all selected, take the table in
            // one go: most of an image is such runs, and the per-pixel tests
            // cost more than the lookups.
            if (face_run && x + 8 <= width && x % 8 == 0) {
                uint64_t selected, any = 0;
                // The relief slots stream in at 8 bytes a pixel: ask for
                // them early.
                __builtin_prefetch(vec_bytes + (row + x) * 8 + 1024);
                __builtin_prefetch(px + 384, 1);
                std::memcpy(&selected, job.select + row + x, 8);
                for (int j = 0; j < 8; ++j) {
                    uint64_t slot;
                    std::memcpy(&slot, vec_bytes + (row + x + j) * 8, 8);
                    any |= slot;
                }
                const uint64_t ones = 0x0101010101010101ull;
                if (any == 0 && ((selected - ones) & ~selected & (ones << 7)) == 0) {
                    for (int j = 0; j < 24; j += 3) {
                        px[j] = face[0][px[j]];
                        px[j + 1] = face[1][px[j + 1]];
                        px[j + 2] = face[2][px[j + 2]];
                    }
                    x += 7;
                    px += 21;
                    continue;
                }
            }
            if (job.select[row + x] == 0) continue;
            if (face_table) {
                const uint8_t *slot_bytes = vec_bytes + (row + x) * 8;
                uint64_t slot;
                std::memcpy(&slot, slot_bytes, 8);
                if (slot == 0) {
                    px[0] = face[0][px[0]];
                    px[1] = face[1][px[1]];
                    px[2] = face[2][px[2]];
                    if (job.raise) {
                        const int v = job.raise[row + x] + face_raise;
                        job.raise[row + x] = static_cast<uint8_t>(v > 255 ? 255 : v);
                    }
                    continue;
                }
                if (chunked) {
                    double vx, vy;
                    bool second = false;
                    int16_t w[4];
                    if (job.surface.float_layout) {
                        float f[2];
                        std::memcpy(f, slot_bytes, sizeof f);
                        vx = f[0];
                        vy = f[1];
                    } else {
                        std::memcpy(w, slot_bytes, sizeof w);
                        vx = w[0] / 256.0;
                        vy = w[1] / 256.0;
                        second = w[2] != 0 || w[3] != 0;
                    }
                    bool outside = false;
                    if (dist_bytes) {
                        // Only bevel pixels read the distance map, too
                        // sparsely for the hardware to stream it; the
                        // bevel's pixels on the next row lie below these.
                        __builtin_prefetch(dist_bytes + (row + width + x) * 4);
                        float dv;
                        std::memcpy(&dv, dist_bytes + (row + x) * 4, 4);
                        if (dv < 0.0f) {
                            vx = vx * -0.1;
                            vy = vy * -0.1;
                            outside = true;
                        }
                    }
                    if (!outside && second) {
                        // A ridge mixes the two sides' normals: the general road.
                        const double sx = w[2] / 256.0, sy = w[3] / 256.0;
                        const double d1 = std::sqrt(vx * vx + vy * vy), d2 = std::sqrt(sx * sx + sy * sy);
                        if (std::fabs(d1 - d2) <= 0.7) {
                            general(x, y, px);
                            continue;
                        }
                    }
                    chunk.at[chunk.n] = x;
                    chunk.vx[chunk.n] = vx;
                    chunk.vy[chunk.n] = vy;
                    if (++chunk.n == kChunk) flush(y, row_px);
                    continue;
                }
            }
            general(x, y, px);
        }
        flush(y, row_px);
    }
}

}  // namespace shade
