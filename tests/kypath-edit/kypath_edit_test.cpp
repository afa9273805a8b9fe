// tests/kypath-edit/kypath_edit_test.cpp - the editor through its scripts.
//
// The checked-in scripts are replayed by the program and their window
// bitmaps compared byte for byte with the expected screenshots
// (Y32PATH_REGEN_GOLDEN=1 rewrites those; look at them before committing).
// Undo and redo are checked against scripts that never made the move, and
// bad scripts must stop the program with one line naming the place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "tools/kypath-edit/replay.h"
#include "tools/kypath/png_io.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(Y32PATH_TEST_DATA) + "/kypath-edit/";

std::string OutDir() {
    const std::string dir = std::string(Y32PATH_TEST_OUT) + "/kypath-edit/";
    fs::create_directories(dir);
    return dir;
}

std::string ReadText(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const std::string &file, const std::string &text) { std::ofstream(file, std::ios::binary) << text; }

struct RunResult {
    int status = -1;
    std::string output;  // stdout and stderr together
};

RunResult RunEditor(const std::string &args) {
    // Tests may run in parallel processes: each keeps a log of its own.
    const std::string log = OutDir() + "run-" + std::to_string(getpid()) + ".log";
    const std::string cmd = std::string(KYPATH_EDIT_EXE) + " " + args + " >" + log + " 2>&1";
    RunResult r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.output = ReadText(log);
    return r;
}

struct Picture {
    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
};

// Replays a script on the 400 x 300 canvas and reads the screenshot back.
Picture Replay(const std::string &script, const std::string &shot) {
    const RunResult r = RunEditor("--canvas 400x300 --replay " + script + " --screenshot " + shot);
    EXPECT_EQ(r.status, 0) << r.output;
    Picture p;
    std::string error;
    EXPECT_TRUE(kypath::ReadPngRgb(shot, &p.rgb, &p.w, &p.h, &error)) << error;
    return p;
}

// Pixels of `p` that differ from the canvas colour.
size_t Marked(const Picture &p) {
    size_t n = 0;
    for (uint8_t v : p.rgb) n += v != 0xF2;
    return n;
}

class GoldenReplay : public ::testing::TestWithParam<const char *> {};

