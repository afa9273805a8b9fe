// tools/kypath/cmd_envelope.cpp - `kypath envelope`: text, a shape or a
// path bent by an envelope, to a PNG coverage mask.
//
//   kypath envelope --text "Wave" --size 96 --preset wave -o wave.png
//   kypath envelope --shape rectangle --preset arch --kind bibezier-v -o side.png
//   kypath envelope --path "M0 0 h100 v40 h-100 z" --kind bilinear --net 0,0,1,.2,0,1,1,.8 -o p.png
//
// The figure's box (control points included) is the envelope's domain.
// Presets are described as horizontal bi-Bezier nets relative to that box;
// bibezier-v takes the preset turned a quarter turn (the left and right
// edges take the shapes the top and bottom have), and bilinear takes its
// four corners, so only presets with straight edges suit it.
//
// The envelope moves points and curve handles only. A long straight edge
// (a rectangle's side) would stay one straight piece, so every segment is
// first split into --subdivide equal curve pieces, which the envelope can
// bend.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/bezier.h"
#include "core/point_walk.h"
#include "tools/kypath/commands.h"
#include "tools/kypath/figure_io.h"
#include "tools/kypath/png_io.h"
#include "tools/kypath/svg_path.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct EnvelopeOptions {
    FigureInput in;
    std::string shape;
    std::string shape_size = "200x100";
    std::string kind = "bibezier";
    std::string preset;
    std::string net;
    bool absolute = false;
    double amount = 1.0;
    int subdivide = 4;
    std::string rule = "nonzero";
    std::string antialias = "on";
    double scale = 1.0;
    int margin = 0;
    bool show_net = false;
    std::string output = "envelope.png";
    bool quiet = false;
};

[[noreturn]] void Usage(const std::string &option, const std::string &why) {
    throw CLI::ValidationError(option, why);
}

// ---- The figure ------------------------------------------------------------

KyPath *ShapeFigure(const EnvelopeOptions &o) {
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(o.shape_size.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w <= 0 || h <= 0 || w > 16384 ||
        h > 16384)
        Usage("--shape-size", "expected WIDTHxHEIGHT in pixels, each 1..16384");
    int32_t code = KYSHAPE_ELLIPSE;
    if (o.shape == "rectangle") code = KYSHAPE_RECTANGLE;
    if (o.shape == "rounded") code = KYSHAPE_ROUNDED;
    if (o.shape == "segmented") code = KYSHAPE_SEGMENTED;
    if (o.shape == "diamond") code = 4;
    CoordStruct view{};
    view.right = w;
    view.bottom = h;
    view.zoom = 1.0;
    Y32Rect drag{0, 0, w, h};
    KyPath *path = nullptr;
    if (!KyPathGetPrimitive(code, nullptr, &path, &view, 0, 0, &drag))
        throw ToolError("the library built no shape (out of memory)");
    return path;
}

KyPath *ReadFigure(const EnvelopeOptions &o) {
    const int given = !o.in.text.empty() + !o.shape.empty() + !o.in.path.empty() + !o.in.in.empty();
    if (given != 1) Usage("figure", "give exactly one of --text, --shape, --path and --in");
    if (!o.shape.empty()) return ShapeFigure(o);
    return LoadFigure(o.in);
}

// Appends a position; the record may move.
bool Put(KyPath **rec, bez::Vec2 p, uint32_t type) {
    FIXED xy[2] = {DbToFix(p.x), DbToFix(p.y)};
    return KyPathAddPoint(rec, xy, type) != 0;
}

