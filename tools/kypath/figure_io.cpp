// tools/kypath/figure_io.cpp - figure sources, vector outputs, long builds.
#include "tools/kypath/figure_io.h"

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/kypath/svg_path.h"
#include "tools/kypath/text_figure.h"

namespace kypath {

namespace {

const char *const kPathHelp =
    "SVG path data (M L H V C S Q Z, absolute or relative), or @file / a file holding path data, an SVG "
    "document or a flat path block";

}  // namespace

void AddFontOptions(CLI::App *cmd, FigureInput *in, int default_size) {
    in->size = default_size;
    cmd->add_option("--font", in->font, "face name of an installed font")->capture_default_str();
    cmd->add_option("--size", in->size, "text em size in pixels")->check(CLI::Range(1, 4096))->capture_default_str();
    cmd->add_option("--style", in->style, "text style")
        ->check(CLI::IsMember({"regular", "bold", "italic", "bold-italic"}))
        ->capture_default_str();
}

void AddFigureOptions(CLI::App *cmd, FigureInput *in, PathArgument where, int default_size) {
    if (where == PathArgument::kPositional) cmd->add_option("path", in->path, kPathHelp);
    if (where == PathArgument::kOption) {
        cmd->add_option("--path", in->path, std::string("the figure: ") + kPathHelp);
        in->path_name = "--path";
    }
    cmd->add_option("--text", in->text, "the figure as text set in --font");
    AddFontOptions(cmd, in, default_size);
    cmd->add_option("--in", in->in, "the figure from a flat path file (as --flat writes it)");
}

bool FaceInstalled(const std::string &face) {
    if (!FcInit()) return false;
    FcPattern *pat = FcPatternCreate();
    FcObjectSet *set = FcObjectSetBuild(FC_FAMILY, nullptr);
    bool found = false;
    if (pat && set) {
        FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8 *>(face.c_str()));
        FcFontSet *fonts = FcFontList(nullptr, pat, set);
        found = fonts && fonts->nfont > 0;
        if (fonts) FcFontSetDestroy(fonts);
    }
    if (set) FcObjectSetDestroy(set);
    if (pat) FcPatternDestroy(pat);
    return found;
}

KyPath *TextOutlines(const std::string &text, const FigureInput &in) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }))
        throw ToolError("--text: the text has nothing to draw");
    if (in.font.empty() || in.font.size() >= LF_FACESIZE)
        throw ToolError("--font: a face name has 1 to " + std::to_string(LF_FACESIZE - 1) + " bytes");
    // The library quietly falls back to another face; a command line asks
    // for one by name, so a face that is not there is the user's mistake.
    if (!FaceInstalled(in.font)) throw ToolError("--font: no installed font is named \"" + in.font + "\"");
    TextFigureSpec spec;
    spec.text = text;
    spec.face = in.font;
    spec.size = in.size;
    spec.bold = in.style == "bold" || in.style == "bold-italic";
    spec.italic = in.style == "italic" || in.style == "bold-italic";
    spec.crlf_lines = in.crlf_lines;
    KyPath *path = MakeTextFigure(spec);
    if (!path) throw ToolError("--text: the text gave no outlines (out of memory, or no glyphs in that font)");
    return path;
}

KyPath *LoadFigure(const FigureInput &in) {
    const int given = !in.path.empty() + !in.text.empty() + !in.in.empty();
    if (given != 1) throw ToolError("give exactly one figure: path data, --text or --in");
    if (!in.text.empty()) return TextOutlines(in.text, in);
    if (!in.in.empty()) return ReadFlatFile(in.in);
    std::string error;
    KyPath *path = LoadPathArgument(in.path, &error);
    if (!path) throw ToolError(in.path_name + ": " + error);
    return path;
}

void AddFigureOutputs(CLI::App *cmd, FigureOutput *out, const std::string &default_png) {
    out->png = default_png;
    cmd->add_option("-o,--output", out->png, "PNG file to write")->capture_default_str();
    cmd->add_option("--svg", out->svg, "also write the figure's outlines as an SVG file");
    cmd->add_option("--flat", out->flat, "also write the figure in the library's flat form (read back with --in)");
}

namespace {

// A 16.16 value as its exact decimal: the fraction k / 65536 has at most
// sixteen decimals (k x 5^16 / 10^16), so the parser gets the same value
// back however it rounds.
std::string Num(FIXED v) {
    const int64_t wide = v;
    const uint64_t mag = static_cast<uint64_t>(wide < 0 ? -wide : wide);
    std::string s = (wide < 0 ? "-" : "") + std::to_string(mag >> 16);
    uint64_t frac = (mag & 0xFFFF) * 152587890625ULL;  // 5^16
    if (frac) {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%016llu", static_cast<unsigned long long>(frac));
        std::string f(digits);
        while (f.back() == '0') f.pop_back();
        s += "." + f;
    }
    return s;
}

}  // namespace

