// The overlay of a small scene, byte for byte, against a checked-in
// picture (tests/data/display/overlay_scene.pgm: the raw overlay bytes as
// an 8-bit PGM, so counts show as dark greys and highlights as mid greys).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/outline_draw.h"
#include "overlay_fixture.h"
#include "support/golden.h"

namespace {

using display_testing::LinkList;
using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::OverlayTest;

constexpr int kSize = 64;

class OverlayGolden : public OverlayTest {};

TEST_F(OverlayGolden, SceneMatchesTheCheckedInOverlay) {
    MakeView(kSize, kSize);
    // A closed shape of two curves and a line, a zigzag crossing it (two
    // outlines on the crossings) with a picked segment, parts outside the
    // window on the left and bottom.
    KyPath *blob = MakePath({{PT_MOVETO, 8.5, 30.25}, {PT_BEZIERTO, 10.0, 4.0}, {PT_BEZIERTO, 50.0, 2.0},
                             {PT_BEZIERTO, 56.75, 28.5}, {PT_BEZIERTO, 60.0, 50.0}, {PT_BEZIERTO, 20.0, 40.0},
                             {PT_BEZIERTO, 30.0, 52.0}, {PT_LINETO | PT_CLOSEFIGURE, 8.5, 30.25}});
    KyPath *zig = MakePath({{PT_MOVETO, -6.0, 20.0}, {PT_LINETO, 14.3, 44.9}, {PT_LINETO, 27.0, 12.5},
                            {PT_LINETO, 40.6, 61.2}, {PT_LINETO, 47.0, 70.0}});
    LinkList({blob, zig});
    Own(blob);
    KyPathPoints(zig)[2].type |= PT_SEGSELECTED;
    zig->flags |= KPF_HASSELSEGMENT;
    LinkSelection({zig});
    Y32Rect r{};
    ASSERT_EQ(KyPathDraw(view_, blob, &r), 1);

    // A curve in the secondary style added over the scene by the selection
    // drawer (a KyPathDraw of its own would wipe the scene first).
    KyPath *rail =
        Own(MakePath({{PT_MOVETO, 36, 58}, {PT_BEZIERTO, 44, 40}, {PT_BEZIERTO, 52, 66}, {PT_BEZIERTO, 62, 44}}));
    LinkSelection({rail});
    ASSERT_TRUE(outline::DrawSelection(view_, rail, overlay::kDrawSecondary, &r));
    const std::vector<uint8_t> actual = Bytes();

    testing_support::ExpectGolden("display", "overlay_scene", testing_support::Gray{kSize, kSize, actual});
}

}  // namespace