// A copy of the group chain of `head` in which every line and curve is
// `pieces` equal curve pieces (pieces 1: the segments as they are). Only
// positions and the closing marks are kept: selection, stroke description
// and attached records stay behind. Null when out of memory.
KyPath *Subdivided(KyPath *head, int pieces) {
    PathChain out;
    KyPath *tail = nullptr;
    for (KyPath *src = head; src; src = (src->flags & KPF_OUTLINEINFO) ? nullptr : src->groupNext) {
        KyPath *rec = KyPathCreate();
        if (!rec) return nullptr;
        const PathPoint *pts = KyPathPoints(src);
        int32_t last_end = -1;
        bool ok = true;
        path::ForEachSegment(src, [&](const path::Segment &s) {
            if (!ok) return;
            bez::Cubic c = bez::FromSegment(s);
            if (s.start != last_end) ok = Put(&rec, c.p[0], PT_MOVETO);
            const uint32_t close = (pts[s.end].type & PT_CLOSEFIGURE) ? PT_CLOSEFIGURE : 0;
            if (pieces == 1 && s.kind == path::Segment::kLine) {
                ok = ok && Put(&rec, c.p[3], PT_LINETO | close);
            } else {
                for (int k = 0; k < pieces && ok; ++k) {
                    bez::Cubic piece = c, rest = c;
                    if (k + 1 < pieces) bez::Split(c, 1.0 / (pieces - k), &piece, &rest);
                    ok = Put(&rec, piece.p[1], PT_BEZIERTO) && Put(&rec, piece.p[2], PT_BEZIERTO) &&
                         Put(&rec, piece.p[3], PT_BEZIERTO | (k + 1 == pieces ? close : 0));
                    c = rest;
                }
            }
            last_end = s.end;
        });
        if (!ok || rec->count == 0) {
            KyPathDeletePtr(rec, 0);
            if (!ok) return nullptr;
            continue;
        }
        rec->flags = src->flags & KPF_TEXTMASK;
        if (!tail) {
            out.Reset(rec);
        } else {
            tail->next = rec;
            rec->prev = tail;
            tail->groupNext = rec;
            rec->groupPrev = tail;
        }
        tail = rec;
    }
    if (!out.get()) Usage("figure", "the figure has no lines or curves to bend");
    return out.Release();
}

// ---- The envelope ----------------------------------------------------------

// Eight points in the horizontal net order: P0..P3 (top edge), Q0..Q3
// (bottom edge).
struct Net {
    bez::Vec2 p[8];
};

struct Preset {
    const char *name;
    bool bends;  // curved edges: no bilinear form
    // The net in box units (0..1 across and down) for a box w x h.
    Net (*make)(double w, double h);
};

Net Plain() {
    Net n;
    for (int i = 0; i < 4; ++i) {
        n.p[i] = {i / 3.0, 0.0};
        n.p[4 + i] = {i / 3.0, 1.0};
    }
    return n;
}

const Preset kPresets[] = {
    // Both edges rise in the middle by about 0.4 of the height.
    {"arch", true,
     [](double, double) {
         Net n = Plain();
         for (int i : {1, 2, 5, 6}) n.p[i].y -= 0.55;
         return n;
     }},
    // The top rises and the bottom sinks by about 0.3 of the height each.
    {"bulge", true,
     [](double, double) {
         Net n = Plain();
         n.p[1].y = n.p[2].y = -0.4;
         n.p[5].y = n.p[6].y = 1.4;
         return n;
     }},
    // One S-shaped swing, up then down, on both edges.
    {"wave", true,
     [](double, double) {
         Net n = Plain();
         for (int i : {1, 5}) n.p[i].y -= 0.6;
         for (int i : {2, 6}) n.p[i].y += 0.6;
         return n;
     }},
    // The top edge shifted right by 0.4 of the height: a lean that does not
    // depend on how long the figure is.
    {"slant", false,
     [](double w, double h) {
         Net n = Plain();
         const double shift = w > 0 ? 0.4 * h / w : 0.0;
         for (int i = 0; i < 4; ++i) n.p[i].x += shift;
         return n;
     }},
    // The right side shrunk to 0.6 of the height; the curve forms also
    // crowd the far end together (handles off the thirds).
    {"perspective", false,
     [](double, double) {
         Net n = Plain();
         const double spread[4] = {0.0, 0.42, 0.76, 1.0};
         for (int i = 0; i < 4; ++i) {
             const double t = spread[i];
             n.p[i] = {t, 0.2 * t};
             n.p[4 + i] = {t, 1.0 - 0.2 * t};
         }
         return n;
     }},
};

