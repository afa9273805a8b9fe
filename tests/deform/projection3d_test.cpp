#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/vec.h"
#include "deform/deform_support.h"
#include "deform/projection3d.h"
#include "support/owned_records.h"
#include "support/point_checks.h"

namespace {

using deform_test::AxisMatrix;
using deform_test::Params;
using testing_support::ExpectBox;
using testing_support::LinkList;
using testing_support::MakePath;

// sin and cos of 30 and 60 degrees with pi = 3.14159, worked out by hand
// from the series (not with the library's helpers).
constexpr double kSin30 = 0.4999996169872557, kCos30 = 0.8660256249168368;
constexpr double kSin60 = 0.8660249615191342, kCos60 = 0.5000007660251954;

TEST(Rotation3D, AxisMatricesTurnPointsTheRightWay) {
    // 30 degrees about z, row vectors: (1, 2, 3) -> (c - 2s, s + 2c, 3).
    const double z[3] = {0, 0, 1};
    double m[9];
    AxisMatrix(z, 30, m);
    double p[3] = {1, 2, 3};
    RotatePoint3D(p, m);
    EXPECT_NEAR(p[0], kCos30 - 2 * kSin30, 1e-14);
    EXPECT_NEAR(p[1], kSin30 + 2 * kCos30, 1e-14);
    EXPECT_NEAR(p[2], 3.0, 1e-14);

    // A zero sine leaves the matrix as the caller set it; 180 degrees does
    // not have one (the short pi), so the matrix is written.
    double keep[9] = {9, 8, 7, 6, 5, 4, 3, 2, 1}, m2[9], s, c;
    std::memcpy(m2, keep, sizeof m2);
    vec::SinCosDeg(0, &s, &c);
    vec::VThitaGetMatrix(s, c, z, m2);
    EXPECT_EQ(std::memcmp(m2, keep, sizeof m2), 0);
    vec::SinCosDeg(180, &s, &c);
    EXPECT_NE(s, 0.0);
    EXPECT_LT(c, 0.0);
    vec::VThitaGetMatrix(s, c, z, m2);
    EXPECT_NEAR(m2[0], -1.0, 1e-9);
    EXPECT_NEAR(m2[8], 1.0, 1e-15);

    // The cosine takes its sign from the quadrant.
    for (double deg : {-100.0, 45.0, 91.0, 200.0, 269.0, 271.0, 359.0, 725.0}) {
        vec::SinCosDeg(deg, &s, &c);
        EXPECT_NEAR(c, std::cos(deg * vec::kPi3D / 180.0), 1e-9) << deg;
    }
}

TEST(Rotation3D, AnglesFoldIntoOneTurn) {
    const double in[] = {-90, 720, 359.5, -360, std::nan(""), INFINITY}, out[] = {270, 0, 359.5, 0, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(vec::NormalizeAngleDeg(in[i]), out[i]) << in[i];
    double tiny = vec::NormalizeAngleDeg(-1e-20);
    EXPECT_TRUE(tiny >= 0.0 && tiny < 360.0) << tiny;
}

TEST(Rotation3D, ProductsAndRepairOfMatrices) {
    const double x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
    double a[9], b[9], ab[9];
    AxisMatrix(x, 30, a);
    AxisMatrix(y, 60, b);
    Matrix3X3(a, b, ab);
    // p * (A * B) is p * A then * B.
    double p[3] = {3, -1, 2}, q[3] = {3, -1, 2};
    RotatePoint3D(p, ab);
    RotatePoint3D(q, a);
    RotatePoint3D(q, b);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], q[k], 1e-12);
    // The output may be an input; a null input is ignored.
    double a2[9];
    std::memcpy(a2, a, sizeof a2);
    Matrix3X3(a2, b, a2);
    Matrix3X3(nullptr, b, a2);
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(a2[k], ab[k], 1e-15);

