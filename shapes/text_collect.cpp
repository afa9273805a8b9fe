// shapes/text_collect.cpp - the glyphs of one line of text.
//
// Walks the line character by character in the code page of the charset,
// asks the font for each outline and its ABC widths, and keeps them in a
// GlyphList on the private heap (list and outlines), so the text code's
// leak checks see every block.
#include <cstring>

#include "core/fixed.h"
#include "core/memory.h"
#include "platform/font_codepage.h"
#include "platform/fonts.h"
#include "shapes/text_glyphs.h"

namespace {

// Advances are cut where they pass this many pixels.
constexpr double kAdvanceLimit = 10000.0;
// The synthetic slant: x moves by 0.3 y.
constexpr double kSlant = 0.3;
constexpr uint32_t kFallbackChar = '$';

bool SlantsCharacter(uint8_t charset, bool multi_byte) {
    return multi_byte || charset == SHIFTJIS_CHARSET || charset == HANGUL_CHARSET || charset == CHINESEBIG5_CHARSET ||
           charset == SYMBOL_CHARSET;
}

}  // namespace

void FreeGlyphList(GlyphList *list) {
    if (!list || !mem::IsLivePathBlock(list)) return;
    GlyphEntry *e = GlyphEntries(list);
    for (int32_t i = 0; i < list->count; ++i)
        if (e[i].outline) mem::PathFree(e[i].outline);
    mem::PathFree(list);
}

int32_t CollectGlyphOutlines(HFONTDC dc, const char *text, GlyphList **list, int32_t italic, int32_t scaleSwitch,
                             int32_t charset, const RichTextRun *run) {
    using namespace plat::font;
    if (!list) return 0;
    *list = nullptr;
    if (!dc || !text) return 0;

    uint8_t cs = static_cast<uint8_t>(charset);
    double limit = kAdvanceLimit;
    if (run) {
        cs = static_cast<uint8_t>(run->charset);
        if (scaleSwitch) {
            // A negative height is a size like any other: mirroring the text
            // is never what it asks for.
            double scale = (run->height < 0 ? -static_cast<double>(run->height) : run->height) * 0.0078125;
            if (scale > 1.0) limit = kAdvanceLimit / scale;
        }
    }
    const uint32_t code_page = CodePageOfCharset(cs);

    size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] == '\r') --n;
    if (n == 0) return 0;
    if (n > (SIZE_MAX - kGlyphEntriesOffset) / sizeof(GlyphEntry) || n > INT32_MAX) return 0;
    auto *l = static_cast<GlyphList *>(mem::PathAlloc(kGlyphEntriesOffset + n * sizeof(GlyphEntry)));
    if (!l) return 0;
    GlyphEntry *entries = GlyphEntries(l);

    double total = 0.0;
    size_t i = 0;
    while (i < n) {
        CharStep ch = cs == SYMBOL_CHARSET ? CharStep{static_cast<uint8_t>(text[i]), 1, false}
                                           : ReadChar(code_page, text + i);
        if (i + static_cast<size_t>(ch.bytes) > n) ch = CharStep{static_cast<uint8_t>(text[i]), 1, false};
        Mat2 m = kIdentity;
        if (italic && SlantsCharacter(cs, ch.multi_byte)) m.m21 = fx::FromDouble(kSlant);

        uint32_t code = ch.code;
        uint32_t size = GetGlyphOutline(dc, code, m, 0, nullptr);
        if (size == kGdiError) {
            code = kFallbackChar;
            size = GetGlyphOutline(dc, code, m, 0, nullptr);
            if (size == kGdiError) {
                l->count = static_cast<int32_t>(i);
                FreeGlyphList(l);
                return 0;
            }
        }

        AbcFloat abc{0, 0, 0};
        if (!GetCharAbcWidthsFloat(dc, code, &abc)) {
            Abc whole{0, 0, 0};
            if (GetCharAbcWidths(dc, code, &whole))
                abc = AbcFloat{static_cast<float>(whole.a), static_cast<float>(whole.b), static_cast<float>(whole.c)};
        }
        double advance = static_cast<double>(abc.a) + abc.b + abc.c;
        if (run && run->spacing != 0) {
            advance += run->spacing;
            if (run->spacing < 0 && advance < 0.0) advance = 0.0;
        }
        total += advance;
        if (total > limit) break;

        GlyphEntry &e = entries[i];
        if (size > 0) {
            auto *outline = static_cast<uint8_t *>(mem::PathAlloc(size));
            if (!outline || GetGlyphOutline(dc, code, m, size, outline) != size) {
                if (outline) mem::PathFree(outline);
                l->count = static_cast<int32_t>(i);
                FreeGlyphList(l);
                return 0;
            }
            e.outline = outline;
            e.firstCurve = size > sizeof(PolygonHeader) ? outline + sizeof(PolygonHeader) : nullptr;
        }
        e.a = abc.a;
        e.b = abc.b;
        e.c = abc.c;
        e.code = code;
        e.size = size;
        i += static_cast<size_t>(ch.bytes);
    }
    l->count = static_cast<int32_t>(i);
    *list = l;
    return 1;
}
