// tools/kypath/cmd_shade.cpp - `kypath shade`: a path or text lit as a
// bevelled object and written to PNG.
//
//   kypath shade --text "Ab" --size 120 --width 10 -o phong.png
//   kypath shade "M10 10 L190 10 L100 160 Z" --mode metallic --metal 2 -o gold.png
//   kypath shade --text "Ab" --mode reflect --environment sky.png -o chrome.png
//
// The figure is rasterised (KyPathToBuf, anti-aliased) and its relief
// built (KyPathVMap) over the same rectangle; an image of that size filled
// with the object colour is shaded in place and laid over the background
// by the mask. Modes:
//   phong        light 0 (--light), optional spotlight and highlight
//   multi        --lights of the four preset lights, each with the spot
//   metallic     metal 1..4 (--metal), highlight in --metal-colour
//   reflect      the environment PNG mirrored in the surface
//   bump         a texture PNG wrapped round the surface
//   transparent  the glass mask (--face / --edge percent), written as grey
// --bump-map adds a grey PNG (tiled over the image) as surface detail in
// the modes that take one.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/kypath/commands.h"
#include "tools/kypath/figure_io.h"
#include "tools/kypath/png_io.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct ShadeOptions {
    FigureInput in;
    std::string output = "shade.png";
    std::string mode = "phong";
    double width = 8.0;
    int kind = 0;
    bool invert = false;
    int depth = 0;
    std::string colour = "3070C0";
    std::string background = "FFFFFF";
    std::string light = "-0.5773502,-0.5773502,0.5773502";
    int lights = 2;
    std::string spot;
    bool highlight = false;
    int metal = 1;
    std::string metal_colour = "C0C0C0";
    std::string environment;
    std::string bump_map;
    int bump_percent = 50;
    int face = 80, edge = 10;
    std::string rule = "nonzero";
    double scale = 1.0;
    int margin = 4;
    bool quiet = false;
    bool progress = false;
};

[[noreturn]] void Usage(const std::string &option, const std::string &why) {
    throw CLI::ValidationError(option, why);
}

// RRGGBB (an optional leading #) into blue, green, red bytes.
void ParseColour(const std::string &option, std::string s, uint8_t bgr[3]) {
    if (!s.empty() && s[0] == '#') s.erase(0, 1);
    char *end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 16);
    if (s.size() != 6 || !end || *end) Usage(option, "expected a colour as RRGGBB");
    bgr[0] = static_cast<uint8_t>(v);
    bgr[1] = static_cast<uint8_t>(v >> 8);
    bgr[2] = static_cast<uint8_t>(v >> 16);
}

uint32_t HostColour(const uint8_t bgr[3]) { return (uint32_t{bgr[0]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[2]; }

std::vector<double> ParseNumbers(const std::string &option, const std::string &s, size_t count) {
    std::vector<double> v;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, ',')) {
        char *end = nullptr;
        double d = std::strtod(item.c_str(), &end);
        if (item.empty() || !end || *end || !std::isfinite(d)) Usage(option, "expected numbers separated by commas");
        v.push_back(d);
    }
    if (v.size() != count) Usage(option, "expected " + std::to_string(count) + " numbers separated by commas");
    return v;
}

// Buffers of one run, freed on every way out.
struct Buffers {
    PathBuf mask = nullptr, dist = nullptr, vec = nullptr, image = nullptr, env = nullptr, bump = nullptr;
    ~Buffers() {
        for (PathBuf b : {mask, dist, vec, image, env, bump})
            if (b) KyPathBufFree(b);
    }
};

// A PNG read into a depth-24 buffer (blue, green, red).
PathBuf ReadImage(const std::string &option, const std::string &file) {
    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
    std::string error;
    if (!ReadPngRgb(file, &rgb, &w, &h, &error)) Usage(option, error);
    PathBuf buf = KyPathBufAlloc(24, w, h, 1, 0, 0);
    if (!buf) throw ToolError("no memory for " + file);
    uint8_t *p = static_cast<uint8_t *>(buf);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        p[i * 3] = rgb[i * 3 + 2];
        p[i * 3 + 1] = rgb[i * 3 + 1];
        p[i * 3 + 2] = rgb[i * 3];
    }
    return buf;
}

// A grey PNG tiled over w x h.
PathBuf ReadBump(const std::string &file, uint32_t w, uint32_t h) {
    std::vector<uint8_t> grey;
    uint32_t bw = 0, bh = 0;
    std::string error;
    if (!ReadPngGray(file, &grey, &bw, &bh, &error)) Usage("--bump-map", error);
    PathBuf buf = KyPathBufAlloc(8, w, h, 1, 0, 0);
    if (!buf) throw ToolError("no memory for the bump map");
    uint8_t *p = static_cast<uint8_t *>(buf);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = grey[static_cast<size_t>(y % bh) * bw + x % bw];
    return buf;
}

