// Fonts of the platform layer: resolution, metrics, kerning, the native
// outline form (including cubic contours no installed font has) and code
// pages.
#include <cmath>
#include <cstring>
#include <random>

#include "platform/font_codepage.h"
#include "platform/font_outline.h"
#include "shapes/text_support.h"

using namespace plat::font;
using text_support::FontDc;

// fontconfig loses a block while it parses its configuration files (once,
// inside FcInit); the leak checker of the sanitizer build is told so, and
// still sees every block of this program and of FreeType.
extern "C" __attribute__((visibility("default"), used)) const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

struct Curve {
    uint16_t type;
    std::vector<PointFx> pts;
};
struct Polygon {
    PointFx start;
    std::vector<Curve> curves;
};

// Reads the native polygon form back, checking every size on the way.
std::vector<Polygon> ParseNative(const uint8_t *data, size_t size) {
    std::vector<Polygon> out;
    size_t at = 0;
    while (at < size) {
        PolygonHeader h;
        EXPECT_LE(at + sizeof h, size);
        std::memcpy(&h, data + at, sizeof h);
        EXPECT_EQ(h.type, kPolygonType);
        EXPECT_GE(h.cb, sizeof h);
        EXPECT_LE(at + h.cb, size);
        if (h.cb < sizeof h || at + h.cb > size) break;
        Polygon p{{h.x, h.y}, {}};
        size_t c = at + sizeof h;
        while (c < at + h.cb) {
            CurveHeader ch;
            std::memcpy(&ch, data + c, sizeof ch);
            Curve curve{ch.type, std::vector<PointFx>(ch.count)};
            std::memcpy(curve.pts.data(), data + c + sizeof ch, ch.count * sizeof(PointFx));
            p.curves.push_back(curve);
            c += sizeof ch + ch.count * sizeof(PointFx);
        }
        EXPECT_EQ(c, at + h.cb);
        out.push_back(p);
        at += h.cb;
    }
    return out;
}

std::vector<Polygon> Native(const std::vector<SourcePoint> &pts, const std::vector<int32_t> &ends,
                            const Affine &m = Affine{1, 0, 0, 1}) {
    std::vector<uint8_t> out;
    AppendNativeOutline(pts.data(), ends.data(), static_cast<int32_t>(ends.size()), m, 0.25, out);
    return ParseNative(out.data(), out.size());
}

// The outline of one character in the selected font, read back.
std::vector<Polygon> GlyphPolygons(HFONTDC dc, uint32_t ch, const Mat2 &m) {
    std::vector<uint8_t> buf(GetGlyphOutline(dc, ch, m, 0, nullptr));
    EXPECT_EQ(GetGlyphOutline(dc, ch, m, static_cast<uint32_t>(buf.size()), buf.data()), buf.size());
    return ParseNative(buf.data(), buf.size());
}

double Fx(int32_t v) { return v / 65536.0; }

Vec Cubic(Vec p0, Vec c1, Vec c2, Vec p3, double t) {
    double u = 1 - t;
    return Vec{u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
               u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y};
}
Vec Quad(Vec a, Vec q, Vec b, double t) {
    double u = 1 - t;
    return Vec{u * u * a.x + 2 * u * t * q.x + t * t * b.x, u * u * a.y + 2 * u * t * q.y + t * t * b.y};
}

// Largest distance from the arcs to the cubic, comparing the arc at s with
// the cubic at the matching parameter.
double ArcError(Vec p0, Vec c1, Vec c2, Vec p3, const std::vector<Vec> &arcs) {
    const size_t n = arcs.size() / 2;
    double worst = 0;
    Vec a = p0;
    for (size_t i = 0; i < n; ++i) {
        for (int k = 0; k <= 64; ++k) {
            double s = k / 64.0;
            Vec q = Quad(a, arcs[2 * i], arcs[2 * i + 1], s);
            Vec c = Cubic(p0, c1, c2, p3, (i + s) / n);
            worst = std::max(worst, std::hypot(q.x - c.x, q.y - c.y));
        }
        a = arcs[2 * i + 1];
    }
    return worst;
}

}  // namespace

