// kypath envelope through its command line: each preset bends the figure
// the way its name says (read back from the PNG), explicit nets are read in
// box units and in pixels, and bad input ends with exit code 2, one message
// and no file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kypath/png_io.h"

namespace {

namespace fs = std::filesystem;

// ctest runs each case in its own process, side by side: a folder per case
// keeps their files apart.
std::string OutDir() {
    const char *test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::path dir = fs::path(Y32PATH_TEST_OUT) / "tools" / "envelope" / test;
    fs::create_directories(dir);
    return dir.string();
}

struct Outcome {
    int code = -1;
    std::string err;
};

// fontconfig loses a block while it parses its configuration (once, in
// FcInit); in the sanitizer build the program's leak check is told so and
// still sees everything else.
std::string LeakSuppressions() {
    const std::string f = OutDir() + "/fontconfig.supp";
    if (!fs::exists(f)) std::ofstream(f) << "leak:libfontconfig.so\n";
    return f;
}

// Runs `kypath envelope <args> -o <png>`; args are already quoted for sh.
Outcome Envelope(const std::string &args, const std::string &png) {
    const std::string err_file = png + ".stderr";
    const std::string cmd = "LSAN_OPTIONS=suppressions='" + LeakSuppressions() + "' '" + KYPATH_EXE + "' envelope " +
                            args + " -q -o '" + png + "' 2>'" + err_file + "'";
    Outcome r;
    const int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err_file);
    std::stringstream text;
    text << in.rdbuf();
    r.err = text.str();
    return r;
}

// Covered pixels (coverage of at least half) and where they reach.
struct Mask {
    std::vector<uint8_t> px;
    uint32_t w = 0, h = 0;
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1;  // extent of covered pixels

    bool On(int x, int y) const { return px[static_cast<size_t>(y) * w + static_cast<size_t>(x)] >= 128; }
    bool Empty() const { return x1 < x0; }
    int Col(double f) const { return x0 + static_cast<int>(f * (x1 - x0)); }
    int Row(double f) const { return y0 + static_cast<int>(f * (y1 - y0)); }
    int Top(int x) const {
        for (int y = 0; y < static_cast<int>(h); ++y)
            if (On(x, y)) return y;
        return -1;
    }
    int Bottom(int x) const {
        for (int y = static_cast<int>(h) - 1; y >= 0; --y)
            if (On(x, y)) return y;
        return -1;
    }
    int Left(int y) const {
        for (int x = 0; x < static_cast<int>(w); ++x)
            if (On(x, y)) return x;
        return -1;
    }
    int Height(double f) const { return Bottom(Col(f)) - Top(Col(f)); }
};

Mask Load(const std::string &png) {
    Mask m;
    std::string error;
    EXPECT_TRUE(kypath::ReadPngGray(png, &m.px, &m.w, &m.h, &error)) << png << ": " << error;
    m.x0 = static_cast<int>(m.w);
    m.y0 = static_cast<int>(m.h);
    for (int y = 0; y < static_cast<int>(m.h); ++y)
        for (int x = 0; x < static_cast<int>(m.w); ++x)
            if (m.On(x, y)) {
                m.x0 = std::min(m.x0, x), m.x1 = std::max(m.x1, x);
                m.y0 = std::min(m.y0, y), m.y1 = std::max(m.y1, y);
            }
    return m;
}

const char kRect[] = "--shape rectangle --shape-size 200x100 ";
const char kTriangle[] = "--path 'M0 0 L200 100 L0 100 Z' ";

struct BendCase {
    const char *name;
    std::string args;
    std::function<bool(const Mask &)> bent;  // the deformation the name promises
};

