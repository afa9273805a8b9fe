// tools/kypath/cmd_stroke.cpp - `kypath stroke`: a path stroked with one
// of the dash styles, with arrowheads, to a PNG coverage mask.
//
//   kypath stroke --path "M20 40 C120 -20 220 100 320 40" --style 3 --width 2 -o dashes.png
//   kypath stroke --path "M20 20 L300 20" --style 1 --width 3 --end-arrow triangle -o arrow.png
//   kypath stroke --path @route.svg --style 6 --start-arrow barbed --end-arrow "M0 -3 L9 0 L0 3 Z" -o r.png
//
// The path's outline names the style, the pen width and the arrowhead
// templates exactly as a host's outline would; the library's rasteriser
// turns the dashed outline into its dash chain (leaving room at the ends
// for the arrowheads) and the arrowheads are drawn into the same mask.
// Dash styles: 1 dash 1 gap 1; 2 dash 3 gap 4; 3 and 4 two and three
// dashes of 3 (gap 1 between them) then gap 4; 5 to 7 the same with gap 8;
// all in units of twice the pen width.
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "deform/dash.h"
#include "tools/kypath/commands.h"
#include "tools/kypath/png_io.h"
#include "tools/kypath/svg_path.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct StrokeOptions {
    std::string path;
    int style = 1;
    int width = 2;
    std::string start_arrow, end_arrow;
    bool arrows_off = false;
    bool show_path = false;
    std::string antialias = "on";
    int margin = -1;  // -1: room for the arrowheads
    std::string output = "stroke.png";
    bool quiet = false;
};

// Templates point in +x with the side that meets the stroke on the left.
const std::map<std::string, std::string> kArrows = {
    {"triangle", "M0 -4 L12 0 L0 4 Z"},
    {"narrow", "M0 -2 L14 0 L0 2 Z"},
    {"barbed", "M0 -5 L14 0 L0 5 L4 0 Z"},
};

[[noreturn]] void Usage(const std::string &option, const std::string &why) {
    throw CLI::ValidationError(option, why);
}

KyPath *Template(const std::string &option, const std::string &arg) {
    if (arg.empty()) return nullptr;
    auto named = kArrows.find(arg);
    std::string error;
    KyPath *t = named != kArrows.end() ? ParseSvgPath(named->second, &error) : LoadPathArgument(arg, &error);
    if (!t) Usage(option, error);
    return t;
}