TEST(TextFontOutline, CubicsBecomeQuadraticArcsWithinAQuarterUnit) {
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> coord(-2000.0, 2000.0);
    for (int trial = 0; trial < 300; ++trial) {
        Vec p0{coord(rng), coord(rng)}, c1{coord(rng), coord(rng)}, c2{coord(rng), coord(rng)},
            p3{coord(rng), coord(rng)};
        std::vector<Vec> arcs;
        int32_t n = CubicToQuadratics(p0, c1, c2, p3, 0.25, arcs);
        ASSERT_EQ(arcs.size(), static_cast<size_t>(2 * n));
        EXPECT_EQ(arcs.back().x, p3.x);
        EXPECT_EQ(arcs.back().y, p3.y);
        EXPECT_LE(ArcError(p0, c1, c2, p3, arcs), 0.25 + 1e-9) << "trial " << trial;
        // Not wastefully many: one piece fewer would break the bound.
        if (n > 1) {
            double dx = p3.x - 3 * c2.x + 3 * c1.x - p0.x, dy = p3.y - 3 * c2.y + 3 * c1.y - p0.y;
            EXPECT_GT(std::sqrt(3.0) / 36.0 * std::hypot(dx, dy) / std::pow(n - 1, 3), 0.25);
        }
    }
    // A quadratic written as a cubic stays one arc with its own control.
    std::vector<Vec> arcs;
    EXPECT_EQ(CubicToQuadratics({0, 0}, {20, 40}, {40, 40}, {60, 0}, 0.25, arcs), 1);
    EXPECT_DOUBLE_EQ(arcs[0].x, 30.0);
    EXPECT_DOUBLE_EQ(arcs[0].y, 60.0);
}

TEST(TextFontOutline, CubicContourBecomesSplineRecordsEndingOnTheStart) {
    // A CFF-style circle-ish contour: on, cubic, cubic, on, cubic, cubic (back to start).
    std::vector<SourcePoint> pts = {
        {0, 0, PointTag::kOn},        {0, 550, PointTag::kCubic},   {1000, 550, PointTag::kCubic},
        {1000, 0, PointTag::kOn},     {1000, -550, PointTag::kCubic}, {0, -550, PointTag::kCubic},
    };
    auto polys = Native(pts, {5}, Affine{0.01, 0, 0, 0.01});  // 10 pixels per 1000 units
    ASSERT_EQ(polys.size(), 1u);
    const Polygon &p = polys[0];
    EXPECT_EQ(p.start.x, 0);
    EXPECT_EQ(p.start.y, 0);
    ASSERT_GE(p.curves.size(), 2u);
    for (const Curve &c : p.curves) {
        EXPECT_EQ(c.type, kPrimQSpline);
        EXPECT_EQ(c.pts.size(), 2u);  // one arc per record: its end lies on the curve
    }
    // The first half ends exactly on (10, 0) px, the contour exactly on its start.
    bool hit_mid = false;
    for (const Curve &c : p.curves) hit_mid |= c.pts[1].x == 10 * 65536 && c.pts[1].y == 0;
    EXPECT_TRUE(hit_mid);
    EXPECT_EQ(p.curves.back().pts[1].x, 0);
    EXPECT_EQ(p.curves.back().pts[1].y, 0);
}

