// shading/abuf.h - the A-buffer renderer of bevelled solids (KyPathABufRender).
//
// A path is drawn as a solid standing on the image plane: its outline at
// height 0, a bevel of width W rising (or, inverted, sinking) inwards with
// the profile of shading/light_model.h, and a flat face beyond. The solid
// is turned by the camera's rotation and seen in perspective. Surfaces are
// accumulated per pixel as fragments carrying an 8 x 4 sub-pixel coverage
// mask, depth-sorted and resolved into a depth-24 image and an 8-bit
// coverage mask.
//
// Frames and units.
//  - Source space: image pixels (the path's FIXED coordinates as doubles),
//    y down, z out of the image towards the viewer.
//  - View space: q = (p - centre) * M + (offsetX, offsetY, 0), p a source
//    point with its height as z. Larger q.z is nearer the viewer.
//  - Output space: the perspective image centre + q.xy * f / (f - q.z)
//    (vec::PerspectiveScale), moved by -origin, so that pixel (c, r) of
//    the output covers the image square [c, c + 1) x [r, r + 1) from the
//    origin, exactly as in the rasteriser's masks (raster/edges.h): a
//    host composes the two, and a half-pixel shift between them would
//    show as a fringe. The camera centre is in image space, so the
//    projection is done there and the origin applied afterwards: moving
//    the points by the origin first would turn the solid about the wrong
//    point.
//
// What is drawn.
//  - The rim: at every outline sample, points along the inward normal
//    across the bevel, each with the profile's height and normal, joined
//    into small quadrilaterals between neighbouring samples. A rim only
//    reaches as far inwards as its outline point stays the nearest one
//    (see RimReach in abuf_geometry.cpp): where two rims meet (thin stems,
//    inner corners) each stops at the ridge instead of running on under or
//    over the other.
//  - The plate: the whole projected outline at height 0, lit as the flat
//    face and sorted behind every rim fragment. It shows wherever no rim
//    covers: the face inside the bevel, and any crack between rims.
//
// Memory. Every work block comes from the renderer's own private heap
// (created on first use like the library heap, destroyed at unload); the
// strip buffer is a depth-64 PathBuf; the coverage and opacity tables are
// global memory built once and kept until unload.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/vec.h"
#include "platform/heap.h"
#include "y32path/shading.h"

namespace abuf {

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ABufCamera) == 104, "32-bit camera record is 104 bytes");
#endif
static_assert(offsetof(ABufCamera, distance) == 16 && offsetof(ABufCamera, fieldOfView) == 24 &&
                  offsetof(ABufCamera, rotation) == 32,
              "camera record layout");

// Failure reports of the renderer (its own unit).
constexpr int32_t kUnitABuf = 33;

// Strips are at most this many rows high.
constexpr int32_t kMaxStripRows = 500;

// ---------------------------------------------------------------------------
// Library-wide state.

// The renderer's own light, separate from the shaders' light sets.
struct RendererLight {
    double direction[3];  // unit vector towards the light
    double ambient, diffuse, specular, exponent;
};
RendererLight &Light();
void ResetLight();  // the values at load

// How far two rims that meet are carried into each other, in pixels: 0.12,
// 0.15 for bevels narrower than 25 and 0.2 below 15. Set by every render
// from its own W.
double EdgeConstant();
double EdgeConstantFor(int32_t width);
void SetEdgeConstant(double value);

// Fragments created by the last render.
uint64_t FragmentCount();
void SetFragmentCount(uint64_t count);

// The private heap, created on first use; null when it cannot be.
plat::Heap *Heap();
// Blocks live on it (0 when it does not exist).
size_t HeapLiveBlocks();

// ---------------------------------------------------------------------------
// Coverage masks. A mask has one byte per sub-row (byte r = bits 8r..8r+7,
// sub-row 0 on top) and one bit per sub-column, the most significant bit of
// a byte the leftmost; a set bit is covered.

constexpr uint32_t kFullMask = 0xFFFFFFFFu;