    // An orthonormal matrix comes back as it was...
    double r[9];
    std::memcpy(r, ab, sizeof r);
    ASSERT_TRUE(vec::ORMatrix(r));
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(r[k], ab[k], 1e-12);
    // ...a drifted one orthonormal, row 1 keeping its direction.
    double d[9];
    std::memcpy(d, ab, sizeof d);
    d[0] += 0.01;
    d[4] *= 1.02;
    d[7] -= 0.005;
    double row1[3] = {d[3], d[4], d[5]};
    vec::Unit3(row1);
    ASSERT_TRUE(vec::ORMatrix(d));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double dot = d[3 * i] * d[3 * j] + d[3 * i + 1] * d[3 * j + 1] + d[3 * i + 2] * d[3 * j + 2];
            EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-12);
        }
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(d[3 + k], row1[k], 1e-15);
    // A zero row has no repair: the matrix stays.
    double z[9] = {1, 0, 0, 0, 0, 0, 0, 0, 1}, zk[9];
    std::memcpy(zk, z, sizeof zk);
    EXPECT_FALSE(vec::ORMatrix(z));
    EXPECT_EQ(std::memcmp(z, zk, sizeof z), 0);
}

TEST(Rotation3D, AddRotationCombinesTwoTurns) {
    const double z[3] = {0, 0, 2}, minus_z[3] = {0, 0, -1}, x[3] = {1, 0, 0};
    double axis[3], angle;
    ASSERT_TRUE(vec::AddRotation(z, 30, z, 40, axis, &angle));
    EXPECT_DOUBLE_EQ(angle, 70);
    EXPECT_DOUBLE_EQ(axis[2], 1.0);  // normalised
    ASSERT_TRUE(vec::AddRotation(z, 30, minus_z, 40, axis, &angle));
    EXPECT_DOUBLE_EQ(angle, 350);
    EXPECT_FALSE(vec::AddRotation(z, 0, x, 0, axis, &angle));
    ASSERT_TRUE(vec::AddRotation(z, 0, x, 25, axis, &angle));
    EXPECT_EQ(angle, 25);
    EXPECT_EQ(axis[0], 1);
    const double none[3] = {0, 0, 0};
    EXPECT_FALSE(vec::AddRotation(none, 10, x, 20, axis, &angle));
    // Two whole turns cancel: no axis to speak of, angle 0.
    ASSERT_TRUE(vec::AddRotation(z, 360, x, 720, axis, &angle));
    EXPECT_EQ(angle, 0);

    // Random pairs: turning by the result equals turning by both in order.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> comp(-1, 1), deg(-400, 400);
    for (int trial = 0; trial < 200; ++trial) {
        double a1[3] = {comp(rng), comp(rng), comp(rng)}, a2[3] = {comp(rng), comp(rng), comp(rng)};
        double g1 = deg(rng), g2 = deg(rng);
        ASSERT_TRUE(vec::AddRotation(a1, g1, a2, g2, axis, &angle));
        vec::Unit3(a1);
        vec::Unit3(a2);
        double m1[9], m2[9], m[9];
        AxisMatrix(a1, g1, m1);
        AxisMatrix(a2, g2, m2);
        AxisMatrix(axis, angle, m);
        double p[3] = {comp(rng), comp(rng), comp(rng)}, q[3] = {p[0], p[1], p[2]};
        RotatePoint3D(p, m1);
        RotatePoint3D(p, m2);
        RotatePoint3D(q, m);
        // The short pi makes the composed sine and cosine a hair apart.
        for (int k = 0; k < 3; ++k) ASSERT_NEAR(p[k], q[k], 1e-4) << trial;
    }
}

TEST(Projection3D, SinglePointsAgainstHandValues) {
    // 60 degrees about y takes (10, 0, 0) to (10 cos, 0, -10 sin): farther
    // from the eye at height 1000, so it shrinks towards the eye's foot.
    const double y[3] = {0, 1, 0};
    double m[9];
    AxisMatrix(y, 60, m);
    const int32_t origin[2] = {100, 50}, dest[2] = {4, 5};
    const double eye[3] = {100, 50, 1000}, shift[3] = {0, 0, 99};
    double out[2];
    ASSERT_EQ(KyProject2DTO3D(10, 0, out, origin, dest, eye, shift, m), 1);
    double px = 10 * kCos60, pz = -10 * kSin60;
    EXPECT_NEAR(out[0], 100 + px * 1000 / (1000 - pz) - 4, 1e-12);
    EXPECT_NEAR(out[1], 50 - 5, 1e-12);
    // The shift moves the rotated point before it is seen.
    const double shifted[3] = {7, -3, 0};
    ASSERT_EQ(KyProject2DTO3D(10, 0, out, origin, dest, eye, shifted, m), 1);
    EXPECT_NEAR(out[1], 50 - 3 * 1000 / (1000 - pz) - 5, 1e-12);

    out[0] = out[1] = 123;
    EXPECT_EQ(KyProject2DTO3D(0, 0, out, nullptr, dest, eye, shift, m), 0);
    EXPECT_EQ(KyProject2DTO3D(0, 0, nullptr, origin, dest, eye, shift, m), 0);
    EXPECT_EQ(KyProject2DTO3D(0, 0, out, origin, dest, eye, shift, nullptr), 0);
    EXPECT_EQ(out[0], 123);
}

