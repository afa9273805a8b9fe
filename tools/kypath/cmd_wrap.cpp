// tools/kypath/cmd_wrap.cpp - `kypath wrap`: text or a path bent along a
// baseline, to a PNG coverage mask.
//
//   kypath wrap --text "Along the road" --size 48 --baseline "M0 200 C150 0 350 400 500 200" -o road.png
//   kypath wrap --text "Round" --baseline @circle.svg --fit --repeat 0 -o round.png
//   kypath wrap --path "M0 0 h40 v10 h-40 z" --baseline "M0 0 L300 0 L300 200" --smooth -o corner.png
//   kypath wrap --text "All around" --preset 300 --at 200,200 -o ring.png
//
// The baseline is one subpath of SVG path data (or a file holding it). The
// figure's x runs along the baseline from its start, its y along the
// baseline's normal (up is to the left of the direction of travel). Text
// sits on the baseline at its ascent; any other figure at --level (0 the
// bottom of the figure, 1 its top).
//
// Instead of a baseline, --preset takes one of the library's predefined
// wraps placed at --at with --radius: 100-107 and 200-207 a circle
// (100-103, 200-203) or a wave, 300-307 text on circles the library
// generates (300-305 whole circles, 306 the upper and 307 the lower half).
// The preset fixes fit, repeats, taper, bending and corner smoothing.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/kypath/commands.h"
#include "tools/kypath/figure_io.h"
#include "tools/kypath/png_io.h"
#include "tools/kypath/svg_path.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct WrapOptions {
    FigureInput in;
    std::string baseline;
    int preset = 0;
    std::string at = "200,200";
    int radius = 100;
    bool fit = false, rigid = false, smooth = false, turn = false, show_baseline = false;
    int repeat = 1;
    double spacing = 0.0;
    double offset = 0.0;
    double level = 0.5;
    int start_height = 100, end_height = 100;
    std::string antialias = "on";
    int margin = 2;
    std::string output = "wrap.png";
    bool quiet = false;
};

[[noreturn]] void Usage(const std::string &option, const std::string &why) {
    throw CLI::ValidationError(option, why);
}

KyPath *Baseline(const WrapOptions &o) {
    std::string error;
    KyPath *b = LoadPathArgument(o.baseline, &error);
    if (!b) Usage("--baseline", error);
    if (b->next) {
        KyPathDeletePtr(b, 0);
        Usage("--baseline", "the baseline must be a single subpath (one M)");
    }
    return b;
}

// Coverage of every mask KyPathToBuf makes for `path`, merged into one
// image (each pixel keeps the larger value, scaled by level / 255).
struct Image {
    Y32Rect rect{0, 0, 0, 0};
    std::vector<uint8_t> pixels;
    uint32_t width() const { return static_cast<uint32_t>(rect.right - rect.left); }
    uint32_t height() const { return static_cast<uint32_t>(rect.bottom - rect.top); }

    void Grow(const Y32Rect &r) {
        Y32Rect all = pixels.empty() ? r
                                     : Y32Rect{std::min(rect.left, r.left), std::min(rect.top, r.top),
                                               std::max(rect.right, r.right), std::max(rect.bottom, r.bottom)};
        std::vector<uint8_t> grown(static_cast<size_t>(all.right - all.left) * (all.bottom - all.top), 0);
        for (uint32_t y = 0; y < height(); ++y)
            std::memcpy(&grown[(static_cast<size_t>(rect.top - all.top) + y) * (all.right - all.left) +
                               static_cast<size_t>(rect.left - all.left)],
                        &pixels[static_cast<size_t>(y) * width()], width());
        rect = all;
        pixels.swap(grown);
    }
};