const Preset *FindPreset(const std::string &name) {
    for (const Preset &p : kPresets)
        if (name == p.name) return &p;
    return nullptr;
}

std::vector<std::string> PresetNames() {
    std::vector<std::string> names;
    for (const Preset &p : kPresets) names.emplace_back(p.name);
    return names;
}

enum class Kind { kBilinear, kHorizontal, kVertical };

Kind KindOf(const std::string &s) {
    if (s == "bilinear") return Kind::kBilinear;
    return s == "bibezier-v" ? Kind::kVertical : Kind::kHorizontal;
}

// Box in image pixels: left, top, right, bottom.
struct Box {
    double l, t, r, b;
    double w() const { return r - l; }
    double h() const { return b - t; }
};

// The preset for the kind, in image pixels. For V the preset is made for
// the box turned a quarter turn and turned back, which also puts its points
// in the V order (P the left edge, Q the right).
Net PresetNet(const Preset &preset, Kind kind, const Box &box, double amount) {
    const bool turn = kind == Kind::kVertical;
    const double w = turn ? box.h() : box.w(), h = turn ? box.w() : box.h();
    const Net plain = Plain(), shaped = preset.make(w, h);
    Net out;
    for (int i = 0; i < 8; ++i) {
        const double u = plain.p[i].x + amount * (shaped.p[i].x - plain.p[i].x);
        const double v = plain.p[i].y + amount * (shaped.p[i].y - plain.p[i].y);
        out.p[i] = turn ? bez::Vec2{box.l + v * box.w(), box.t + u * box.h()}
                        : bez::Vec2{box.l + u * box.w(), box.t + v * box.h()};
    }
    return out;
}

std::vector<double> ParseNumbers(const std::string &s) {
    std::vector<double> values;
    const char *p = s.c_str();
    for (;;) {
        while (*p == ' ' || *p == ',') ++p;
        if (!*p) break;
        char *end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || !std::isfinite(v)) Usage("--net", "expected numbers separated by commas, found \"" +
                                                               std::string(p).substr(0, 12) + "\"");
        values.push_back(v);
        p = end;
    }
    return values;
}

// An explicit net: 8 numbers (corners TL, TR, BL, BR) for bilinear, 16
// (P0..P3, Q0..Q3 in the kind's own order) for the bi-Bezier kinds; box
// units unless absolute.
Net ExplicitNet(const std::string &text, Kind kind, const Box &box, bool absolute) {
    const std::vector<double> v = ParseNumbers(text);
    const size_t want = kind == Kind::kBilinear ? 8 : 16;
    if (v.size() != want)
        Usage("--net", std::string(kind == Kind::kBilinear ? "bilinear takes 8 numbers (x,y of 4 corners)"
                                                           : "a bi-Bezier net takes 16 numbers (x,y of 8 points)") +
                           ", got " + std::to_string(v.size()));
    auto at = [&](size_t i) {
        const double x = v[2 * i], y = v[2 * i + 1];
        return absolute ? bez::Vec2{x, y} : bez::Vec2{box.l + x * box.w(), box.t + y * box.h()};
    };
    Net n{};
    if (kind == Kind::kBilinear) {
        // Stored where the horizontal net keeps its corners.
        n.p[0] = at(0);
        n.p[3] = at(1);
        n.p[4] = at(2);
        n.p[7] = at(3);
    } else {
        for (size_t i = 0; i < 8; ++i) n.p[i] = at(i);
    }
    return n;
}

