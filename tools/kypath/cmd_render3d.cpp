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

#include "core/vec.h"
#include "tools/kypath/commands.h"
#include "tools/kypath/text_figure.h"
#include "tools/kypath/png_io.h"
#include "tools/kypath/svg_path.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct Render3dOptions {
    std::string path, text;
    std::string font = "DejaVu Sans";
    int size = 96;
    bool bold = false;
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

struct Chain {
    KyPath *head = nullptr;
    ~Chain() {
        if (head) KyPathDeletePtr(head, 0);
    }
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

KyPath *TextFigure(const Render3dOptions &o) {
    if (std::all_of(o.text.begin(), o.text.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }))
        throw CLI::ValidationError("--text", "the text has nothing to draw");
    if (o.font.size() >= LF_FACESIZE) throw CLI::ValidationError("--font", "face names have at most 31 bytes");
    TextFigureSpec spec;
    spec.text = o.text;
    spec.face = o.font;
    spec.size = o.size;
    spec.bold = o.bold;
    KyPath *path = MakeTextFigure(spec);
    if (!path) throw std::runtime_error("render3d: the text gave no outlines (no font or out of memory)");
    return path;
}

// Rotation about x, then y, then z (row vectors: p * Rx * Ry * Rz).
void RotationMatrix(const Render3dOptions &o, double m[9]) {
    vec::Identity3X3(m);
    const double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const double angles[3] = {o.rotate_x, o.rotate_y, o.rotate_z};
    for (int k = 0; k < 3; ++k) {
        double r[9], s, c;
        vec::Identity3X3(r);
        vec::SinCosDeg(angles[k], &s, &c);
        vec::VThitaGetMatrix(s, c, axes[k], r);
        vec::Matrix3X3(m, r, m);
    }
}

void WireFrame(const Render3dOptions &o, KyPath *path, const Path3DParams &params, const Y32Rect &box,
               const Y32Rect &picture) {
    const int32_t w = picture.right - picture.left, h = picture.bottom - picture.top;
    HDC dc = y32CreateMemoryDC(w, h, 24);
    if (!dc) throw std::runtime_error("render3d: no device context for the wire frame");
    struct DcOwner {
        HDC dc;
        ~DcOwner() { y32DeleteMemoryDC(dc); }
    } owner{dc};
    Y32DcBits bits{};
    y32GetMemoryDCBits(dc, &bits);
    for (int32_t y = 0; y < h; ++y) std::memset(bits.bits + static_cast<size_t>(y) * bits.strideBytes, 0xFF, w * 3);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    CoordStruct view{};
    view.right = w;
    view.bottom = h;
    view.scrollX = picture.left;
    view.scrollY = picture.top;
    view.zoom = 1.0;
    Path3DParams p = params;
    if (!KyPath3DWireFrame(dc, path, (box.right - box.left) / 2, (box.bottom - box.top) / 2, &view, &p,
                           o.wire_depth))
        throw std::runtime_error("render3d: the view puts the object behind the eye; no wire frame drawn");
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t *px = bits.bits + static_cast<size_t>(y) * bits.strideBytes + x * 3;
            uint8_t *q = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            q[0] = px[2];
            q[1] = px[1];
            q[2] = px[0];
        }
    std::string error;
    if (!WritePngRgb(o.wire, rgb.data(), w, h, static_cast<size_t>(w) * 3, &error))
        throw std::runtime_error("render3d: " + error);
    if (!o.quiet) std::printf("%s: %dx%d wire frame\n", o.wire.c_str(), w, h);
}

void RunRender3d(const Render3dOptions &o) {
    if (o.path.empty() == o.text.empty()) throw CLI::ValidationError("path", "give SVG path data or --text, not both");
    if (!o.light.empty() && o.light.size() != 3) throw CLI::ValidationError("--light", "expected x,y,z");
    const uint32_t colour = ParseColour("--colour", o.colour), background = ParseColour("--background", o.background);
    Chain chain;
    if (!o.text.empty()) {
        chain.head = TextFigure(o);
    } else {
        std::string error;
        chain.head = LoadPathArgument(o.path, &error);
        if (!chain.head) throw CLI::ValidationError("path", error);
    }
    Y32Rect box{};
    if (!KyPathGetRealRect(chain.head, 0x10000, &box)) throw std::runtime_error("render3d: the path has no points");

    ABufCamera cam{};
    cam.centreX = (box.left + box.right) * 32768;  // box centre, 16.16
    cam.centreY = (box.top + box.bottom) * 32768;
    cam.distance = o.distance;
    cam.fieldOfView = o.fov;
    RotationMatrix(o, cam.rotation);

    Path3DParams params{};
    params.centreX = cam.centreX;
    params.centreY = cam.centreY;
    params.distance = cam.distance;
    params.fieldOfView = cam.fieldOfView;
    std::memcpy(params.matrix, cam.rotation, sizeof params.matrix);
    // The picture: the projected base and the projected face at the
    // bevel's height (which may rise towards the eye), plus the margin.
    Y32Rect picture{};
    const double rise = std::abs(o.width) * (o.depth ? std::abs(o.depth) / 30.0 : 1.0);
    if (!KyPathGet3DMiniMaxRect(chain.head, &params, rise, 0.0, &picture))
        throw std::runtime_error("render3d: the path has no points");
    picture.left -= o.margin;
    picture.top -= o.margin;
    picture.right += o.margin + 1;
    picture.bottom += o.margin + 1;
    const int64_t w = int64_t{picture.right} - picture.left, h = int64_t{picture.bottom} - picture.top;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384)
        throw std::runtime_error("render3d: the projected picture is " + std::to_string(w) + "x" +
                                 std::to_string(h) + " pixels; at most 16384 each (move the eye further away)");

    Buffer out, mask;
    out.buf = KyPathBufAlloc(24, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0, 0);
    mask.buf = KyPathBufAlloc(8, static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 0, 0);
    if (!out.buf || !mask.buf) throw std::runtime_error("render3d: out of memory for the picture");
    const int32_t origin[2] = {picture.left, picture.top};
    const int32_t required = 1;
    if (!KyPathABufRender(chain.head, &cam, out.buf, &required, 0, origin, origin, colour, mask.buf, nullptr, 0, 0, 0,
                          0, 0, 0, 0, o.glass, 0, o.width, o.depth, o.kind, o.invert ? 1 : 0,
                          o.light.empty() ? nullptr : o.light.data(), 0))
        throw std::runtime_error("render3d: the renderer failed (unsuitable camera or out of memory)");

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
        throw std::runtime_error("render3d: " + error);
    if (!o.mask.empty() &&
        !WritePngGray(o.mask, cov, static_cast<uint32_t>(w), static_cast<uint32_t>(h), static_cast<size_t>(w), &error))
        throw std::runtime_error("render3d: " + error);
    if (!o.quiet)
        std::printf("%s: %lldx%lld, image rectangle (%d, %d)-(%d, %d)\n", o.output.c_str(), static_cast<long long>(w),
                    static_cast<long long>(h), picture.left, picture.top, picture.right, picture.bottom);
    if (!o.wire.empty()) WireFrame(o, chain.head, params, box, picture);
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
    cmd->add_option("path", opt->path, "SVG path data, or @file / a file with path data, an SVG document or a flat path block");
    cmd->add_option("--text", opt->text, "text to render instead of a path");
    cmd->add_option("--font", opt->font, "face name for --text")->capture_default_str();
    cmd->add_option("--size", opt->size, "text size in pixels")->check(CLI::Range(4, 2048))->capture_default_str();
    cmd->add_flag("--bold", opt->bold, "bold text");
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
