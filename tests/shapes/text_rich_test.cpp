// KyPathCreateRichEditText: runs, sizes, kerning, line heights, alignment,
// styles, scale mode, measurement and failures.
#include <cmath>
#include <cstring>
#include <string>

#include "shapes/text_glyphs.h"
#include "shapes/text_support.h"
#include "support/alloc_sweep.h"
#include "support/owned_records.h"

using testing_support::PathTest;
using text_support::Box;
using text_support::LineHeads;
using text_support::PointBox;
using text_support::Records;
using text_support::SameGeometry;

namespace {

constexpr double kPx = 65536.0;

struct TextRun {
    int32_t height;
    std::string text;
    uint32_t style = 0;
    int32_t kerning = 0;
    int32_t spacing = 0;
    int32_t ascent = 0, descent = 0, leading = 0;
    const char *face = "DejaVu Sans";
};

// A header with its runs behind it, as a host lays them out.
class RichBlock {
  public:
    explicit RichBlock(const std::vector<TextRun> &runs) : runs_(runs) {
        storage_.assign((sizeof(RichTextHeader) + runs.size() * sizeof(RichTextRun)) / sizeof(uint64_t) + 1, 0);
        header()->runCount = static_cast<int32_t>(runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
            RichTextRun &r = RichTextRuns(header())[i];
            r.height = runs[i].height;
            r.ascent = runs[i].ascent;
            r.descent = runs[i].descent;
            r.leading = runs[i].leading;
            r.style = runs[i].style;
            r.kerning = runs[i].kerning;
            r.spacing = runs[i].spacing;
            std::strncpy(r.face, runs[i].face, sizeof r.face - 1);
            r.text = runs_[i].text.c_str();
        }
    }
    RichTextHeader *header() { return reinterpret_cast<RichTextHeader *>(storage_.data()); }
    KyPath *Build(int32_t scale_mode = 0) {
        KyPath *p = reinterpret_cast<KyPath *>(1);
        EXPECT_EQ(KyPathCreateRichEditText(header(), scale_mode, &p, nullptr, nullptr), 1);
        return p;
    }

  private:
    std::vector<TextRun> runs_;
    std::vector<uint64_t> storage_;
};

// The pen advance of a run's text, the way the layout measures it.
double AdvanceOf(const TextRun &run) {
    text_support::FontDc f(run.face, run.height);
    RichTextRun r{};
    r.height = run.height;
    r.kerning = run.kerning;
    r.spacing = run.spacing;
    std::vector<plat::font::KerningPair> pairs(plat::font::GetKerningPairs(f.dc(), 0, nullptr));
    plat::font::GetKerningPairs(f.dc(), static_cast<uint32_t>(pairs.size()), pairs.data());
    GlyphList *list = nullptr;
    CollectGlyphOutlines(f.dc(), run.text.c_str(), &list, 0, 0, 0, &r);
    KyPath *head = nullptr;
    double advance = 0;
    FontOutlineToPSPath(list, &head, &advance, &r, pairs.data(), static_cast<int32_t>(pairs.size()), 0);
    FreeGlyphList(list);
    KyPathDeletePtr(head, 0);
    return advance;
}

// The line height of DejaVu Sans at a pixel size: its rounded win ascent
// (1901) and descent (483) of 2048 units.
int32_t LineHeight(int32_t pixels) {
    return static_cast<int32_t>(std::lround(1901 * pixels / 2048.0)) +
           static_cast<int32_t>(std::lround(483 * pixels / 2048.0));
}

// Splits the chain after `count` records: returns the rest as its own chain.
KyPath *SplitAfter(KyPath *head, size_t count) {
    KyPath *last = head;
    for (size_t i = 1; i < count; ++i) last = last->next;
    KyPath *rest = last->next;
    last->next = last->groupNext = nullptr;
    if (rest) rest->prev = rest->groupPrev = nullptr;
    return rest;
}

class TextRich : public testing_support::OwningPathTest {};

}  // namespace

