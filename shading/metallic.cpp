// shading/metallic.cpp - metal reflectance table, metallic light set and
// the metallic shaders.
//
// The metallic shaders are the Phong shaders (shade_engine.h) with other
// coefficients and a highlight that takes the metal's colour, whitened
// towards grazing angles by the reflectance table. Light directions,
// spotlights and the fixed ambient colour come from the Phong light set.
#include "shading/metallic.h"

#include "core/diag.h"
#include "core/memory.h"
#include "shading/light_model.h"
#include "shading/shade_engine.h"
#include "y32path/platform.h"
#include "y32path/shading.h"

namespace shade {

namespace {

// The block is 8212 bytes: the 1000 entries and a tail that stays zero.
constexpr int kReflectanceEntries = 1000;
constexpr size_t kReflectanceBytes = 8212;
static_assert(kReflectanceBytes >= kReflectanceEntries * sizeof(double), "the table fits its block");

struct MetalIndex {
    double n, k;
};

// Metals 1 to 4; index 0 stands for every value other than 2, 3 and 4.
constexpr MetalIndex kMetals[4] = {{0.617, 2.63}, {0.37, 2.82}, {0.177, 3.638}, {2.485, 3.433}};

double *g_table = nullptr;
int32_t g_metal = 0;
uint32_t g_builds = 0;

void ReleaseTable() {
    if (g_table) GlobalFree(g_table);
    g_table = nullptr;
    g_metal = 0;
}

void Load(int32_t metal) {
    const MetalIndex m = kMetals[metal - 1];
    const double nk = m.n * m.n + m.k * m.k;
    for (int i = 0; i < kReflectanceEntries; ++i) {
        const double c = i / 1000.0;
        const double rs = (nk - 2 * m.n * c + c * c) / (nk + 2 * m.n * c + c * c);
        const double rp = (nk * c * c - 2 * m.n * c + 1) / (nk * c * c + 2 * m.n * c + 1);
        g_table[i] = (rs + rp) / 2;
    }
    g_metal = metal;
    ++g_builds;
}

int32_t MetalNumber(int32_t metal) { return metal >= 2 && metal <= 4 ? metal : 1; }

// The metallic shaders after their argument checks.
int32_t ShadeMetal(const ShadeBuffers &buffers, double w, int32_t kind, int32_t invert, int32_t depth, int count,
                   const int32_t *spot_flags, const int32_t *spot_centres, bool single, uint32_t metal_colour,
                   PathBuf highlight_out, int32_t fixed_ambient, const double *table) {
    ShadeJob job;
    if (!PrepareSurface(buffers, kUnitMetallic, &job)) return 0;
    job.bevel = MakeBevel(w, kind, invert, depth, 0);
    PhongLightsInto(&job, count, spot_flags, spot_centres, single, fixed_ambient);
    const MetalLights &m = MetallicLights();
    for (int i = 0; i < count; ++i) {
        job.light[i].diffuse = m.diffuse[i];
        job.light[i].specular = m.specular[i];
        job.light[i].exponent = m.exponent[i];
    }
    job.ambient = m.ambient;
    job.reflectance = table;
    job.metal[0] = static_cast<uint8_t>(metal_colour >> 16);
    job.metal[1] = static_cast<uint8_t>(metal_colour >> 8);
    job.metal[2] = static_cast<uint8_t>(metal_colour);
    job.raise = static_cast<uint8_t *>(highlight_out);
    if (highlight_out && buffers.use_mask2) job.raise_scale = static_cast<const uint8_t *>(buffers.mask2);
    ShadeImage(job);
    return 1;
}

// Everything a metallic call needs before it may change the light set:
// the table, the buffers (the highlight buffer among them). Null when the
// call must fail.
const double *MetalReady(const ShadeBuffers &buffers, PathBuf highlight_out) {
    const double *table = ReflectanceTable();
    if (!table) return nullptr;
    ShadeJob probe;
    if (!PrepareSurface(buffers, kUnitMetallic, &probe)) return nullptr;
    if (highlight_out && !Fits(highlight_out, 8, probe.surface.width, probe.surface.height)) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitMetallic);
        return nullptr;
    }
    return table;
}

}  // namespace