TEST_P(GoldenReplay, WindowMatchesTheExpectedScreenshot) {
    const std::string name = GetParam();
    const std::string shot = OutDir() + name + ".png";
    const Picture got = Replay(kData + name + ".txt", shot);
    ASSERT_EQ(got.w, 400u);
    ASSERT_EQ(got.h, 300u);
    // A blank window would mean the script drew nothing at all.
    EXPECT_GT(Marked(got), 2000u);

    const std::string golden = kData + name + ".png";
    const char *regen = std::getenv("Y32PATH_REGEN_GOLDEN");
    if (regen && *regen == '1') {
        fs::copy_file(shot, golden, fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "rewrote " << golden;
    }
    Picture want;
    std::string error;
    ASSERT_TRUE(kypath::ReadPngRgb(golden, &want.rgb, &want.w, &want.h, &error))
        << error << " (run with Y32PATH_REGEN_GOLDEN=1 to create it)";
    ASSERT_EQ(want.w, got.w);
    ASSERT_EQ(want.h, got.h);
    size_t differ = 0, first = 0;
    for (size_t i = 0; i < got.rgb.size(); ++i)
        if (got.rgb[i] != want.rgb[i] && differ++ == 0) first = i;
    EXPECT_EQ(differ, 0u) << "first difference at pixel (" << (first / 3) % got.w << ", " << (first / 3) / got.w
                          << "); the screenshot is " << shot;
}

INSTANTIATE_TEST_SUITE_P(Scripts, GoldenReplay, ::testing::Values("pen_move_undo", "freehand_render"));

// The pen script up to the press that grabs the path; `drag` decides
// whether the press drags the path away before the release.
std::string PenScript(bool drag) {
    const std::string full = ReadText(kData + "pen_move_undo.txt");
    const size_t grab = full.find("700 press 320 150");
    EXPECT_NE(grab, std::string::npos);
    std::string s = full.substr(0, grab) + "700 press 320 150\n";
    s += drag ? "720 move 330 158\n740 move 345 170\n760 move 360 180\n780 release 360 180\n"
              : "780 release 320 150\n";
    return s;
}

TEST(KypathEditUndo, UndoAndRedoOfAMoveMatchTheWindowBeforeAndAfterIt) {
    const std::string dir = OutDir();
    WriteText(dir + "still.txt", PenScript(false));
    WriteText(dir + "moved.txt", PenScript(true));
    WriteText(dir + "undone.txt", PenScript(true) + "900 key z ctrl\n");
    WriteText(dir + "redone.txt", PenScript(true) + "900 key z ctrl\n1000 key y ctrl\n");
    WriteText(dir + "twice.txt", PenScript(true) + "900 key z ctrl\n1000 key y ctrl\n1100 key z ctrl\n");
    const Picture still = Replay(dir + "still.txt", dir + "still.png");
    const Picture moved = Replay(dir + "moved.txt", dir + "moved.png");
    const Picture undone = Replay(dir + "undone.txt", dir + "undone.png");
    const Picture redone = Replay(dir + "redone.txt", dir + "redone.png");
    const Picture twice = Replay(dir + "twice.txt", dir + "twice.png");
    ASSERT_FALSE(still.rgb.empty());
    EXPECT_NE(still.rgb, moved.rgb) << "the drag did not move the path";
    EXPECT_EQ(undone.rgb, still.rgb) << "undo did not put the path back exactly";
    EXPECT_EQ(redone.rgb, moved.rgb) << "redo did not repeat the move exactly";
    EXPECT_EQ(twice.rgb, still.rgb);

    // A drag that starts with pointer jitter below the move threshold ends
    // with the path exactly as far from where it was as the pointer went.
    std::string jitter = PenScript(false);
    jitter.replace(jitter.find("780 release 320 150"), std::string::npos,
                   "710 move 321 151\n720 move 322 152\n760 move 360 180\n780 release 360 180\n");
    WriteText(dir + "jitter.txt", jitter);
    EXPECT_EQ(Replay(dir + "jitter.txt", dir + "jitter.png").rgb, moved.rgb);
}

TEST(KypathEditUndo, EscapeWhileDrawingKeepsTheNodesPlacedAndLeavesNoBandBehind) {
    // Two corners placed, then the pointer wanders with the band following
    // it, and Escape ends the drawing. The same drawing without the
    // wandering must leave the same window.
    const std::string dir = OutDir();
    const std::string base = "0 key p\n10 press 50 50\n20 release 50 50\n30 move 120 60\n40 press 150 60\n"
                             "50 release 150 60\n";
    WriteText(dir + "esc_a.txt", base + "60 key escape\n");
    WriteText(dir + "esc_b.txt", base + "60 move 200 200\n70 move 300 100\n80 key escape\n");
    const Picture a = Replay(dir + "esc_a.txt", dir + "esc_a.png");
    const Picture b = Replay(dir + "esc_b.txt", dir + "esc_b.png");
    EXPECT_GT(Marked(a), 100u);
    EXPECT_EQ(a.rgb, b.rgb);
}

TEST(KypathEditView, ZoomAndScrollRebuildTheOverlayAndToolsDrawInImageUnits) {
    const std::string dir = OutDir();
    // The checked-in script's window, then zoomed in and out, scrolled
    // there and back: the same window again, and a different one between.
    const std::string base = ReadText(kData + "pen_move_undo.txt");
    WriteText(dir + "zoomed.txt", base + "1000 key +\n");
    WriteText(dir + "unzoomed.txt", base + "1000 key +\n1010 key right\n1020 key down\n1030 key left\n1040 key up\n1050 key -\n");
    const Picture before = Replay(kData + "pen_move_undo.txt", dir + "base.png");
    EXPECT_NE(Replay(dir + "zoomed.txt", dir + "zoomed.png").rgb, before.rgb);
    EXPECT_EQ(Replay(dir + "unzoomed.txt", dir + "unzoomed.png").rgb, before.rgb);

    // A square drawn at zoom 2 (the view scrolled to (200, 150)) lands on
    // the same image pixels as one drawn at zoom 1.
    const std::string at1 = "0 key p\n10 press 150 100\n20 release 150 100\n30 press 250 100\n40 release 250 100\n"
                            "50 press 250 200\n60 release 250 200\n70 press 150 200\n80 release 150 200\n"
                            "90 press 150 100\n100 release 150 100\n110 dblclick 150 100\n120 release 150 100\n";
    const std::string at2 = "0 key p\n5 key +\n10 press 100 50\n20 release 100 50\n30 press 300 50\n"
                            "40 release 300 50\n50 press 300 250\n60 release 300 250\n70 press 100 250\n"
                            "80 release 100 250\n90 press 100 50\n100 release 100 50\n110 dblclick 100 50\n"
                            "120 release 100 50\n130 key -\n";
    WriteText(dir + "square1.txt", at1);
    WriteText(dir + "square2.txt", at2);
    const Picture one = Replay(dir + "square1.txt", dir + "square1.png");
    EXPECT_GT(Marked(one), 400u);
    EXPECT_EQ(Replay(dir + "square2.txt", dir + "square2.png").rgb, one.rgb);
}

// Two closed triangles drawn with the pen (left and right), then `tail`.
std::string TwoTriangles(const std::string &tail) {
    std::ostringstream s;
    int64_t t = 0;
    auto line = [&](const std::string &event) {
        t += 10;
        s << t << " " << event << "\n";
    };
    auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y); };
    line("key p");
    for (int dx : {0, 200}) {
        const int corners[4][2] = {{40, 60}, {160, 60}, {100, 200}, {40, 60}};
        for (const auto &c : corners) {
            line("press " + at(c[0] + dx, c[1]));
            line("release " + at(c[0] + dx, c[1]));
        }
        line("dblclick " + at(40 + dx, 60));
        line("release " + at(40 + dx, 60));
    }
    line("key v");
    line("key escape");
    std::istringstream more(tail);
    for (std::string l; std::getline(more, l);) line(l);
    return s.str();
}

