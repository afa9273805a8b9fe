// shading/abuf_fragments.cpp - the strip buffer, its fragment lists, the
// depth-sorted resolve and the lighting of one fragment (see
// shading/abuf.h).
//
// A strip pixel is 8 bytes: empty (all zero), plain (a full pixel of the
// plate: colour and coverage, word 1) or a fragment list (the head's pool
// index, word 10000). Only the plate is ever stored plain: its depth is
// known (behind everything), so a plain pixel can always be turned back
// into a one-fragment list when something arrives in front of it.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "raster/pixel_buffer.h"
#include "shading/abuf.h"

namespace abuf {

namespace {

constexpr uint32_t kFirstPoolFragments = 4096;
// Glass layers resolved one behind the other before the rest counts as
// opaque; each layer at least halves what still shows through a typical
// glass opacity, so 32 is far past anything visible.
constexpr int kMaxGlassLayers = 32;

inline uint8_t *PixelAt(Strip *s, uint32_t x, uint32_t row) {
    return static_cast<uint8_t *>(s->buf) + (static_cast<size_t>(row) * s->width + x) * 8;
}
inline uint16_t WordOf(const uint8_t *p) {
    uint16_t w;
    std::memcpy(&w, p + 4, 2);
    return w;
}
inline uint32_t PayloadOf(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void SetListHead(uint8_t *p, uint32_t head) {
    std::memcpy(p, &head, 4);
    const uint16_t w = head == kNoFragment ? kEmptyWord : kFragmentWord;
    std::memcpy(p + 4, &w, 2);
}

inline bool Opaque(const uint8_t bgra[4]) { return bgra[3] > 254; }

// A free pool slot, growing the pool when none is left.
uint32_t NewFragment(Strip *s) {
    if (s->free_head != kNoFragment) {
        uint32_t i = s->free_head;
        s->free_head = s->pool[i].next;
        return i;
    }
    if (s->used == s->capacity) {
        uint64_t grown = s->capacity ? uint64_t{s->capacity} * 2 : kFirstPoolFragments;
        if (grown >= kNoFragment) grown = kNoFragment - 1;
        if (grown <= s->capacity) return kNoFragment;
        void *block = s->pool ? plat::HeapReAlloc(Heap(), 0, s->pool, grown * sizeof(Fragment))
                              : plat::HeapAlloc(Heap(), 0, grown * sizeof(Fragment));
        if (!block) return kNoFragment;
        s->pool = static_cast<Fragment *>(block);
        s->capacity = static_cast<uint32_t>(grown);
    }
    return s->used++;
}

void Accumulate(const Fragment *f, uint32_t count, uint32_t i, uint32_t mask, int layer, double sum[4]) {
    for (; i < count && mask; ++i) {
        const uint32_t in = mask & f[i].mask;
        if (!in) continue;
        mask &= ~in;
        const double k = PopCount(in);
        const uint8_t *c = f[i].bgra;
        if (Opaque(c) || layer >= kMaxGlassLayers) {
            for (int ch = 0; ch < 3; ++ch) sum[ch] += c[ch] * k;
            sum[3] += k;
            continue;
        }
        const double a = c[3] / 255.0;
        double behind[4] = {0, 0, 0, 0};
        Accumulate(f, count, i + 1, in, layer + 1, behind);
        for (int ch = 0; ch < 3; ++ch) sum[ch] += a * c[ch] * k + (1.0 - a) * behind[ch];
        sum[3] += a * k + (1.0 - a) * behind[3];
    }
}

int CompareNearestFirst(const void *pa, const void *pb) {
    const Fragment *a = static_cast<const Fragment *>(pa), *b = static_cast<const Fragment *>(pb);
    if (a->depth != b->depth) return a->depth > b->depth ? -1 : 1;
    return a->seq < b->seq ? -1 : (a->seq > b->seq ? 1 : 0);
}

}  // namespace

void BeginStrip(Strip *s, int64_t y0, uint32_t height) {
    s->y0 = y0;
    s->height = height;
    std::memset(s->buf, 0, static_cast<size_t>(s->width) * height * 8);
    s->used = 0;
    s->free_head = kNoFragment;
}

void SetPlain(Strip *s, uint32_t x, uint32_t row, const uint8_t bgra[4]) {
    uint8_t *p = PixelAt(s, x, row);
    std::memcpy(p, bgra, 4);
    const uint16_t w = kPlainWord;
    std::memcpy(p + 4, &w, 2);
}

bool AddFragment(Strip *s, uint32_t x, uint32_t row, uint32_t mask, const uint8_t bgra[4], double depth) {
    if (!mask) return true;
    uint8_t *p = PixelAt(s, x, row);
    const uint16_t word = WordOf(p);
    if (word == kPlainWord) {
        // The plate comes back as a fragment so the new one can be sorted
        // against it.
        uint32_t i = NewFragment(s);
        if (i == kNoFragment) return !(s->failed = true);
        Fragment &f = s->pool[i];
        f.depth = kPlateDepth;
        f.mask = kFullMask;
        f.next = kNoFragment;
        std::memcpy(f.bgra, p, 4);
        f.seq = s->seq++;
        ++s->created;
        SetListHead(p, i);
    }
    uint32_t head = WordOf(p) == kFragmentWord ? PayloadOf(p) : kNoFragment;
    // Opaque cover in front of the newcomer (equal depth counts as in
    // front: the earlier fragment wins the tie).
    uint32_t front = 0;
    for (uint32_t i = head; i != kNoFragment; i = s->pool[i].next)
        if (s->pool[i].depth >= depth && Opaque(s->pool[i].bgra)) front |= s->pool[i].mask;
    if (!(mask & ~front)) return true;  // hidden everywhere
    if (Opaque(bgra)) {
        // Fragments behind that the newcomer covers completely can never
        // show again. One it covers only in part stays: its other
        // sub-pixels may still be seen.
        uint32_t *link = &head;
        while (*link != kNoFragment) {
            Fragment &f = s->pool[*link];
            if (f.depth < depth && !(f.mask & ~mask)) {
                uint32_t gone = *link;
                *link = f.next;
                f.next = s->free_head;
                s->free_head = gone;
            } else {
                link = &f.next;
            }
        }
    }
    uint32_t i = NewFragment(s);
    if (i == kNoFragment) {
        SetListHead(p, head);
        return !(s->failed = true);
    }
    Fragment &f = s->pool[i];
    f.depth = depth;
    f.mask = mask;
    f.next = head;
    std::memcpy(f.bgra, bgra, 4);
    f.seq = s->seq++;
    ++s->created;
    SetListHead(p, i);
    return true;
}

void FreeStrip(Strip *s) {
    if (s->pool) plat::HeapFree(Heap(), 0, s->pool);
    if (s->work) plat::HeapFree(Heap(), 0, s->work);
    s->pool = s->work = nullptr;
    s->capacity = s->used = s->work_capacity = 0;
    s->free_head = kNoFragment;
    if (s->buf) KyPathBufFree(s->buf);
    s->buf = nullptr;
}

void SortFragments(Fragment *frags, uint32_t count) {
    if (count > 1) std::qsort(frags, count, sizeof(Fragment), CompareNearestFirst);
}

Resolved ResolveSorted(const Fragment *frags, uint32_t count) {
    double sum[4] = {0, 0, 0, 0};
    Accumulate(frags, count, 0, kFullMask, 0, sum);
    Resolved r{{0, 0, 0}, 0};
    if (!(sum[3] > 0.0)) return r;
    for (int ch = 0; ch < 3; ++ch) {
        double v = sum[ch] / sum[3] + 0.5;
        r.bgr[ch] = static_cast<uint8_t>(v > 255.0 ? 255.0 : v);
    }
    double cov = sum[3] / 32.0 * 255.0 + 0.5;
    r.coverage = static_cast<uint8_t>(cov > 255.0 ? 255.0 : cov);
    return r;
}

bool ResolvePixel(Strip *s, uint32_t x, uint32_t row, Resolved *out) {
    const uint8_t *p = PixelAt(s, x, row);
    const uint16_t word = WordOf(p);
    if (word == kEmptyWord) return false;
    if (word == kPlainWord) {
        std::memcpy(out->bgr, p, 3);
        out->coverage = p[3];
        return true;
    }
    uint32_t n = 0;
    for (uint32_t i = PayloadOf(p); i != kNoFragment; i = s->pool[i].next) ++n;
    if (n > s->work_capacity) {
        uint32_t cap = n < 64 ? 64 : n * 2;
        void *block = s->work ? plat::HeapReAlloc(Heap(), 0, s->work, size_t{cap} * sizeof(Fragment))
                              : plat::HeapAlloc(Heap(), 0, size_t{cap} * sizeof(Fragment));
        if (!block) {
            s->failed = true;
            return false;
        }
        s->work = static_cast<Fragment *>(block);
        s->work_capacity = cap;
    }
    n = 0;
    for (uint32_t i = PayloadOf(p); i != kNoFragment; i = s->pool[i].next) s->work[n++] = s->pool[i];
    SortFragments(s->work, n);
    *out = ResolveSorted(s->work, n);
    return true;
}

void LightFragment(const RendererLight &light, const vec::Vec3 &n, const uint8_t rgb[3], int32_t alpha,
                   uint8_t bgra_out[4]) {
    const bool glass = alpha < 255;
    const double ambient = glass ? 0.2 : light.ambient;
    const double diffuse = glass ? 0.75 : light.diffuse;
    const double specular = glass ? 4.0 : light.specular;
    const double exponent = glass ? 28.0 : light.exponent;
    const double *l = light.direction;
    double nl = n.x * l[0] + n.y * l[1] + n.z * l[2];
    if (!(nl > 0.0)) nl = 0.0;
    const double rx = 2 * n.z * n.x, ry = 2 * n.z * n.y, rz = 2 * n.z * n.z - 1;
    const double rl = rx * l[0] + ry * l[1] + rz * l[2];
    double s = rl >= 0.01 ? std::pow(rl, exponent) * specular * 255.0 : 0.0;
    if (!(s < 65535.0)) s = s > 0 ? 65535.0 : 0.0;  // a huge or NaN exponent result stays bounded
    const int32_t spec = static_cast<int32_t>(s);
    for (int ch = 0; ch < 3; ++ch) {
        const double c = rgb[2 - ch];  // output bytes are blue, green, red
        int32_t v = static_cast<int32_t>(c * ambient) + static_cast<int32_t>(c * diffuse * nl) + spec;
        bgra_out[ch] = static_cast<uint8_t>(v > 255 ? 255 : (v < 0 ? 0 : v));
    }
    int32_t a = glass ? alpha + spec : 255;
    bgra_out[3] = static_cast<uint8_t>(a > 255 ? 255 : (a < 0 ? 0 : a));
}

}  // namespace abuf
