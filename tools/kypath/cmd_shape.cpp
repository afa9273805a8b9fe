// tools/kypath/cmd_shape.cpp - `kypath shape`: a primitive shape to a PNG
// coverage mask.
//
//   kypath shape ellipse --size 120x80 -o ellipse.png
//   kypath shape rounded --size 90x20 -o pill.png        (radius from the proportions)
//   kypath shape rounded --size 90x60 --roundness 25 -o card.png
//
// The shape is built as the shape tools build it from a drag of that size
// at zoom 1, placed `--margin` pixels from the image origin, and filled.
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/kypath/commands.h"
#include "tools/kypath/png_io.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct ShapeOptions {
    std::string kind;
    std::string size = "100x60";
    int roundness = -1;  // rounded only: percent of the short half side; -1: from the proportions
    int margin = 4;
    std::string antialias = "on";
    std::string output = "shape.png";
    bool quiet = false;
};

int32_t ShapeCode(const ShapeOptions &o) {
    if (o.kind == "ellipse") return KYSHAPE_ELLIPSE;
    if (o.kind == "rectangle") return KYSHAPE_RECTANGLE;
    if (o.kind == "segmented") return KYSHAPE_SEGMENTED;
    if (o.kind == "rounded") return o.roundness < 0 ? KYSHAPE_ROUNDED : KYSHAPE_ROUNDED_PERCENT(o.roundness);
    return 4;  // any code without a shape of its own is a diamond
}

void RunShape(const ShapeOptions &o) {
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(o.size.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w <= 0 || h <= 0 || w > 16384 || h > 16384)
        throw CLI::ValidationError("--shape-size", "expected WIDTHxHEIGHT in pixels, each 1..16384");
    KyPathInit();
    CoordStruct view{};
    view.right = o.margin * 2 + w;
    view.bottom = o.margin * 2 + h;
    view.zoom = 1.0;
    Y32Rect drag{o.margin, o.margin, o.margin + w, o.margin + h};
    KyPath *path = nullptr;
    if (!KyPathGetPrimitive(ShapeCode(o), nullptr, &path, &view, 0, 0, &drag))
        throw std::runtime_error("shape: the library built nothing (out of memory)");
    const int32_t points = KyPathGetPointsNumber(path);
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    int32_t n = KyPathToBuf(path, 0, 0, o.antialias == "off" ? 0 : 1, 0, DbToFix(1.0), &rects, &bufs, 0);
    const int32_t code = path->shape;
    KyPathDeletePtr(path, 0);
    if (n <= 0) throw std::runtime_error("shape: the library produced no mask");
    uint32_t bw = 0, bh = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(bufs[0], &bw, &bh, &depth);
    const Y32Rect r = rects[0];
    std::string error;
    bool ok = WritePngGray(o.output, static_cast<const uint8_t *>(bufs[0]), bw, bh, bw, &error);
    for (int32_t i = 0; i < n; ++i) KyPathBufFree(bufs[i]);
    GlobalFree(rects);
    GlobalFree(bufs);
    if (!ok) throw std::runtime_error("shape: " + error);
    if (!o.quiet)
        std::printf("%s: %s (shape code %d, %d points), %ux%u mask at image rectangle (%d, %d)-(%d, %d)\n",
                    o.output.c_str(), o.kind.c_str(), code, points, bw, bh, r.left, r.top, r.right, r.bottom);
}

}  // namespace

void AddShapeCommand(CLI::App &app) {
    auto opt = std::make_shared<ShapeOptions>();
    CLI::App *cmd = app.add_subcommand("shape", "Build a primitive shape as the shape tools do and render it to PNG");
    cmd->footer(
        "Examples:\n"
        "  kypath shape ellipse --shape-size 120x80 -o ellipse.png\n"
        "  kypath shape rounded --size 90x60 --roundness 25 -o card.png\n"
        "  kypath shape segmented --size 120x40 --antialias off -o bar.png");
    cmd->add_option("kind", opt->kind, "the shape")
        ->required()
        ->check(CLI::IsMember({"ellipse", "rectangle", "rounded", "diamond", "segmented"}));
    cmd->add_option("--shape-size,--size", opt->size,
                    "the drag, WIDTHxHEIGHT window pixels at zoom 1 (as envelope's --shape-size)")
        ->capture_default_str();
    cmd->add_option("--roundness", opt->roundness,
                    "rounded: corner radius in percent of the short half side (0..100); without it the radius "
                    "comes from the proportions")
        ->check(CLI::Range(0, 100));
    cmd->add_option("--margin", opt->margin, "pixels between the image origin and the shape")
        ->check(CLI::Range(0, 1000))
        ->capture_default_str();
    cmd->add_option("--antialias", opt->antialias, "on: graded coverage, off: hard 0/255 mask")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();
    cmd->add_option("-o,--output", opt->output, "PNG file to write")->capture_default_str();
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunShape(*opt); });
}

}  // namespace kypath
