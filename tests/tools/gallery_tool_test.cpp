// kypath gallery through its command line: the contact sheet has the size
// its tile count and tile size give, and every tile and every label band
// has something drawn in it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kypath/png_io.h"

namespace {

namespace fs = std::filesystem;

// Pixels of a rectangle that differ from plain white.
int Marked(const std::vector<uint8_t> &rgb, uint32_t width, int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            const uint8_t *p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            if (p[0] < 240 || p[1] < 240 || p[2] < 240) ++n;
        }
    return n;
}

TEST(GalleryTool, EveryTileAndLabelIsDrawn) {
    const fs::path dir = fs::path(Y32PATH_TEST_OUT) / "tools";
    fs::create_directories(dir);
    const std::string png = (dir / "gallery_small.png").string(), log = (dir / "gallery_small.txt").string();
    fs::remove(png);
    const int tile = 96, columns = 5;
    // fontconfig leaves one block of its configuration unfreed; the
    // sanitizer build's leak check would otherwise fail the program on it.
    const std::string supp = (dir / "gallery_fontconfig.supp").string();
    std::ofstream(supp) << "leak:libfontconfig\n";
    const std::string cmd = "LSAN_OPTIONS=suppressions=" + supp + " " + std::string(KYPATH_EXE) + " gallery --tile " + std::to_string(tile) + " --columns " +
                            std::to_string(columns) + " -o " + png + " > " + log;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    // "<file>: WxH, N tiles of T pixels, ..." tells how many tiles there are.
    std::ifstream in(log);
    std::string line;
    std::getline(in, line);
    const size_t at = line.find(", ");
    ASSERT_NE(at, std::string::npos) << line;
    int count = 0, told_tile = 0;
    ASSERT_EQ(std::sscanf(line.c_str() + at, ", %d tiles of %d pixels", &count, &told_tile), 2) << line;
    EXPECT_EQ(told_tile, tile);
    EXPECT_GE(count, 10);

    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
    std::string error;
    ASSERT_TRUE(kypath::ReadPngRgb(png, &rgb, &w, &h, &error)) << error;
    // The sheet's geometry: label band tile / 8 (at least 12), gaps
    // tile / 40 (at least 2).
    const int band = std::max(12, tile / 8), pad = std::max(2, tile / 40);
    const int rows = (count + columns - 1) / columns;
    EXPECT_EQ(w, static_cast<uint32_t>(columns * (tile + pad) + pad));
    ASSERT_EQ(h, static_cast<uint32_t>(rows * (tile + band + pad) + pad));

    for (int i = 0; i < count; ++i) {
        const int x = pad + (i % columns) * (tile + pad), y = pad + (i / columns) * (tile + band + pad);
        EXPECT_GT(Marked(rgb, w, x, y, tile, tile), tile * tile / 100) << "tile " << i << " is empty";
        EXPECT_GT(Marked(rgb, w, x, y + tile, tile, band), 10) << "label " << i << " is empty";
    }
    // The cells left over in the last row stay the sheet's grey ground.
    if (count % columns) {
        const int x = pad + (count % columns) * (tile + pad), y = pad + (rows - 1) * (tile + band + pad);
        const uint8_t *p = &rgb[(static_cast<size_t>(y + tile / 2) * w + x + tile / 2) * 3];
        EXPECT_EQ(p[0], 200);
    }
}

TEST(GalleryTool, RefusesATooSmallTile) {
    const std::string cmd = std::string(KYPATH_EXE) + " gallery --tile 8 -o /dev/null >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    ASSERT_NE(status, -1);
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