TEST_F(TextRich, RunsOfDifferentSizesShareALineAndItsHeight) {
    TextRun big{-80, "Big"}, small{-20, "small\r\nnext"};
    RichBlock block({big, small});
    KyPath *p = Own(block.Build());
    ASSERT_NE(p, nullptr);
    auto heads = LineHeads(p);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[0], p);

    // Alone, each run's pieces sit at the pen's start.
    KyPath *big_alone = Own(RichBlock({big}).Build());
    KyPath *small_alone = Own(RichBlock({TextRun{-20, "small"}}).Build());
    KyPath *next_alone = Own(RichBlock({TextRun{-20, "next"}}).Build());
    const size_t n_big = Records(big_alone).size(), n_small = Records(small_alone).size();
    for (KyPath *r : {small_alone, next_alone}) r->flags &= ~kTextLineStart;  // not a line's first piece below

    KyPath *small_part = Own(SplitAfter(p, n_big));
    KyPath *next_part = Own(SplitAfter(small_part, n_small));
    EXPECT_TRUE(SameGeometry(big_alone, p));
    // The small run continues the line at the big run's advance.
    const double adv = AdvanceOf(big);
    EXPECT_TRUE(SameGeometry(small_alone, small_part, static_cast<FIXED>(adv * kPx), 0));
    // The next line starts at x 0, one line height down: the big run's
    // ascent plus the largest descent on the line (both from the -80 font).
    next_part->flags &= ~kTextLineStart;
    EXPECT_TRUE(SameGeometry(next_alone, next_part, 0, LineHeight(80) * 65536));
    // The glyphs of the big run are four times the size of the small one's.
    KyPath *big_small = Own(RichBlock({TextRun{-20, "Big"}}).Build());
    Box b = PointBox(big_alone), s = PointBox(big_small);
    EXPECT_NEAR(b.height() / s.height(), 4.0, 0.05);
}

TEST_F(TextRich, KerningTightensPairs) {
    TextRun plain{-100, "AV"}, kerned{-100, "AV"};
    kerned.kerning = 1;
    KyPath *a = Own(RichBlock({plain}).Build());
    KyPath *b = Own(RichBlock({kerned}).Build());
    Box wa = PointBox(a), wb = PointBox(b);
    EXPECT_LT(wb.width(), wa.width() - 2.0);
    // The V moves left by the pair's amount, in whole pixels.
    auto ra = Records(a), rb = Records(b);
    ASSERT_EQ(ra.size(), rb.size());
    const FIXED shift = KyPathPoints(rb.back())[0].x - KyPathPoints(ra.back())[0].x;
    EXPECT_EQ(shift, -6 * 65536);  // -131 units of 2048 at 100 pixels
    EXPECT_EQ(AdvanceOf(kerned), AdvanceOf(plain) - 6);
}

TEST_F(TextRich, MeasurementCountsLinesAndHeights) {
    const struct {
        const char *text;
        int32_t ascent, descent, leading, line_spacing, fixed, lines, extent;
    } cases[] = {
        {"a\r\nb\r\nc\r\n", 30, 10, 0, 5, 0, 3, 3 * 45},  // the trailing break adds no line
        {"a\r\nb\r\nc\r\n", 30, 10, 0, 50, 1, 3, 150},    // fixed spacing replaces the metrics
        {"a\r\nb", 30, 10, -4, 0, 0, 2, 2 * 44},             // a negative leading grows the ascent
        {"x\r\n\r\ny", 0, 0, 0, 0, 0, 3, 3 * 24},          // measured: DejaVu Sans at -20 is 19 + 5
    };
    int32_t lines = -1, extent = -1;
    for (int i = 0; i < 4; ++i) {
        TextRun r{-20, cases[i].text};
        r.ascent = cases[i].ascent, r.descent = cases[i].descent, r.leading = cases[i].leading;
        RichBlock block({r});
        block.header()->lineSpacing = cases[i].line_spacing;
        block.header()->fixedSpacing = cases[i].fixed;
        ASSERT_EQ(KyPathCreateRichEditText(block.header(), 0, nullptr, &lines, &extent), 1) << "case " << i;
        EXPECT_EQ(lines, cases[i].lines) << "case " << i;
        EXPECT_EQ(extent, cases[i].extent) << "case " << i;
    }
    RichBlock block({TextRun{-20, "a"}});
    EXPECT_EQ(KyPathCreateRichEditText(block.header(), 0, nullptr, &lines, nullptr), 0);
    EXPECT_EQ(KyPathCreateRichEditText(block.header(), 0, nullptr, nullptr, &extent), 0);
    EXPECT_EQ(KyPathCreateRichEditText(nullptr, 0, nullptr, &lines, &extent), 0);
}

