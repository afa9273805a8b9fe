// KyPathCreateText: lines, control characters, alignment, bars, the mask.
#include <cstring>
#include <string>

#include "shapes/text_glyphs.h"
#include "shapes/text_support.h"
#include "support/alloc_sweep.h"
#include "support/owned_records.h"

using testing_support::PathTest;
using text_support::FontDc;
using text_support::LineHeads;
using text_support::Records;
using text_support::SameGeometry;

namespace {

class TextCreate : public testing_support::OwningPathTest {
  protected:
    // The path of `text` (no mask), or null.
    KyPath *PathOf(HFONTDC dc, const char *text, TextParams params = {}) {
        std::string copy(text);
        params.output = KYTEXT_PATH_ONLY;
        KyPath *path = reinterpret_cast<KyPath *>(1);
        EXPECT_EQ(KyPathCreateText(dc, copy.data(), &params, &path, nullptr), nullptr);
        return path;
    }
    static Y32Rect Box(KyPath *p) {
        Y32Rect r{};
        KyPathGetMiniMaxRect(p, 65536, &r);
        return r;
    }
};

// Detaches the line starting at `head` (up to the next line head) into a
// chain of its own, so it can be compared.
KyPath *CutLine(KyPath *head) {
    KyPath *last = head;
    while (last->next && !(last->next->flags & kTextLineStart)) last = last->next;
    if (last->next) {
        last->next->prev = last->next->groupPrev = nullptr;
        last->next = last->groupNext = nullptr;
    }
    if (head->prev) head->prev->next = head->prev->groupNext = nullptr;
    head->prev = head->groupPrev = nullptr;
    return head;
}

}  // namespace

TEST_F(TextCreate, LinesFollowCrLfPairsOnePitchApart) {
    FontDc f("DejaVu Sans", -40);
    const int32_t pitch = f.metrics().height;

    KyPath *two = Own(PathOf(f.dc(), "AB\r\nC\r\n"));
    ASSERT_NE(two, nullptr);
    auto heads = LineHeads(two);
    ASSERT_EQ(heads.size(), 2u);  // the trailing pair adds no line
    EXPECT_EQ(heads[0], two);
    // One chain: table list and group chain agree throughout.
    for (KyPath *r : Records(two)) {
        EXPECT_EQ(r->groupNext, r->next);
        EXPECT_TRUE(!r->next || r->next->prev == r);
    }
    KyPath *same = Own(PathOf(f.dc(), "AB\r\nC"));
    EXPECT_TRUE(SameGeometry(two, same));

    // The second line is the single line "C" moved down by one pitch.
    KyPath *c_alone = Own(PathOf(f.dc(), "C"));
    KyPath *second = Own(CutLine(heads[1]));
    EXPECT_TRUE(SameGeometry(c_alone, second, 0, pitch * 65536));

    // Vertical text stacks its lines right to left.
    TextParams vertical{};
    vertical.vertical = 1;
    KyPath *v = Own(PathOf(f.dc(), "C\r\nC", vertical));
    heads = LineHeads(v);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(+KyPathPoints(heads[1])[0].x, +KyPathPoints(heads[0])[0].x - pitch * 65536);
    EXPECT_EQ(+KyPathPoints(heads[1])[0].y, +KyPathPoints(heads[0])[0].y);

    // Empty lines keep their place; a lone LF also ends a line without
    // taking the next character with it.
    KyPath *gap = Own(PathOf(f.dc(), "C\r\n\r\nC"));
    heads = LineHeads(gap);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(KyPathPoints(heads[1])[0].y - KyPathPoints(heads[0])[0].y, 2 * pitch * 65536);
    KyPath *lone = Own(PathOf(f.dc(), "C\nC"));
    EXPECT_EQ(LineHeads(lone).size(), 2u);
    EXPECT_EQ(Records(lone).size(), Records(gap).size());
}

