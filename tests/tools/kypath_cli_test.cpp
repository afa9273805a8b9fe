// The kypath program as one command line: every command answers each kind
// of bad input with one line and exit code 2 and writes nothing; a figure
// written with --flat or --svg comes back unchanged; Ctrl-C stops a long
// relief build cleanly; --help ends with an example.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kypath/png_io.h"
#include "tools/kypath/svg_path.h"
#include "y32Path.h"

namespace {

namespace fs = std::filesystem;

// ctest runs each case in its own process, side by side: a folder per case
// keeps one case's stderr capture and files out of another's.
std::string OutDir() {
    const char *test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::path dir = fs::path(Y32PATH_TEST_OUT) / "tools" / "cli" / test;
    fs::create_directories(dir);
    return dir.string();
}

struct Outcome {
    int code = -1;
    std::vector<std::string> err;  // stderr, line by line
};

// The start of a sh command running the program. fontconfig's one block
// lost in FcInit is no leak of ours, and the sanitizer's note that it was
// left out must not count as a line of the program's.
std::string Program() {
    const std::string supp = OutDir() + "/fontconfig.supp";
    std::ofstream(supp) << "leak:libfontconfig.so\n";
    return "LSAN_OPTIONS=suppressions='" + supp + "':print_suppressions=0 '" + KYPATH_EXE + "' ";
}

// Runs `kypath <args>` through sh (args already quoted).
Outcome Kypath(const std::string &args) {
    const std::string err_file = OutDir() + "/stderr.txt";
    const std::string cmd = Program() + args + " >/dev/null 2>'" + err_file + "'";
    const int status = std::system(cmd.c_str());
    Outcome r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err_file);
    for (std::string line; std::getline(in, line);) r.err.push_back(line);
    return r;
}

std::string Quote(const std::string &s) { return "'" + s + "'"; }

// How a command takes its figure and what else it needs to run.
struct Command {
    const char *name;
    const char *path_flag;  // "" positional, "--path ", or nullptr: no path figure
    const char *extra;      // the rest of a valid call
    bool takes_text_font;   // --text with --font
    bool takes_in;          // --in flat file
};

const Command kCommands[] = {
    {"mask", "", "", true, true},
    {"relief", "", "--width 3", true, true},
    {"shade", "", "--width 3", true, true},
    {"render3d", "", "--width 3", true, true},
    {"wrap", "--path ", "--baseline 'M0 0 L300 0'", true, true},
    {"envelope", "--path ", "--preset arch", true, true},
    {"stroke", "--path ", "", false, false},
    {"text", nullptr, "Hi", false, false},
    {"shape", nullptr, "ellipse", false, false},
    {"gallery", nullptr, "--tile 64", false, false},
};

TEST(KypathCli, BadInputGivesOneLineExitTwoAndNoFile) {
    const std::string garbage = OutDir() + "/garbage.flat";
    std::ofstream(garbage, std::ios::binary) << "this is no flat path block, just some words\n";
    const std::string png = OutDir() + "/bad.png";
    const std::string good_path = "'M10 10 L60 10 L35 50 Z'";
    int ran = 0;
    for (const Command &c : kCommands) {
        const std::string name = c.name;
        const std::string figure = c.path_flag ? std::string(c.path_flag) + good_path : "";
        struct Case {
            std::string what, args;
        };
        std::vector<Case> cases = {
            {"unknown option", figure + " " + c.extra + " --no-such-option -o " + Quote(png)},
            {"unwritable output", figure + " " + c.extra + " -o " + Quote(OutDir() + "/no/such/dir/x.png")},
        };
        if (c.path_flag)
            cases.push_back(
                {"malformed path data", std::string(c.path_flag) + "'M10 10 L20' " + c.extra + " -o " + Quote(png)});
        if (c.takes_text_font)
            cases.push_back({"missing font",
                             "--text Ky --font 'No Such Face Anywhere' " + std::string(c.extra) + " -o " + Quote(png)});
        if (name == "text") cases.push_back({"missing font", "Hi --font 'No Such Face Anywhere' -o " + Quote(png)});
        if (name == "mask")
            cases.push_back({"unwritable --flat",
                             figure + " --flat " + Quote(OutDir() + "/no/such/dir/x.flat") + " -o " + Quote(png)});
        if (c.takes_in) {
            cases.push_back({"garbage --in", "--in " + Quote(garbage) + " " + c.extra + " -o " + Quote(png)});
            cases.push_back(
                {"unreadable --in", "--in " + Quote(OutDir() + "/missing.flat") + " " + c.extra + " -o " + Quote(png)});
        }
        for (const Case &k : cases) {
            SCOPED_TRACE(name + ": " + k.what + ": " + k.args);
            fs::remove(png);
            const Outcome r = Kypath(name + " " + k.args);
            EXPECT_EQ(r.code, 2);
            ASSERT_EQ(r.err.size(), 1u);
            EXPECT_EQ(r.err[0].rfind("kypath " + name + ": ", 0), 0u) << r.err[0];
            EXPECT_FALSE(fs::exists(png));
            ++ran;
        }
    }
    // The same call with good input works, so the failures above are the
    // bad input's.
    EXPECT_EQ(Kypath("mask " + good_path + " -q -o " + Quote(png)).code, 0);
    EXPECT_TRUE(fs::exists(png));
    EXPECT_GT(ran, 30);
    // Outside any command too.
    const Outcome r = Kypath("--frobnicate");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.size(), 1u);
}

