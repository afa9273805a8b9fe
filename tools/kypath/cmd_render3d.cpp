// tools/kypath/cmd_render3d.cpp - `kypath render3d`: a path or text drawn
// as a bevelled solid in perspective by the A-buffer renderer, and its
// wire frame, to PNG pictures.
//
//   kypath render3d --text "Abc" --size 96 --width 8 --rotate-x 25 -o abc.png
//   kypath render3d "M10 10 h120 v60 h-120 z" --width 12 --kind 1 --glass 200 -o slab.png --mask slab-mask.png
//   kypath render3d --text "Wire" --rotate-y 30 --wire wire.png --wire-depth 10
//
// The picture covers the projected object (front face and base) plus a
// margin; the object turns about the centre of its own box. The rotation is
// about x, then y, then z, in degrees. The rendered colour is composited on
// the background with the renderer's coverage mask; --mask writes that mask
// as grey.
#include <algorithm>
#include <cctype>
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
#include "tools/kypath/scene3d.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct Render3dOptions {
    FigureInput in;
    int width = 8;
    int depth = 0;
    int kind = 0;
    bool invert = false;
    std::string colour = "3070d0";
    std::string background = "ffffff";
    int glass = 0;
    double rotate_x = 0, rotate_y = 0, rotate_z = 0;
    double distance = 1000, fov = 30;
    int margin = 16;
    std::vector<double> light;
    std::string output = "render3d.png";
    std::string mask, wire;
    double wire_depth = 0;
    bool quiet = false;
};

struct Buffer {
    PathBuf buf = nullptr;
    ~Buffer() {
        if (buf) KyPathBufFree(buf);
    }
};

uint32_t ParseColour(const std::string &option, const std::string &hex) {
    if (hex.size() != 6 || !std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(c & 0xFF); }))
        throw CLI::ValidationError(option, "expected RRGGBB in hexadecimal");
    const uint32_t v = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    return ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);  // 0x00BBGGRR
}

void WireFrame(const Render3dOptions &o, KyPath *path, const Scene3d &scene, const Y32Rect &box,
               const Y32Rect &picture) {
    std::vector<uint8_t> rgb;
    if (!DrawWireFrame(path, scene, box, picture, o.wire_depth, &rgb))
        throw ToolError("the view puts the object behind the eye; no wire frame drawn");
    const uint32_t w = static_cast<uint32_t>(picture.right - picture.left);
    const uint32_t h = static_cast<uint32_t>(picture.bottom - picture.top);
    std::string error;
    if (!WritePngRgb(o.wire, rgb.data(), w, h, static_cast<size_t>(w) * 3, &error)) throw ToolError(error);
    if (!o.quiet) std::printf("%s: %ux%u wire frame\n", o.wire.c_str(), w, h);
}

void RunRender3d(const Render3dOptions &o) {
    if (!o.light.empty() && o.light.size() != 3) throw CLI::ValidationError("--light", "expected x,y,z");
    const uint32_t colour = ParseColour("--colour", o.colour), background = ParseColour("--background", o.background);
    PathChain chain(LoadFigure(o.in));
    Y32Rect box{};
    if (!KyPathGetRealRect(chain.get(), 0x10000, &box)) throw ToolError("the path has no points");
    const double degrees[3] = {o.rotate_x, o.rotate_y, o.rotate_z};
    const Scene3d scene = LookAt(box, o.distance, o.fov, degrees);
    ABufCamera cam = scene.camera;
    Path3DParams params = scene.params;
    // The picture: the projected base and the projected face at the
    // bevel's height (which may rise towards the eye), plus the margin.
    Y32Rect picture{};
    const double rise = std::abs(o.width) * (o.depth ? std::abs(o.depth) / 30.0 : 1.0);
    if (!KyPathGet3DMiniMaxRect(chain.get(), &params, rise, 0.0, &picture))
        throw ToolError("the path has no points");
    picture.left -= o.margin;
    picture.top -= o.margin;
    picture.right += o.margin + 1;
    picture.bottom += o.margin + 1;
    const int64_t w = int64_t{picture.right} - picture.left, h = int64_t{picture.bottom} - picture.top;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384)
        throw ToolError("the projected picture is " + std::to_string(w) + "x" +
                                 std::to_string(h) + " pixels; at most 16384 each (move the eye further away)");

    Buffer out, mask;
    out.buf = KyPathBufAlloc(24, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0, 0);
    mask.buf = KyPathBufAlloc(8, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0, 0);
    if (!out.buf || !mask.buf) throw ToolError("out of memory for the picture");
    const int32_t origin[2] = {picture.left, picture.top};
    const int32_t required = 1;
    if (!KyPathABufRender(chain.get(), &cam, out.buf, &required, 0, origin, origin, colour, mask.buf, nullptr, 0, 0, 0,
                          0, 0, 0, 0, o.glass, 0, o.width, o.depth, o.kind, o.invert ? 1 : 0,
                          o.light.empty() ? nullptr : o.light.data(), 0))
        throw ToolError("the renderer failed (unsuitable camera or out of memory)");

    const size_t n = static_cast<size_t>(w) * h;
    const uint8_t *px = static_cast<const uint8_t *>(out.buf), *cov = static_cast<const uint8_t *>(mask.buf);
    const uint8_t bg[3] = {static_cast<uint8_t>(background), static_cast<uint8_t>(background >> 8),
                           static_cast<uint8_t>(background >> 16)};
    std::vector<uint8_t> rgb(n * 3);
    for (size_t i = 0; i < n; ++i)
        for (int ch = 0; ch < 3; ++ch) {
            const uint32_t a = cov[i], c = px[i * 3 + 2 - ch];  // the image is blue, green, red
            rgb[i * 3 + ch] = static_cast<uint8_t>((c * a + bg[ch] * (255 - a) + 127) / 255);
        }
    std::string error;
    if (!WritePngRgb(o.output, rgb.data(), static_cast<uint32_t>(w), static_cast<uint32_t>(h),
                     static_cast<size_t>(w) * 3, &error))
        throw ToolError("" + error);
    if (!o.mask.empty() &&
        !WritePngGray(o.mask, cov, static_cast<uint32_t>(w), static_cast<uint32_t>(h), static_cast<size_t>(w), &error))
        throw ToolError("" + error);
    if (!o.quiet)
        std::printf("%s: %lldx%lld, image rectangle (%d, %d)-(%d, %d)\n", o.output.c_str(), static_cast<long long>(w),
                    static_cast<long long>(h), picture.left, picture.top, picture.right, picture.bottom);
    if (!o.wire.empty()) WireFrame(o, chain.get(), scene, box, picture);
}

}  // namespace

