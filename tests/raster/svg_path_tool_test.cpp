#include "tools/kypath/svg_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/path_fixture.h"

namespace {

using testing_support::PathTest;

struct P {
    uint16_t type;
    double x, y;
};

std::vector<std::vector<P>> Points(const KyPath *head) {
    std::vector<std::vector<P>> out;
    for (const KyPath *r = head; r; r = r->next) {
        std::vector<P> pts;
        const PathPoint *pp = path::Points(r);
        for (int32_t i = 0; i < r->count; ++i) pts.push_back({pp[i].type, FixToDb(+pp[i].x), FixToDb(+pp[i].y)});
        out.push_back(pts);
    }
    return out;
}

class SvgPathTest : public PathTest {
  protected:
    std::vector<std::vector<P>> Parse(const std::string &d) {
        std::string error;
        KyPath *p = kypath::ParseSvgPath(d, &error);
        EXPECT_NE(p, nullptr) << d << ": " << error;
        if (!p) return {};
        auto pts = Points(p);
        // One compound path: the records are one group chain too.
        for (KyPath *r = p; r && r->next; r = r->next) {
            EXPECT_EQ(r->groupNext, r->next);
            EXPECT_EQ(r->next->groupPrev, r);
        }
        KyPathDeletePtr(p, 0);
        return pts;
    }
};

bool Same(const std::vector<std::vector<P>> &a, const std::vector<std::vector<P>> &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size()) return false;
        for (size_t k = 0; k < a[i].size(); ++k)
            if (a[i][k].type != b[i][k].type || a[i][k].x != b[i][k].x || a[i][k].y != b[i][k].y) return false;
    }
    return true;
}

TEST_F(SvgPathTest, CommandsAbsoluteRelativeAndImplicit) {
    auto abs = Parse("M10 10 L20 10 L20 20 Z");
    EXPECT_TRUE(Same(abs, Parse("m10,10 l10,0 l0,10 z")));
    EXPECT_TRUE(Same(abs, Parse("M10 10 H20 V20 Z")));
    EXPECT_TRUE(Same(abs, Parse("m10 10 h10 v10z")));
    EXPECT_TRUE(Same(abs, Parse("M10 10 20 10 20 20z"))) << "pairs after M are lines";
    ASSERT_EQ(abs.size(), 1u);
    ASSERT_EQ(abs[0].size(), 4u);
    EXPECT_EQ(abs[0][0].type, PT_MOVETO);
    EXPECT_EQ(abs[0][3].type, PT_LINETO | PT_CLOSEFIGURE) << "Z repeats the start, marked closing";
    EXPECT_EQ(abs[0][3].x, 10);

    // A path that already ends on its start is only marked.
    auto back = Parse("M0 0 L10 0 L0 0 Z");
    ASSERT_EQ(back[0].size(), 3u);
    EXPECT_EQ(back[0][2].type, PT_LINETO | PT_CLOSEFIGURE);

    // The number grammar.
    auto nums = Parse("M1.5.5L-2-3e1 l+1E1,.25");
    ASSERT_EQ(nums[0].size(), 3u);
    EXPECT_EQ(nums[0][0].x, 1.5);
    EXPECT_EQ(nums[0][0].y, 0.5);
    EXPECT_EQ(nums[0][1].x, -2);
    EXPECT_EQ(nums[0][1].y, -30);
    EXPECT_EQ(nums[0][2].x, 8);
    EXPECT_EQ(nums[0][2].y, -29.75);

    // Several subpaths; drawing on after Z starts again at the start.
    auto multi = Parse("M0 0 h10 v10 z l5 5 M20 20 h1");
    ASSERT_EQ(multi.size(), 3u);
    EXPECT_EQ(multi[1][0].type, PT_MOVETO);
    EXPECT_EQ(multi[1][0].x, 0);
    EXPECT_EQ(multi[1][1].x, 5);
    EXPECT_EQ(multi[2][1].x, 21);
}

TEST_F(SvgPathTest, CurvesQuadraticsAndReflections) {
    auto q = Parse("M0 0 Q30 60 60 0");
    ASSERT_EQ(q[0].size(), 4u);
    EXPECT_EQ(q[0][1].type, PT_BEZIERTO);
    EXPECT_NEAR(q[0][1].x, 20, 1.0 / 65536);
    EXPECT_NEAR(q[0][1].y, 40, 1.0 / 65536);
    EXPECT_NEAR(q[0][2].x, 40, 1.0 / 65536);
    EXPECT_NEAR(q[0][2].y, 40, 1.0 / 65536);
    EXPECT_EQ(q[0][3].x, 60);
    EXPECT_TRUE(Same(q, Parse("m0 0 q30 60 60 0")));

    auto s = Parse("M0 0 C10 20 30 20 40 0 S70 -20 80 0 s30 -20 40 0");
    ASSERT_EQ(s[0].size(), 10u);
    EXPECT_EQ(s[0][4].x, 50) << "S reflects the previous second control about the current point";
    EXPECT_EQ(s[0][4].y, -20);
    EXPECT_EQ(s[0][7].x, 90);
    EXPECT_EQ(s[0][7].y, 20);
    EXPECT_EQ(s[0][9].x, 120);
    // S after a line starts its first control on the current point.
    auto sl = Parse("M0 0 L10 0 S20 10 30 0");
    EXPECT_EQ(sl[0][2].x, 10);
    EXPECT_EQ(sl[0][2].y, 0);
}

TEST_F(SvgPathTest, BadDataIsRefusedWithAReason) {
    const char *bad[] = {"L10 10", "M10", "M0 0 A1 1 0 0 0 5 5", "M1e9 0", "", "M0 0 Z 5", "Z", "M0 0 C1 2 3"};
    for (const char *d : bad) {
        std::string error;
        EXPECT_EQ(kypath::ParseSvgPath(d, &error), nullptr) << d;
        EXPECT_FALSE(error.empty()) << d;
    }
    std::string error;
    EXPECT_EQ(kypath::LoadPathArgument("@/nonexistent/file", &error), nullptr);
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

}  // namespace
