// shading/light_model.h - the light model every shader and the A-buffer
// renderer share: the library-wide light sets, the bevel profile table, the
// gamma table and the construction of a surface normal from a relief
// vector.
//
// Frame. x to the right, y down (image rows), z out of the image towards
// the viewer. A light direction is the unit vector from the surface towards
// the light; the viewer looks along -z, so the view vector is (0, 0, 1).
//
// Relief vectors (relief/relief_common.h) point from a pixel to its nearest
// outline point; their length d is the pixel's distance from the outline.
// A bevel of width W rises from the outline inwards: with the profile
// height h(d), the surface z = h(d) has the unnormalised normal
// (vx, vy, d / h'(d)). d / h'(d) is the profile's "slope term" and is what
// the table keeps, so a pixel's normal costs one lookup instead of
// trigonometry.
//
// Profile kinds:
//   0        quarter circle of radius W (a rounded bevel);
//   1        straight 45-degree chamfer;
//   100-104  two bevels of width W/2, an outer one (0 .. W/2) and an inner
//            one (W/2 .. W), mixed across one pixel at W/2:
//              100 round + round        (two rounded steps)
//              101 round + chamfer
//              102 chamfer + round
//              103 chamfer + chamfer mirrored (a sharp roof ridge at W/2)
//              104 round + round mirrored     (a rounded bead at W/2)
//            "Mirrored": the inner bevel falls back towards W instead of
//            rising on, its vector reversed and measured from W.
//   other    treated as kind 0.
// Each half uses the full-width table at twice the distance: a profile
// scaled to half the width has half the slope term at half the distance
// (d / h'(d) is homogeneous of degree 1 in d and W).
//
// Everything here is unguarded library-wide state: shading calls must not
// overlap (the host calls from one thread).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/vec.h"
#include "y32path/raster.h"