TEST_F(TextCreate, ControlCharactersAreSpaces) {
    FontDc f("DejaVu Sans", -40);
    char text[] = "A\tB\x01" "C";
    TextParams params{};
    params.output = KYTEXT_PATH_ONLY;
    KyPath *tabbed = nullptr;
    KyPathCreateText(f.dc(), text, &params, &tabbed, nullptr);
    EXPECT_STREQ(text, "A B C");  // edited in place
    KyPath *spaced = Own(PathOf(f.dc(), "A B C"));
    ASSERT_NE(tabbed, nullptr);
    EXPECT_TRUE(SameGeometry(tabbed, spaced));
    EXPECT_EQ(Records(tabbed).size(), 6u);  // A two contours, B three, C one
    KyPathDeletePtr(tabbed, 0);
}

TEST_F(TextCreate, AlignmentMovesShorterLines) {
    FontDc f("DejaVu Sans", -50);
    // The two lines near, centred and at the far side, each cut into a chain of its own.
    const int32_t aligns[3] = {0, KYTEXT_ALIGN_CENTRE, KYTEXT_ALIGN_FAR};
    std::vector<KyPath *> line[3];
    for (int a = 0; a < 3; ++a) {
        TextParams params{};
        params.align = aligns[a];
        for (KyPath *head : LineHeads(PathOf(f.dc(), "WWWW\r\nWW", params))) line[a].push_back(Own(CutLine(head)));
        ASSERT_EQ(line[a].size(), 2u) << "alignment " << aligns[a];
    }
    const Y32Rect r1 = Box(line[0][0]), r2 = Box(line[0][1]);
    const int32_t w1 = r1.right - r1.left, w2 = r2.right - r2.left;
    EXPECT_TRUE(SameGeometry(line[0][0], line[1][0]));  // the widest line stays
    EXPECT_TRUE(SameGeometry(line[0][0], line[2][0]));
    EXPECT_TRUE(SameGeometry(line[0][1], line[1][1], (w1 - w2) / 2 * 65536, 0));
    EXPECT_TRUE(SameGeometry(line[0][1], line[2][1], (w1 - w2) * 65536, 0));
    // The half-width line moves by about a quarter of the widest.
    EXPECT_NEAR((w1 - w2) / 2, w1 / 4.0, 3.0);
}

TEST_F(TextCreate, BarsUnderAndThroughEachLine) {
    FontDc f("DejaVu Sans", -40);
    TextParams both{};
    both.underline = 1;
    both.strikeOut = 1;
    KyPath *p = Own(PathOf(f.dc(), "Hx\r\nHx", both));
    KyPath *bare = Own(PathOf(f.dc(), "Hx"));
    const size_t glyph_records = Records(bare).size();
    Y32Rect glyphs;
    KyPathGetRealRect(bare, 65536, &glyphs);
    const int32_t h = glyphs.bottom - glyphs.top;
    auto recs = Records(p);
    ASSERT_EQ(recs.size(), 2 * (glyph_records + 2));
    // Underline, then the strike-out, which runs through the middle of the
    // glyphs, not of glyphs and underline.
    EXPECT_EQ(+KyPathPoints(recs[glyph_records])[0].y, (glyphs.top + static_cast<int32_t>(h * 1.05)) * 65536);
    EXPECT_EQ(+KyPathPoints(recs[glyph_records + 1])[0].y, (glyphs.top + static_cast<int32_t>(h * 0.55)) * 65536);
    EXPECT_TRUE(recs[glyph_records + 2]->flags & kTextLineStart);
}

