// platform/fonts.cpp - fonts on FreeType, resolved with fontconfig.
//
// Owns: font contexts and fonts (live sets, so stale handles are refused),
// the FreeType library, and per font its metrics, its kerning pairs (read
// on first request) and the last glyph outline built (text code asks for a
// glyph's size and then for the glyph, so the second request is a copy).
//
// Units: glyphs are loaded unscaled, in font units (y upward). One factor,
// scale = em pixels / units per em, takes them to pixels; metrics that the
// text code uses as whole pixels are rounded to the nearest pixel.
#include "platform/fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include FT_BBOX_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/font_codepage.h"
#include "platform/font_outline.h"
#include "platform/runtime_memory.h"

using plat::font::Abc;
using plat::font::AbcFloat;
using plat::font::KerningPair;
using plat::font::Mat2;
using plat::font::OutlineTextMetric;
using plat::font::TextMetric;

struct Y32Font {
    LOGFONTA lf;
    FT_Face face = nullptr;
    std::string file;
    double em_px = 0;     // pixels per em
    double scale = 0;     // pixels per font unit
    double synth[4] = {1, 0, 0, 1};  // fontconfig's matrix (xx, xy, yx, yy), font units
    uint32_t code_page = 1252;
    FT_CharMap unicode_map = nullptr;
    FT_CharMap symbol_map = nullptr;
    OutlineTextMetric otm{};
    int32_t selected = 0;  // how many contexts hold it

    bool kern_loaded = false;
    std::vector<KerningPair> kern;

    bool cached = false;
    uint32_t cached_code = 0;
    Mat2 cached_m{};
    bool cached_missing = false;
    std::vector<uint8_t> cached_outline;
};

struct Y32FontDc {
    HFONT font = nullptr;
};

namespace plat::font {
namespace {

// Outlines with an em above this would leave the 16.16 range in the text
// code once lines are stacked; no editor asks for such a font.
constexpr double kMaxEmPixels = 16384.0;
constexpr double kDefaultEmPixels = 16.0;
constexpr double kCubicTolerance = 0.25;  // font units
constexpr const char *kFallbackFace = "DejaVu Sans";
constexpr const char *kFallbackFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Never destroyed: a host may free fonts from its own static destructors.
std::unordered_set<const void *> &LiveFonts() {
    static auto *live = new std::unordered_set<const void *>;
    return *live;
}
std::unordered_set<const void *> &LiveDcs() {
    static auto *live = new std::unordered_set<const void *>;
    return *live;
}

FT_Library Library() {
    static FT_Library lib = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    }
    return lib;
}

bool FontconfigReady() {
    static int state = 0;  // 0 not tried, 1 ready, 2 unusable
    if (state == 0) state = FcInit() ? 1 : 2;
    return state == 1;
}

const char *LangOfCharset(uint8_t charset) {
    switch (charset) {
        case SHIFTJIS_CHARSET: return "ja";
        case HANGUL_CHARSET:
        case JOHAB_CHARSET: return "ko";
        case GB2312_CHARSET: return "zh-cn";
        case CHINESEBIG5_CHARSET: return "zh-tw";
        case GREEK_CHARSET: return "el";
        case HEBREW_CHARSET: return "he";
        case ARABIC_CHARSET: return "ar";
        case RUSSIAN_CHARSET: return "ru";
        case THAI_CHARSET: return "th";
        case VIETNAMESE_CHARSET: return "vi";
        default: return nullptr;
    }
}

struct Resolved {
    std::string file;
    int index = 0;
    double matrix[4] = {1, 0, 0, 1};
};

// Asks fontconfig for the installed scalable font closest to the record.
// With only_fallback the face name is ignored and DejaVu Sans asked for.
bool Resolve(const LOGFONTA &lf, bool only_fallback, Resolved *out) {
    if (!FontconfigReady()) return false;
    FcPattern *pat = FcPatternCreate();
    if (!pat) return false;
    char face[LF_FACESIZE + 1];
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
    face[LF_FACESIZE] = 0;
    const char *lang = LangOfCharset(lf.lfCharSet);
    if (!only_fallback && face[0]) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8 *>(face));
    // A family named in the pattern outranks the language, so the fallback
    // face is only named where it covers the text.
    if (only_fallback || !lang) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8 *>(kFallbackFace));
    if (lang && !only_fallback) FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8 *>(lang));
    int weight = lf.lfWeight > 0 && lf.lfWeight <= 1000 ? lf.lfWeight : FW_NORMAL;
    FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pat, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!match) return false;
    bool ok = false;
    FcChar8 *file = nullptr;
    FcBool outline = FcFalse;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file &&
        (FcPatternGetBool(match, FC_OUTLINE, 0, &outline) != FcResultMatch || outline)) {
        out->file = reinterpret_cast<const char *>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) out->index = index;
        // A roman face asked to be italic comes back with a slanting matrix.
        FcMatrix *m = nullptr;
        if (FcPatternGetMatrix(match, FC_MATRIX, 0, &m) == FcResultMatch && m) {
            out->matrix[0] = m->xx;
            out->matrix[1] = m->xy;
            out->matrix[2] = m->yx;
            out->matrix[3] = m->yy;
        }
        ok = true;
    }
    FcPatternDestroy(match);
    return ok;
}