namespace shade {

using vec::Vec2;
using vec::Vec3;

// Units for failure reports of the shading family.
constexpr int32_t kUnitPhong = 31;     // light set, Phong shaders, gamma
constexpr int32_t kUnitMetallic = 32;  // metallic, reflection, bump, masks

// ---------------------------------------------------------------------------
// Light sets.

constexpr int kLightCount = 4;

struct Light {
    Vec3 direction;     // unit vector towards the light
    double diffuse;     // diffuse coefficient
    double specular;    // specular coefficient
    double exponent;    // Phong exponent
    uint8_t colour[3];  // highlight colour in the image's byte order: blue, green, red
};

struct LightSet {
    Light light[kLightCount];
    double ambient;            // factor applied to the base colour
    uint8_t ambient_colour[3]; // fixed ambient colour (blue, green, red), the factor times a host colour
    double spot_exponent;      // falloff exponent of the spotlight
};

// The Phong light set; its directions and spot exponent are shared by the
// metallic shaders. Defaults at load: lights from the four upper diagonals
// (0.5773502 each component, z towards the viewer), diffuse 0.75, specular
// 0.8, exponent 28, white; ambient 0.2, ambient colour black, spot
// exponent 4.
LightSet &PhongLights();
// Back to the values at load (tests start from them).
void ResetPhongLights();

// The metallic coefficients (ambient 0.8, diffuse 0.3, specular 2.0,
// exponent 8.0 at load).
struct MetalLights {
    double ambient;
    double diffuse[kLightCount];
    double specular[kLightCount];
    double exponent[kLightCount];
};
MetalLights &MetallicLights();
void ResetMetallicLights();

// ---------------------------------------------------------------------------
// Bevel profile table.

constexpr int kProfileSteps = 4096;    // entries across the bevel width
constexpr int kProfileEntries = 6192;  // kinds 100..104 mirror their table into the tail

struct ProfileEntry {
    double slope;   // the slope term d / h'(d) at d = i x W / 4096
    double height;  // h(d), negative for an inverted bevel
};

// The library-wide table for (kind, W, depth, invert), rebuilt only when
// one of the four differs from the last build. W must be positive and
// finite (callers treat anything else as "no bevel": every normal flat).
// Entries at or beyond W hold (1.0, 0.0). The pointer stays valid until
// the next call with other parameters.
const ProfileEntry *Profile(int32_t kind, double width, int32_t depth, int32_t invert);

// truncate(d x 4096 / W), kept within 0 .. 4095 (NaN gives 0).
int ProfileIndex(double d, double width);

// How many times the table has been built since load (tests watch the cache).
uint32_t ProfileBuildCount();

// ---------------------------------------------------------------------------
// Gamma table: 256 bytes, all zero at load, filled by ShadingGammaToMap.
// Every channel a Phong or metallic shader writes goes through it.

const uint8_t *Gamma();
// Fills the table for gamma 0.625 (entry i = trunc((i / 255)^0.625 x 255))
// and returns the last entry.
uint8_t FillGamma();
// All zero again, as at load.
void ClearGamma();

// ---------------------------------------------------------------------------
// Normals.

// A pixel's shading may mix up to four normals (the rim of a chamfer, the
// seam of a two-bevel profile, a second relief vector): the shaders light
// each and mix the colours with the weights, which sum to 1.
struct Normals {
    Vec3 n[4];
    double w[4];
    int count = 0;
};

// The bevel a call shades.
struct Bevel {
    double width = 0;       // W; not positive (or NaN): every normal is flat
    int32_t kind = 0;
    bool invert = false;
    int32_t depth = 0;      // nonzero: z scaled by 30 / depth
    bool no_mixing = false; // blend mode 1: one normal per pixel, no rim or seam mixing
    const ProfileEntry *table = nullptr;  // Profile(kind, width, depth, invert), or null when W is not positive
    double index_scale = 0;               // 4096 / W: a table index is truncate(d x index_scale)
};

// Fills bevel.table (when W is positive) and returns the bevel.
Bevel MakeBevel(double width, int32_t kind, int32_t invert, int32_t depth, int32_t blend_mode);

// The normals of a relief vector v (pixel to nearest outline point), at
// most two, appended to *out with their weights times `weight`. Flat
// (0, 0, 1) when |v| is below 1e-6, both components are below 1e-6, or
// |v| >= W. Unit length, except that a zero vector stays zero.
void BevelNormals(const Bevel &bevel, Vec2 v, double weight, Normals *out);

// One normal for callers that do not light normals separately: the
// weighted mix, normalised.
Vec3 MixedNormal(const Normals &n);

// Reads the relief vectors of pixel x of a vector-map row. The second
// vector is (0, 0) in the float layout or when words 2 and 3 are both 0.
struct ReliefVectors {
    Vec2 first;
    Vec2 second;
    bool has_second;
};
ReliefVectors ReadVectors(const uint8_t *row, size_t x, bool float_layout);

// ---------------------------------------------------------------------------
// The surface of one call: the maps a shader reads, checked against the
// image size, and the per-pixel normal set with every rule applied in
// order: the profile (with rim and seam mixing), the second vector, the
// outside rim (negative distance: the vector scaled by -0.1), the second
// mask (255 flat, partial values tilted towards flat), the bump map.
struct SurfaceMaps {
    uint32_t width = 0, height = 0;
    PathBuf vec = nullptr;    // depth 64, required
    bool float_layout = false;
    PathBuf dist = nullptr;   // depth 32 or null
    PathBuf mask2 = nullptr;  // depth 8 or null: flattens the normals where set
    PathBuf bump = nullptr;   // depth 8 or null
    double bump_scale = 0;    // bumpPercent x 0.01 / 128; 0: no bump
};

// Depth and size checks: true when buf is a PathBuf of `depth` and
// width x height.
bool Fits(PathBuf buf, int32_t depth, uint32_t width, uint32_t height);

void SurfaceAt(const Bevel &bevel, const SurfaceMaps &maps, uint32_t x, uint32_t y, Normals *out);

}  // namespace shade