// The edge table: 5 x 9 x 5 x 9 entries of four bytes (and 16 spare), one
// for every edge inside a pixel from (sub-row boundary a, sub-column
// boundary b) to (c, d). Byte r of an entry is the set of sub-columns right
// of the edge in sub-row r, for the sub-rows the edge crosses
// (min(a, c) <= r < max(a, c)), and 0 elsewhere.
constexpr size_t kEdgeTableBytes = 5 * 9 * 5 * 9 * 4 + 16;
// Glass opacity by |cos| of the angle between normal and view: entry
// trunc(t x 1000) = trunc((1 - t)^2 x (A - 16) + 16).
constexpr size_t kOpacityTableBytes = 1024;
constexpr int32_t kMaxOpacity = 255;  // A

struct Tables {
    const uint8_t *edge;     // kEdgeTableBytes
    const uint8_t *opacity;  // kOpacityTableBytes
};
// Builds both tables on first use; null when global memory runs out (then
// the next call tries again).
const Tables *GetTables();

inline uint32_t EdgeMask(const uint8_t *edge_table, int a, int b, int c, int d) {
    const uint8_t *e = edge_table + ((((a * 9 + b) * 5 + c) * 9 + d) << 2);
    return e[0] | (uint32_t{e[1]} << 8) | (uint32_t{e[2]} << 16) | (uint32_t{e[3]} << 24);
}
// All sub-columns of the sub-rows min(a, c) .. max(a, c) - 1: what an edge
// piece flips in every pixel to its right.
inline uint32_t RowSpanMask(int a, int c) {
    int lo = a < c ? a : c, hi = a < c ? c : a;
    uint32_t m = 0;
    for (int r = lo; r < hi; ++r) m |= 0xFFu << (8 * r);
    return m;
}
int PopCount(uint32_t mask);

// Scratch cells of RasterPolygon (private heap), reused between calls.
struct QuadScratch {
    uint32_t *cells = nullptr;
    size_t capacity = 0;  // cells
};
bool GrowScratch(QuadScratch *scratch, size_t cells);
void FreeScratch(QuadScratch *scratch);

// Adds the coverage of a polygon (output space; even-odd over sub-pixel
// centres, which for the renderer's simple quadrilaterals is plain inside)
// to the pixels of columns [0, width) and rows [row0, row1): calls
// emit(x, y, mask) for each pixel it covers at all, rows top to bottom.
// Two polygons that share an edge (the same two end points, in either
// order) split the sub-pixels of their union exactly: each is claimed by
// one of them, never both or neither. (A sliver thinner than the
// sub-pixel grid can fold over when its edges are rounded and claim a
// sub-pixel outside the union too; the resolve counts such a sub-pixel
// once.) Returns false when the scratch memory could not be grown.
template <class Emit>
bool RasterPolygon(const double *xs, const double *ys, int n, const uint8_t *edge_table, int64_t width, int64_t row0,
                   int64_t row1, QuadScratch *scratch, Emit &&emit);

// ---------------------------------------------------------------------------
// Fragments and the strip buffer.

// 24 bytes. The strip buffer's fragment pixels hold the list head in their
// first four bytes. The renderer first ran on 32-bit hosts with a heap
// address there; a 64-bit address does not fit, so on every target the
// four bytes are a 32-bit index into the fragment pool and `next` links by
// index too (kNoFragment ends a list).
struct Fragment {
    double depth;      // view-space z, larger is nearer
    uint32_t mask;     // covered sub-pixels
    uint32_t next;     // pool index, or kNoFragment
    uint8_t bgra[4];   // lit colour and opacity (above 254 opaque)
    uint32_t seq;      // creation order: ties in depth keep it
};
constexpr uint32_t kNoFragment = 0xFFFFFFFFu;
static_assert(sizeof(Fragment) == 24, "fragments stay within the 32 bytes the 32-bit record had");

// Strip pixel states (bytes 4-5 of the 8-byte pixel).
constexpr uint16_t kEmptyWord = 0;
constexpr uint16_t kPlainWord = 1;          // bytes 0-3: blue, green, red, coverage
constexpr uint16_t kFragmentWord = 10000;   // bytes 0-3: list head index

