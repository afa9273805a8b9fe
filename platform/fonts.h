// platform/fonts.h - what the text functions ask of a font.
//
// The public calls (y32path/fonts.h) make contexts and fonts; the queries
// here read the font selected into a context, in the shapes the text code
// consumes:
//
//  - GetGlyphOutline: a glyph's contours in the native polygon form (below),
//    16.16 coordinates in pixels at the font's size, y growing upward, after
//    an optional 2x2 matrix (the synthetic slant of the text code);
//  - ABC advance widths (floats, or whole pixels), kerning pairs in the
//    code page of the font's charset, text metrics and outline text metrics.
//
// Native polygon form: a sequence of polygons. Each starts with a
// PolygonHeader (cb = bytes of the polygon including its header, type 24,
// start point), followed by curve records up to cb: a CurveHeader (kind,
// point count) and that many (x, y) pairs of 16.16 values. A line record
// lists the end points of its straight pieces. A quadratic spline record
// lists B-spline control points of which only the last lies on the curve;
// between two consecutive controls the curve passes through their midpoint.
// Contours are closed implicitly: when a contour ends with a straight
// piece, that piece back to the start is left out; when it ends with a
// curve, the curve ends exactly on the start point.
//
// Outlines are taken unhinted in font units and scaled here, so positions
// and advances are the design's, unrounded. Cubic contours (CFF fonts) are
// split into quadratic arcs that stay within a quarter of a font unit of
// the cubic.
#pragma once

#include <cstdint>

#include "y32path/fonts.h"

namespace plat::font {

constexpr uint32_t kGdiError = 0xFFFFFFFFu;

constexpr uint32_t kPolygonType = 24;
constexpr uint16_t kPrimLine = 1;
constexpr uint16_t kPrimQSpline = 2;
constexpr uint16_t kPrimCSpline = 3;  // never produced here; readers step over it

struct PolygonHeader {
    uint32_t cb;
    uint32_t type;
    int32_t x, y;  // 16.16
};
struct CurveHeader {
    uint16_t type;
    uint16_t count;
};
struct PointFx {
    int32_t x, y;  // 16.16
};
static_assert(sizeof(PolygonHeader) == 16, "polygon header is 16 bytes");
static_assert(sizeof(CurveHeader) == 4, "curve header is 4 bytes");
static_assert(sizeof(PointFx) == 8, "a point is two 16.16 values");

// x' = m11 x + m21 y, y' = m12 x + m22 y, in 16.16.
struct Mat2 {
    int32_t m11, m12, m21, m22;
};
constexpr Mat2 kIdentity = {65536, 0, 0, 65536};

struct AbcFloat {
    float a, b, c;
};
struct Abc {
    int32_t a;
    uint32_t b;
    int32_t c;
};

struct KerningPair {
    uint16_t first, second;  // character codes in the font's code page
    int32_t amount;          // whole pixels at the font's size
};

struct TextMetric {
    int32_t height;  // ascent + descent
    int32_t ascent, descent;
    int32_t internalLeading, externalLeading;
    int32_t aveCharWidth, maxCharWidth;
    int32_t weight;
    uint8_t italic;  // the face is italic or slanted for it
    uint8_t charSet;
};

struct OutlineTextMetric {
    TextMetric tm;
    uint32_t emSquare;  // font units per em
    // Whole pixels at the font's size, y growing upward: the underscore
    // position is negative below the baseline.
    int32_t underscoreSize, underscorePosition;
    int32_t strikeoutSize, strikeoutPosition;
};

// The font selected into a live context, or null.
HFONT SelectedFont(HFONTDC dc);

// Bytes of the native outline of `code` (0 for a glyph without contours,
// such as a space), or kGdiError when the font has no glyph for the code.
// With a buffer of at least that size the outline is written into it.
uint32_t GetGlyphOutline(HFONTDC dc, uint32_t code, const Mat2 &m, uint32_t buffer_bytes, void *buffer);
bool GetCharAbcWidthsFloat(HFONTDC dc, uint32_t code, AbcFloat *out);
bool GetCharAbcWidths(HFONTDC dc, uint32_t code, Abc *out);
// With out null or capacity 0: the number of pairs. Otherwise copies up to
// capacity pairs and returns how many were copied.
uint32_t GetKerningPairs(HFONTDC dc, uint32_t capacity, KerningPair *out);
bool GetTextMetrics(HFONTDC dc, TextMetric *out);
bool GetOutlineTextMetrics(HFONTDC dc, OutlineTextMetric *out);

// The file a font came from (for diagnostics and tests).
const char *FontFile(HFONT font);

}  // namespace plat::font