void RunStroke(const StrokeOptions &o) {
    KyPathInit();
    // This program links the library's static archives; the dashed-stroke
    // step is installed here rather than relied on from a static
    // initialiser the linker might leave out.
    dash::InstallDashStroke();

    std::string error;
    KyPath *path = LoadPathArgument(o.path, &error);
    if (!path) Usage("--path", error);
    if (path->next) {
        KyPathDeletePtr(path, 0);
        Usage("--path", "the path must be a single subpath (one M)");
    }
    KyPath *start = nullptr, *end = nullptr;
    try {
        start = Template("--start-arrow", o.start_arrow);
        end = Template("--end-arrow", o.end_arrow);
    } catch (...) {
        KyPathDeletePtr(path, 0);
        if (start) KyPathDeletePtr(start, 0);
        throw;
    }
    // Room around the path for the dashes (thickness 2 x width + 4) and
    // for the arrowheads (half their height at the pen's scale).
    int32_t margin = o.margin;
    if (margin < 0) {
        double room = o.width + 3;
        for (KyPath *t : {start, end}) {
            if (!t) continue;
            int32_t extent99 = KyPathRenderArrowHead(nullptr, t, nullptr, 99, 0, 0, nullptr, 0);
            room = std::max(room, extent99 / 99.0 * o.width);
        }
        margin = static_cast<int32_t>(std::ceil(room)) + 2;
    }

    OutlineInfo *info = nullptr;
    KyPathAssignOutlineInfo(start ? 1 : 0, 0, start, end ? 1 : 0, 0, end, o.style, nullptr, 0, o.width, 0, 0, &info);
    if (!info) {
        KyPathDeletePtr(path, 0);
        throw std::runtime_error("stroke: out of memory");
    }
    info->arrowsOff = o.arrows_off ? 1 : 0;
    KyPathSetOutlineInfo(path, info);

    const int32_t antialias = o.antialias == "off" ? 0 : 1;
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    const int32_t n = KyPathToBuf(path, 0, 0, antialias, 0, DbToFix(1.0), &rects, &bufs, margin);
    if (n <= 0) {
        KyPathDeletePtr(path, 0);
        throw std::runtime_error("stroke: the library produced no mask");
    }
    const Y32Rect r = rects[0];
    PathBuf mask = bufs[0];
    if (!o.arrows_off) {
        if (start) KyPathRenderArrowHead(path, start, nullptr, o.width, r.left, r.top, mask, antialias);
        if (end) KyPathRenderArrowHead(path, nullptr, end, o.width, r.left, r.top, mask, antialias);
    }
    uint32_t w = 0, h = 0;
    KyPathBufGetWHU(mask, &w, &h, nullptr);
    if (o.show_path) {
        // The path itself as a thin grey line under the dashes.
        Y32Rect *trects = nullptr;
        PathBuf *tbufs = nullptr;
        if (KyPathToBuf(path, 0, 0, antialias, 1, DbToFix(1.0), &trects, &tbufs, margin) == 1) {
            auto *dst = static_cast<uint8_t *>(mask);
            const auto *src = static_cast<const uint8_t *>(tbufs[0]);
            for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i)
                if (src[i] / 2 > dst[i]) dst[i] = static_cast<uint8_t>(src[i] / 2);
            KyPathBufFree(tbufs[0]);
            GlobalFree(trects);
            GlobalFree(tbufs);
        }
    }
    const double length = KyPathGetLength(path);
    bool ok = WritePngGray(o.output, static_cast<const uint8_t *>(mask), w, h, w, &error);
    KyPathBufFree(mask);
    GlobalFree(rects);
    GlobalFree(bufs);
    KyPathDeletePtr(path, 0);
    if (!ok) throw std::runtime_error("stroke: " + error);
    if (!o.quiet)
        std::printf("%s: style %d, pen %d, path length %.1f; %ux%u mask at image rectangle (%d, %d)-(%d, %d)\n",
                    o.output.c_str(), o.style, o.width, length, w, h, r.left, r.top, r.right, r.bottom);
}

}  // namespace

void AddStrokeCommand(CLI::App &app) {
    auto opt = std::make_shared<StrokeOptions>();
    CLI::App *cmd = app.add_subcommand("stroke", "Stroke a path with a dash style and arrowheads and render it to PNG");
    cmd->footer(
        "Styles (units of twice the pen width): 1 dash 1 gap 1, 2 dash 3 gap 4, 3/4 two/three dashes then gap 4,\n"
        "5 dash 3 gap 8, 6/7 two/three dashes then gap 8.\n"
        "Arrowheads: triangle, narrow, barbed, or SVG path data of a template pointing right.\n"
        "Examples:\n"
        "  kypath stroke --path \"M20 40 C120 -20 220 100 320 40\" --style 3 --width 2 -o dashes.png\n"
        "  kypath stroke --path \"M20 20 L300 20\" --style 1 --width 3 --end-arrow triangle -o arrow.png");
    cmd->add_option("--path", opt->path, "one subpath of SVG path data, or @file")->required();
    cmd->add_option("--style", opt->style, "dash style")->check(CLI::Range(1, 7))->capture_default_str();
    cmd->add_option("--width", opt->width, "pen width in pixels")->check(CLI::Range(1, 200))->capture_default_str();
    cmd->add_option("--start-arrow", opt->start_arrow, "arrowhead at the start: a name or SVG path data");
    cmd->add_option("--end-arrow", opt->end_arrow, "arrowhead at the end: a name or SVG path data");
    cmd->add_flag("--arrows-off", opt->arrows_off, "keep the templates but draw no arrowheads (no room is left)");
    cmd->add_flag("--show-path", opt->show_path, "draw the path itself as a thin grey line");
    cmd->add_option("--antialias", opt->antialias, "graded (on) or hard (off) mask")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();
    cmd->add_option("--margin", opt->margin, "pixels around the path's box (default: room for the arrowheads)")
        ->check(CLI::Range(0, 1000));
    cmd->add_option("-o,--output", opt->output, "PNG file")->capture_default_str();
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunStroke(*opt); });
}

}  // namespace kypath