TEST(EnvelopeTool, PresetsAndNetsBendTheFigureTheirWay) {
    const BendCase cases[] = {
        {"arch", std::string(kRect) + "--preset arch",
         [](const Mask &m) {
             return m.Top(m.Col(0.5)) < m.Top(m.Col(0.1)) - 20 && m.Bottom(m.Col(0.5)) < m.Bottom(m.Col(0.1)) - 20;
         }},
        {"bulge", std::string(kRect) + "--preset bulge",
         [](const Mask &m) { return m.Height(0.5) > m.Height(0.1) + 30; }},
        {"wave", std::string(kRect) + "--preset wave",
         [](const Mask &m) { return m.Top(m.Col(0.25)) < m.Top(m.Col(0.75)) - 20; }},
        // The lower-left half of the box, so that a net read in the wrong
        // order (the figure turned over its diagonal) shows.
        {"arch_v", std::string(kTriangle) + "--preset arch --kind bibezier-v",
         [](const Mask &m) { return m.Left(m.Row(0.5)) < m.Left(m.Row(0.1)) - 20 && m.Top(m.Col(0.9)) > m.Row(0.5); }},
        {"slant_bilinear", std::string(kRect) + "--preset slant --kind bilinear",
         [](const Mask &m) { return m.Left(m.Row(0.1)) > m.Left(m.Row(0.9)) + 20; }},
        {"perspective_bilinear", std::string(kRect) + "--preset perspective --kind bilinear",
         [](const Mask &m) { return m.Height(0.9) < m.Height(0.1) - 20; }},
        {"net_box_units", "--path 'M0 0 h200 v100 h-200 z' --kind bilinear --net 0,0,1,.2,0,1,1,.8",
         [](const Mask &m) { return m.Height(0.9) < m.Height(0.1) - 20; }},
        // The left edge pulled out to x = -80 in the middle; the right edge straight.
        {"net_pixels_v",
         std::string(kTriangle) + "--kind bibezier-v --absolute "
                                  "--net 0,0,-107,33,-107,67,0,100,200,0,200,33,200,67,200,100",
         [](const Mask &m) {
             return m.x1 - m.x0 > 260 && m.Left(m.Row(0.5)) < m.Left(m.Row(0.05)) - 40 && m.Top(m.Col(0.9)) > m.Row(0.5);
         }},
    };
    for (const BendCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string png = OutDir() + "/envelope_" + c.name + ".png";
        fs::remove(png);
        const Outcome r = Envelope(c.args, png);
        ASSERT_EQ(r.code, 0) << r.err;
        const Mask m = Load(png);
        ASSERT_FALSE(m.Empty());
        EXPECT_TRUE(c.bent(m)) << "covered box (" << m.x0 << ", " << m.y0 << ")-(" << m.x1 << ", " << m.y1 << ")";
    }
}

TEST(EnvelopeTool, TextBendsAndTheOutlineCanBeShown) {
    const std::string plain = OutDir() + "/envelope_text_plain.png", wave = OutDir() + "/envelope_text_wave.png";
    ASSERT_EQ(Envelope("--text Wave --size 64 --preset wave --amount 0", plain).code, 0);
    const Outcome r = Envelope("--text Wave --size 64 --preset wave --show-net", wave);
    ASSERT_EQ(r.code, 0) << r.err;
    const Mask a = Load(plain), b = Load(wave);
    ASSERT_FALSE(a.Empty());
    ASSERT_FALSE(b.Empty());
    // The swing makes the letters reach higher and lower than the straight line.
    EXPECT_GT(b.y1 - b.y0, a.y1 - a.y0 + 8);
    // The outline is drawn in half grey, outside the letters too.
    int grey = 0;
    for (uint8_t v : b.px) grey += v > 40 && v < 128;
    EXPECT_GT(grey, 200);
}

TEST(EnvelopeTool, BadInputExitsWithTwoAndWritesNothing) {
    const struct {
        std::string args;
        const char *says;
    } cases[] = {
        {std::string(kRect) + "--kind bilinear --preset arch", "--preset"},
        {std::string(kRect) + "--net 0,0,1,0", "16 numbers"},
        {std::string(kRect) + "--kind bilinear --net 0,0,1,0,0,1,1,x", "--net"},
        {std::string(kRect) + "--kind bilinear --absolute --net 0,0,40000,0,0,100,200,100", "coordinate range"},
        {std::string(kRect) + "--preset twist", "--preset"},
        {std::string(kRect), "--preset"},
        {"--preset arch", "--text"},
        {"--text ' ' --preset arch", "--text"},
        {"--path 'M0 0 Q' --preset arch", "--path"},
        {"--path 'M5 5' --preset arch", "figure"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        const std::string png = OutDir() + "/envelope_bad.png";
        fs::remove(png);
        const Outcome r = Envelope(c.args, png);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("kypath:"), std::string::npos) << "reported as a failure, not a usage error: " << r.err;
        EXPECT_FALSE(fs::exists(png));
    }
}

}  // namespace
