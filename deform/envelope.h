// deform/envelope.h - envelope mapping and the attached envelope outline.
//
// An envelope is described once as a Mapper (corners or two curves in
// doubles, curves already in power form) and then applied to every
// position of a group chain: u and v are the point's place in the domain
// rectangle, 0..1 when inside it. Handles of curves are mapped as points,
// never subdivided, so a mapped path keeps its point count and types.
//
// The outline of an envelope lives as the last record of the table list
// (flags KPF_SELECTED plus 0x100000 or 0x200000); its corner nodes carry
// PT_SELECTED so that they show as selected nodes.
#pragma once

#include <cstdint>

#include "core/bezier.h"
#include "y32path/deform.h"

namespace env {

static_assert(sizeof(EnvelopePoint) == 8 && sizeof(EnvelopeNet) == 64 && sizeof(EnvelopeCorners) == 32,
              "envelope records are exchanged with the host byte for byte");

enum class Kind { kBilinear, kHorizontal, kVertical };

struct Domain {
    double left, top, right, bottom;
};

struct Mapper {
    Kind kind;
    vec::Vec2 corner[4];     // bilinear: A (0), B (1), C (2), D (3)
    bez::PowerCubic p, q;    // bi-Bezier: the two curves
};

Mapper FromCorners(const EnvelopeCorners &c);
Mapper FromNet(const EnvelopeNet &net, bool vertical);

// Where the envelope puts the domain point (u, v).
vec::Vec2 Map(const Mapper &m, double u, double v);

// Maps every position of the record and its group successors (stopping
// after a record that holds an OutlineInfo) and sets their shape codes to
// 0. With a zero domain width (height) every point keeps u = 0 (v = 0).
void MapChain(KyPath *p, const Domain &d, const Mapper &m);

// Maps a rectangle instead of a path: builds the closed outline of `src`
// in a working record on the private heap, maps it and reads what it
// became. False when the working record cannot be allocated.
bool MapRectToCorners(const Domain &src, const Domain &d, const Mapper &m, EnvelopeCorners *out);
bool MapRectToNet(const Domain &src, const Domain &d, const Mapper &m, bool vertical, EnvelopeNet *out);

// A net whose curves are still the straight edges of a plain rectangle,
// compared exactly: horizontal, Pi.x = Qi.x and each row level; vertical,
// Pi.y = Qi.y and each column plumb.
bool IsRectangularNet(bool vertical, const EnvelopeNet &net);

// The outline points of an envelope, in record order.
constexpr int32_t kBezierOutlinePoints = 9;
constexpr int32_t kBilinearOutlinePoints = 5;

// Attaches or overwrites the outline (see KyPathAdd... in y32path/deform.h).
// False, with nothing changed, when a record cannot be allocated or grown.
bool AttachNet(KyPath *path, const EnvelopeNet &net, bool vertical);
bool AttachCorners(KyPath *path, const EnvelopeCorners &c, bool vertical);

// Read the net (from at least 9 points) or corners (from at least 5).
bool ReadNet(const KyPath *outline, EnvelopeNet *net);
bool ReadCorners(const KyPath *outline, EnvelopeCorners *c);

// ENVELOPE_... code of the last record of the table list.
int32_t WrapType(const KyPath *p);

}  // namespace env