TEST(KypathCli, HelpEndsWithAnExampleAndExitsZero) {
    for (const char *name :
         {"mask", "text", "shape", "relief", "wrap", "envelope", "shade", "render3d", "stroke", "gallery"}) {
        SCOPED_TRACE(name);
        const std::string out = OutDir() + "/help.txt";
        const int status = std::system((Program() + name + " --help >'" + out + "'").c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
        std::ifstream in(out);
        std::string line, last;
        while (std::getline(in, line))
            if (!line.empty()) last = line;
        EXPECT_EQ(last.rfind(std::string("  kypath ") + name + " ", 0), 0u) << last;
    }
}

// A figure's points, record by record, for comparing chains.
std::vector<std::vector<std::vector<int32_t>>> Points(KyPath *head) {
    std::vector<std::vector<std::vector<int32_t>>> out;
    for (KyPath *r = head; r; r = r->next) {
        out.emplace_back();
        const PathPoint *p = KyPathPoints(r);
        for (int32_t i = 0; i < r->count; ++i)
            out.back().push_back(
                {p[i].type & (PT_MOVETO | PT_LINETO | PT_BEZIERTO | PT_CLOSEFIGURE), +p[i].x, +p[i].y});
    }
    return out;
}

struct Grey {
    std::vector<uint8_t> px;
    uint32_t w = 0, h = 0;
};

Grey ReadGrey(const std::string &file) {
    Grey g;
    std::string error;
    EXPECT_TRUE(kypath::ReadPngGray(file, &g.px, &g.w, &g.h, &error)) << error;
    return g;
}

TEST(KypathCli, FlatAndSvgOutputsComeBackUnchanged) {
    const std::string dir = OutDir();
    // Text (curves at fractional positions), and path data with every kind
    // of segment, two subpaths and an odd-sized fraction.
    const std::string figures[] = {
        "--text 'Ky&' --size 37 --style bold-italic",
        "'M10.5 10 C 30 0 50 40 70.125 10 Q 80 50 40 60.333 Z M20 20 h10 v10 h-10 z'",
    };
    for (const std::string &figure : figures) {
        SCOPED_TRACE(figure);
        const std::string a = dir + "/a.png", b = dir + "/b.png", flat = dir + "/f.flat", svg = dir + "/f.svg";
        for (const std::string &f : {a, b, flat, svg}) fs::remove(f);
        ASSERT_EQ(
            Kypath("mask " + figure + " -q -o " + Quote(a) + " --flat " + Quote(flat) + " --svg " + Quote(svg)).code,
            0);
        ASSERT_EQ(Kypath("mask --in " + Quote(flat) + " -q -o " + Quote(b)).code, 0);
        const Grey ga = ReadGrey(a), gb = ReadGrey(b);
        EXPECT_EQ(ga.w, gb.w);
        EXPECT_EQ(ga.h, gb.h);
        EXPECT_TRUE(ga.px == gb.px) << "the mask of the flat file differs";
        EXPECT_GT(std::count_if(ga.px.begin(), ga.px.end(), [](uint8_t v) { return v == 255; }), 20);

        std::ifstream in(flat, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        KyPathInit();
        HGLOBAL block = GlobalAlloc(GPTR, bytes.size());
        ASSERT_NE(block, nullptr);
        std::memcpy(block, bytes.data(), bytes.size());
        KyPath *from_flat = nullptr;
        ASSERT_EQ(KyPathUnFlatten(&block, &from_flat), 1);
        GlobalFree(block);
        std::string error;
        KyPath *from_svg = kypath::LoadPathArgument(svg, &error);
        ASSERT_NE(from_svg, nullptr) << error;
        const auto pf = Points(from_flat), ps = Points(from_svg);
        EXPECT_GE(pf.size(), 2u);
        EXPECT_TRUE(pf == ps) << "the SVG path data does not give back the figure's points";
        KyPathDeletePtr(from_flat, 0);
        KyPathDeletePtr(from_svg, 0);
    }
}

// Ctrl-C while the maps are built: the program stops the build, says so in
// one line, exits with 130 and leaves no picture. SIGINT is sent until the
// program ends, so the test does not depend on when the build starts.
TEST(KypathCli, CtrlCStopsAReliefBuild) {
    const std::string png = OutDir() + "/interrupted.png", err = OutDir() + "/interrupted.txt";
    fs::remove(png);
    const std::string cmd = Program() + "relief --text Ky --size 500 --width 60 --scale 8 -q -o '" + png + "' 2>'" +
                            err + "' & p=$!; sleep 0.2; while kill -INT $p 2>/dev/null; do sleep 0.1; done; wait $p";
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 130);
    std::ifstream in(err);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "kypath relief: interrupted (Ctrl-C); nothing written");
    EXPECT_FALSE(fs::exists(png));
}

}  // namespace