TEST(Projection3D, PointsAtOrBehindTheEyeStayFinite) {
    // 90 degrees about y: x turns into depth, so the point 1000 pixels to
    // the left of the eye comes to lie level with it, and one farther left
    // behind it.
    const double y[3] = {0, 1, 0};
    double m[9];
    AxisMatrix(y, 90, m);
    double p[3] = {-1000, 0, 0};
    RotatePoint3D(p, m);
    const double eye_z = p[2];  // exactly level with the eye
    const int32_t origin[2] = {0, 0}, dest[2] = {0, 0};
    const double eye[3] = {0, 0, eye_z}, shift[3] = {0, 0, 0};
    for (double dx : {-1000.0, -1500.0, -1e9}) {
        double out[2] = {0, 0};
        ASSERT_EQ(KyProject2DTO3D(dx, 0, out, origin, dest, eye, shift, m), 1);
        EXPECT_TRUE(std::isfinite(out[0])) << dx;
        EXPECT_TRUE(std::isfinite(out[1])) << dx;
    }
    // Straight above the eye's foot nothing moves, however near.
    double out[2];
    ASSERT_EQ(KyProject2DTO3D(0, 0, out, origin, dest, eye, shift, m), 1);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[1], 0.0);
    // The scale is capped at a million and never changes sign.
    EXPECT_NEAR(vec::PerspectiveScale(1000, 1000), 1e6, 1e-6);
    EXPECT_NEAR(vec::PerspectiveScale(1000, 5000), 1e6, 1e-6);
    EXPECT_EQ(vec::PerspectiveScale(INFINITY, 5), 1.0);
    EXPECT_EQ(vec::PerspectiveScale(0, 0), 0.0);
    EXPECT_NEAR(vec::PerspectiveScale(1000, std::nan("")), 1e6, 1e-6);
}

using PathProjectionTest = testing_support::OwningPathTest;

TEST_F(PathProjectionTest, IdentityKeepsThePathAndRotationsMatchHandValues) {
    KyPath *a = Own(
        MakePath({{PT_MOVETO, 110, 50}, {PT_BEZIERTO, 120, 60}, {PT_BEZIERTO, 90, 70}, {PT_BEZIERTO, 100, 40}}));
    KyPath *b = MakePath({{PT_MOVETO, 3, 3}, {PT_ROTATEDRECT, 4, 4}, {PT_MOVETO, 5, 5}, {PT_LINETO, 130, 50}});
    LinkList({a, b});
    a->shape = b->shape = 2;
    Path3DParams id = Params(100, 50, 1000, 60);
    ASSERT_EQ(KyPathTo3D(b, &id), 1);  // any record: the whole list from its head
    EXPECT_EQ(+path::Points(a)[0].x, DbToFix(110));
    EXPECT_EQ(+path::Points(a)[2].y, DbToFix(70));
    EXPECT_EQ(a->shape, 0);
    EXPECT_EQ(b->shape, 0);

    // 60 degrees about y around the centre (100, 50), eye height 1000 /
    // tan(30 degrees): (110, 50) is 10 to the right, turned to (10 cos,
    // 0, -10 sin) and seen from E.
    const double yaxis[3] = {0, 1, 0};
    Path3DParams turned = Params(100, 50, 1000, 60);
    AxisMatrix(yaxis, 60, turned.matrix);
    turned.shiftY = DbToFix(2);
    const double ez = 1000 / (kSin30 / kCos30);
    ASSERT_EQ(KyPathTo3D(a, &turned), 1);
    double k = ez / (ez + 10 * kSin60);
    EXPECT_NEAR(fx::ToDouble(path::Points(a)[0].x), 100 + 10 * kCos60 * k, 2.0 / 65536);
    EXPECT_NEAR(fx::ToDouble(path::Points(a)[0].y), 50 + 2 * k, 2.0 / 65536);
    // The parameter entry and the point after it are not positions.
    EXPECT_EQ(+path::Points(b)[1].x, DbToFix(4));
    EXPECT_EQ(+path::Points(b)[2].x, DbToFix(5));
    EXPECT_NE(+path::Points(b)[0].x, DbToFix(3));
    EXPECT_EQ(KyPathTo3D(a, nullptr), 0);

    // Without a field of view the projection is parallel: a quarter turn
    // in the plane, nothing else.
    KyPath *p = Own(MakePath({{PT_MOVETO, 10, 0}, {PT_LINETO, 0, 10}}));
    const double zaxis[3] = {0, 0, 1};
    Path3DParams flat = Params(0, 0, 500, 0);
    AxisMatrix(zaxis, 90, flat.matrix);
    ASSERT_EQ(KyPathTo3D(p, &flat), 1);
    EXPECT_NEAR(+path::Points(p)[0].y, DbToFix(10), 1);
    EXPECT_NEAR(+path::Points(p)[1].x, DbToFix(-10), 1);
}