void AddRender3dCommand(CLI::App &app) {
    auto opt = std::make_shared<Render3dOptions>();
    CLI::App *cmd = app.add_subcommand("render3d", "Render a path or text as a bevelled solid in perspective");
    cmd->footer(
        "Examples:\n"
        "  kypath render3d --text \"Abc\" --size 96 --width 8 --rotate-x 25 -o abc.png\n"
        "  kypath render3d \"M10 10 h120 v60 h-120 z\" --width 12 --kind 1 --glass 200 -o slab.png\n"
        "  kypath render3d --text \"Wire\" --rotate-y 30 --wire wire.png --wire-depth 10");
    AddFigureOptions(cmd, &opt->in, PathArgument::kPositional, 96);
    cmd->add_option("--width", opt->width, "bevel width in pixels (0: a flat slab)")
        ->check(CLI::Range(0, 4096))
        ->capture_default_str();
    cmd->add_option("--depth", opt->depth, "bevel depth (0: as wide as high; else steepness x depth / 30)")
        ->check(CLI::Range(-1000, 1000))
        ->capture_default_str();
    cmd->add_option("--kind", opt->kind, "profile: 0 round, 1 chamfer, 100-104 two bevels")->capture_default_str();
    cmd->add_flag("--invert", opt->invert, "sink the bevel instead of raising it");
    cmd->add_option("--colour", opt->colour, "object colour RRGGBB")->capture_default_str();
    cmd->add_option("--background", opt->background, "background RRGGBB of the PNG")->capture_default_str();
    cmd->add_option("--glass", opt->glass, "0 opaque; 1..255 glass with that opacity scale")
        ->check(CLI::Range(0, 255))
        ->capture_default_str();
    cmd->add_option("--rotate-x", opt->rotate_x, "turn about the x axis, degrees")->capture_default_str();
    cmd->add_option("--rotate-y", opt->rotate_y, "then about the y axis, degrees")->capture_default_str();
    cmd->add_option("--rotate-z", opt->rotate_z, "then about the z axis, degrees")->capture_default_str();
    cmd->add_option("--distance", opt->distance, "viewing distance")->capture_default_str();
    cmd->add_option("--fov", opt->fov, "full viewing angle, degrees (0: parallel view)")
        ->check(CLI::Range(0.0, 179.0))
        ->capture_default_str();
    cmd->add_option("--margin", opt->margin, "pixels around the projected object")
        ->check(CLI::Range(0, 4096))
        ->capture_default_str();
    cmd->add_option("--light", opt->light, "light direction x,y,z (towards the light; z towards the viewer)")
        ->delimiter(',')
        ->expected(3);
    cmd->add_option("-o,--output", opt->output, "PNG file for the picture")->capture_default_str();
    cmd->add_option("--mask", opt->mask, "PNG file for the coverage mask (grey)");
    cmd->add_option("--wire", opt->wire, "PNG file for the wire frame");
    cmd->add_option("--wire-depth", opt->wire_depth, "depth of the wire frame's back copy")->capture_default_str();
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunRender3d(*opt); });
}

}  // namespace kypath