std::string SvgPathData(KyPath *head) {
    std::string d;
    for (KyPath *r = head; r; r = r->next) {
        const PathPoint *p = KyPathPoints(r);
        const int32_t n = r->count;
        for (int32_t i = 0; i < n;) {
            const uint16_t kind = p[i].type & 0x0E;
            if (!d.empty()) d += ' ';
            if (i > 0 && kind == PT_BEZIERTO && i + 2 < n) {
                d += "C" + Num(p[i].x) + " " + Num(p[i].y) + " " + Num(p[i + 1].x) + " " + Num(p[i + 1].y) + " " +
                     Num(p[i + 2].x) + " " + Num(p[i + 2].y);
                i += 3;
            } else {
                d += (kind == PT_MOVETO || i == 0 ? "M" : "L") + Num(p[i].x) + " " + Num(p[i].y);
                i += 1;
            }
        }
        if (n > 0 && (p[n - 1].type & PT_CLOSEFIGURE)) d += " Z";
    }
    return d;
}

namespace {

// Writes the whole of `bytes` or nothing: a failed write leaves no file.
void WriteFileOrFail(const std::string &file, const void *bytes, size_t size) {
    FILE *f = std::fopen(file.c_str(), "wb");
    if (!f) throw ToolError("cannot write " + file + ": " + std::strerror(errno));
    const bool ok = std::fwrite(bytes, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok) {
        std::remove(file.c_str());
        throw ToolError("cannot write " + file);
    }
}

}  // namespace

void WriteSvgFile(const std::string &file, KyPath *head) {
    Y32Rect box{};
    KyPathGetRealRect(head, DbToFix(1.0), &box);
    const int32_t w = box.right - box.left + 2, h = box.bottom - box.top + 2;
    char top[160];
    std::snprintf(top, sizeof top,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"%d %d %d %d\">\n", w,
                  h, box.left - 1, box.top - 1, w, h);
    const std::string doc =
        top + std::string("  <path fill-rule=\"nonzero\" d=\"") + SvgPathData(head) + "\"/>\n</svg>\n";
    WriteFileOrFail(file, doc.data(), doc.size());
}

void WriteFlatFile(const std::string &file, KyPath *head) {
    uint32_t size = 0;
    HGLOBAL block = nullptr;
    if (!KyPathFlatten(head, &size, &block) || !block) throw ToolError("the library could not flatten the figure");
    struct Free {
        HGLOBAL b;
        ~Free() { GlobalFree(b); }
    } owner{block};
    WriteFileOrFail(file, block, size);
}

KyPath *ReadFlatFile(const std::string &file) {
    std::ifstream f(file, std::ios::binary);
    if (!f) throw ToolError("--in: cannot read " + file);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (f.bad()) throw ToolError("--in: cannot read " + file);
    if (bytes.empty()) throw ToolError("--in: " + file + " is empty, not a flat path file");
    KyPathInit();
    HGLOBAL block = GlobalAlloc(GPTR, bytes.size());
    if (!block) throw ToolError("out of memory reading " + file);
    std::memcpy(block, bytes.data(), bytes.size());
    KyPath *path = nullptr;
    const int32_t ok = KyPathUnFlatten(&block, &path);
    GlobalFree(block);
    if (!ok) throw ToolError("--in: " + file + " is not a flat path file");
    if (!path) throw ToolError("--in: " + file + " holds no paths");
    return path;
}

void WriteVectorOutputs(const FigureOutput &out, KyPath *head) {
    // A command that fails writes nothing: what was written before the
    // failing file goes again.
    try {
        if (!out.svg.empty()) WriteSvgFile(out.svg, head);
        if (!out.flat.empty()) WriteFlatFile(out.flat, head);
    } catch (const ToolError &) {
        if (!out.png.empty()) std::remove(out.png.c_str());
        if (!out.svg.empty()) std::remove(out.svg.c_str());
        throw;
    }
}

// ---- Long builds -------------------------------------------------------------

namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

int32_t EscHook(void *) { return g_interrupted ? 1 : 0; }

}  // namespace

bool ShowProgress(bool quiet) { return !quiet && isatty(STDERR_FILENO); }

LongBuild::LongBuild(const std::string &label, bool show) : label_(label), show_(show) {
    g_interrupted = 0;
    progress_.callback = &LongBuild::Callback;
    progress_.userData = reinterpret_cast<intptr_t>(this);
    struct sigaction act {};
    act.sa_handler = OnInterrupt;
    sigemptyset(&act.sa_mask);
    sigaction(SIGINT, &act, &old_);
    y32SetEscPressedHook(EscHook, nullptr);
}

LongBuild::~LongBuild() {
    y32SetEscPressedHook(nullptr, nullptr);
    sigaction(SIGINT, &old_, nullptr);
    if (show_ && shown_ >= 0) std::fputc('\n', stderr);
}

void LongBuild::CheckInterrupted() {
    if (g_interrupted) throw Interrupted("interrupted (Ctrl-C); nothing written");
}

int32_t LongBuild::Callback(int32_t code, int32_t percent, int32_t, intptr_t user) {
    LongBuild *self = reinterpret_cast<LongBuild *>(user);
    if (self->show_ && percent != self->shown_ && code == RELIEF_PROGRESS) {
        self->shown_ = percent;
        std::fprintf(stderr, "\r%s %3d%%", self->label_.c_str(), percent);
        std::fflush(stderr);
    }
    return g_interrupted ? 0 : 1;
}

}  // namespace kypath
