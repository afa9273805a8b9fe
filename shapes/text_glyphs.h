// shapes/text_glyphs.h - the glyph machinery shared by plain and rich text.
//
// CollectGlyphOutlines asks the font for every character of a line: its
// outline in the native polygon form (platform/fonts.h) and its ABC
// widths, into a GlyphList on the private heap. FontOutlineToPSPath turns
// the list into KyPath records, one per contour, quadratic splines made
// cubic, glyphs placed along the pen position. Coordinates of the records
// are 16.16 image pixels with y growing downward; the baseline is y = 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/fonts.h"
#include "y32path/shapes.h"
#include "y32path/types.h"

// Text attribute bits of the record flags.
constexpr uint32_t kTextGlyphStart = 0x40000000u;  // first record of a glyph, and decoration bars
constexpr uint32_t kTextLineStart = 0x20000000u;   // first record of a line
constexpr uint32_t kTextRunMark = 0x10000000u;     // records of a rich-text run that asks for it

// Implied on-curve points of quadratic splines carry this beside PT_BEZIERTO.
constexpr uint16_t kImpliedOnCurve = 0x2000;

// One character. A double-byte character (or a UTF-8 sequence) fills the
// entry of its first byte; the entries of its other bytes stay empty, so
// entry i always belongs to byte i of the text.
struct GlyphEntry {
    uint8_t *outline;     // native polygon form, or null for a glyph without contours
    uint8_t *firstCurve;  // outline + 16: the first curve after the first polygon header
    float a, b, c;        // ABC advance widths, pixels
    // The code given to the font: a byte, lead x 256 + trail, or for UTF-8
    // text the Unicode value (32 bits, so characters beyond U+FFFF keep
    // their code; the entry is 28 bytes either way on a 32-bit target).
    uint32_t code;
    uint32_t size;  // bytes of the outline
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(GlyphEntry) == 28, "glyph entries are 28 bytes on a 32-bit target");
// The host's parameter records.
static_assert(sizeof(TextParams) == 40, "ten 32-bit text parameters");
static_assert(sizeof(RichTextHeader) == 48, "runs start at byte 48");
static_assert(sizeof(RichTextRun) == 68, "a run is 68 bytes");
static_assert(offsetof(RichTextRun, face) == 32 && offsetof(RichTextRun, text) == 64, "run layout");
#endif
static_assert(sizeof(RichTextHeader) % alignof(RichTextRun) == 0, "runs follow the header without a gap");

struct GlyphList {
    int32_t count;  // entries in use (entries of the other bytes of a character included)
};
constexpr size_t kGlyphEntriesOffset =
    alignof(GlyphEntry) > sizeof(int32_t) ? alignof(GlyphEntry) : sizeof(int32_t);

inline GlyphEntry *GlyphEntries(GlyphList *list) {
    return reinterpret_cast<GlyphEntry *>(reinterpret_cast<char *>(list) + kGlyphEntriesOffset);
}
inline const GlyphEntry *GlyphEntries(const GlyphList *list) {
    return reinterpret_cast<const GlyphEntry *>(reinterpret_cast<const char *>(list) + kGlyphEntriesOffset);
}

// Fills *list with the glyphs of text (zero-terminated; a final carriage
// return is left out). With a run, the run's charset replaces `charset`,
// its spacing is added to every advance, and with scaleSwitch the advance
// limit is measured at the run's height. italic slants double-byte and
// symbol characters by 0.3. Text beyond 10000 pixels of advance is cut.
// Returns 1; 0 and *list null for empty text, no memory, or a character
// the font lacks when it lacks "$" too.
int32_t CollectGlyphOutlines(HFONTDC dc, const char *text, GlyphList **list, int32_t italic, int32_t scaleSwitch,
                             int32_t charset, const RichTextRun *run);
// Frees the outlines and the list; nothing for a pointer that is not a
// live block of the private heap.
void FreeGlyphList(GlyphList *list);

// Records for the glyphs of list, linked in order as one table list and
// group chain, into *head (null when no glyph has contours). The pen starts
// at 0 and moves by whole pixels; vertical text advances along y. With a
// run: kerning (when the run asks for it and pairs are given) and spacing.
// *advance (when given) receives the final pen position. Returns 1; 0 and
// nothing built when out of memory.
int32_t FontOutlineToPSPath(const GlyphList *list, KyPath **head, double *advance, const RichTextRun *run,
                            const plat::font::KerningPair *pairs, int32_t pairCount, int32_t vertical);

// Kerning between entries index and index + 1: the amount of the first
// pair whose codes match, else 0.
int32_t FindKerningAmount(const GlyphList *list, int32_t index, const plat::font::KerningPair *pairs,
                          int32_t count);

// Adds an underline (kind 1) or strike-out (kind 2) bar sized from the box
// of the line starting at head (KyPathGetRealRect, or *box when given),
// after the last member of its group chain. A line that gets both bars
// passes the box measured before the first, so that the second is not
// sized by the first. Returns 1; 0 for a null head, an unknown kind or no
// memory.
int32_t AddTextDecoration(KyPath *head, int32_t kind, int32_t vertical, const Y32Rect *box = nullptr);

// A closed rectangle record (five points, flags kTextGlyphStart | extra)
// from (x0, y0) to (x1, y1), appended after the last member of head's
// group chain. Returns the bar, or null when out of memory.
KyPath *AppendTextBar(KyPath *head, FIXED x0, FIXED y0, FIXED x1, FIXED y1, uint32_t extra_flags);

// The last member of the group chain that starts at p.
KyPath *LastGroupMember(KyPath *p);
