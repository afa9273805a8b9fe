// The glyph machinery: collecting a line's glyphs, glyph outlines into
// records, kerning and decoration bars.
#include <cstring>
#include <initializer_list>

#include "core/memory.h"
#include "shapes/text_glyphs.h"
#include "shapes/text_support.h"
#include "support/alloc_sweep.h"
#include "support/owned_records.h"

using plat::font::CurveHeader;
using plat::font::KerningPair;
using plat::font::PointFx;
using plat::font::PolygonHeader;
using text_support::FontDc;

namespace {

constexpr int32_t kPx = 65536;

// Builds native polygon data: polygons of (start, curves).
class OutlineBytes {
  public:
    OutlineBytes &Polygon(int32_t x, int32_t y) {
        if (open_) Close();
        start_ = bytes_.size();
        PolygonHeader h{0, plat::font::kPolygonType, x, y};
        Put(&h, sizeof h);
        open_ = true;
        return *this;
    }
    OutlineBytes &Curve(uint16_t type, std::initializer_list<PointFx> pts) {
        CurveHeader c{type, static_cast<uint16_t>(pts.size())};
        Put(&c, sizeof c);
        for (const PointFx &p : pts) Put(&p, sizeof p);
        return *this;
    }
    std::vector<uint8_t> Done() {
        if (open_) Close();
        return bytes_;
    }