TEST(TextFontOutline, ContourShapes) {
    // A square: four on-curve points; the closing side is implied.
    auto square = Native({{0, 0, PointTag::kOn}, {0, 10, PointTag::kOn}, {10, 10, PointTag::kOn}, {10, 0, PointTag::kOn}},
                         {3});
    ASSERT_EQ(square.size(), 1u);
    ASSERT_EQ(square[0].curves.size(), 1u);
    EXPECT_EQ(square[0].curves[0].type, kPrimLine);
    EXPECT_EQ(square[0].curves[0].pts.size(), 3u);

    // Starting off the curve: the walk starts at the first on-curve point
    // and the final spline ends exactly on it.
    auto bump = Native({{5, 10, PointTag::kConic}, {10, 0, PointTag::kOn}, {0, 0, PointTag::kOn}}, {2});
    ASSERT_EQ(bump.size(), 1u);
    EXPECT_EQ(bump[0].start.x, 10 * 65536);
    ASSERT_EQ(bump[0].curves.size(), 2u);
    EXPECT_EQ(bump[0].curves[0].type, kPrimLine);
    EXPECT_EQ(bump[0].curves[1].type, kPrimQSpline);
    ASSERT_EQ(bump[0].curves[1].pts.size(), 2u);
    EXPECT_EQ(bump[0].curves[1].pts[1].x, 10 * 65536);

    // No point on the curve: starts between the last and first controls.
    auto ring = Native({{0, 10, PointTag::kConic}, {10, 10, PointTag::kConic}, {10, 0, PointTag::kConic},
                        {0, 0, PointTag::kConic}},
                       {3});
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_EQ(ring[0].start.x, 0);
    EXPECT_EQ(ring[0].start.y, 5 * 65536);
    ASSERT_EQ(ring[0].curves.size(), 1u);
    EXPECT_EQ(ring[0].curves[0].pts.size(), 5u);

    // Two contours, a malformed one (lone cubic control) dropped between them.
    auto two = Native({{0, 0, PointTag::kOn}, {5, 5, PointTag::kOn},                              // 0..1
                       {0, 0, PointTag::kOn}, {3, 3, PointTag::kCubic}, {6, 0, PointTag::kOn},    // 2..4
                       {0, 0, PointTag::kOn}, {1, 0, PointTag::kOn}, {1, 1, PointTag::kOn}},     // 5..7
                      {1, 4, 7});
    EXPECT_EQ(two.size(), 2u);
}

TEST(TextFont, ResolvesFacesAndFallsBackToDejaVuSans) {
    FontDc serif("DejaVu Serif", -96);
    ASSERT_TRUE(serif.ok());
    EXPECT_NE(serif.file().find("DejaVuSerif.ttf"), std::string::npos) << serif.file();

    FontDc bold("DejaVu Serif", -96, ANSI_CHARSET, FW_BOLD);
    EXPECT_NE(bold.file().find("DejaVuSerif-Bold"), std::string::npos) << bold.file();

    FontDc nothing("No Such Face At All", -20);
    ASSERT_TRUE(nothing.ok());
    EXPECT_NE(nothing.file().find("DejaVuSans.ttf"), std::string::npos) << nothing.file();

    FontDc unnamed("", -20);
    EXPECT_NE(unnamed.file().find("DejaVuSans"), std::string::npos) << unnamed.file();

    char name[8];
    EXPECT_EQ(y32GetFontFile(serif.font(), name, sizeof name), static_cast<int32_t>(serif.file().size()));
    EXPECT_EQ(std::strlen(name), 7u);  // cut to fit
}

TEST(TextFont, MetricsFollowTheRequestedHeight) {
    FontDc em("DejaVu Sans", -100);
    TextMetric tm = em.metrics();
    // DejaVu Sans: 2048 units per em, win ascent 1901, win descent 483.
    EXPECT_EQ(tm.ascent, 93);
    EXPECT_EQ(tm.descent, 24);
    EXPECT_EQ(tm.height, tm.ascent + tm.descent);
    EXPECT_EQ(tm.italic, 0);

    FontDc cell("DejaVu Sans", 117);  // a cell height: the same em of about 100 pixels
    EXPECT_EQ(cell.metrics().height, 117);

    OutlineTextMetric otm;
    ASSERT_TRUE(GetOutlineTextMetrics(em.dc(), &otm));
    EXPECT_EQ(otm.emSquare, 2048u);
    EXPECT_LT(otm.underscorePosition, 0);   // below the baseline
    EXPECT_GT(otm.strikeoutPosition, 10);   // about the middle of the x-height
    EXPECT_LT(otm.strikeoutPosition, 50);
    EXPECT_GE(otm.underscoreSize, 1);
    EXPECT_GE(otm.strikeoutSize, 1);

    FontDc oblique("DejaVu Sans", -40, ANSI_CHARSET, FW_NORMAL, true);
    EXPECT_EQ(oblique.metrics().italic, 1);

    LOGFONTA huge{};
    huge.lfHeight = -100000;
    EXPECT_EQ(y32CreateFontIndirect(&huge), nullptr);
    EXPECT_EQ(y32CreateFontIndirect(nullptr), nullptr);
}