const double *ReflectanceTable() {
    if (!g_table) {
        g_table = static_cast<double *>(GlobalAlloc(GPTR, kReflectanceBytes));
        if (!g_table) {
            Y32_REPORT(diag::kErrNoMemory, 1, kUnitMetallic);
            return nullptr;
        }
        mem::AtDetach(&ReleaseTable);
        Load(1);
    }
    return g_table;
}

int32_t LoadedMetal() { return g_metal; }
uint32_t ReflectanceBuildCount() { return g_builds; }

}  // namespace shade

using namespace shade;

Y32_BEGIN_C

int32_t KyPathSetMetallicEffect(int32_t metal) {
    if (!ReflectanceTable()) return 0;
    const int32_t m = MetalNumber(metal);
    if (m != g_metal) Load(m);
    return 1;
}

int32_t KyPathAdjMetallicIllum(const int32_t *values, const int32_t *intensities, int32_t divisor,
                               int32_t ambientPercent) {
    if (!values || !intensities) return 0;
    if (divisor < 1) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitMetallic);
        return 0;
    }
    MetalLights &m = MetallicLights();
    m.ambient = ambientPercent * 0.01;
    for (int i = 0; i < kLightCount; ++i) {
        m.specular[i] = intensities[i] * 0.02 + 0.8;
        m.diffuse[i] = (m.specular[i] - 0.8) * 0.15 + 0.2 / divisor;
        m.exponent[i] = values[i] * 0.06 + 2.0;
    }
    return 1;
}

int32_t KyPathShadeMetallic(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth,
                            int32_t vectorFormat, ReliefDistanceMap distanceMap, ReliefVectorMap vectorMap,
                            int32_t useMask2, PathBuf mask, PathBuf mask2, int32_t spot, int32_t spotX, int32_t spotY,
                            double lightX, double lightY, double lightZ, uint32_t metalColour, PathBuf highlightOut,
                            int32_t fixedAmbient, int32_t bumpPercent, PathBuf bumpMap) {
    if (!image || !distanceMap || !vectorMap || !mask) return 0;
    ShadeBuffers buffers{image, distanceMap, vectorMap, mask, mask2, bumpMap, useMask2 != 0, bumpPercent,
                         vectorFormat != 0};
    const double *table = MetalReady(buffers, highlightOut);
    if (!table) return 0;
    PhongLights().light[0].direction = Vec3{lightX, lightY, lightZ};
    const int32_t spot_flags[1] = {spot};
    const int32_t spot_centre[2] = {spotX, spotY};
    return ShadeMetal(buffers, W, kind, invert, depth, 1, spot_flags, spot_centre, true, metalColour, highlightOut,
                      fixedAmbient, table);
}

int32_t KyPathShadeMultiMetallic(PathBuf image, double W, int32_t kind, int32_t invert, int32_t depth,
                                 int32_t vectorFormat, ReliefDistanceMap distanceMap, ReliefVectorMap vectorMap,
                                 int32_t useMask2, PathBuf mask, PathBuf mask2, int32_t lightCount,
                                 const int32_t *spotFlags, const int32_t *spotCentres, const double *lightDirections,
                                 uint32_t metalColour, PathBuf highlightOut, int32_t fixedAmbient,
                                 int32_t bumpPercent, PathBuf bumpMap) {
    if (!image || !distanceMap || !vectorMap || !mask) return 0;
    if (lightCount < 0 || lightCount > kLightCount ||
        (lightCount > 0 && (!spotFlags || !spotCentres || !lightDirections))) {
        Y32_REPORT(diag::kErrUnsuitable, 1, kUnitMetallic);
        return 0;
    }
    ShadeBuffers buffers{image, distanceMap, vectorMap, mask, mask2, bumpMap, useMask2 != 0, bumpPercent,
                         vectorFormat != 0};
    const double *table = MetalReady(buffers, highlightOut);
    if (!table) return 0;
    for (int i = 0; i < lightCount; ++i)
        PhongLights().light[i].direction =
            Vec3{lightDirections[3 * i], lightDirections[3 * i + 1], lightDirections[3 * i + 2]};
    return ShadeMetal(buffers, W, kind, invert, depth, lightCount, spotFlags, spotCentres, false, metalColour,
                      highlightOut, fixedAmbient, table);
}

Y32_END_C
