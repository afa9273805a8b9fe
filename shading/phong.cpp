// shading/phong.cpp - the Phong exports: light set setter, gamma table,
// single and multi-light shaders, aiming a light at a pixel.
//
// The exports check their arguments, fill a ShadeJob from the light set
// and hand it to the shared loop (shade_engine.h).
#include <cmath>

#include "core/diag.h"
#include "shading/light_model.h"
#include "shading/shade_engine.h"
#include "y32path/shading.h"

namespace shade {

namespace {

// 0x00BBGGRR into the image's byte order (blue, green, red).
void ColourBytes(uint32_t c, uint8_t out[3]) {
    out[0] = static_cast<uint8_t>(c >> 16);
    out[1] = static_cast<uint8_t>(c >> 8);
    out[2] = static_cast<uint8_t>(c);
}

}  // namespace

void PhongLightsInto(ShadeJob *job, int count, const int32_t *spot_flags, const int32_t *spot_centres,
                     bool single, int32_t fixed_ambient) {
    const LightSet &set = PhongLights();
    job->light_count = count;
    for (int i = 0; i < count; ++i) {
        const Light &l = set.light[i];
        ShadeLight &s = job->light[i];
        s.direction = l.direction;
        s.diffuse = l.diffuse;
        s.specular = l.specular;
        s.exponent = l.exponent;
        for (int k = 0; k < 3; ++k) s.colour[k] = l.colour[k];
        s.spot = spot_flags && spot_flags[i] != 0;
        if (s.spot) {
            s.spot_x = spot_centres[2 * i];
            s.spot_y = spot_centres[2 * i + 1];
            s.spot_h = single ? SpotHeightSingle(s.spot_x, s.spot_y) : SpotHeightMulti(s.spot_x, s.spot_y);
        }
    }
    job->ambient = set.ambient;
    job->fixed_ambient = fixed_ambient != 0;
    for (int k = 0; k < 3; ++k) job->ambient_colour[k] = set.ambient_colour[k];
    job->spot_exponent = set.spot_exponent;
}

}  // namespace shade

using namespace shade;