TEST_F(PathProjectionTest, PathsNearTheEyeAreHeldToTheFixedRange) {
    // Turned 90 degrees about y with the eye 200 high: a point 200 left of
    // the centre comes level with the eye, one 400 left lies behind it.
    const double yaxis[3] = {0, 1, 0};
    Path3DParams prm = Params(0, 0, 200, 90);
    AxisMatrix(yaxis, 90, prm.matrix);
    const double ez = p3d::EyeHeight(prm);
    KyPath *p = Own(MakePath({{PT_MOVETO, -ez, 10}, {PT_LINETO, -2 * ez, 10}, {PT_LINETO, 0, 10}}));
    ASSERT_EQ(KyPathTo3D(p, &prm), 1);
    const PathPoint *pt = path::Points(p);
    // Far out in their own direction, at the edge of what FIXED holds.
    EXPECT_EQ(+pt[0].y, INT32_MAX);
    EXPECT_EQ(+pt[1].y, INT32_MAX);
    EXPECT_EQ(+pt[2].y, DbToFix(10));
    EXPECT_EQ(p3d::ClampToFixed(-1e300), INT32_MIN);
    EXPECT_EQ(p3d::ClampToFixed(std::nan("")), 0);
    EXPECT_EQ(p3d::ClampToFixed(-32768.0), INT32_MIN);
}

TEST_F(PathProjectionTest, BoxCoversFrontAndBackCopies) {
    KyPath *p = Own(MakePath({{PT_MOVETO, 90, 40}, {PT_LINETO, 110, 40}, {PT_LINETO, 110, 60}}));
    KyPath *q = MakePath({{PT_MOVETO, 100, 75.5}});
    LinkList({p, q});
    // The eye height comes from the record: with the short pi, tan(45
    // degrees) is not exactly 1.
    Path3DParams prm = Params(100, 50, 500, 90);
    const double ez = p3d::EyeHeight(prm);
    Y32Rect r{};
    ASSERT_EQ(KyPathGet3DMiniMaxRect(q, &prm, 0, ez, &r), 1);
    // The back copies are half as far from the centre, inside the front
    // box: the front box is the answer.
    ExpectBox(r, 90, 40, 110, 75);
    // With the front lifted halfway to the eye everything doubles.
    ASSERT_EQ(KyPathGet3DMiniMaxRect(p, &prm, ez / 2, ez, &r), 1);
    ExpectBox(r, 80, 30, 120, 101);
    // Failures leave the rectangle alone.
    Y32Rect keep = r;
    EXPECT_EQ(KyPathGet3DMiniMaxRect(Own(KyPathCreate()), &prm, 0, 0, &r), 0);
    EXPECT_EQ(KyPathGet3DMiniMaxRect(p, nullptr, 0, 0, &r), 0);
    EXPECT_EQ(KyPathGet3DMiniMaxRect(p, &prm, 0, 0, nullptr), 0);
    EXPECT_EQ(std::memcmp(&r, &keep, sizeof r), 0);
}

}  // namespace