bool InRange(const Net &n, Kind kind) {
    for (int i = 0; i < 8; ++i) {
        if (kind == Kind::kBilinear && i != 0 && i != 3 && i != 4 && i != 7) continue;
        if (!(std::fabs(n.p[i].x) < 32767.0 && std::fabs(n.p[i].y) < 32767.0)) return false;
    }
    return true;
}

EnvelopePoint Fx(bez::Vec2 p) { return EnvelopePoint{DbToFix(p.x), DbToFix(p.y)}; }

EnvelopeNet ToNet(const Net &n) {
    EnvelopeNet e;
    for (int i = 0; i < 4; ++i) {
        e.p[i] = Fx(n.p[i]);
        e.q[i] = Fx(n.p[4 + i]);
    }
    return e;
}

EnvelopeCorners ToCorners(const Net &n) { return EnvelopeCorners{{Fx(n.p[0]), Fx(n.p[3]), Fx(n.p[4]), Fx(n.p[7])}}; }

// The net printed in box units, in the form --net reads.
std::string NetText(const Net &n, Kind kind, const Box &box) {
    std::string s;
    for (int i = 0; i < 8; ++i) {
        if (kind == Kind::kBilinear && i != 0 && i != 3 && i != 4 && i != 7) continue;
        char buf[48];
        std::snprintf(buf, sizeof buf, "%s%.4g,%.4g", s.empty() ? "" : ",",
                      box.w() != 0 ? (n.p[i].x - box.l) / box.w() : 0.0,
                      box.h() != 0 ? (n.p[i].y - box.t) / box.h() : 0.0);
        s += buf;
    }
    return s;
}

// ---- Rendering ---------------------------------------------------------------

// Coverage image of every mask KyPathToBuf makes for `path`, merged into
// `image` (grown as needed); each pixel keeps the larger value, scaled by
// `level`/255.
struct Image {
    Y32Rect rect{0, 0, 0, 0};
    std::vector<uint8_t> pixels;
    uint32_t width() const { return static_cast<uint32_t>(rect.right - rect.left); }
    uint32_t height() const { return static_cast<uint32_t>(rect.bottom - rect.top); }
};

void Grow(Image *img, const Y32Rect &r) {
    if (img->pixels.empty()) {
        img->rect = r;
        img->pixels.assign(static_cast<size_t>(img->width()) * img->height(), 0);
        return;
    }
    Y32Rect all{std::min(img->rect.left, r.left), std::min(img->rect.top, r.top), std::max(img->rect.right, r.right),
                std::max(img->rect.bottom, r.bottom)};
    if (all.left == img->rect.left && all.top == img->rect.top && all.right == img->rect.right &&
        all.bottom == img->rect.bottom)
        return;
    Image grown;
    grown.rect = all;
    grown.pixels.assign(static_cast<size_t>(grown.width()) * grown.height(), 0);
    for (uint32_t y = 0; y < img->height(); ++y)
        std::memcpy(&grown.pixels[(static_cast<size_t>(img->rect.top - all.top) + y) * grown.width() +
                                  static_cast<size_t>(img->rect.left - all.left)],
                    &img->pixels[static_cast<size_t>(y) * img->width()], img->width());
    *img = std::move(grown);
}

