// The overlay of a small scene, byte for byte, against a checked-in
// picture (tests/data/display/overlay_scene.pgm: the raw overlay bytes as
// an 8-bit PGM, so counts show as dark greys and highlights as mid greys).
// The comparison is exact. On a mismatch the actual overlay and a diff
// (255 where they differ) go to the test output folder. Set
// Y32PATH_REGEN_GOLDEN=1 to rewrite the expected picture, then look at it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "display/outline_draw.h"
#include "overlay_fixture.h"

namespace {

using display_testing::LinkList;
using display_testing::LinkSelection;
using display_testing::MakePath;
using display_testing::OverlayTest;

constexpr int kSize = 64;

bool WritePgm(const std::string &path, const std::vector<uint8_t> &px) {
    std::ofstream f(path, std::ios::binary);
    f << "P5\n" << kSize << " " << kSize << "\n255\n";
    f.write(reinterpret_cast<const char *>(px.data()), static_cast<std::streamsize>(px.size()));
    return static_cast<bool>(f);
}

bool ReadPgm(const std::string &path, std::vector<uint8_t> *px) {
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    if (!(f >> magic >> w >> h >> maxval) || magic != "P5" || w != kSize || h != kSize || maxval != 255) return false;
    f.get();  // the single whitespace before the pixels
    px->resize(static_cast<size_t>(w) * h);
    f.read(reinterpret_cast<char *>(px->data()), static_cast<std::streamsize>(px->size()));
    return static_cast<bool>(f);
}

class OverlayGolden : public OverlayTest {};

TEST_F(OverlayGolden, SceneMatchesTheCheckedInOverlay) {
    MakeView(kSize, kSize);
    // A closed shape of two curves and a line, a zigzag crossing it (two
    // outlines on the crossings) with a picked segment, parts outside the
    // window on the left and bottom.
    KyPath *blob = MakePath({{PT_MOVETO, 8.5, 30.25},
                             {PT_BEZIERTO, 10.0, 4.0},
                             {PT_BEZIERTO, 50.0, 2.0},
                             {PT_BEZIERTO, 56.75, 28.5},
                             {PT_BEZIERTO, 60.0, 50.0},
                             {PT_BEZIERTO, 20.0, 40.0},
                             {PT_BEZIERTO, 30.0, 52.0},
                             {PT_LINETO | PT_CLOSEFIGURE, 8.5, 30.25}});
    KyPath *zig = MakePath({{PT_MOVETO, -6.0, 20.0},
                            {PT_LINETO, 14.3, 44.9},
                            {PT_LINETO, 27.0, 12.5},
                            {PT_LINETO, 40.6, 61.2},
                            {PT_LINETO, 47.0, 70.0}});
    LinkList({blob, zig});
    Own(blob);
    KyPathPoints(zig)[2].type |= PT_SEGSELECTED;
    zig->flags |= KPF_HASSELSEGMENT;
    LinkSelection({zig});
    Y32Rect r{};
    ASSERT_EQ(KyPathDraw(view_, blob, &r), 1);

    // A curve in the secondary style added over the scene by the selection
    // drawer (a KyPathDraw of its own would wipe the scene first).
    KyPath *rail = MakePath(
        {{PT_MOVETO, 36.0, 58.0}, {PT_BEZIERTO, 44.0, 40.0}, {PT_BEZIERTO, 52.0, 66.0}, {PT_BEZIERTO, 62.0, 44.0}});
    Own(rail);
    LinkSelection({rail});
    ASSERT_TRUE(outline::DrawSelection(view_, rail, overlay::kDrawSecondary, &r));
    const std::vector<uint8_t> actual = Bytes();

    const std::string expected_path = std::string(Y32PATH_TEST_DATA) + "/display/overlay_scene.pgm";
    const char *regen = std::getenv("Y32PATH_REGEN_GOLDEN");
    if (regen && std::string(regen) == "1") {
        mkdir((std::string(Y32PATH_TEST_DATA) + "/display").c_str(), 0755);
        ASSERT_TRUE(WritePgm(expected_path, actual));
        GTEST_SKIP() << "rewrote " << expected_path << "; look at it before committing";
    }
    std::vector<uint8_t> expected;
    ASSERT_TRUE(ReadPgm(expected_path, &expected)) << "missing or malformed " << expected_path;
    if (expected != actual) {
        const std::string out_dir = std::string(Y32PATH_TEST_OUT) + "/display";
        mkdir(Y32PATH_TEST_OUT, 0755);
        mkdir(out_dir.c_str(), 0755);
        std::vector<uint8_t> diff(actual.size());
        int differing = 0;
        for (size_t i = 0; i < actual.size(); ++i) {
            diff[i] = actual[i] == expected[i] ? 0 : 255;
            differing += actual[i] != expected[i];
        }
        WritePgm(out_dir + "/overlay_scene.actual.pgm", actual);
        WritePgm(out_dir + "/overlay_scene.diff.pgm", diff);
        ADD_FAILURE() << differing << " overlay bytes differ; actual and diff written to " << out_dir;
    }
}

}  // namespace
