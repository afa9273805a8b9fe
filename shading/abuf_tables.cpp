// shading/abuf_tables.cpp - the renderer's library-wide state: its light,
// edge constant and fragment counter, its private heap, and the coverage
// and glass-opacity tables (see shading/abuf.h).
#include <cmath>

#include "core/memory.h"
#include "shading/abuf.h"
#include "y32path/platform.h"

namespace abuf {

namespace {

constexpr RendererLight kLightAtLoad = {{-0.5773502, -0.5773502, 0.5773502}, 0.2, 0.75, 0.8, 28.0};

RendererLight g_light = kLightAtLoad;
double g_edge_constant = 0.12;
uint64_t g_fragments = 0;

plat::Heap *g_heap = nullptr;
uint8_t *g_edge_table = nullptr;  // global memory
uint8_t *g_opacity = nullptr;     // global memory
Tables g_tables{nullptr, nullptr};
bool g_release_registered = false;

// Sub-columns right of a position 0..8 on the sub-column grid.
constexpr uint8_t kRightOf[9] = {0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01, 0x00};

void BuildEdgeTable(uint8_t *t) {
    for (int a = 0; a <= 4; ++a)
        for (int b = 0; b <= 8; ++b)
            for (int c = 0; c <= 4; ++c)
                for (int d = 0; d <= 8; ++d) {
                    uint8_t *e = t + ((((a * 9 + b) * 5 + c) * 9 + d) << 2);
                    if (a == c) continue;  // horizontal: crosses no sub-row, entry stays 0
                    // Walk from the end with the smaller row, so an edge and
                    // its reverse share one entry's contents.
                    const int r0 = a < c ? a : c, r1 = a < c ? c : a;
                    const double x0 = a < c ? b : d, x1 = a < c ? d : b;
                    for (int r = r0; r < r1; ++r) {
                        double x = x0 + (r - r0 + 0.5) * (x1 - x0) / (r1 - r0);
                        int col = static_cast<int>(x);  // x lies in [0, 8]: truncation is floor
                        e[r] = kRightOf[col];
                    }
                }
}

void BuildOpacityTable(uint8_t *t) {
    for (int i = 0; i <= 1000; ++i) {
        double u = 1.0 - i / 1000.0;
        t[i] = static_cast<uint8_t>(u * u * (kMaxOpacity - 16) + 16);
    }
    for (size_t i = 1001; i < kOpacityTableBytes; ++i) t[i] = t[1000];
}

void ReleaseAll() {
    if (g_heap) plat::HeapDestroy(g_heap);
    g_heap = nullptr;
    if (g_edge_table) GlobalFree(g_edge_table);
    if (g_opacity) GlobalFree(g_opacity);
    g_edge_table = g_opacity = nullptr;
    g_tables = Tables{nullptr, nullptr};
    g_release_registered = false;  // the detach handler forgets its hooks once run
}

void RegisterRelease() {
    if (g_release_registered) return;
    mem::AtDetach(&ReleaseAll);
    g_release_registered = true;
}

}  // namespace

RendererLight &Light() { return g_light; }
void ResetLight() { g_light = kLightAtLoad; }

double EdgeConstantFor(int32_t width) {
    if (width < 15) return 0.2;
    if (width < 25) return 0.15;
    return 0.12;
}
double EdgeConstant() { return g_edge_constant; }
void SetEdgeConstant(double v) { g_edge_constant = v; }

uint64_t FragmentCount() { return g_fragments; }
void SetFragmentCount(uint64_t count) { g_fragments = count; }

plat::Heap *Heap() {
    if (!g_heap) {
        // The library heap's parameters: growable, 512 KiB committed, no
        // maximum.
        g_heap = plat::HeapCreate(plat::HEAP_GENERATE_EXCEPTIONS, 0x80000, 0);
        if (g_heap) RegisterRelease();
    }
    return g_heap;
}

size_t HeapLiveBlocks() { return g_heap ? plat::HeapLiveBlocks(g_heap) : 0; }

const Tables *GetTables() {
    if (g_tables.edge) return &g_tables;
    if (!g_edge_table) g_edge_table = static_cast<uint8_t *>(GlobalAlloc(GPTR, kEdgeTableBytes));
    if (!g_opacity) g_opacity = static_cast<uint8_t *>(GlobalAlloc(GPTR, kOpacityTableBytes));
    if (!g_edge_table || !g_opacity) return nullptr;  // what was allocated is kept for the next try
    RegisterRelease();
    BuildEdgeTable(g_edge_table);
    BuildOpacityTable(g_opacity);
    g_tables = Tables{g_edge_table, g_opacity};
    return &g_tables;
}

int PopCount(uint32_t mask) {
    // Per byte, as the resolve counts: a 256-entry table built once.
    static uint8_t table[256];
    static bool built = false;
    if (!built) {
        for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>((i & 1) + table[i >> 1]);
        built = true;
    }
    return table[mask & 0xFF] + table[(mask >> 8) & 0xFF] + table[(mask >> 16) & 0xFF] + table[mask >> 24];
}

}  // namespace abuf