void Render(KyPath *path, const WrapOptions &o, int32_t mode, uint8_t level, Image *img) {
    const int32_t antialias = o.antialias == "off" ? 0 : 1;
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    const int32_t n = KyPathToBuf(path, 0, 0, antialias, mode, DbToFix(1.0), &rects, &bufs, o.margin);
    if (n <= 0) throw ToolError("the library produced no mask");
    for (int32_t i = 0; i < n; ++i) {
        img->Grow(rects[i]);
        uint32_t w = 0, h = 0;
        KyPathBufGetWHU(bufs[i], &w, &h, nullptr);
        PathBufLock lock;
        KyPathBufLock1(bufs[i], 0, 0, 0, &lock);
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t *row = static_cast<const uint8_t *>(KyPathBufLineRead(&lock, static_cast<int32_t>(y)));
            uint8_t *dst = &img->pixels[(static_cast<size_t>(rects[i].top - img->rect.top) + y) * img->width() +
                                        static_cast<size_t>(rects[i].left - img->rect.left)];
            for (uint32_t x = 0; x < w; ++x) dst[x] = std::max(dst[x], static_cast<uint8_t>((row[x] * level + 127) / 255));
        }
        KyPathBufUnlock1(&lock);
        KyPathBufFree(bufs[i]);
    }
    GlobalFree(rects);
    GlobalFree(bufs);
}

void RunWrap(const WrapOptions &o) {
    if (o.baseline.empty() == (o.preset == 0)) Usage("wrap", "give exactly one of --baseline and --preset");
    int at_x = 0, at_y = 0;
    char tail = 0;
    if (o.preset && std::sscanf(o.at.c_str(), "%d,%d%c", &at_x, &at_y, &tail) != 2)
        Usage("--at", "expected X,Y in image pixels");
    KyPathInit();
    WrapInfo preset{};
    if (o.preset && !KyPathGetPredefinedWrapInfo(&preset, o.preset, at_x, at_y, o.radius))
        throw ToolError("the preset's baseline could not be built (out of memory)");
    PathChain baseline(o.preset ? preset.baseline : Baseline(o));
    PathChain figure(LoadFigure(o.in));

    WrapInfo info{};
    if (o.preset) {
        info = preset;
        info.spacing = o.spacing;
        info.orientation = o.turn ? 1 : 0;
        info.startOffset = o.offset;
    } else {
        info.baseline = baseline.get();
        info.fitToLength = o.fit ? 1 : 0;
        info.repeatCount = o.repeat;
        info.spacing = o.spacing;
        info.orientation = o.turn ? 1 : 0;
        info.option7 = o.smooth ? 1 : 0;
        info.option8 = o.rigid ? 0 : 1;
        info.smoothCorners = o.smooth ? 1 : 0;
        info.startHeight = o.start_height;
        info.endHeight = o.end_height;
        info.startOffset = o.offset;
    }
    if (o.preset && (o.in.text.empty() || !info.text)) {
        // A figure that is not text (or text on a figure preset) stands
        // on the baseline at --level.
        info.text = 0;
        info.baselineLevel = o.level;
    } else if (!o.in.text.empty()) {
        info.text = 1;
        // The font height goes into the low bits of baselineLevel.
        uint64_t bits = static_cast<uint64_t>(o.in.size) & 0xFFFF;
        std::memcpy(&info.baselineLevel, &bits, sizeof bits);
    } else {
        info.baselineLevel = o.level;
    }
    if (!KyPathWrap(figure.holder(), &info)) {
        Y32ErrInfo e{};
        c32GetDLLErrInfo(&e);
        if (e.code == 5404) throw ToolError("the baseline is too short (under 4 pixels)");
        throw ToolError("the library refused the wrap (error " + std::to_string(e.code) + ", line " +
                                 std::to_string(e.line) + ")");
    }

    Image img;
    Render(figure.get(), o, 0, 255, &img);
    if (o.show_baseline && baseline.get()) {
        baseline.get()->flags = 0;
        Render(baseline.get(), o, 1, 128, &img);
    }
    std::string error;
    if (!WritePngGray(o.output, img.pixels.data(), img.width(), img.height(), img.width(), &error))
        throw ToolError("" + error);
    if (!o.quiet) {
        std::printf("%s: %ux%u mask, image rectangle (%d, %d)-(%d, %d)\n", o.output.c_str(), img.width(),
                    img.height(), img.rect.left, img.rect.top, img.rect.right, img.rect.bottom);
        std::printf("%d subpaths on a %s baseline\n", KyPathGetSubpathsNumber(figure.get()),
                    info.closedLoop ? "closed" : "open");
    }
}

}  // namespace