struct Strip {
    PathBuf buf = nullptr;  // depth 64, width x rows
    uint32_t width = 0;
    uint32_t rows = 0;      // rows allocated
    int64_t y0 = 0;         // output row of strip row 0
    uint32_t height = 0;    // rows in use
    Fragment *pool = nullptr;  // private heap
    uint32_t capacity = 0, used = 0;
    uint32_t free_head = kNoFragment;  // fragments cut from their lists
    uint32_t seq = 0;
    Fragment *work = nullptr;  // resolve array, private heap
    uint32_t work_capacity = 0;
    uint64_t created = 0;
    bool failed = false;       // out of memory: the render fails
};

// Starts strip rows [y0, y0 + height): every pixel empty, the pool empty.
void BeginStrip(Strip *s, int64_t y0, uint32_t height);
// A full, opaque-or-not pixel of the plate (nothing in front yet).
void SetPlain(Strip *s, uint32_t x, uint32_t row, const uint8_t bgra[4]);
// Adds a fragment. An opaque fragment removes the fragments behind it that
// it covers completely; a fragment hidden completely by opaque fragments in
// front of it is not added. Sets s->failed and returns false when the pool
// cannot grow.
bool AddFragment(Strip *s, uint32_t x, uint32_t row, uint32_t mask, const uint8_t bgra[4], double depth);
void FreeStrip(Strip *s);

// The depth of the plate: behind everything.
constexpr double kPlateDepth = -1.0e300;

// One resolved pixel: un-premultiplied colour and covered fraction.
struct Resolved {
    uint8_t bgr[3];
    uint8_t coverage;  // 0..255
};
// Resolves fragments sorted nearest first: each takes the sub-pixels of its
// mask still uncovered; an opaque one stops them, a transparent one
// (opacity a / 255) adds its colour with weight a and lets 1 - a of them
// through to the fragments behind. The colour is the covered colour
// without the coverage (the mask carries that), the coverage the covered
// fraction times the opacity reached.
Resolved ResolveSorted(const Fragment *frags, uint32_t count);
// Sorts nearest first (ties in creation order).
void SortFragments(Fragment *frags, uint32_t count);
// The pixel's state at strip row `row`: resolved, or false when empty.
// Frees nothing (the pool is reset per strip); false with s->failed when
// the work array cannot grow.
bool ResolvePixel(Strip *s, uint32_t x, uint32_t row, Resolved *out);

// ---------------------------------------------------------------------------
// Growable arrays on the renderer's heap (trivially copyable elements).

bool HeapGrow(void **data, uint32_t *capacity, uint64_t needed, size_t element_bytes);
void HeapRelease(void *data);

template <class T>
struct HeapArray {
    T *data = nullptr;
    uint32_t size = 0, capacity = 0;
    bool Reserve(uint64_t n) { return HeapGrow(reinterpret_cast<void **>(&data), &capacity, n, sizeof(T)); }
    bool Push(const T &v) {
        if (size == capacity && !Reserve(uint64_t{size} + 1)) return false;
        data[size++] = v;
        return true;
    }
    void Free() {
        HeapRelease(data);
        data = nullptr;
        size = capacity = 0;
    }
};

// ---------------------------------------------------------------------------
// Geometry (shading/abuf_geometry.cpp).

// The camera in doubles, with the move from image to output space.
struct View {
    double m[9];
    double cx, cy;          // rotation centre (image space)
    double ox, oy;          // added after the rotation
    double focal;           // eye height above the plane; +inf for a parallel view
    double out_dx, out_dy;  // image to output: -origin
};
struct ViewPoint {
    double x, y;  // output space
    double z;     // view-space depth, larger nearer
};
inline ViewPoint Project(const View &v, double x, double y, double z) {
    double q[3] = {x - v.cx, y - v.cy, z};
    vec::RotatePoint3D(q, v.m);
    q[0] += v.ox;
    q[1] += v.oy;
    const double k = vec::PerspectiveScale(v.focal, q[2]);
    return ViewPoint{v.cx + q[0] * k + v.out_dx, v.cy + q[1] * k + v.out_dy, q[2]};
}

// One point of the outline with what its rim needs.
struct Sample {
    double x, y;        // source position
    double tx, ty;      // unit tangent, direction of travel
    double nx, ny;      // unit inward normal
    double rim;         // how far the rim runs inwards (0 .. W)
    double ymin, ymax;  // output rows its rim column spans (filled by the renderer)
    uint32_t flags;
};
constexpr uint32_t kNoQuadToNext = 1;  // the rim does not join this sample to the next