TEST_F(TextRich, AlignmentUsesTheLongestAdvance) {
    const double longest = AdvanceOf(TextRun{-50, "WWWW"});
    // The longest line first and last: the width is taken over every line.
    for (const char *text : {"WWWW\r\nWW", "WW\r\nWWWW"}) {
        TextRun r{-50, text};
        RichBlock block({r});
        KyPath *near = Own(block.Build());
        block.header()->align = 2;
        KyPath *centred = Own(block.Build());
        block.header()->align = 1;
        KyPath *far = Own(block.Build());
        for (KyPath *aligned : {centred, far}) {
            const bool centre = aligned == centred;
            auto hn = LineHeads(near), ha = LineHeads(aligned);
            ASSERT_EQ(hn.size(), 2u);
            ASSERT_EQ(ha.size(), 2u);
            for (int line = 0; line < 2; ++line) {
                Box bn = PointBox(hn[line], line == 0 ? hn[1] : nullptr);
                Box ba = PointBox(ha[line], line == 0 ? ha[1] : nullptr);
                double gap = longest - bn.width();
                double expect = centre ? gap * 0.5 : gap;
                EXPECT_NEAR(ba.min_x - bn.min_x, expect, 2 / kPx) << text << " line " << line;
                EXPECT_EQ(ba.min_y, bn.min_y);
            }
        }
    }
}

TEST_F(TextRich, StylesMarksAndBars) {
    TextRun r{-100, "Hx"};
    r.style = RTS_MARK | RTS_UNDERLINE | RTS_STRIKEOUT | RTS_BOLD;
    KyPath *p = Own(RichBlock({r}).Build());
    TextRun plain_bold{-100, "Hx"};
    plain_bold.style = RTS_BOLD;
    KyPath *q = Own(RichBlock({plain_bold}).Build());
    auto recs = Records(p);
    const size_t glyph_records = Records(q).size();
    ASSERT_EQ(recs.size(), glyph_records + 2);
    for (KyPath *rec : recs) EXPECT_TRUE(rec->flags & kTextRunMark);
    EXPECT_TRUE(recs[0]->flags & kTextLineStart);

    // DejaVu Sans Bold: underline at -40 units, 90 thick (post table);
    // strike-out at 530, 102 thick (OS/2); 2048 units at 100 pixels.
    KyPath *under = recs[glyph_records], *strike = recs[glyph_records + 1];
    EXPECT_EQ(under->flags, kTextGlyphStart | kTextRunMark);
    const PathPoint *u = KyPathPoints(under);
    EXPECT_EQ(+u[0].x, 0);
    EXPECT_EQ(+u[0].y, 2 * 65536);      // -(-40 * 100 / 2048) rounds to 2
    EXPECT_EQ(+u[2].y, (2 + 4) * 65536);  // thickness round(90 * 100 / 2048) = 4
    const PathPoint *s = KyPathPoints(strike);
    EXPECT_EQ(+s[0].y, -26 * 65536);  // -round(530 * 100 / 2048)
    EXPECT_EQ(+s[2].y, (-26 + 5) * 65536);
    EXPECT_EQ(+u[1].x, +s[1].x);  // both span the piece's advance
    EXPECT_GT(+u[1].x, 100 * 65536);
    // Bold glyphs are wider than regular ones.
    KyPath *regular = Own(RichBlock({TextRun{-100, "Hx"}}).Build());
    EXPECT_GT(PointBox(q).width(), PointBox(regular).width() + 3.0);
}

