#include <gtest/gtest.h>

#include <cstring>

#include "deform/deform_support.h"
#include "deform/projection3d.h"
#include "support/owned_records.h"

namespace {

using deform_test::AxisMatrix;
using deform_test::Params;
using testing_support::MakePath;

const double kY[3] = {0, 1, 0};

class WireFrameTest : public testing_support::OwningPathTest {
  protected:
    void SetUp() override {
        OwningPathTest::SetUp();
        p3d::ForgetLastAccepted();
        dc = y32CreateMemoryDC(64, 64, 32);
        ASSERT_NE(dc, nullptr);
        pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
        old_pen = SelectObject(dc, pen);
        SetROP2(dc, R2_XORPEN);
        view = CoordStruct{0, 0, 64, 64, 0, 0, 1.0, nullptr, {0, 0, 0, 0, 0}};
        square = Own(testing_support::Rect(10, 10, 30, 30));
    }
    void TearDown() override {
        SelectObject(dc, old_pen);
        DeleteObject(pen);
        y32DeleteMemoryDC(dc);
        p3d::ForgetLastAccepted();
        OwningPathTest::TearDown();
    }
    bool Lit(int x, int y) { return GetPixel(dc, x, y) != 0; }
    int LitCount() {
        int n = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) n += Lit(x, y);
        return n;
    }
    HDC dc = nullptr;
    HPEN pen = nullptr;
    HGDIOBJ old_pen = nullptr;
    CoordStruct view;
    KyPath *square = nullptr;
};

TEST_F(WireFrameTest, FlatFrameIsThePathAndDepthAddsTheBackCopyAndTheJoiningEdges) {
    Path3DParams prm = Params(20, 20);
    ASSERT_EQ(KyPath3DWireFrame(dc, square, 32, 32, &view, &prm, 0), 1);
    // Four sides of 20 pixels, each without its end pixel; drawn again under
    // exclusive or, the frame erases itself.
    EXPECT_EQ(LitCount(), 80);
    EXPECT_TRUE(Lit(15, 10));
    EXPECT_TRUE(Lit(30, 20));
    EXPECT_FALSE(Lit(20, 20));
    ASSERT_EQ(KyPath3DWireFrame(dc, square, 32, 32, &view, &prm, 0), 1);
    EXPECT_EQ(LitCount(), 0);

    // At a depth equal to the eye height the back copy is half the size.
    const double depth = p3d::EyeHeight(prm);
    ASSERT_EQ(KyPath3DWireFrame(dc, square, 32, 32, &view, &prm, depth), 1);
    EXPECT_TRUE(Lit(15, 10));   // front top edge
    EXPECT_TRUE(Lit(20, 15));   // back top edge, (15, 15) to (25, 15)
    EXPECT_TRUE(Lit(25, 20));   // back right edge
    EXPECT_TRUE(Lit(28, 12));   // joining edge (30, 10) to (25, 15)
    EXPECT_FALSE(Lit(20, 20));  // the middle stays empty
    EXPECT_FALSE(Lit(20, 12));
    ASSERT_EQ(KyPath3DWireFrame(dc, square, 32, 32, &view, &prm, depth), 1);
    EXPECT_EQ(LitCount(), 0);

    // Curves take the same road through PolyBezierTo.
    KyPath *curve =
        Own(MakePath({{PT_MOVETO, 10, 40}, {PT_BEZIERTO, 20, 20}, {PT_BEZIERTO, 40, 60}, {PT_BEZIERTO, 50, 40}}));
    ASSERT_EQ(KyPath3DWireFrame(dc, curve, 32, 32, &view, &prm, depth), 1);
    EXPECT_GT(LitCount(), 60);
    EXPECT_TRUE(Lit(10, 40));
    ASSERT_EQ(KyPath3DWireFrame(dc, curve, 32, 32, &view, &prm, depth), 1);
    EXPECT_EQ(LitCount(), 0);
}

TEST_F(WireFrameTest, ZoomAndScrollPlaceThePixels) {
    KyPath *line = Own(MakePath({{PT_MOVETO, 9.75, 10}, {PT_LINETO, 20, 10}}));
    Path3DParams prm = Params(0, 0);
    // Zoomed out: x * zoom truncated, so 9.75 lands on 4 (not 5).
    view.zoom = 0.5;
    ASSERT_EQ(KyPath3DWireFrame(dc, line, 32, 32, &view, &prm, 0), 1);
    EXPECT_TRUE(Lit(4, 5));
    EXPECT_TRUE(Lit(9, 5));
    EXPECT_FALSE(Lit(10, 5));
    KyPath3DWireFrame(dc, line, 32, 32, &view, &prm, 0);
    // Zoomed in, scrolled by 10: (x + 0.5) * 2 - 10.
    view.zoom = 2.0;
    view.scrollX = 10;
    ASSERT_EQ(KyPath3DWireFrame(dc, line, 32, 32, &view, &prm, 0), 1);
    EXPECT_FALSE(Lit(9, 21));
    EXPECT_TRUE(Lit(10, 21));
    EXPECT_TRUE(Lit(30, 21));
    EXPECT_FALSE(Lit(31, 21));
}

TEST_F(WireFrameTest, ParametersBehindTheEyeFallBackToTheLastAcceptedOnes) {
    // Turned 80 degrees, a 2000-pixel half width reaches past the eye
    // (height 1000 / tan(30 degrees), about 1732).
    Path3DParams bad = Params(20, 20);
    AxisMatrix(kY, 80, bad.matrix);
    Path3DParams keep = bad;
    // Nothing accepted yet: nothing to fall back to, nothing drawn.
    EXPECT_EQ(KyPath3DWireFrame(dc, square, 2000, 10, &view, &bad, 0), 0);
    EXPECT_EQ(std::memcmp(&bad, &keep, sizeof bad), 0);
    EXPECT_EQ(LitCount(), 0);

    // A record that passes is remembered...
    Path3DParams good = Params(20, 20);
    AxisMatrix(kY, 20, good.matrix);
    ASSERT_EQ(KyPath3DWireFrame(dc, square, 2000, 10, &view, &good, 0), 1);
    EXPECT_GT(LitCount(), 0);
    // ...and replaces one that does not: the host's record snaps back and
    // the same frame is drawn again (erasing the first one).
    ASSERT_EQ(KyPath3DWireFrame(dc, square, 2000, 10, &view, &bad, 0), 1);
    EXPECT_EQ(std::memcmp(&bad, &good, sizeof bad), 0);
    EXPECT_EQ(LitCount(), 0);

    // A picture so wide that the remembered record fails too: no loop, no
    // drawing, the record left as given.
    Path3DParams worse = keep;
    EXPECT_EQ(KyPath3DWireFrame(dc, square, 10000, 10, &view, &worse, 0), 0);
    EXPECT_EQ(std::memcmp(&worse, &keep, sizeof worse), 0);
    EXPECT_EQ(LitCount(), 0);

    EXPECT_EQ(KyPath3DWireFrame(dc, nullptr, 1, 1, &view, &good, 0), 0);
    EXPECT_EQ(KyPath3DWireFrame(dc, square, 1, 1, nullptr, &good, 0), 0);
    EXPECT_EQ(KyPath3DWireFrame(dc, square, 1, 1, &view, nullptr, 0), 0);
}

}  // namespace