TEST(TextFont, GlyphOutlinesWidthsAndKerning) {
    FontDc f("DejaVu Sans", -100);
    ASSERT_TRUE(f.ok());
    uint32_t size = GetGlyphOutline(f.dc(), 'O', kIdentity, 0, nullptr);
    ASSERT_NE(size, kGdiError);
    std::vector<uint8_t> buf(size);
    EXPECT_EQ(GetGlyphOutline(f.dc(), 'O', kIdentity, size - 1, buf.data()), kGdiError);  // too small
    auto polys = GlyphPolygons(f.dc(), 'O', kIdentity);
    ASSERT_EQ(polys.size(), 2u);  // outer and inner ring
    for (const Polygon &p : polys) {
        bool spline = false;
        for (const Curve &c : p.curves) spline |= c.type == kPrimQSpline;
        EXPECT_TRUE(spline);
        // Every contour of an O ends with a curve landing on its start.
        const Curve &last = p.curves.back();
        EXPECT_EQ(last.type, kPrimQSpline);
        EXPECT_EQ(last.pts.back().x, p.start.x);
        EXPECT_EQ(last.pts.back().y, p.start.y);
    }
    EXPECT_EQ(GetGlyphOutline(f.dc(), ' ', kIdentity, 0, nullptr), 0u);  // a space has no contours

    // The slant moves the top of an 'l' right by 0.3 of its height.
    Mat2 slant = kIdentity;
    slant.m21 = 19660;
    auto pu = GlyphPolygons(f.dc(), 'l', kIdentity), ps = GlyphPolygons(f.dc(), 'l', slant);
    ASSERT_EQ(pu.size(), 1u);
    ASSERT_EQ(ps.size(), 1u);
    EXPECT_NEAR(Fx(ps[0].start.x), Fx(pu[0].start.x) + 0.3 * Fx(pu[0].start.y), 0.001);

    AbcFloat abc;
    ASSERT_TRUE(GetCharAbcWidthsFloat(f.dc(), 'W', &abc));
    EXPECT_NEAR(abc.a + abc.b + abc.c, 2025.0 * 100 / 2048, 0.01);  // the design advance of W
    Abc whole;
    ASSERT_TRUE(GetCharAbcWidths(f.dc(), 'W', &whole));
    EXPECT_EQ(whole.a + static_cast<int32_t>(whole.b) + whole.c, 99);

    uint32_t n = GetKerningPairs(f.dc(), 0, nullptr);
    ASSERT_GT(n, 100u);
    std::vector<KerningPair> pairs(n);
    ASSERT_EQ(GetKerningPairs(f.dc(), n, pairs.data()), n);
    int32_t av = 0;
    for (const KerningPair &p : pairs)
        if (p.first == 'A' && p.second == 'V') av = p.amount;
    EXPECT_LT(av, -2);
}

TEST(TextFont, HandlesAreCheckedAndSelectedFontsStay) {
    HFONTDC dc = y32CreateFontDC();
    ASSERT_NE(dc, nullptr);
    LOGFONTA lf{};
    lf.lfHeight = -12;
    HFONT font = y32CreateFontIndirect(&lf);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(y32SelectFont(dc, font), nullptr);
    EXPECT_EQ(y32DeleteFont(font), 0);  // still selected
    TextMetric tm;
    EXPECT_TRUE(GetTextMetrics(dc, &tm));
    EXPECT_EQ(y32SelectFont(dc, nullptr), font);
    EXPECT_FALSE(GetTextMetrics(dc, &tm));  // nothing selected
    EXPECT_EQ(GetGlyphOutline(dc, 'A', kIdentity, 0, nullptr), kGdiError);
    EXPECT_EQ(y32DeleteFont(font), 1);
    EXPECT_EQ(y32DeleteFont(font), 0);            // stale
    EXPECT_EQ(y32SelectFont(dc, font), nullptr);  // stale font refused
    EXPECT_EQ(y32DeleteFontDC(dc), 1);
    EXPECT_EQ(y32DeleteFontDC(dc), 0);
    EXPECT_FALSE(GetTextMetrics(dc, &tm));

    plat::ScopedAllocFailure fail_font(0);
    EXPECT_EQ(y32CreateFontIndirect(&lf), nullptr);
    plat::ScopedAllocFailure fail_dc(0);
    EXPECT_EQ(y32CreateFontDC(), nullptr);
}

