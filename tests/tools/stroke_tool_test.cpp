// kypath stroke through its command line: the dashes read back from the
// PNG follow the style, an arrowhead takes its room at the end, and bad
// input ends with exit code 2 and no file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kypath/png_io.h"

namespace {

namespace fs = std::filesystem;

std::string OutDir() {
    fs::path dir = fs::path(Y32PATH_TEST_OUT) / "tools";
    fs::create_directories(dir);
    return dir.string();
}

int Stroke(const std::string &args, const std::string &png, std::string *err) {
    const std::string err_file = png + ".stderr";
    const std::string cmd =
        std::string("'") + KYPATH_EXE + "' stroke " + args + " -q -o '" + png + "' 2>'" + err_file + "'";
    const int status = std::system(cmd.c_str());
    std::ifstream in(err_file);
    std::stringstream text;
    text << in.rdbuf();
    *err = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Lengths of the covered runs (coverage of half or more) along the row
// that holds the most covered pixels.
std::vector<int> Runs(const std::string &png, int *first = nullptr, int *last = nullptr) {
    std::vector<uint8_t> px;
    uint32_t w = 0, h = 0;
    std::string error;
    EXPECT_TRUE(kypath::ReadPngGray(png, &px, &w, &h, &error)) << error;
    uint32_t best = 0, best_count = 0;
    for (uint32_t y = 0; y < h; ++y) {
        uint32_t c = 0;
        for (uint32_t x = 0; x < w; ++x) c += px[y * w + x] >= 128;
        if (c > best_count) best_count = c, best = y;
    }
    std::vector<int> runs;
    int run = 0;
    for (uint32_t x = 0; x < w; ++x) {
        if (px[best * w + x] >= 128) {
            if (!run && first && runs.empty()) *first = static_cast<int>(x);
            if (last) *last = static_cast<int>(x);
            ++run;
        } else if (run) {
            runs.push_back(run);
            run = 0;
        }
    }
    if (run) runs.push_back(run);
    return runs;
}

TEST(StrokeTool, DashStylesAndArrowheads) {
    std::string err;
    // Style 2, pen 1 (w = 2) on a 400-pixel line: from 8 on, 28 dashes of
    // 6 stretched to fill 392 pixels.
    const std::string plain = OutDir() + "/stroke_style2.png";
    ASSERT_EQ(Stroke("--path 'M20 20 L420 20' --style 2 --width 1 --antialias off", plain, &err), 0) << err;
    std::vector<int> runs = Runs(plain);
    ASSERT_EQ(runs.size(), 28u);
    for (int r : runs) EXPECT_NEAR(r, 6, 1);

    // The narrow arrowhead (14 long, attachment side 4) takes the last 14
    // pixels at pen 2: the dashes (4 long, w = 4) stop short of it.
    int first = 0, last = 0;
    const std::string arrow = OutDir() + "/stroke_arrow.png";
    ASSERT_EQ(Stroke("--path 'M20 20 L420 20' --style 1 --width 2 --end-arrow narrow --antialias off", arrow, &err),
              0)
        << err;
    runs = Runs(arrow, &first, &last);
    ASSERT_GE(runs.size(), 2u);
    EXPECT_GE(runs.back(), 8);  // the arrowhead, longer than any dash
    // From the first dash at 24 to where the arrowhead, which narrows to its
    // tip at 419 on the line between two rows, still half covers a row.
    EXPECT_NEAR(last - first, 392, 2);
    for (size_t i = 0; i + 1 < runs.size(); ++i) EXPECT_NEAR(runs[i], 4, 1);
}

TEST(StrokeTool, BadInputExitsWithTwoAndWritesNothing) {
    const struct {
        std::string args;
        const char *says;
    } cases[] = {
        {"--path 'M0 0 L100 0' --style 8", "--style"},
        {"--path 'M0 0 L100 0' --style 0", "--style"},
        {"--path 'M0 0 L100 0 M0 10 L100 10' --style 1", "single subpath"},
        {"--path 'M0 0 L100 0' --end-arrow 'M0 0 Q'", "--end-arrow"},
        {"--style 1", "--path"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        const std::string png = OutDir() + "/stroke_bad.png";
        fs::remove(png);
        std::string err;
        EXPECT_EQ(Stroke(c.args, png, &err), 2);
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(png));
    }
}

}  // namespace