TEST(KypathEditEdits, JoinDisjoinConvertAndTheirUndo) {
    const std::string dir = OutDir();
    const std::string marquee = "press 5 5\nmove 200 150\nmove 395 295\nrelease 395 295\n";
    const std::string click_left = "press 100 60\nrelease 100 60\n";
    struct Case {
        const char *name;
        std::string tail;
    };
    const Case cases[] = {
        {"both", marquee},                                                             // 0: both selected
        {"one", click_left},                                                           // 1: the left one
        {"joined", marquee + "key j\nkey escape\n" + click_left},                      // 2: a click takes both
        {"disjoined", marquee + "key j\nkey j shift\nkey escape\n" + click_left},     // 3: one again
        {"join_undone", marquee + "key j\nkey z ctrl\nkey escape\n" + click_left},    // 4: one again
        {"picked", click_left + "press 100 60 ctrl\nrelease 100 60 ctrl\n"},          // 5: top edge picked
        {"converted", click_left + "press 100 60 ctrl\nrelease 100 60 ctrl\nkey c\n"},
        {"reverted", click_left + "press 100 60 ctrl\nrelease 100 60 ctrl\nkey c\nkey c\n"},
    };
    std::vector<Picture> got;
    for (const Case &c : cases) {
        const std::string script = dir + "edit_" + c.name + ".txt";
        WriteText(script, TwoTriangles(c.tail));
        got.push_back(Replay(script, dir + "edit_" + c.name + ".png"));
    }
    EXPECT_NE(got[0].rgb, got[1].rgb);
    EXPECT_EQ(got[2].rgb, got[0].rgb) << "a click on a joined path selects the whole compound path";
    EXPECT_EQ(got[3].rgb, got[1].rgb) << "after disjoin a click selects one path";
    EXPECT_EQ(got[4].rgb, got[1].rgb) << "undoing the join takes the paths apart again";
    EXPECT_NE(got[5].rgb, got[1].rgb) << "the picked segment is highlighted";
    EXPECT_NE(got[6].rgb, got[5].rgb) << "the segment became a curve";
    EXPECT_EQ(got[7].rgb, got[5].rgb) << "converting twice gives the line back";
}