void Render(KyPath *path, const EnvelopeOptions &o, int32_t mode, uint8_t level, Image *img) {
    const int32_t antialias = o.antialias == "off" ? 0 : (o.antialias == "4" ? 999 : 1);
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    const int32_t n =
        KyPathToBuf(path, 0, o.rule == "evenodd", antialias, mode, DbToFix(o.scale), &rects, &bufs, o.margin);
    if (n <= 0)
        throw ToolError("the library produced no mask (out of memory or a size no buffer can hold)");
    for (int32_t i = 0; i < n; ++i) Grow(img, rects[i]);
    for (int32_t i = 0; i < n; ++i) {
        uint32_t w = 0, h = 0;
        KyPathBufGetWHU(bufs[i], &w, &h, nullptr);
        PathBufLock lock;
        KyPathBufLock1(bufs[i], 0, 0, 0, &lock);
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t *row = static_cast<const uint8_t *>(KyPathBufLineRead(&lock, static_cast<int32_t>(y)));
            uint8_t *dst = &img->pixels[(static_cast<size_t>(rects[i].top - img->rect.top) + y) * img->width() +
                                        static_cast<size_t>(rects[i].left - img->rect.left)];
            for (uint32_t x = 0; x < w; ++x)
                dst[x] = std::max(dst[x], static_cast<uint8_t>((row[x] * level + 127) / 255));
        }
        KyPathBufUnlock1(&lock);
        KyPathBufFree(bufs[i]);
    }
    GlobalFree(rects);
    GlobalFree(bufs);
}

void RunEnvelope(const EnvelopeOptions &o) {
    const Kind kind = KindOf(o.kind);
    const Preset *preset = nullptr;
    if (o.preset.empty() == o.net.empty()) Usage("envelope", "give exactly one of --preset and --net");
    if (!o.preset.empty()) {
        preset = FindPreset(o.preset);
        if (preset->bends && kind == Kind::kBilinear)
            Usage("--preset", o.preset + " bends the edges, which a bilinear envelope keeps straight "
                                         "(use --kind bibezier or bibezier-v)");
    }
    KyPathInit();
    PathChain figure(ReadFigure(o));
    PathChain work(Subdivided(figure.get(), o.subdivide));
    figure.Reset(nullptr);
    if (!work.get()) throw ToolError("out of memory while splitting the figure");

    double d[4];
    KyPathGetDoubleRectNoMargin(work.get(), d);
    const Box box{d[0], d[1], d[2], d[3]};
    const Net net = preset ? PresetNet(*preset, kind, box, o.amount) : ExplicitNet(o.net, kind, box, o.absolute);
    if (!InRange(net, kind)) Usage("--net", "the envelope reaches outside the coordinate range (+-32767 pixels)");

    const EnvelopeNet fnet = ToNet(net);
    const EnvelopeCorners corners = ToCorners(net);
    int32_t ok = 0;
    switch (kind) {
        case Kind::kBilinear: ok = KyPathBiLinear(work.get(), &corners); break;
        case Kind::kHorizontal: ok = KyPathBiCubic(work.get(), &fnet, 0); break;
        case Kind::kVertical: ok = KyPathBiCubicV(work.get(), &fnet, 0); break;
    }
    if (!ok) throw ToolError("the library did not map the figure");

    Image img;
    Render(work.get(), o, 0, 255, &img);
    int32_t wrap = 0;
    if (o.show_net) {
        switch (kind) {
            case Kind::kBilinear: ok = KyPathAddBiLinearEnvelope(work.get(), &corners); break;
            case Kind::kHorizontal: ok = KyPathAddBiBezierEnvelope(work.get(), &fnet); break;
            case Kind::kVertical: ok = KyPathAddBiBezierEnvelopeV(work.get(), &fnet); break;
        }
        if (!ok) throw ToolError("the library did not attach the envelope outline");
        KyPath *outline = work.get();
        while (outline->next) outline = outline->next;
        wrap = KyPathGetEnvelopeWrapType(work.get());
        Render(outline, o, 1, 128, &img);
    }

    std::string error;
    if (!WritePngGray(o.output, img.pixels.data(), img.width(), img.height(), img.width(), &error))
        throw ToolError("" + error);
    if (!o.quiet) {
        std::printf("%s: %ux%u mask, image rectangle (%d, %d)-(%d, %d)\n", o.output.c_str(), img.width(),
                    img.height(), img.rect.left, img.rect.top, img.rect.right, img.rect.bottom);
        std::printf("%s envelope on the box (%.2f, %.2f)-(%.2f, %.2f), net in box units: %s\n", o.kind.c_str(), box.l,
                    box.t, box.r, box.b, NetText(net, kind, box).c_str());
        if (o.show_net) std::printf("outline attached, envelope type %d\n", wrap);
    }
}

}  // namespace