FT_Face OpenFace(const std::string &file, int index) {
    FT_Library lib = Library();
    if (!lib) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, file.c_str(), index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    return face;
}

int32_t Round(double v) { return static_cast<int32_t>(std::lround(v)); }

// Sizes and metrics; false when the requested em is out of range.
bool SetUpMetrics(Y32Font *f) {
    FT_Face face = f->face;
    const double upem = face->units_per_EM;
    double win_ascent = face->ascender, win_descent = -face->descender;
    auto *os2 = static_cast<TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        win_ascent = os2->usWinAscent;
        win_descent = os2->usWinDescent;
    }
    if (win_ascent + win_descent <= 0) {
        win_ascent = face->bbox.yMax;
        win_descent = -face->bbox.yMin;
    }
    if (win_ascent + win_descent <= 0) return false;

    const int64_t h = f->lf.lfHeight;
    double em;
    if (h < 0)
        em = static_cast<double>(-h);
    else if (h > 0)
        em = static_cast<double>(h) * upem / (win_ascent + win_descent);  // a cell height
    else
        em = kDefaultEmPixels;
    if (!(em > 0) || em > kMaxEmPixels) return false;
    f->em_px = em;
    f->scale = em / upem;
    const double s = f->scale;

    TextMetric &tm = f->otm.tm;
    tm.ascent = Round(win_ascent * s);
    tm.descent = Round(win_descent * s);
    tm.height = tm.ascent + tm.descent;
    tm.internalLeading = std::max(0, tm.height - Round(em));
    double gap = face->height - (face->ascender - face->descender);  // hhea line gap
    tm.externalLeading = std::max(0, Round((gap - ((win_ascent + win_descent) - (face->ascender - face->descender))) * s));
    tm.maxCharWidth = Round(face->max_advance_width * s);
    tm.aveCharWidth = os2 && os2->version != 0xFFFF ? Round(os2->xAvgCharWidth * s) : tm.maxCharWidth / 2;
    tm.weight = os2 && os2->version != 0xFFFF && os2->usWeightClass ? os2->usWeightClass
                                                                    : (face->style_flags & FT_STYLE_FLAG_BOLD ? 700 : 400);
    tm.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) || f->synth[1] != 0.0 ? 1 : 0;
    tm.charSet = f->lf.lfCharSet;

    OutlineTextMetric &otm = f->otm;
    otm.emSquare = face->units_per_EM;
    auto *post = static_cast<TT_Postscript *>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
    double ul_pos, ul_size;
    if (post && post->underlineThickness > 0) {
        ul_pos = post->underlinePosition;
        ul_size = post->underlineThickness;
    } else {
        // FreeType gives the stem's middle; the table's value is its top.
        ul_size = face->underline_thickness > 0 ? face->underline_thickness : upem / 20.0;
        ul_pos = face->underline_position + ul_size / 2;
    }
    otm.underscorePosition = Round(ul_pos * s);
    otm.underscoreSize = std::max(1, Round(ul_size * s));
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
        otm.strikeoutPosition = Round(os2->yStrikeoutPosition * s);
        otm.strikeoutSize = std::max(1, Round(os2->yStrikeoutSize * s));
    } else {
        otm.strikeoutPosition = Round(win_ascent * 0.3 * s);
        otm.strikeoutSize = otm.underscoreSize;
    }
    otm.tm = tm;
    return true;
}

void FindCharmaps(Y32Font *f) {
    for (int i = 0; i < f->face->num_charmaps; ++i) {
        FT_CharMap cm = f->face->charmaps[i];
        if (cm->encoding == FT_ENCODING_UNICODE && !f->unicode_map) f->unicode_map = cm;
        if (cm->encoding == FT_ENCODING_MS_SYMBOL && !f->symbol_map) f->symbol_map = cm;
    }
}