TEST_F(TextRich, ScaleModeMatchesDirectSizes) {
    KyPath *direct = Own(RichBlock({TextRun{-64, "O"}}).Build());
    KyPath *scaled = Own(RichBlock({TextRun{64, "O"}}).Build(1));  // 64 / 128 of a 128-pixel em
    Box d = PointBox(direct), s = PointBox(scaled);
    EXPECT_NEAR(s.width(), d.width(), 0.01);
    EXPECT_NEAR(s.min_y, d.min_y, 0.01);
    EXPECT_NEAR(s.max_y, d.max_y, 0.01);
    // Line heights measured in scale mode are those of the final size.
    int32_t lines = 0, e_direct = 0, e_scaled = 0;
    RichBlock two_direct({TextRun{-64, "a\r\nb"}}), two_scaled({TextRun{64, "a\r\nb"}});
    ASSERT_EQ(KyPathCreateRichEditText(two_direct.header(), 0, nullptr, &lines, &e_direct), 1);
    ASSERT_EQ(KyPathCreateRichEditText(two_scaled.header(), 1, nullptr, &lines, &e_scaled), 1);
    EXPECT_NEAR(e_scaled, e_direct, 2);
}

TEST_F(TextRich, VerticalRunsStackDownward) {
    TextRun r{-40, "AB\r\nC"};
    RichBlock block({r});
    block.header()->vertical = 1;
    KyPath *v = Own(block.Build());
    auto heads = LineHeads(v);
    ASSERT_EQ(heads.size(), 2u);
    // The second line sits one line height to the left, at y 0 again.
    RichBlock c_block({TextRun{-40, "C"}});
    c_block.header()->vertical = 1;
    KyPath *c = Own(c_block.Build());
    KyPath *second = Own(SplitAfter(v, Records(v).size() - Records(c).size()));
    EXPECT_TRUE(SameGeometry(c, second, -LineHeight(40) * 65536, 0));
    // Glyphs of a line advance down the page.
    auto recs = Records(v);
    EXPECT_GT(+KyPathPoints(recs.back())[0].y, +KyPathPoints(recs.front())[0].y);
}

TEST_F(TextRich, FailuresLeaveNothingBehind) {
    EXPECT_EQ(KyPathCreateRichEditText(nullptr, 0, nullptr, nullptr, nullptr), 0);
    TextRun a{-30, "Ab\r\ncd"}, b{-20, "ef"};
    a.style = RTS_UNDERLINE;
    b.kerning = 1;
    RichBlock block({a, b});
    block.header()->align = 2;
    size_t records = 0;  // of the first, whole run
    const int64_t failures = testing_support::FailEachAllocation([&] {
        KyPath *p = reinterpret_cast<KyPath *>(1);
        if (!KyPathCreateRichEditText(block.header(), 0, &p, nullptr, nullptr)) {
            EXPECT_EQ(p, nullptr);
            return false;
        }
        if (!records) records = Records(p).size();
        EXPECT_EQ(Records(p).size(), records);
        KyPathDeletePtr(p, 0);
        return true;
    });
    // The context, each run's font and every record can fail.
    EXPECT_GT(failures, 10);
    {
        plat::ScopedAllocFailure fail(0);  // the font context
        KyPath *p = nullptr;
        EXPECT_EQ(KyPathCreateRichEditText(block.header(), 0, &p, nullptr, nullptr), 0);
    }
}