TEST_F(TextCreate, MaskOfTheText) {
    FontDc f("DejaVu Serif", -96);
    ASSERT_GE(f.metrics().height, 60);
    char text[] = "Hello";
    TextParams params{};
    params.antialias = 1;
    KyPath *path = nullptr;
    Y32Rect rect{};
    PathBuf mask = KyPathCreateText(f.dc(), text, &params, &path, &rect);
    ASSERT_NE(mask, nullptr);
    ASSERT_NE(Own(path), nullptr);
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(mask, &w, &h, &depth);
    EXPECT_EQ(depth, 8);
    EXPECT_EQ(static_cast<int32_t>(w), rect.right - rect.left);
    EXPECT_EQ(static_cast<int32_t>(h), rect.bottom - rect.top);
    Y32Rect box = Box(path);
    EXPECT_EQ(rect.left, box.left);
    EXPECT_EQ(rect.top, box.top);
    // Glyph interiors are covered, the margin is not.
    const uint8_t *px = static_cast<const uint8_t *>(mask);
    size_t full = 0;
    for (uint32_t i = 0; i < w * h; ++i) full += px[i] == 255;
    EXPECT_GT(full, 1000u);
    for (uint32_t x = 0; x < w; ++x) EXPECT_EQ(px[x], 0) << x;  // top margin row
    KyPathBufFree(mask);

    // Small text is drawn enlarged and filtered back to image size.
    FontDc small("DejaVu Sans", -12);
    char tiny[] = "Hi";
    mask = KyPathCreateText(small.dc(), tiny, &params, &path, &rect);
    ASSERT_NE(mask, nullptr);
    Own(path);
    KyPathBufGetWHU(mask, &w, &h, &depth);
    EXPECT_EQ(static_cast<int32_t>(w), rect.right - rect.left);
    // At the enlarged scale the margin shrinks to below a pixel of the image.
    Y32Rect ink;
    KyPathGetRealRect(path, 65536, &ink);
    EXPECT_NEAR(rect.left, ink.left, 1.0);
    EXPECT_NEAR(rect.top, ink.top, 1.0);
    EXPECT_NEAR(static_cast<double>(w), ink.right - ink.left, 2.0);
    EXPECT_NEAR(static_cast<double>(h), ink.bottom - ink.top, 2.0);
    KyPathBufFree(mask);
}

TEST_F(TextCreate, RefusalsAndItalicFonts) {
    FontDc f("DejaVu Sans", -40);
    TextParams params{};
    KyPath *path = reinterpret_cast<KyPath *>(1);
    char empty[] = "";
    EXPECT_EQ(KyPathCreateText(f.dc(), empty, &params, &path, nullptr), nullptr);
    EXPECT_EQ(path, nullptr);
    char breaks[] = "\r\n\r\n";
    path = reinterpret_cast<KyPath *>(1);
    EXPECT_EQ(KyPathCreateText(f.dc(), breaks, &params, &path, nullptr), nullptr);
    EXPECT_EQ(path, nullptr);
    char text[] = "A";
    EXPECT_EQ(KyPathCreateText(nullptr, text, &params, &path, nullptr), nullptr);
    EXPECT_EQ(KyPathCreateText(f.dc(), nullptr, &params, &path, nullptr), nullptr);
    EXPECT_EQ(KyPathCreateText(f.dc(), text, nullptr, &path, nullptr), nullptr);
    HFONTDC bare = y32CreateFontDC();
    EXPECT_EQ(KyPathCreateText(bare, text, &params, &path, nullptr), nullptr);  // no font selected
    EXPECT_EQ(path, nullptr);
    y32DeleteFontDC(bare);

    FontDc italic("DejaVu Sans", -40, ANSI_CHARSET, FW_NORMAL, true);
    params.italic = 1;
    params.output = KYTEXT_PATH_ONLY;
    KyPathCreateText(italic.dc(), text, &params, &path, nullptr);
    EXPECT_EQ(params.italic, 0);  // the font slants already
    KyPathDeletePtr(path, 0);
}

TEST_F(TextCreate, OutOfMemoryLeavesNothingBehind) {
    FontDc f("DejaVu Sans", -20);
    TextParams params{};
    params.underline = 1;
    params.align = KYTEXT_ALIGN_CENTRE;
    params.antialias = 1;
    size_t records = 0;  // of the first, whole run
    const int64_t failures = testing_support::FailEachAllocation([&] {
        char text[] = "Ab\r\nc";
        KyPath *path = reinterpret_cast<KyPath *>(1);
        Y32Rect rect;
        PathBuf mask = KyPathCreateText(f.dc(), text, &params, &path, &rect);
        if (mask) KyPathBufFree(mask);
        if (!path) return false;
        if (!records) records = Records(path).size();
        EXPECT_EQ(Records(path).size(), records) << "either the whole text or nothing";
        KyPathDeletePtr(path, 0);
        return true;
    });
    EXPECT_GT(failures, 5);
}