// The glyph of a character code in the font's code page; 0 when none.
FT_UInt GlyphOf(Y32Font *f, uint32_t code) {
    FT_Face face = f->face;
    if (f->code_page == kCpSymbol) {
        if (code > 0xFF) return 0;
        if (f->symbol_map && FT_Set_Charmap(face, f->symbol_map) == 0) {
            // Symbol fonts map their bytes at 0xF000 + byte, some also at the byte.
            FT_UInt g = FT_Get_Char_Index(face, 0xF000 | code);
            if (!g) g = FT_Get_Char_Index(face, code);
            return g;
        }
        if (!f->unicode_map || FT_Set_Charmap(face, f->unicode_map) != 0) return 0;
        return FT_Get_Char_Index(face, code);  // no symbol map: the byte as Latin-1
    }
    uint32_t unicode;
    if (!CodeToUnicode(f->code_page, code, &unicode)) return 0;
    if (!f->unicode_map || FT_Set_Charmap(face, f->unicode_map) != 0) return 0;
    return FT_Get_Char_Index(face, unicode);
}

// Loads the glyph of `code` unscaled into the face's slot.
bool LoadGlyph(Y32Font *f, uint32_t code) {
    FT_UInt g = GlyphOf(f, code);
    if (g == 0) return false;
    if (FT_Load_Glyph(f->face, g, FT_LOAD_NO_SCALE | FT_LOAD_IGNORE_TRANSFORM) != 0) return false;
    return f->face->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
}

// Builds (or finds) the native outline of code under m.
bool BuildOutline(Y32Font *f, uint32_t code, const Mat2 &m) {
    if (f->cached && f->cached_code == code && std::memcmp(&f->cached_m, &m, sizeof m) == 0) return !f->cached_missing;
    f->cached = true;
    f->cached_code = code;
    f->cached_m = m;
    f->cached_outline.clear();
    f->cached_missing = !LoadGlyph(f, code);
    if (f->cached_missing) return false;

    const FT_Outline &o = f->face->glyph->outline;
    std::vector<SourcePoint> pts(static_cast<size_t>(o.n_points));
    for (int i = 0; i < o.n_points; ++i) {
        char tag = FT_CURVE_TAG(o.tags[i]);
        pts[i] = SourcePoint{static_cast<double>(o.points[i].x), static_cast<double>(o.points[i].y),
                             tag == FT_CURVE_TAG_ON      ? PointTag::kOn
                             : tag == FT_CURVE_TAG_CUBIC ? PointTag::kCubic
                                                         : PointTag::kConic};
    }
    std::vector<int32_t> ends(o.contours, o.contours + o.n_contours);

    // Pixels = m * (scale * synth * font units).
    const double s = f->scale;
    const double a = m.m11 / 65536.0, b = m.m21 / 65536.0, c = m.m12 / 65536.0, d = m.m22 / 65536.0;
    const double *k = f->synth;
    Affine to_px{s * (a * k[0] + b * k[2]), s * (a * k[1] + b * k[3]), s * (c * k[0] + d * k[2]),
                 s * (c * k[1] + d * k[3])};
    AppendNativeOutline(pts.data(), ends.data(), o.n_contours, to_px, kCubicTolerance, f->cached_outline);
    return true;
}

bool MeasureGlyph(Y32Font *f, uint32_t code, double *a, double *b, double *advance) {
    if (!LoadGlyph(f, code)) return false;
    FT_GlyphSlot slot = f->face->glyph;
    *advance = slot->metrics.horiAdvance * f->scale;
    FT_BBox box{0, 0, 0, 0};
    if (slot->outline.n_points > 0) FT_Outline_Get_BBox(&slot->outline, &box);
    if (box.xMax > box.xMin) {
        *a = box.xMin * f->scale;
        *b = (box.xMax - box.xMin) * f->scale;
    } else {
        *a = 0;
        *b = 0;
    }
    return true;
}

// ----- kerning -------------------------------------------------------------

