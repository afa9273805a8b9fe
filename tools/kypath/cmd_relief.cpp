// tools/kypath/cmd_relief.cpp - `kypath relief`: a path's relief maps as
// PNG pictures.
//
//   kypath relief "M10 10 L90 10 L50 80 Z" -o distance.png --vectors vectors.png
//   kypath relief --text "Ky" --size 200 --width 12 --offset -6 --scale 2 -o d.png
//
// The distance map is drawn in grey: inside, 255 x d / W (255 from the
// bevel width on, and where the map marks "nothing within reach"); outside
// black. The vector map is drawn in colour: the hue is the direction of the
// vector to the nearest outline point (red pointing right, then round
// through yellow, green, cyan, blue and magenta clockwise on screen), the
// brightness its length over W; black where there is no vector.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/kypath/commands.h"
#include "tools/kypath/figure_io.h"
#include "tools/kypath/png_io.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct ReliefOptions {
    FigureInput in;
    std::string output = "distance.png";
    std::string vectors;
    std::string rule = "nonzero";
    double width = 8.0;
    int offset = 0;
    double scale = 1.0;
    bool primitive_bevel = false;
    bool fast = false;
    bool smooth = false;
    bool object = false;
    bool quiet = false;
    bool progress = false;
};

// Hue in turns (0..1) and value (0..1) to RGB bytes, full saturation.
void HueValue(double hue, double value, uint8_t *rgb) {
    double h = (hue - std::floor(hue)) * 6.0;
    int sector = static_cast<int>(h) % 6;
    double f = h - std::floor(h);
    double v = value * 255.0, p = 0.0, q = v * (1 - f), t = v * f;
    double r, g, b;
    switch (sector) {
        case 0: r = v, g = t, b = p; break;
        case 1: r = q, g = v, b = p; break;
        case 2: r = p, g = v, b = t; break;
        case 3: r = p, g = q, b = v; break;
        case 4: r = t, g = p, b = v; break;
        default: r = v, g = p, b = q; break;
    }
    rgb[0] = static_cast<uint8_t>(r + 0.5);
    rgb[1] = static_cast<uint8_t>(g + 0.5);
    rgb[2] = static_cast<uint8_t>(b + 0.5);
}

void RunRelief(const ReliefOptions &o) {
    PathChain figure(LoadFigure(o.in));
    KyPath *path = figure.get();
    std::string error;
    PathBuf dist = reinterpret_cast<PathBuf>(1);
    PathBuf vec = o.vectors.empty() ? nullptr : reinterpret_cast<PathBuf>(1);
    double width = o.width;
    int32_t object_mode = (o.object ? 1 : 0) | (o.smooth ? 0x10000 : 0);
    int32_t ok = 0;
    {
        LongBuild build("kypath relief: building the maps", o.progress || ShowProgress(o.quiet));
        ok = KyPathVMap(path, &dist, &vec, o.rule == "evenodd", o.primitive_bevel ? 1 : 0, object_mode, o.offset,
                        o.fast ? 1 : 0, &width, 0, 0, nullptr, build.progress(), DbToFix(o.scale));
        if (!ok) build.CheckInterrupted();
    }
    Y32Rect rect{};
    KyPathGetMiniMaxRect(path, DbToFix(o.scale), &rect);
    if (!ok || !dist) throw ToolError("the library produced no map (out of memory or too large)");
    uint32_t w = 0, h = 0;
    KyPathBufGetWHU(dist, &w, &h, nullptr);
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<uint8_t> grey(n, 0);
    for (size_t i = 0; i < n; ++i) {
        float d;
        std::memcpy(&d, static_cast<const uint8_t *>(dist) + i * 4, 4);
        double v = d == 300.0f ? 255.0 : (d > 0 ? std::sqrt(d) * 255.0 / width : 0.0);
        grey[i] = static_cast<uint8_t>(v > 255.0 ? 255.0 : v);
    }
    KyPathBufFree(dist);
    std::vector<uint8_t> colour;
    if (vec) {
        colour.assign(n * 3, 0);
        for (size_t i = 0; i < n; ++i) {
            int16_t words[2];
            std::memcpy(words, static_cast<const uint8_t *>(vec) + i * 8, 4);
            double vx = words[0] / 256.0, vy = words[1] / 256.0, len = std::hypot(vx, vy);
            if (len == 0.0) continue;
            double value = len / width;
            HueValue(std::atan2(vy, vx) / (2 * M_PI), value > 1.0 ? 1.0 : (value < 0.15 ? 0.15 : value), &colour[i * 3]);
        }
        KyPathBufFree(vec);
    }
    if (!WritePngGray(o.output, grey.data(), w, h, w, &error)) throw ToolError(error);
    if (!colour.empty() && !WritePngRgb(o.vectors, colour.data(), w, h, static_cast<size_t>(w) * 3, &error)) {
        std::remove(o.output.c_str());
        throw ToolError(error);
    }
    if (!o.quiet)
        std::printf("%s%s%s: %ux%u relief maps, bevel width %g, image rectangle (%d, %d)-(%d, %d)\n", o.output.c_str(),
                    colour.empty() ? "" : ", ", o.vectors.c_str(), w, h, width, rect.left, rect.top, rect.right,
                    rect.bottom);
}

}  // namespace

void AddReliefCommand(CLI::App &app) {
    auto opt = std::make_shared<ReliefOptions>();
    CLI::App *cmd = app.add_subcommand("relief", "Write a path's relief maps (distance and direction) as PNG pictures");
    cmd->footer(
        "Long builds show their progress on a terminal (--progress: always); Ctrl-C stops them (exit 130).\n"
        "Examples:\n"
        "  kypath relief \"M10 10 L90 10 L50 80 Z\" -o distance.png --vectors vectors.png\n"
        "  kypath relief --text \"Ky\" --size 200 --width 12 --offset -6 --scale 2 -o distance.png");
    AddFigureOptions(cmd, &opt->in, PathArgument::kPositional, 96);
    cmd->add_option("-o,--output", opt->output, "PNG file for the distance map (grey)")->capture_default_str();
    cmd->add_option("--vectors", opt->vectors, "PNG file for the vector map (direction as hue)");
    cmd->add_option("--width", opt->width, "bevel width in pixels (0: no relief)")
        ->check(CLI::Range(0.0, 4096.0))
        ->capture_default_str();
    cmd->add_option("--rule", opt->rule, "fill rule")->check(CLI::IsMember({"nonzero", "evenodd"}))
        ->capture_default_str();
    cmd->add_option("--offset", opt->offset,
                    "0 bevel on the outline; negative: a second bevel that far inside; positive: the bevel of "
                    "the surroundings")
        ->capture_default_str();
    cmd->add_option("--scale", opt->scale, "factor applied to every coordinate")
        ->check(CLI::Range(1.0 / 65536, 32767.0))
        ->capture_default_str();
    cmd->add_flag("--primitive-bevel", opt->primitive_bevel, "a single primitive shape gets a bevel of 30");
    cmd->add_flag("--fast", opt->fast, "skip the corner refinement");
    cmd->add_flag("--smooth", opt->smooth, "smooth the vector field afterwards");
    cmd->add_flag("--object", opt->object, "the relief of the path's object from its own mask");
    cmd->add_flag("--progress", opt->progress, "show the build's progress on stderr even when it is not a terminal");
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunRelief(*opt); });
}

}  // namespace kypath
