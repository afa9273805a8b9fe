// shading/shade_engine.h - the per-pixel loop of the Phong and metallic
// shaders.
//
// One call shades every pixel of a depth-24 image whose mask byte (or
// second-mask byte) is above 0, in place. For each pixel the surface gives
// up to four weighted normals (light_model.h); each is lit on its own:
//
//   colour = ambient + sum over lights of
//              base x (N . L) x diffuse x spot          when N . L >= 0
//            + highlight x s                            when R . L passes
//   R = (2 Nz Nx, 2 Nz Ny, 2 Nz Nz - 1), the view vector mirrored about N,
//   so R . L = 2 Nz (N . L) - Lz.
//
//   Phong:    R . L >= 0.01, s = (R . L)^exponent x specular x spot,
//             highlight = the light's colour.
//   Metallic: R . L >= 0, s0 = (R . L)^exponent, F = the metal's Fresnel
//             reflectance at cosine s0 rescaled to 1 at grazing and 0 at
//             normal incidence, highlight = metal + (255 - metal) x F,
//             s = s0 x specular x spot.
//
// Every normal's colour is capped at 255 per channel, the weighted colours
// are added, truncated and mapped through the gamma table. The pixel's
// total s (weighted) can raise a byte of a highlight buffer by
// truncate(255 x s), capped at 255.
//
// Colours are in the image's byte order (blue, green, red); the three
// channels are treated alike.
#pragma once

#include <cstdint>

#include "shading/light_model.h"

namespace shade {

struct ShadeLight {
    Vec3 direction;
    double diffuse, specular, exponent;
    double colour[3];  // Phong highlight colour (image byte order)
    bool spot = false;
    double spot_x = 0, spot_y = 0;  // spotlight centre in percent of the image
    double spot_h = 0;              // its height above the image, in the same units
};

struct ShadeJob {
    Bevel bevel;
    SurfaceMaps surface;      // surface.mask2 set only when the second mask is in use
    PathBuf image = nullptr;  // depth 24
    const uint8_t *select = nullptr;  // the bytes that pick the pixels (mask or second mask), image size
    ShadeLight light[kLightCount];
    int light_count = 0;
    double ambient = 0;
    bool fixed_ambient = false;
    double ambient_colour[3] = {0, 0, 0};
    double spot_exponent = 4.0;
    // Metallic: the reflectance table (1000 entries) and the metal colour.
    const double *reflectance = nullptr;
    double metal[3] = {0, 0, 0};
    // Raised by the pixel's specular intensity, or null. When `raise_scale`
    // is given (the second mask), the raise is scaled by its byte / 255.
    uint8_t *raise = nullptr;
    const uint8_t *raise_scale = nullptr;
};

void ShadeImage(const ShadeJob &job);

// The spotlight height for a centre given in percent: the single-light
// shader's rule (70.71 - distance of the centre from the middle, 0 at
// least) and the multi-light one (on the sphere of radius 70.71 around
// the middle, 0 outside it).
double SpotHeightSingle(double spot_x, double spot_y);
double SpotHeightMulti(double spot_x, double spot_y);

// Checks shared by the shaders: the buffers a call reads against the
// image. False (with error 3200 reported from `unit`) when one does not
// fit; the bump map only counts when bump_percent is nonzero.
struct ShadeBuffers {
    PathBuf image, dist, vec, mask, mask2, bump;
    bool use_mask2;
    int32_t bump_percent;
    bool float_layout;
};
bool PrepareSurface(const ShadeBuffers &in, int32_t unit, ShadeJob *job);

// Fills the lighting part of a job from the Phong light set: lights
// 0 .. count - 1 (directions, coefficients, colours), their spotlights
// (flags and centres may be null when count is 0; `single` picks the
// single-light spotlight height), ambient and the spot exponent.
void PhongLightsInto(ShadeJob *job, int count, const int32_t *spot_flags, const int32_t *spot_centres,
                     bool single, int32_t fixed_ambient);

}  // namespace shade