void AddEnvelopeCommand(CLI::App &app) {
    auto opt = std::make_shared<EnvelopeOptions>();
    CLI::App *cmd = app.add_subcommand("envelope", "Bend text, a shape or a path with an envelope and render it to PNG");
    cmd->footer(
        "Presets are horizontal nets on the figure's box; bibezier-v turns them a quarter turn, bilinear\n"
        "takes their corners (slant and perspective only). --net numbers are box units (0,0 top-left,\n"
        "1,1 bottom-right) unless --absolute: 4 corners TL,TR,BL,BR for bilinear; 8 points P0..P3,Q0..Q3\n"
        "for the bi-Bezier kinds (horizontal: top edge then bottom edge, left to right; V: left edge then\n"
        "right edge, top to bottom).\n"
        "Examples:\n"
        "  kypath envelope --text \"Wave\" --size 96 --preset wave -o wave.png\n"
        "  kypath envelope --shape rectangle --preset arch --kind bibezier-v --show-net -o side.png\n"
        "  kypath envelope --path \"M0 0 h100 v40 h-100 z\" --kind bilinear --net 0,0,1,.2,0,1,1,.8 -o p.png");
    AddFigureOptions(cmd, &opt->in, PathArgument::kOption, 96);
    auto shape_opt = cmd->add_option("--shape", opt->shape, "the figure: a primitive shape")
                     ->check(CLI::IsMember({"ellipse", "rectangle", "rounded", "diamond", "segmented"}));
    cmd->add_option("--shape-size", opt->shape_size, "the shape's size, WIDTHxHEIGHT pixels")
        ->capture_default_str()
        ->needs(shape_opt);
    cmd->add_option("--kind", opt->kind, "the envelope")
        ->check(CLI::IsMember({"bilinear", "bibezier", "bibezier-v"}))
        ->capture_default_str();
    auto preset_opt = cmd->add_option("--preset", opt->preset, "a named envelope")->check(CLI::IsMember(PresetNames()));
    auto net_opt = cmd->add_option("--net", opt->net, "an explicit net: comma-separated x,y values (see below)");
    preset_opt->excludes(net_opt);
    cmd->add_flag("--absolute", opt->absolute, "--net values are image pixels, not box units")->needs(net_opt);
    cmd->add_option("--amount", opt->amount, "strength of the preset: 0 none, 1 as named, negative the other way")
        ->check(CLI::Range(-3.0, 3.0))
        ->capture_default_str()
        ->needs(preset_opt);
    cmd->add_option("--subdivide", opt->subdivide,
                    "split every segment into this many curve pieces first so that straight edges can bend (1: "
                    "keep the segments)")
        ->check(CLI::Range(1, 64))
        ->capture_default_str();
    cmd->add_option("--rule", opt->rule, "fill rule")->check(CLI::IsMember({"nonzero", "evenodd"}))
        ->capture_default_str();
    cmd->add_option("--antialias", opt->antialias, "on: 16 sub-scanlines, 4: four, off: hard 0/255 mask")
        ->check(CLI::IsMember({"on", "off", "4"}))
        ->capture_default_str();
    cmd->add_option("--scale", opt->scale, "factor applied to every coordinate when rendering")
        ->check(CLI::Range(1.0 / 65536, 32767.0))
        ->capture_default_str();
    cmd->add_option("--margin", opt->margin, "extra pixels around the mask on every side")
        ->check(CLI::Range(0, 1000))
        ->capture_default_str();
    cmd->add_flag("--show-net", opt->show_net, "attach the envelope outline and draw it in grey");
    cmd->add_option("-o,--output", opt->output, "PNG file to write")->capture_default_str();
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunEnvelope(*opt); });
}

}  // namespace kypath