namespace {

// The Phong shaders after their argument checks.
int32_t ShadePhongLights(const ShadeBuffers &buffers, double w, int32_t kind, int32_t invert, int32_t depth,
                         int count, const int32_t *spot_flags, const int32_t *spot_centres, bool single,
                         int32_t fixed_ambient, int32_t highlight) {
    ShadeJob job;
    if (!PrepareSurface(buffers, kUnitPhong, &job)) return 0;
    job.bevel = MakeBevel(w, kind, invert, depth, 0);
    if (highlight) {
        // The light set keeps the stronger highlight: a host that shades
        // twice with the flag asks for it twice.
        for (int i = 0; i < count; ++i) PhongLights().light[i].specular *= 4.0;
        job.raise = static_cast<uint8_t *>(buffers.mask);
        if (buffers.use_mask2) job.raise_scale = static_cast<const uint8_t *>(buffers.mask2);
    }
    PhongLightsInto(&job, count, spot_flags, spot_centres, single, fixed_ambient);
    ShadeImage(job);
    return 1;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathAdjPhongIllum(const int32_t *exponents, const int32_t *intensities, uint32_t ambientColour,
                            const uint32_t *lightColours, int32_t divisor, int32_t ambientPercent) {
    if (!exponents || !intensities || !lightColours) return 0;
    if (divisor < 1) {
        // 0.7 / divisor: a zero divisor would make every diffuse term infinite.
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitPhong);
        return 0;
    }
    LightSet &set = PhongLights();
    for (int i = 0; i < kLightCount; ++i) {
        Light &l = set.light[i];
        l.exponent = exponents[i] != 0 ? exponents[i] : 1.0;
        l.specular = intensities[i] * 0.01;
        l.diffuse = l.specular * 0.3 + 0.7 / divisor;
        ColourBytes(lightColours[i], l.colour);
    }
    set.ambient = ambientPercent * 0.01;
    uint8_t host[3];
    ColourBytes(ambientColour, host);
    for (int k = 0; k < 3; ++k) {
        double v = host[k] * set.ambient;
        set.ambient_colour[k] = static_cast<uint8_t>(v >= 255.0 ? 255.0 : (v > 0.0 ? v : 0.0));
    }
    return 1;
}

int32_t ShadingGammaToMap(void) { return FillGamma(); }

int32_t KyPathShadePhong(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth, int32_t vectorFormat,
                         ReliefDistanceMap distanceMap, ReliefVectorMap vectorMap, int32_t useMask2, PathBuf mask,
                         PathBuf mask2, int32_t spot, int32_t spotX, int32_t spotY, double lightX, double lightY,
                         double lightZ, int32_t fixedAmbient, int32_t highlight, int32_t bumpPercent,
                         PathBuf bumpMap) {
    if (!image || !distanceMap || !vectorMap || !mask) return 0;
    ShadeBuffers buffers{image, distanceMap, vectorMap, mask, mask2, bumpMap, useMask2 != 0, bumpPercent,
                         vectorFormat != 0};
    ShadeJob probe;
    if (!PrepareSurface(buffers, kUnitPhong, &probe)) return 0;
    PhongLights().light[0].direction = Vec3{lightX, lightY, lightZ};
    const int32_t spot_flags[1] = {spot};
    const int32_t spot_centre[2] = {spotX, spotY};
    return ShadePhongLights(buffers, W, kind, invert, depth, 1, spot_flags, spot_centre, true, fixedAmbient,
                            highlight);
}

int32_t KyPathShadeMultiPhong(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth,
                              int32_t vectorFormat, ReliefDistanceMap distanceMap, ReliefVectorMap vectorMap,
                              int32_t useMask2, PathBuf mask, PathBuf mask2, int32_t lightCount,
                              const int32_t *spotFlags, const int32_t *spotCentres, const double *lightDirections,
                              int32_t fixedAmbient, int32_t highlight, int32_t bumpPercent, PathBuf bumpMap) {
    if (!image || !distanceMap || !vectorMap || !mask) return 0;
    if (lightCount < 0 || lightCount > kLightCount ||
        (lightCount > 0 && (!spotFlags || !spotCentres || !lightDirections))) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitPhong);
        return 0;
    }
    ShadeBuffers buffers{image, distanceMap, vectorMap, mask, mask2, bumpMap, useMask2 != 0, bumpPercent,
                         vectorFormat != 0};
    ShadeJob probe;
    if (!PrepareSurface(buffers, kUnitPhong, &probe)) return 0;
    for (int i = 0; i < lightCount; ++i)
        PhongLights().light[i].direction =
            Vec3{lightDirections[3 * i], lightDirections[3 * i + 1], lightDirections[3 * i + 2]};
    return ShadePhongLights(buffers, W, kind, invert, depth, lightCount, spotFlags, spotCentres, false,
                            fixedAmbient, highlight);
}

int32_t KypathChangeLightNormal(double W, int32_t kind, int32_t invert, int32_t depth, int32_t pixelIndex,
                                int32_t vectorFormat, const void *vectorRow, int32_t mode, int32_t lightIndex,
                                double *direction_out) {
    if (!vectorRow || !direction_out || pixelIndex < 0 || lightIndex < 0 || lightIndex >= kLightCount) return 0;
    const Bevel bevel = MakeBevel(W, kind, invert, depth, mode);
    const ReliefVectors rv =
        ReadVectors(static_cast<const uint8_t *>(vectorRow), static_cast<size_t>(pixelIndex), vectorFormat != 0);
    Normals normals;
    BevelNormals(bevel, rv.first, 1.0, &normals);
    const Vec3 n = MixedNormal(normals);
    const Vec3 r{2.0 * n.z * n.x, 2.0 * n.z * n.y, 2.0 * n.z * n.z - 1.0};
    PhongLights().light[lightIndex].direction = r;
    direction_out[0] = r.x;
    direction_out[1] = r.y;
    direction_out[2] = r.z;
    return 1;
}

Y32_END_C