TEST(KypathEditSession, ARandomSessionOverEveryToolAndKeyEndsCleanly) {
    // Tools, clicks, drags, double clicks and keys in a fixed random order:
    // whatever state one leaves, the next must cope (the sanitizer build
    // checks the memory on the way).
    static const char *const kKeys[] = {"p", "s", "f", "v", "tab", "0", "1", "2", "4", "6", "escape", "backspace",
                                        "delete", "j", "c", "+", "-", "left", "down", "home", "[", "]", "m", "r",
                                        "a", "z", "y"};
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::ostringstream s;
    int64_t t = 0;
    for (int i = 0; i < 1500; ++i) {
        t += 7;
        const uint32_t what = next(10);
        const int x = static_cast<int>(next(440)) - 20, y = static_cast<int>(next(340)) - 20;
        const char *mods = next(6) == 0 ? " shift" : next(8) == 0 ? " ctrl" : "";
        if (what < 4) {
            s << t << " move " << x << " " << y << mods << "\n";
        } else if (what < 6) {
            s << t << " press " << x << " " << y << mods << "\n";
            for (int k = 0; k < static_cast<int>(next(4)); ++k)
                s << (t += 3) << " move " << x + 4 * k + 3 << " " << y + 5 * k << "\n";
            s << (t += 3) << " release " << x + 9 << " " << y + 7 << mods << "\n";
        } else if (what == 6) {
            s << t << " press " << x << " " << y << "\n" << t << " release " << x << " " << y << "\n";
            s << t << " dblclick " << x << " " << y << "\n" << t << " release " << x << " " << y << "\n";
        } else {
            const char *key = kKeys[next(sizeof kKeys / sizeof kKeys[0])];
            const bool ctrl = (key[0] == 'z' || key[0] == 'y' || key[0] == 'a') && key[1] == 0;
            s << t << " key " << key << (ctrl ? " ctrl" : mods) << "\n";
        }
    }
    const std::string dir = OutDir();
    WriteText(dir + "random.txt", s.str());
    const Picture p = Replay(dir + "random.txt", dir + "random.png");
    EXPECT_EQ(p.w, 400u);
}

// ---- Scripts that are not right ------------------------------------------

TEST(KypathEditScript, ReadsEventsModifiersAndComments) {
    std::vector<kedit::Event> ev;
    std::string error;
    ASSERT_TRUE(kedit::ParseEvents("# a comment\n\n5 press 10 -20 shift+ctrl  # trailing\n5 key ? \n9 key z ctrl\n"
                                   "10 dblclick 0 0 alt\n",
                                   "s", &ev, &error))
        << error;
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].kind, kedit::Event::kPress);
    EXPECT_EQ(ev[0].y, -20);
    EXPECT_EQ(ev[0].mods, kedit::kShift | kedit::kCtrl);
    EXPECT_EQ(ev[1].key, "?");
    EXPECT_EQ(ev[2].mods, kedit::kCtrl);
    EXPECT_EQ(ev[3].kind, kedit::Event::kDoubleClick);
    EXPECT_EQ(ev[3].ms, 10);
}

TEST(KypathEditScript, BadLinesAreRefusedWithTheirLineNumber) {
    struct Case {
        const char *text;
        const char *line;  // expected "<name>:<line>:" prefix
        const char *says;  // part of the message
    };
    const Case cases[] = {
        {"0 move 1 2\n0 jump 1 2\n", "s:2:", "unknown event 'jump'"},
        {"0 press 1\n", "s:1:", "expected x and y"},
        {"0 press 1 two\n", "s:1:", "bad coordinates"},
        {"0 press 1 999999999999\n", "s:1:", "bad coordinates"},
        {"10 move 1 1\n5 move 1 1\n", "s:2:", "goes back"},
        {"-1 move 1 1\n", "s:1:", "expected a time"},
        {"1.5 move 1 1\n", "s:1:", "expected a time"},
        {"0 key\n", "s:1:", "expected a key name"},
        {"0 key F13\n", "s:1:", "unknown key 'F13'"},
        {"0 key z hyper\n", "s:1:", "unknown modifiers"},
        {"0 key z ctrl+\n", "s:1:", "unknown modifiers"},
        {"0 move 1 1 shift extra\n", "s:1:", "unexpected 'extra'"},
        {"\n\n7\n", "s:3:", "expected an event"},
    };
    for (const Case &c : cases) {
        std::vector<kedit::Event> ev(3);
        std::string error;
        EXPECT_FALSE(kedit::ParseEvents(c.text, "s", &ev, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.line, 0), 0u) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(ev.empty()) << "a refused script must give no events";
    }
}

TEST(KypathEditScript, TheProgramStopsWithExitStatusTwoAndOneLine) {
    const std::string dir = OutDir();
    WriteText(dir + "bad.txt", "0 key p\n10 press 5 5\n20 wiggle 5 5\n");
    const std::string shot = dir + "bad.png";
    std::remove(shot.c_str());
    RunResult r = RunEditor("--replay " + dir + "bad.txt --screenshot " + shot);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output, "kypath-edit: " + dir + "bad.txt:3: unknown event 'wiggle'\n");
    EXPECT_FALSE(fs::exists(shot)) << "nothing is replayed from a bad script";

    r = RunEditor("--replay " + dir + "no-such-script.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output, "kypath-edit: " + dir + "no-such-script.txt: cannot be read\n");

    r = RunEditor("--canvas 10x10000 --replay " + kData + "pen_move_undo.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
}

}  // namespace