void RunShade(const ShadeOptions &o) {
    uint8_t colour[3], background[3], metal_colour[3];
    ParseColour("--colour", o.colour, colour);
    ParseColour("--background", o.background, background);
    ParseColour("--metal-colour", o.metal_colour, metal_colour);
    const std::vector<double> light = ParseNumbers("--light", o.light, 3);
    std::vector<double> spot;
    if (!o.spot.empty()) spot = ParseNumbers("--spot", o.spot, 2);
    if ((o.mode == "reflect" || o.mode == "bump") && o.environment.empty())
        Usage("--environment", "the " + o.mode + " mode needs an environment PNG");

    PathChain figure(LoadFigure(o.in));
    KyPath *path = figure.get();

    Buffers b;
    const int32_t even_odd = o.rule == "evenodd";
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    if (KyPathToBuf(path, 0, even_odd, 1, 0, DbToFix(o.scale), &rects, &bufs, 0) < 1)
        throw ToolError("the library produced no mask (empty figure, out of memory or too large)");
    b.mask = bufs[0];
    const Y32Rect rect = rects[0];
    GlobalFree(rects);
    GlobalFree(bufs);
    b.dist = reinterpret_cast<PathBuf>(1);
    b.vec = reinterpret_cast<PathBuf>(1);
    double width = o.width;
    {
        LongBuild build("kypath shade: building the relief maps", o.progress || ShowProgress(o.quiet));
        if (!KyPathVMap(path, &b.dist, &b.vec, even_odd, 0, 0, 0, 0, &width, 0, 0, nullptr, build.progress(),
                        DbToFix(o.scale)))
            build.CheckInterrupted();
    }
    if (!b.dist || !b.vec) throw ToolError("the library produced no relief maps (out of memory or too large)");
    uint32_t w = 0, h = 0, vw = 0, vh = 0;
    KyPathBufGetWHU(b.mask, &w, &h, nullptr);
    KyPathBufGetWHU(b.vec, &vw, &vh, nullptr);
    if (w != vw || h != vh) throw ToolError("the mask and the relief maps differ in size");

    b.image = KyPathBufAlloc(24, w, h, 1, 0, 0);
    if (!b.image) throw ToolError("no memory for the image");
    uint8_t *img = static_cast<uint8_t *>(b.image);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) std::memcpy(img + i * 3, colour, 3);
    if (!o.bump_map.empty()) b.bump = ReadBump(o.bump_map, w, h);
    if (!o.environment.empty()) b.env = ReadImage("--environment", o.environment);
    ShadingGammaToMap();

    const int32_t spot_on = spot.empty() ? 0 : 1;
    const int32_t sx = spot_on ? static_cast<int32_t>(spot[0]) : 50, sy = spot_on ? static_cast<int32_t>(spot[1]) : 50;
    const int32_t bump = b.bump ? o.bump_percent : 0;
    int32_t ok = 0;
    if (o.mode == "phong") {
        ok = KyPathShadePhong(b.image, width, o.kind, o.invert, o.depth, 0, b.dist, b.vec, 0, b.mask, nullptr, spot_on,
                              sx, sy, light[0], light[1], light[2], 0, o.highlight, bump, b.bump);
    } else if (o.mode == "multi" || o.mode == "metallic") {
        // The preset directions: the four upper diagonals.
        const double d = 0.5773502;
        const double dirs[12] = {-d, -d, d, d, -d, d, -d, d, d, d, d, d};
        const int32_t flags[4] = {spot_on, spot_on, spot_on, spot_on};
        const int32_t centres[8] = {sx, sy, sx, sy, sx, sy, sx, sy};
        if (o.mode == "multi") {
            ok = KyPathShadeMultiPhong(b.image, width, o.kind, o.invert, o.depth, 0, b.dist, b.vec, 0, b.mask, nullptr,
                                       o.lights, flags, centres, dirs, 0, o.highlight, bump, b.bump);
        } else {
            if (!KyPathSetMetallicEffect(o.metal)) throw ToolError("no memory for the metal table");
            ok = KyPathShadeMetallic(b.image, width, o.kind, o.invert, o.depth, 0, b.dist, b.vec, 0, b.mask, nullptr,
                                     spot_on, sx, sy, light[0], light[1], light[2], HostColour(metal_colour), nullptr,
                                     0, bump, b.bump);
        }
    } else if (o.mode == "reflect") {
        ok = KyPathReflectIt(o.kind, width, b.vec, b.image, o.invert, o.depth, 0, b.env, 0, b.mask, nullptr, bump,
                             b.bump);
    } else if (o.mode == "bump") {
        ok = KyPathBumpIt(o.kind, width, b.vec, b.image, o.invert, o.depth, 0, b.env, 0, b.mask, nullptr);
    } else {
        ok = KyPathTransparentMask(b.mask, o.face, o.edge, width, o.kind, o.invert, o.depth, 0, b.vec, 0, bump,
                                   b.bump);
    }
    if (!ok) throw ToolError("the shader refused the buffers");

    // Lay the result over the background, with a margin round it.
    const uint32_t m = static_cast<uint32_t>(o.margin);
    const uint32_t ow = w + 2 * m, oh = h + 2 * m;
    const uint8_t *mask = static_cast<const uint8_t *>(b.mask);
    std::string error;
    if (o.mode == "transparent") {
        std::vector<uint8_t> grey(static_cast<size_t>(ow) * oh, 0);
        for (uint32_t y = 0; y < h; ++y) std::memcpy(&grey[(y + m) * static_cast<size_t>(ow) + m], mask + y * w, w);
        if (!WritePngGray(o.output, grey.data(), ow, oh, ow, &error)) throw ToolError("" + error);
    } else {
        std::vector<uint8_t> rgb(static_cast<size_t>(ow) * oh * 3);
        for (size_t i = 0; i < static_cast<size_t>(ow) * oh; ++i)
            for (int k = 0; k < 3; ++k) rgb[i * 3 + k] = background[2 - k];
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const size_t s = static_cast<size_t>(y) * w + x;
                const uint32_t a = mask[s];
                uint8_t *d = &rgb[((y + m) * static_cast<size_t>(ow) + x + m) * 3];
                for (int k = 0; k < 3; ++k)
                    d[k] = static_cast<uint8_t>((img[s * 3 + 2 - k] * a + d[k] * (255 - a) + 127) / 255);
            }
        if (!WritePngRgb(o.output, rgb.data(), ow, oh, static_cast<size_t>(ow) * 3, &error))
            throw ToolError("" + error);
    }
    if (!o.quiet)
        std::printf("%s: %ux%u %s shading, bevel width %g, image rectangle (%d, %d)-(%d, %d)\n", o.output.c_str(), ow,
                    oh, o.mode.c_str(), width, rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace

void AddShadeCommand(CLI::App &app) {
    auto opt = std::make_shared<ShadeOptions>();
    CLI::App *cmd = app.add_subcommand("shade", "Light a path or text as a bevelled object and write it as PNG");
    cmd->footer(
        "Examples:\n"
        "  kypath shade --text \"Ab\" --size 120 --width 10 -o phong.png\n"
        "  kypath shade \"M10 10 L190 10 L100 160 Z\" --mode metallic --metal 2 -o metal.png\n"
        "  kypath shade --text \"Ab\" --mode reflect --environment sky.png -o chrome.png");
    AddFigureOptions(cmd, &opt->in, PathArgument::kPositional, 96);
    cmd->add_option("-o,--output", opt->output, "PNG file")->capture_default_str();
    cmd->add_option("--mode", opt->mode, "shader")
        ->check(CLI::IsMember({"phong", "multi", "metallic", "reflect", "bump", "transparent"}))
        ->capture_default_str();
    cmd->add_option("--width", opt->width, "bevel width in pixels")->check(CLI::Range(0.0, 4096.0))->capture_default_str();
    cmd->add_option("--kind", opt->kind, "profile: 0 rounded, 1 chamfer, 100-104 two bevels")
        ->check(CLI::IsMember({0, 1, 100, 101, 102, 103, 104}))
        ->capture_default_str();
    cmd->add_flag("--invert", opt->invert, "sink the bevel instead of raising it");
    cmd->add_option("--depth", opt->depth, "0, or the steepness scale 30 / depth")->check(CLI::Range(0, 1000))
        ->capture_default_str();
    cmd->add_option("--colour", opt->colour, "object colour RRGGBB")->capture_default_str();
    cmd->add_option("--background", opt->background, "background colour RRGGBB")->capture_default_str();
    cmd->add_option("--light", opt->light, "light direction x,y,z (z towards the viewer)")->capture_default_str();
    cmd->add_option("--lights", opt->lights, "multi mode: how many of the four preset lights")
        ->check(CLI::Range(1, 4))
        ->capture_default_str();
    cmd->add_option("--spot", opt->spot, "spotlight centre x,y in percent of the image");
    cmd->add_flag("--highlight", opt->highlight, "stronger highlights (phong and multi)");
    cmd->add_option("--metal", opt->metal, "metallic mode: metal 1 to 4")->check(CLI::Range(1, 4))->capture_default_str();
    cmd->add_option("--metal-colour", opt->metal_colour, "metallic highlight colour RRGGBB")->capture_default_str();
    cmd->add_option("--environment", opt->environment, "reflect and bump modes: the environment / texture PNG");
    cmd->add_option("--bump-map", opt->bump_map, "grey PNG of surface detail, tiled over the image");
    cmd->add_option("--bump-percent", opt->bump_percent, "strength of the bump map")->check(CLI::Range(0, 1000))
        ->capture_default_str();
    cmd->add_option("--face", opt->face, "transparent mode: clearness of the flat face in percent")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    cmd->add_option("--edge", opt->edge, "transparent mode: clearness of the steepest edge in percent")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    cmd->add_option("--rule", opt->rule, "fill rule")->check(CLI::IsMember({"nonzero", "evenodd"}))->capture_default_str();
    cmd->add_option("--scale", opt->scale, "factor applied to every coordinate")
        ->check(CLI::Range(1.0 / 65536, 32767.0))
        ->capture_default_str();
    cmd->add_option("--margin", opt->margin, "background pixels round the object")->check(CLI::Range(0, 4096))
        ->capture_default_str();
    cmd->add_flag("--progress", opt->progress, "show the relief build's progress on stderr even when it is not a terminal");
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunShade(*opt); });
}

}  // namespace kypath