uint16_t Be16(const uint8_t *p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Horizontal kerning of glyph pairs from the 'kern' table (format 0
// subtables; the other formats and the Apple table layout are not read).
std::map<std::pair<uint32_t, uint32_t>, int32_t> ReadKernTable(FT_Face face) {
    std::map<std::pair<uint32_t, uint32_t>, int32_t> pairs;
    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face, TTAG_kern, 0, nullptr, &length) != 0 || length < 4) return pairs;
    std::vector<uint8_t> t(length);
    if (FT_Load_Sfnt_Table(face, TTAG_kern, 0, t.data(), &length) != 0) return pairs;
    if (Be16(&t[0]) != 0) return pairs;
    uint32_t tables = Be16(&t[2]);
    size_t at = 4;
    for (uint32_t i = 0; i < tables && at + 6 <= length; ++i) {
        uint32_t sub_length = Be16(&t[at + 2]);
        uint32_t coverage = Be16(&t[at + 4]);
        size_t next = at + sub_length;
        bool horizontal = (coverage & 0x1) && !(coverage & 0x2) && !(coverage & 0x4);
        bool overrides = (coverage & 0x8) != 0;
        if ((coverage >> 8) == 0 && horizontal && at + 14 <= length) {
            uint32_t n = Be16(&t[at + 6]);
            size_t p = at + 14;
            // A subtable with many pairs overflows its 16-bit length; the
            // pair count decides how far it reaches.
            next = std::max<size_t>(next, p + static_cast<size_t>(n) * 6);
            for (uint32_t k = 0; k < n && p + 6 <= length; ++k, p += 6) {
                auto key = std::make_pair<uint32_t, uint32_t>(Be16(&t[p]), Be16(&t[p + 2]));
                int32_t v = static_cast<int16_t>(Be16(&t[p + 4]));
                if (overrides)
                    pairs[key] = v;
                else
                    pairs[key] += v;
            }
        }
        if (sub_length == 0 && next == at) break;
        at = next;
    }
    return pairs;
}

struct CodeCollector {
    Y32Font *font;
    std::unordered_map<uint32_t, std::vector<uint16_t>> *codes_of_glyph;
};

void LoadKerning(Y32Font *f) {
    f->kern_loaded = true;
    auto glyph_pairs = ReadKernTable(f->face);
    if (glyph_pairs.empty()) return;

    // Which codes of the font's page reach each glyph.
    std::unordered_map<uint32_t, std::vector<uint16_t>> codes;
    if (f->code_page == kCpUtf8) {
        if (f->unicode_map && FT_Set_Charmap(f->face, f->unicode_map) == 0) {
            FT_UInt g = 0;
            for (FT_ULong u = FT_Get_First_Char(f->face, &g); g != 0; u = FT_Get_Next_Char(f->face, u, &g))
                if (u <= 0xFFFF) codes[g].push_back(static_cast<uint16_t>(u));
        }
    } else if (f->code_page == kCpSymbol) {
        for (uint32_t c = 0; c < 256; ++c)
            if (FT_UInt g = GlyphOf(f, c)) codes[g].push_back(static_cast<uint16_t>(c));
    } else {
        if (!f->unicode_map || FT_Set_Charmap(f->face, f->unicode_map) != 0) return;
        CodeCollector cc{f, &codes};
        ForEachCode(
            f->code_page,
            [](uint32_t code, uint32_t unicode, void *user) {
                auto *c = static_cast<CodeCollector *>(user);
                if (FT_UInt g = FT_Get_Char_Index(c->font->face, unicode))
                    (*c->codes_of_glyph)[g].push_back(static_cast<uint16_t>(code));
            },
            &cc);
    }
    for (const auto &gp : glyph_pairs) {
        auto l = codes.find(gp.first.first);
        auto r = codes.find(gp.first.second);
        if (l == codes.end() || r == codes.end()) continue;
        int32_t amount = Round(gp.second * f->scale);
        for (uint16_t cl : l->second)
            for (uint16_t cr : r->second) f->kern.push_back(KerningPair{cl, cr, amount});
    }
    std::sort(f->kern.begin(), f->kern.end(), [](const KerningPair &x, const KerningPair &y) {
        return x.first != y.first ? x.first < y.first : x.second < y.second;
    });
}

Y32Font *ToFont(HFONT h) { return h && LiveFonts().count(h) ? h : nullptr; }
Y32FontDc *ToDc(HFONTDC h) { return h && LiveDcs().count(h) ? h : nullptr; }
Y32Font *FontOf(HFONTDC dc) {
    Y32FontDc *d = ToDc(dc);
    return d ? d->font : nullptr;
}

}  // namespace

HFONT SelectedFont(HFONTDC dc) { return FontOf(dc); }

uint32_t GetGlyphOutline(HFONTDC dc, uint32_t code, const Mat2 &m, uint32_t buffer_bytes, void *buffer) {
    Y32Font *f = FontOf(dc);
    if (!f || !BuildOutline(f, code, m)) return kGdiError;
    const uint32_t size = static_cast<uint32_t>(f->cached_outline.size());
    if (buffer && buffer_bytes > 0) {
        if (buffer_bytes < size) return kGdiError;
        if (size) std::memcpy(buffer, f->cached_outline.data(), size);
    }
    return size;
}