  private:
    void Close() {
        uint32_t cb = static_cast<uint32_t>(bytes_.size() - start_);
        std::memcpy(bytes_.data() + start_, &cb, sizeof cb);
        open_ = false;
    }
    void Put(const void *p, size_t n) {
        auto *b = static_cast<const uint8_t *>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<uint8_t> bytes_;
    size_t start_ = 0;
    bool open_ = false;
};

struct TestGlyph {
    std::vector<uint8_t> outline;
    float a, b, c;
    uint32_t code;
};

// A list on the private heap, as CollectGlyphOutlines makes them.
GlyphList *MakeList(const std::vector<TestGlyph> &glyphs) {
    auto *l = static_cast<GlyphList *>(mem::PathAlloc(kGlyphEntriesOffset + glyphs.size() * sizeof(GlyphEntry)));
    l->count = static_cast<int32_t>(glyphs.size());
    for (size_t i = 0; i < glyphs.size(); ++i) {
        GlyphEntry &e = GlyphEntries(l)[i];
        const TestGlyph &g = glyphs[i];
        if (!g.outline.empty()) {
            e.outline = static_cast<uint8_t *>(mem::PathAlloc(g.outline.size()));
            std::memcpy(e.outline, g.outline.data(), g.outline.size());
            e.firstCurve = e.outline + 16;
            e.size = static_cast<uint32_t>(g.outline.size());
        }
        e.a = g.a, e.b = g.b, e.c = g.c;
        e.code = g.code;
    }
    return l;
}

struct P {
    uint16_t type;
    FIXED x, y;
};
std::vector<P> PointsOf(const KyPath *r) {
    std::vector<P> out;
    const PathPoint *pts = KyPathPoints(r);
    for (int32_t i = 0; i < r->count; ++i) out.push_back(P{pts[i].type, pts[i].x, pts[i].y});
    return out;
}

class TextGlyphs : public testing_support::OwningPathTest {};

}  // namespace

TEST_F(TextGlyphs, QuadraticSplinesBecomeCubicsWithImpliedPointsMarked) {
    // One glyph, one polygon: start (0,0), spline with controls (10,20) and
    // (30,20) ending on (40,0) - font y grows upward.
    auto outline = OutlineBytes()
                       .Polygon(0, 0)
                       .Curve(plat::font::kPrimQSpline, {{10 * kPx, 20 * kPx}, {30 * kPx, 20 * kPx}, {40 * kPx, 0}})
                       .Done();
    GlyphList *list = MakeList({{outline, 0, 40, 0, 'u'}});
    KyPath *head = nullptr;
    double advance = -1;
    ASSERT_EQ(FontOutlineToPSPath(list, &head, &advance, nullptr, nullptr, 0, 0), 1);
    FreeGlyphList(list);
    ASSERT_NE(Own(head), nullptr);
    EXPECT_EQ(head->next, nullptr);
    EXPECT_EQ(head->flags, kTextGlyphStart);
    auto pts = PointsOf(head);
    ASSERT_EQ(pts.size(), 8u);  // move, six curve points, closing line
    EXPECT_EQ(pts[0].type, PT_MOVETO);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(pts[i].type & 0x0FFE & ~kImpliedOnCurve, PT_BEZIERTO) << i;
    EXPECT_EQ(pts[3].type, PT_BEZIERTO | kImpliedOnCurve);  // the midpoint (20, 20), y negated
    EXPECT_EQ(pts[3].x, 20 * kPx);
    EXPECT_EQ(pts[3].y, -20 * kPx);
    EXPECT_EQ(pts[6].type, PT_BEZIERTO);  // the spline's own end point
    // (A + 2Q) / 3 in 16.16, truncated toward zero: y = -2 * 20 * 65536 / 3.
    EXPECT_EQ(pts[1].x, 2 * 10 * kPx / 3);
    EXPECT_EQ(pts[1].y, -(2 * 20 * kPx / 3));
    EXPECT_EQ(pts[2].x, (20 * kPx + 2 * 10 * kPx) / 3);
    EXPECT_EQ(pts[4].x, (20 * kPx + 2 * 30 * kPx) / 3);
    EXPECT_EQ(pts[7].type, PT_LINETO | PT_CLOSEFIGURE);
    EXPECT_EQ(pts[7].x, 0);
    EXPECT_EQ(pts[7].y, 0);
    EXPECT_EQ(BlockSize(head), path::BlockBytes(8));  // trimmed
    EXPECT_EQ(advance, 40.0);
}

TEST_F(TextGlyphs, ContoursEndingOnTheirStartGetNoExtraPoint) {
    auto outline = OutlineBytes()
                       .Polygon(0, 0)
                       .Curve(plat::font::kPrimLine, {{10 * kPx, 0}})
                       .Curve(plat::font::kPrimQSpline, {{10 * kPx, 10 * kPx}, {0, 0}})
                       .Polygon(2 * kPx, 2 * kPx)  // a second contour that relies on the implied closing side
                       .Curve(plat::font::kPrimLine, {{4 * kPx, 2 * kPx}, {4 * kPx, 4 * kPx}})
                       .Done();
    GlyphList *list = MakeList({{outline, 0, 10, 0, 'd'}});
    KyPath *head = nullptr;
    ASSERT_EQ(FontOutlineToPSPath(list, &head, nullptr, nullptr, nullptr, 0, 0), 1);
    FreeGlyphList(list);
    ASSERT_NE(Own(head), nullptr);
    ASSERT_NE(head->next, nullptr);
    auto first = PointsOf(head);
    ASSERT_EQ(first.size(), 5u);
    EXPECT_EQ(first[4].type, PT_BEZIERTO | PT_CLOSEFIGURE);
    EXPECT_EQ(first[4].x, 0);
    auto second = PointsOf(head->next);
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(second[3].type, PT_LINETO | PT_CLOSEFIGURE);
    EXPECT_EQ(second[3].y, -2 * kPx);
    // One glyph: one table list that is also one group chain, glyph flag on the first only.
    EXPECT_EQ(head->groupNext, head->next);
    EXPECT_EQ(head->next->prev, head);
    EXPECT_EQ(head->next->groupPrev, head);
    EXPECT_EQ(head->next->flags, 0u);
}

TEST_F(TextGlyphs, PenAdvancesByWholePixelsWithKerningAndSpacing) {
    auto dot = OutlineBytes().Polygon(0, 0).Curve(plat::font::kPrimLine, {{kPx, 0}, {kPx, kPx}}).Done();
    // Advances 10.75 each; the space has no contours.
    std::vector<TestGlyph> glyphs = {{dot, 0.5f, 1.0f, 9.25f, 'A'},
                                     {{}, 0, 0, 10.75f, ' '},
                                     {dot, 0.5f, 1.0f, 9.25f, 'A'},
                                     {dot, 0.5f, 1.0f, 9.25f, 'V'}};
    auto x_of = [](KyPath *r) { return KyPathPoints(r)[0].x; };
    auto y_of = [](KyPath *r) { return KyPathPoints(r)[0].y; };

    GlyphList *list = MakeList(glyphs);
    KyPath *head = nullptr;
    double advance = 0;
    ASSERT_EQ(FontOutlineToPSPath(list, &head, &advance, nullptr, nullptr, 0, 0), 1);
    auto recs = text_support::Records(Own(head));
    ASSERT_EQ(recs.size(), 3u);  // the space leaves no record
    EXPECT_EQ(x_of(recs[0]), 0);
    EXPECT_EQ(x_of(recs[1]), 20 * kPx);  // int(int(10.75) + 10.75)
    EXPECT_EQ(x_of(recs[2]), 30 * kPx);
    EXPECT_EQ(advance, 40.0);
    for (KyPath *r : recs) EXPECT_EQ(r->flags, kTextGlyphStart);

    // Vertical text advances along y.
    ASSERT_EQ(FontOutlineToPSPath(list, &head, &advance, nullptr, nullptr, 0, 1), 1);
    recs = text_support::Records(Own(head));
    EXPECT_EQ(x_of(recs[2]), 0);
    EXPECT_EQ(y_of(recs[2]), 30 * kPx);

    // A run with kerning and spacing: steps are int(10.75) + kerning + spacing.
    const KerningPair pairs[] = {{'A', 'A', -4}, {'A', 'V', -3}, {'V', 'A', -9}};
    RichTextRun run{};
    run.kerning = 1;
    run.spacing = 2;
    ASSERT_EQ(FontOutlineToPSPath(list, &head, &advance, &run, pairs, 3, 0), 1);
    recs = text_support::Records(Own(head));
    EXPECT_EQ(x_of(recs[1]), 24 * kPx);  // ('A', ' ') and (' ', 'A') have no pair: 10 + 2 twice
    EXPECT_EQ(x_of(recs[2]), 33 * kPx);  // ('A', 'V') kerned: 10 - 3 + 2
    EXPECT_EQ(advance, 45.0);

    // Negative spacing never moves the pen backwards.
    run.kerning = 0;
    run.spacing = -30;
    ASSERT_EQ(FontOutlineToPSPath(list, &head, &advance, &run, nullptr, 0, 0), 1);
    Own(head);
    EXPECT_EQ(advance, 0.0);
    FreeGlyphList(list);

    EXPECT_EQ(FindKerningAmount(nullptr, 0, pairs, 3), 0);
    GlyphList *av = MakeList({{{}, 0, 0, 1, 'A'}, {{}, 0, 0, 1, 'V'}});
    EXPECT_EQ(FindKerningAmount(av, 0, pairs, 3), -3);
    EXPECT_EQ(FindKerningAmount(av, 1, pairs, 3), 0);  // the last entry has no successor
    EXPECT_EQ(FindKerningAmount(av, 0, pairs, 0), 0);
    FreeGlyphList(av);
}

TEST_F(TextGlyphs, OutOfMemoryLeavesNothing) {
    auto box = OutlineBytes()
                   .Polygon(0, 0)
                   .Curve(plat::font::kPrimLine, {{kPx, 0}, {kPx, kPx}})
                   .Polygon(0, 0)
                   .Curve(plat::font::kPrimLine, {{kPx, 0}, {kPx, kPx}})
                   .Done();
    GlyphList *list = MakeList({{box, 0, 2, 0, 'a'}, {box, 0, 2, 0, 'b'}});
    const int64_t failures = testing_support::FailEachAllocation([&] {
        KyPath *head = reinterpret_cast<KyPath *>(1);
        if (!FontOutlineToPSPath(list, &head, nullptr, nullptr, nullptr, 0, 0)) {
            EXPECT_EQ(head, nullptr);
            return false;
        }
        EXPECT_EQ(text_support::Records(head).size(), 4u);  // a refused shrink is no failure
        KyPathDeletePtr(head, 0);
        return true;
    });
    EXPECT_GE(failures, 4);
    FreeGlyphList(list);
    FreeGlyphList(reinterpret_cast<GlyphList *>(&box));  // not a heap block: ignored
}

TEST_F(TextGlyphs, CollectReadsCharactersInTheCharsetsCodePage) {
    FontDc f("DejaVu Sans", -50, Y32_UTF8_CHARSET);
    ASSERT_TRUE(f.ok());
    GlyphList *list = nullptr;
    // A CJK character DejaVu lacks, between two it has: drawn as "$", and
    // its three bytes fill three entries.
    ASSERT_EQ(CollectGlyphOutlines(f.dc(), "A\xE4\xB8\x80" "B\r", &list, 0, 0, Y32_UTF8_CHARSET, nullptr), 1);
    ASSERT_EQ(list->count, 5);  // the trailing CR is left out
    const GlyphEntry *e = GlyphEntries(list);
    EXPECT_EQ(e[0].code, 'A');
    EXPECT_EQ(e[1].code, '$');
    EXPECT_EQ(e[2].outline, nullptr);
    EXPECT_EQ(e[3].outline, nullptr);
    EXPECT_EQ(e[4].code, 'B');
    GlyphList *dollar = nullptr;
    ASSERT_EQ(CollectGlyphOutlines(f.dc(), "$", &dollar, 0, 0, Y32_UTF8_CHARSET, nullptr), 1);
    ASSERT_EQ(e[1].size, GlyphEntries(dollar)[0].size);
    EXPECT_EQ(std::memcmp(e[1].outline, GlyphEntries(dollar)[0].outline, e[1].size), 0);
    EXPECT_EQ(e[1].firstCurve, e[1].outline + 16);
    EXPECT_FLOAT_EQ(e[1].a + e[1].b + e[1].c, 1303.0f * 50 / 2048);  // the advance of "$"
    FreeGlyphList(dollar);
    FreeGlyphList(list);

    // Shift-JIS: a double-byte character takes two entries.
    FontDc sjis("DejaVu Sans", -50, SHIFTJIS_CHARSET);
    ASSERT_EQ(CollectGlyphOutlines(sjis.dc(), "a\x82\xA0z", &list, 0, 0, SHIFTJIS_CHARSET, nullptr), 1);
    ASSERT_EQ(list->count, 4);
    EXPECT_EQ(GlyphEntries(list)[3].code, 'z');
    EXPECT_EQ(GlyphEntries(list)[2].size, 0u);
    FreeGlyphList(list);

    EXPECT_EQ(CollectGlyphOutlines(f.dc(), "", &list, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(CollectGlyphOutlines(f.dc(), "\r", &list, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(CollectGlyphOutlines(nullptr, "A", &list, 0, 0, 0, nullptr), 0);
}

TEST_F(TextGlyphs, SyntheticSlantOnlyWhereTheCharsetAsksForIt) {
    FontDc f("DejaVu Sans", -50);
    auto outline_of = [&](int32_t italic, int32_t charset) {
        GlyphList *list = nullptr;
        EXPECT_EQ(CollectGlyphOutlines(f.dc(), "l", &list, italic, 0, charset, nullptr), 1);
        const GlyphEntry &e = GlyphEntries(list)[0];
        std::vector<uint8_t> bytes(e.outline, e.outline + e.size);
        FreeGlyphList(list);
        return bytes;
    };
    // Single-byte text in charset 0: no slant even when asked.
    EXPECT_EQ(outline_of(1, ANSI_CHARSET), outline_of(0, ANSI_CHARSET));
    // Symbol and the East Asian charsets slant.
    EXPECT_NE(outline_of(1, SYMBOL_CHARSET), outline_of(0, SYMBOL_CHARSET));
    EXPECT_NE(outline_of(1, SHIFTJIS_CHARSET), outline_of(0, ANSI_CHARSET));
}

TEST_F(TextGlyphs, AdvanceLimitCutsTheLine) {
    FontDc f("DejaVu Sans", -1000);  // a W advances 988.77 pixels
    GlyphList *list = nullptr;
    ASSERT_EQ(CollectGlyphOutlines(f.dc(), "WWWWWWWWWWWWWW", &list, 0, 0, 0, nullptr), 1);
    EXPECT_EQ(list->count, 10);
    FreeGlyphList(list);

    // With a scaled run the limit is measured at the run's size.
    RichTextRun run{};
    run.height = 256;  // scale 2
    ASSERT_EQ(CollectGlyphOutlines(f.dc(), "WWWWWWWWWWWWWW", &list, 0, 1, 0, &run), 1);
    EXPECT_EQ(list->count, 5);
    FreeGlyphList(list);

    const size_t live = LiveBlocks();
    for (int64_t i = 0; i < 3; ++i) {
        plat::ScopedAllocFailure fail(i);
        EXPECT_EQ(CollectGlyphOutlines(f.dc(), "WW", &list, 0, 0, 0, nullptr), 0);
        EXPECT_EQ(list, nullptr);
        EXPECT_EQ(LiveBlocks(), live);
    }
}

TEST_F(TextGlyphs, DecorationBarsSitUnderAndThroughTheLine) {
    FontDc f("DejaVu Sans", -100);
    GlyphList *list = nullptr;
    ASSERT_EQ(CollectGlyphOutlines(f.dc(), "Hx", &list, 0, 0, 0, nullptr), 1);
    KyPath *head = nullptr;
    ASSERT_EQ(FontOutlineToPSPath(list, &head, nullptr, nullptr, nullptr, 0, 0), 1);
    FreeGlyphList(list);
    Y32Rect r;
    ASSERT_EQ(KyPathGetRealRect(Own(head), 65536, &r), 1);
    const int32_t h = r.bottom - r.top;
    const size_t before = text_support::Records(head).size();

    ASSERT_EQ(AddTextDecoration(head, 1, 0), 1);
    ASSERT_EQ(AddTextDecoration(head, 2, 0, &r), 1);  // sized from the glyphs, not from the underline
    auto recs = text_support::Records(head);
    ASSERT_EQ(recs.size(), before + 2);
    KyPath *under = recs[before], *strike = recs[before + 1];
    EXPECT_EQ(under->flags, kTextGlyphStart);
    EXPECT_EQ(under->count, 5);
    EXPECT_EQ(BlockSize(under), path::BlockBytes(5));
    auto u = PointsOf(under);
    const int32_t t = std::max(static_cast<int32_t>(h * 0.1), 2);
    EXPECT_EQ(u[0].x, r.left * kPx);
    EXPECT_EQ(u[1].x, r.right * kPx);
    EXPECT_EQ(u[0].y, (r.top + static_cast<int32_t>(h * 1.05)) * kPx);
    EXPECT_EQ(u[2].y, (r.top + static_cast<int32_t>(h * 1.05) + t) * kPx);
    EXPECT_EQ(u[4].type, PT_LINETO | PT_CLOSEFIGURE);
    EXPECT_EQ(u[4].x, u[0].x);
    EXPECT_EQ(u[4].y, u[0].y);
    auto s = PointsOf(strike);
    EXPECT_EQ(s[0].y, (r.top + static_cast<int32_t>(h * 0.55)) * kPx);
    // Bars join the line's chain after its last member.
    EXPECT_EQ(recs[before - 1]->groupNext, under);
    EXPECT_EQ(under->groupPrev, recs[before - 1]);
    EXPECT_EQ(under->groupNext, strike);

    EXPECT_EQ(AddTextDecoration(head, 3, 0), 0);
    EXPECT_EQ(AddTextDecoration(nullptr, 1, 0), 0);

    // Vertical text: a bar as tall as the box, left of it.
    ASSERT_EQ(KyPathGetRealRect(head, 65536, &r), 1);
    ASSERT_EQ(AddTextDecoration(head, 1, 1), 1);
    auto v = PointsOf(text_support::Records(head).back());
    const int32_t w = r.right - r.left;
    const int32_t tv = std::max(static_cast<int32_t>(w * 0.1), 2);
    const int32_t shift = static_cast<int32_t>(-w * 1.05);
    EXPECT_EQ(v[0].x, (r.right - tv + shift) * kPx);
    EXPECT_EQ(v[1].x, (r.right + shift) * kPx);
    EXPECT_EQ(v[0].y, r.top * kPx);
    EXPECT_EQ(v[2].y, r.bottom * kPx);
}
