// tools/kypath/cmd_mask.cpp - `kypath mask`: a path to a PNG coverage mask.
//
//   kypath mask "M10 10 L90 10 L50 80 Z" -o mask.png
//   kypath mask --text "Ky" --size 120 -o ky.png --flat ky.flat
//   kypath mask --in ky.flat --scale 4 -o big.png
//
// Every group KyPathToBuf returns is placed at its rectangle in one image
// covering all of them (overlaps keep the larger value). 32-bit sub-pixel
// masks are shown as coverage: 255 x covered sub-pixels / 32, rounded.
#include <algorithm>
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

struct MaskOptions {
    FigureInput in;
    FigureOutput out;
    std::string rule = "nonzero";
    std::string antialias = "on";
    std::string format = "8";
    int mode = 0;
    double scale = 1.0;
    int margin = 0;
    bool quiet = false;
};

void RunMask(const MaskOptions &o) {
    PathChain figure(LoadFigure(o.in));
    KyPath *path = figure.get();
    std::string error;
    int32_t format = o.format == "32" ? 4 : (o.format == "16" ? 16 : 0);
    int32_t antialias = o.antialias == "off" ? 0 : (o.antialias == "4" ? 999 : 1);
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    int32_t n = KyPathToBuf(path, format, o.rule == "evenodd", antialias, o.mode, DbToFix(o.scale), &rects, &bufs,
                            o.margin);
    if (n <= 0) throw ToolError("the library produced no mask (out of memory or a size no buffer can hold)");
    Y32Rect all = rects[0];
    for (int32_t i = 1; i < n; ++i) {
        all.left = std::min(all.left, rects[i].left);
        all.top = std::min(all.top, rects[i].top);
        all.right = std::max(all.right, rects[i].right);
        all.bottom = std::max(all.bottom, rects[i].bottom);
    }
    uint32_t width = static_cast<uint32_t>(all.right - all.left), height = static_cast<uint32_t>(all.bottom - all.top);
    std::vector<uint8_t> image(static_cast<size_t>(width) * height, 0);
    for (int32_t i = 0; i < n; ++i) {
        uint32_t w = 0, h = 0;
        int32_t depth = 0;
        KyPathBufGetWHU(bufs[i], &w, &h, &depth);
        PathBufLock lock;
        KyPathBufLock1(bufs[i], 0, 0, 0, &lock);
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t *row = static_cast<const uint8_t *>(KyPathBufLineRead(&lock, static_cast<int32_t>(y)));
            uint8_t *dst = &image[(static_cast<size_t>(rects[i].top - all.top) + y) * width +
                                  static_cast<size_t>(rects[i].left - all.left)];
            for (uint32_t x = 0; x < w; ++x) {
                uint8_t v;
                if (depth == 32) {
                    uint32_t word;
                    std::memcpy(&word, row + x * 4, 4);
                    int covered = 32 - __builtin_popcount(word);
                    v = static_cast<uint8_t>((covered * 255 + 16) / 32);
                } else {
                    v = row[x];
                }
                dst[x] = std::max(dst[x], v);
            }
        }
        KyPathBufUnlock1(&lock);
        KyPathBufFree(bufs[i]);
    }
    GlobalFree(rects);
    GlobalFree(bufs);
    if (!WritePngGray(o.out.png, image.data(), width, height, width, &error)) throw ToolError(error);
    WriteVectorOutputs(o.out, path);
    if (!o.quiet)
        std::printf("%s: %ux%u mask of %d group%s, image rectangle (%d, %d)-(%d, %d)\n", o.out.png.c_str(), width,
                    height, n, n == 1 ? "" : "s", all.left, all.top, all.right, all.bottom);
}

}  // namespace

void AddMaskCommand(CLI::App &app) {
    auto opt = std::make_shared<MaskOptions>();
    CLI::App *cmd = app.add_subcommand("mask", "Render a path to a PNG coverage mask");
    cmd->footer(
        "Examples:\n"
        "  kypath mask \"M10 10 L90 10 L50 80 Z\" -o mask.png\n"
        "  kypath mask \"M0 0 h40 v40 h-40 z M10 10 v20 h20 v-20 z\" --rule evenodd -o ring.png\n"
        "  kypath mask --text \"Ky\" --font \"DejaVu Serif\" --size 120 --style bold -o ky.png --flat ky.flat\n"
        "  kypath mask --in ky.flat --format 32 --scale 2 -o fine.png");
    AddFigureOptions(cmd, &opt->in, PathArgument::kPositional, 96);
    AddFigureOutputs(cmd, &opt->out, "mask.png");
    cmd->add_option("--rule", opt->rule, "fill rule")->check(CLI::IsMember({"nonzero", "evenodd"}))
        ->capture_default_str();
    cmd->add_option("--antialias", opt->antialias, "on: 16 sub-scanlines, 4: four, off: hard 0/255 mask")
        ->check(CLI::IsMember({"on", "off", "4"}))
        ->capture_default_str();
    cmd->add_option("--format", opt->format,
                    "8: coverage bytes; 32: 8x4 sub-pixel masks (written as coverage); 16: rendered at --scale "
                    "and box-filtered back to image size")
        ->check(CLI::IsMember({"8", "16", "32"}))
        ->capture_default_str();
    cmd->add_option("--mode", opt->mode, "0 filled, 1 outlines, 3 outlines of every subpath together")
        ->check(CLI::Range(0, 3))
        ->capture_default_str();
    cmd->add_option("--scale", opt->scale, "factor applied to every coordinate")
        ->check(CLI::Range(1.0 / 65536, 32767.0))
        ->capture_default_str();
    cmd->add_option("--margin", opt->margin, "extra pixels around the mask on every side")
        ->check(CLI::Range(0, 1000))
        ->capture_default_str();
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunMask(*opt); });
}

}  // namespace kypath