TEST(TextCodePage, LeadBytesAndCharacters) {
    const std::pair<uint8_t, uint32_t> pages[] = {{SHIFTJIS_CHARSET, 932u}, {GB2312_CHARSET, 936u},
                                                  {HANGUL_CHARSET, 949u},   {CHINESEBIG5_CHARSET, 950u},
                                                  {Y32_UTF8_CHARSET, kCpUtf8}, {DEFAULT_CHARSET, 1252u}};
    for (const auto &p : pages) EXPECT_EQ(CodePageOfCharset(p.first), p.second) << int{p.first};

    EXPECT_TRUE(IsDbcsLeadByte(932, 0x82));
    EXPECT_FALSE(IsDbcsLeadByte(932, 0xA5));  // half-width katakana are single bytes
    EXPECT_TRUE(IsDbcsLeadByte(932, 0xE0));
    EXPECT_FALSE(IsDbcsLeadByte(932, 0xFD));
    for (uint32_t cp : {936u, 949u, 950u}) {
        EXPECT_TRUE(IsDbcsLeadByte(cp, 0x81));
        EXPECT_TRUE(IsDbcsLeadByte(cp, 0xFE));
        EXPECT_FALSE(IsDbcsLeadByte(cp, 0x80));
        EXPECT_FALSE(IsDbcsLeadByte(cp, 0xFF));
    }
    EXPECT_FALSE(IsDbcsLeadByte(1252, 0x82));

    CharStep s = ReadChar(932, "\x82\xA0z");
    EXPECT_EQ(s.code, 0x82A0u);
    EXPECT_EQ(s.bytes, 2);
    EXPECT_TRUE(s.multi_byte);
    s = ReadChar(932, "\x82");  // a lead byte at the end stands alone
    EXPECT_EQ(s.bytes, 1);
    s = ReadChar(kCpUtf8, "\xE4\xB8\x80");
    EXPECT_EQ(s.code, 0x4E00u);
    EXPECT_EQ(s.bytes, 3);
    s = ReadChar(kCpUtf8, "\xF0\x9F\x98\x80");
    EXPECT_EQ(s.code, 0x1F600u);
    s = ReadChar(kCpUtf8, "\xC0\x80");  // overlong
    EXPECT_EQ(s.code, 0xFFFDu);
    EXPECT_EQ(s.bytes, 1);
    s = ReadChar(kCpUtf8, "\xE4\xB8");  // cut short by the terminator
    EXPECT_EQ(s.bytes, 1);

    // The euro sign, Cyrillic A, hiragana a, and the first character of
    // each of the other pages (the first Hangul syllable for 949).
    const struct {
        uint32_t page, code, unicode;
    } chars[] = {{1252, 0x80, 0x20AC}, {1251, 0xC0, 0x0410}, {932, 0x82A0, 0x3042},
                 {936, 0xB0A1, 0x554A}, {949, 0xB0A1, 0xAC00}, {950, 0xA440, 0x4E00}};
    uint32_t u = 0;
    for (const auto &c : chars) {
        EXPECT_TRUE(CodeToUnicode(c.page, c.code, &u)) << c.page;
        EXPECT_EQ(u, c.unicode) << c.page;
    }
    EXPECT_FALSE(CodeToUnicode(1252, 0x8241, &u));  // no double bytes in a single-byte page
    EXPECT_FALSE(CodeToUnicode(932, 0x4141, &u));   // not a lead byte
}