void AddWrapCommand(CLI::App &app) {
    auto opt = std::make_shared<WrapOptions>();
    CLI::App *cmd = app.add_subcommand("wrap", "Bend text or a path along a baseline and render it to PNG");
    cmd->footer(
        "The figure's x runs along the baseline from its start; up is to the left of the direction of travel.\n"
        "Examples:\n"
        "  kypath wrap --text \"Along the road\" --size 48 --baseline \"M0 200 C150 0 350 400 500 200\" -o road.png\n"
        "  kypath wrap --text \"Round\" --baseline @circle.svg --fit --repeat 0 -o round.png\n"
        "  kypath wrap --path \"M0 0 h40 v10 h-40 z\" --baseline \"M0 0 L300 0 L300 200\" --smooth -o c.png\n"
        "  kypath wrap --text \"All around\" --preset 300 --at 200,200 -o ring.png");
    opt->in.crlf_lines = false;  // one line of text
    AddFigureOptions(cmd, &opt->in, PathArgument::kOption, 48);
    CLI::Option *path_opt = cmd->get_option("--path");
    auto baseline_opt =
        cmd->add_option("--baseline", opt->baseline, "the baseline: one subpath of SVG path data, or @file");
    auto preset_opt = cmd->add_option("--preset", opt->preset,
                                      "a predefined wrap instead of a baseline: 100-107, 200-207 (circle or wave), "
                                      "300-307 (text on generated circles)");
    preset_opt->check(CLI::Range(100, 107) | CLI::Range(200, 207) | CLI::Range(300, 307))->excludes(baseline_opt);
    cmd->add_option("--at", opt->at, "the preset's centre, X,Y image pixels")->capture_default_str()->needs(preset_opt);
    cmd->add_option("--radius", opt->radius, "the preset circle's radius or the wave's half-wave, pixels")
        ->check(CLI::Range(1, 10000))
        ->capture_default_str()
        ->needs(preset_opt);
    auto fit_opt = cmd->add_flag("--fit", opt->fit, "stretch the figure (and its repeats) over the whole baseline");
    auto repeat_opt = cmd->add_option("--repeat", opt->repeat, "copies along the baseline, 0 as many as fit");
    repeat_opt->check(CLI::Range(0, 10000))->capture_default_str();
    cmd->add_option("--spacing", opt->spacing, "gap between copies as a fraction of the figure's width")
        ->check(CLI::Range(0.0, 100.0))
        ->capture_default_str();
    cmd->add_option("--offset", opt->offset, "start, as a fraction of the baseline's length")->capture_default_str();
    cmd->add_option("--level", opt->level, "a path figure's baseline: 0 its bottom, 1 its top")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str()
        ->needs(path_opt);
    auto start_opt = cmd->add_option("--start-height", opt->start_height, "height at the start, percent");
    start_opt->check(CLI::Range(0, 1000))->capture_default_str();
    auto end_opt = cmd->add_option("--end-height", opt->end_height, "height at the end, percent");
    end_opt->check(CLI::Range(0, 1000))->capture_default_str();
    auto rigid_opt = cmd->add_flag("--rigid", opt->rigid, "move each character whole instead of bending it");
    auto smooth_opt = cmd->add_flag("--smooth", opt->smooth, "miter the figure round the baseline's corners");
    for (CLI::Option *fixed : {fit_opt, repeat_opt, start_opt, end_opt, rigid_opt, smooth_opt})
        preset_opt->excludes(fixed);
    cmd->add_flag("--turn", opt->turn, "turn the figure a quarter turn (counter-clockwise) first");
    cmd->add_option("--antialias", opt->antialias, "graded (on) or hard (off) mask")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();
    cmd->add_option("--margin", opt->margin, "extra pixels around the mask on every side")
        ->check(CLI::Range(0, 1000))
        ->capture_default_str();
    cmd->add_flag("--show-baseline", opt->show_baseline, "draw the baseline in grey");
    cmd->add_option("-o,--output", opt->output, "PNG file")->capture_default_str();
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunWrap(*opt); });
}

}  // namespace kypath