bool GetCharAbcWidthsFloat(HFONTDC dc, uint32_t code, AbcFloat *out) {
    Y32Font *f = FontOf(dc);
    double a, b, adv;
    if (!f || !out || !MeasureGlyph(f, code, &a, &b, &adv)) return false;
    out->a = static_cast<float>(a);
    out->b = static_cast<float>(b);
    out->c = static_cast<float>(adv - a - b);
    return true;
}

bool GetCharAbcWidths(HFONTDC dc, uint32_t code, Abc *out) {
    Y32Font *f = FontOf(dc);
    double a, b, adv;
    if (!f || !out || !MeasureGlyph(f, code, &a, &b, &adv)) return false;
    out->a = static_cast<int32_t>(std::floor(a));
    out->b = static_cast<uint32_t>(std::max(0.0, std::ceil(a + b) - std::floor(a)));
    out->c = Round(adv) - out->a - static_cast<int32_t>(out->b);
    return true;
}

uint32_t GetKerningPairs(HFONTDC dc, uint32_t capacity, KerningPair *out) {
    Y32Font *f = FontOf(dc);
    if (!f) return 0;
    if (!f->kern_loaded) LoadKerning(f);
    const uint32_t n = static_cast<uint32_t>(f->kern.size());
    if (!out || capacity == 0) return n;
    const uint32_t copied = std::min(capacity, n);
    std::copy(f->kern.begin(), f->kern.begin() + copied, out);
    return copied;
}

bool GetTextMetrics(HFONTDC dc, TextMetric *out) {
    Y32Font *f = FontOf(dc);
    if (!f || !out) return false;
    *out = f->otm.tm;
    return true;
}

bool GetOutlineTextMetrics(HFONTDC dc, OutlineTextMetric *out) {
    Y32Font *f = FontOf(dc);
    if (!f || !out) return false;
    *out = f->otm;
    return true;
}

const char *FontFile(HFONT font) {
    Y32Font *f = ToFont(font);
    return f ? f->file.c_str() : nullptr;
}

}  // namespace plat::font

using namespace plat::font;

extern "C" {

HFONTDC y32CreateFontDC(void) {
    Y32FontDc *dc = plat::ObjNew<Y32FontDc>();
    if (dc) LiveDcs().insert(dc);
    return dc;
}

int32_t y32DeleteFontDC(HFONTDC dc) {
    Y32FontDc *d = ToDc(dc);
    if (!d) return 0;
    if (d->font) --d->font->selected;
    LiveDcs().erase(d);
    plat::ObjDelete(d);
    return 1;
}

HFONT y32CreateFontIndirect(const LOGFONTA *lf) {
    if (!lf) return nullptr;
    Y32Font *f = plat::ObjNew<Y32Font>();
    if (!f) return nullptr;
    f->lf = *lf;
    f->code_page = CodePageOfCharset(lf->lfCharSet);

    // The face asked for; failing that the fallback face; failing even
    // fontconfig, the fallback face's usual file.
    Resolved r;
    if (Resolve(*lf, false, &r)) f->face = OpenFace(r.file, r.index);
    if (!f->face) {
        r = Resolved{};
        if (Resolve(*lf, true, &r)) f->face = OpenFace(r.file, r.index);
    }
    if (!f->face) {
        r = Resolved{};
        r.file = kFallbackFile;
        f->face = OpenFace(r.file, 0);
    }
    if (!f->face) {
        plat::ObjDelete(f);
        return nullptr;
    }
    f->file = r.file;
    std::copy(r.matrix, r.matrix + 4, f->synth);
    FindCharmaps(f);
    if (!SetUpMetrics(f)) {
        FT_Done_Face(f->face);
        plat::ObjDelete(f);
        return nullptr;
    }
    LiveFonts().insert(f);
    return f;
}

HFONT y32SelectFont(HFONTDC dc, HFONT font) {
    Y32FontDc *d = ToDc(dc);
    if (!d || (font && !ToFont(font))) return nullptr;
    HFONT previous = d->font;
    if (previous) --previous->selected;
    d->font = font;
    if (font) ++font->selected;
    return previous;
}

int32_t y32DeleteFont(HFONT font) {
    Y32Font *f = ToFont(font);
    if (!f || f->selected > 0) return 0;
    LiveFonts().erase(f);
    FT_Done_Face(f->face);
    plat::ObjDelete(f);
    return 1;
}

int32_t y32GetFontFile(HFONT font, char *out, int32_t out_bytes) {
    Y32Font *f = ToFont(font);
    if (!f) return 0;
    if (out && out_bytes > 0) {
        size_t n = std::min(f->file.size(), static_cast<size_t>(out_bytes - 1));
        std::memcpy(out, f->file.data(), n);
        out[n] = 0;
    }
    return static_cast<int32_t>(f->file.size());
}

}  // extern "C"