struct Subpath {
    uint32_t first, count;  // its samples, a closed loop
    int32_t rim_points;     // points across the rim after the first (0: no rim)
    uint8_t inside;         // 1 inward is left of travel (+perp), 2 right, 0 none (flat or buried)
};

struct Outline {
    HeapArray<Sample> samples;
    HeapArray<Subpath> subpaths;
    void Free() {
        samples.Free();
        subpaths.Free();
    }
};

// Parameter steps of the outline walk, in 1/65536 of a segment: each step
// starts at 1/8 and is halved until it moves the projected point by at most
// a pixel in x and in y, but not below 16 (4096 samples per segment at
// most, so a segment near the eye cannot run away).
constexpr int32_t kFirstStep = 0x2000;
constexpr int32_t kMinStep = 16;

// Walks every record of the table list holding `path` (from its head): its
// lines and curves sampled adaptively, each subpath closed. Samples carry
// positions and tangents only. False when memory runs out.
bool SampleOutline(KyPath *path, const View &view, Outline *raw);

// From the raw samples: which side is inside (nonzero rule over every
// subpath), inward normals, fans of normals at corners the outline turns
// away from the inside, joins cut at the other corners, and each rim's
// reach: the rim of a sample stops where another outline point would be
// nearer (where it meets another rim), carried `overlap` further so the two
// close up, and at `width` otherwise. False when memory runs out.
bool ShapeRim(const Outline &raw, double width, double overlap, Outline *out);

// ---------------------------------------------------------------------------
// Lighting: with the unit normal N (view space) and the light L:
// n = max(N.L, 0); R = (2 Nz Nx, 2 Nz Ny, 2 Nz Nz - 1); s = pow(R.L,
// exponent) x specular x 255, 0 when R.L is below 0.01; each channel
// trunc(c x ambient) + trunc(c x diffuse x n) + trunc(s), at most 255. A
// transparent fragment (alpha below 255) is lit with ambient 0.2, diffuse
// 0.75, specular 4.0 and exponent 28 (glass shines more), and its alpha
// grows by trunc(s).
void LightFragment(const RendererLight &light, const vec::Vec3 &n, const uint8_t rgb[3], int32_t alpha,
                   uint8_t bgra_out[4]);

// ---------------------------------------------------------------------------
// The render.

struct RenderArgs {
    KyPath *path = nullptr;
    const ABufCamera *camera = nullptr;
    PathBuf output = nullptr;
    PathBuf mask = nullptr;
    PathBuf mask2 = nullptr;
    int32_t mask_origin[2] = {0, 0};
    int32_t origin[2] = {0, 0};
    uint8_t rgb[3] = {0, 0, 0};
    int32_t alpha = 0;  // 0 opaque, else glass
    int32_t width = 0;  // W
    int32_t depth = 0;
    int32_t kind = 0;
    int32_t invert = 0;
    const double *light = nullptr;  // the renderer light's new direction, or null
    int32_t strip_rows = kMaxStripRows;
};

struct RenderStats {
    int32_t strips = 0;
    int32_t first_strip_rows = 0;
    int32_t last_strip_rows = 0;
    uint64_t fragments = 0;
    uint64_t samples = 0;  // outline samples, corner fans included
    uint64_t quads = 0;    // rim quadrilaterals drawn
};

// 1, or 0 after a report: 3200 for an output that is not depth 24, a mask
// that is not depth 8 or a camera with no eye in front of the plane; 1001
// when memory runs out (the rows of strips already finished stay drawn).
int32_t Render(const RenderArgs &args, RenderStats *stats);

// Camera record checks and focal length: distance / tan(fov x 0.5 x pi /
// 180) with pi = 3.14159; a zero field of view is a parallel projection
// (infinite focal length). False when there is no eye in front of the
// plane (a focal length that is not positive) or a value is not finite.
bool FocalLength(const ABufCamera &camera, double *focal);

}  // namespace abuf

#include "shading/abuf_polygon.h"
