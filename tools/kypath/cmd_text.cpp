// tools/kypath/cmd_text.cpp - `kypath text`: text to a mask and to SVG outlines.
//
//   kypath text "Hello" --font "DejaVu Serif" --size 96 -o hello.png
//   kypath text "Hello" --size 96 --svg hello.svg
//
// The text is read as UTF-8 unless --charset says otherwise; a line feed
// in the argument starts a new line. The mask is the library's text mask
// (drawn enlarged and filtered back when the line pitch is below 60
// pixels); the SVG file holds the outlines as one path whose data can be
// taken into any other program.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "tools/kypath/commands.h"
#include "tools/kypath/png_io.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct TextOptions {
    std::string text;
    std::string font = "DejaVu Sans";
    int size = 48;
    std::string output;
    std::string svg;
    std::string charset = "utf8";
    std::string align = "near";
    std::string antialias = "on";
    bool bold = false, italic = false, underline = false, strikeout = false, vertical = false;
    bool quiet = false;
};

const std::map<std::string, int> &Charsets() {
    static const std::map<std::string, int> m = {
        {"utf8", Y32_UTF8_CHARSET}, {"ansi", ANSI_CHARSET},       {"symbol", SYMBOL_CHARSET},
        {"shiftjis", SHIFTJIS_CHARSET}, {"hangul", HANGUL_CHARSET}, {"gb2312", GB2312_CHARSET},
        {"big5", CHINESEBIG5_CHARSET}, {"greek", GREEK_CHARSET},   {"turkish", TURKISH_CHARSET},
        {"hebrew", HEBREW_CHARSET},   {"arabic", ARABIC_CHARSET}, {"baltic", BALTIC_CHARSET},
        {"russian", RUSSIAN_CHARSET}, {"thai", THAI_CHARSET},     {"easteurope", EASTEUROPE_CHARSET},
    };
    return m;
}

// A 16.16 value as the shortest decimal that keeps four places.
std::string Num(FIXED v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", FixToDb(v));
    std::string s(buf);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

// SVG path data of every record along next: M, L, C and Z.
std::string PathData(KyPath *head) {
    std::string d;
    for (KyPath *r = head; r; r = r->next) {
        const PathPoint *p = KyPathPoints(r);
        const int32_t n = r->count;
        for (int32_t i = 0; i < n;) {
            const uint16_t kind = p[i].type & 0x0E;
            if (!d.empty()) d += ' ';
            if (kind == PT_BEZIERTO && i + 2 < n) {
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

void WriteSvg(const std::string &file, KyPath *head) {
    Y32Rect box{};
    KyPathGetRealRect(head, DbToFix(1.0), &box);
    const int32_t w = box.right - box.left + 2, h = box.bottom - box.top + 2;
    FILE *f = std::fopen(file.c_str(), "w");
    if (!f) throw std::runtime_error("text: cannot write " + file);
    std::fprintf(f,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"%d %d %d %d\">\n"
                 "  <path fill-rule=\"nonzero\" d=\"%s\"/>\n</svg>\n",
                 w, h, box.left - 1, box.top - 1, w, h, PathData(head).c_str());
    if (std::fclose(f) != 0) throw std::runtime_error("text: cannot write " + file);
}

void WriteMask(const std::string &file, PathBuf mask, const Y32Rect &rect, bool quiet) {
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(mask, &w, &h, &depth);
    std::string error;
    if (!WritePngGray(file, static_cast<const uint8_t *>(mask), w, h, w, &error))
        throw std::runtime_error("text: " + error);
    if (!quiet)
        std::printf("%s: %ux%u mask, image rectangle (%d, %d)-(%d, %d)\n", file.c_str(), w, h, rect.left, rect.top,
                    rect.right, rect.bottom);
}

void RunText(const TextOptions &o) {
    if (o.font.size() >= LF_FACESIZE) throw CLI::ValidationError("--font", "face names have at most 31 bytes");
    // Lines are separated by CR LF; a line feed in the argument is one.
    std::string text;
    for (char c : o.text) {
        if (c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
        text += c;
    }

    LOGFONTA lf{};
    lf.lfHeight = -o.size;
    lf.lfWeight = o.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = o.italic ? 1 : 0;
    lf.lfCharSet = static_cast<uint8_t>(Charsets().at(o.charset));
    lf.lfOutPrecision = OUT_TT_PRECIS;
    std::strncpy(lf.lfFaceName, o.font.c_str(), LF_FACESIZE - 1);
    HFONTDC dc = y32CreateFontDC();
    HFONT font = y32CreateFontIndirect(&lf);
    if (!dc || !font) {
        if (font) y32DeleteFont(font);
        if (dc) y32DeleteFontDC(dc);
        throw std::runtime_error("text: no font could be made");
    }
    y32SelectFont(dc, font);
    if (!o.quiet) {
        char file[512];
        y32GetFontFile(font, file, sizeof file);
        std::printf("font: %s\n", file);
    }

    TextParams params{};
    params.underline = o.underline;
    params.strikeOut = o.strikeout;
    params.vertical = o.vertical;
    params.antialias = o.antialias == "on" ? 1 : 0;
    params.align = o.align == "far" ? KYTEXT_ALIGN_FAR : (o.align == "centre" ? KYTEXT_ALIGN_CENTRE : 0);
    const bool want_mask = !o.output.empty() || o.svg.empty();
    if (!want_mask) params.output = KYTEXT_PATH_ONLY;
    KyPath *path = nullptr;
    Y32Rect rect{};
    PathBuf mask = KyPathCreateText(dc, text.data(), &params, &path, &rect);
    y32SelectFont(dc, nullptr);
    y32DeleteFont(font);
    y32DeleteFontDC(dc);

    struct Cleanup {
        KyPath *path;
        PathBuf mask;
        ~Cleanup() {
            if (mask) KyPathBufFree(mask);
            if (path) KyPathDeletePtr(path, 0);
        }
    } cleanup{path, mask};
    if (!path) throw std::runtime_error("text: the text has no outlines (empty, only spaces, or out of memory)");
    if (want_mask) {
        if (!mask) throw std::runtime_error("text: the library produced no mask");
        WriteMask(o.output.empty() ? "text.png" : o.output, mask, rect, o.quiet);
    }
    if (!o.svg.empty()) {
        WriteSvg(o.svg, path);
        if (!o.quiet) std::printf("%s: outlines of %d subpaths\n", o.svg.c_str(), KyPathGetSubpathsNumber(path));
    }
}

}  // namespace

void AddTextCommand(CLI::App &app) {
    auto opt = std::make_shared<TextOptions>();
    CLI::App *cmd = app.add_subcommand("text", "Turn text into outlines: a PNG mask and/or SVG path data");
    cmd->footer(
        "Examples:\n"
        "  kypath text \"Hello\" --font \"DejaVu Serif\" --size 96 -o hello.png\n"
        "  kypath text \"Hello\" --size 96 --svg hello.svg\n"
        "  kypath text $'two\\nlines' --align centre --underline -o lines.png\n"
        "Without -o or --svg the mask goes to text.png.");
    cmd->add_option("text", opt->text, "the text; a line feed starts a new line")->required();
    cmd->add_option("--font", opt->font, "face name (DejaVu Sans when it is not installed)")->capture_default_str();
    cmd->add_option("--size", opt->size, "em size in pixels")->check(CLI::Range(1, 16384))->capture_default_str();
    cmd->add_option("-o,--output", opt->output, "PNG file for the mask");
    cmd->add_option("--svg", opt->svg, "SVG file for the outlines");
    std::vector<std::string> names;
    for (const auto &c : Charsets()) names.push_back(c.first);
    cmd->add_option("--charset", opt->charset, "how the text's bytes are read")
        ->check(CLI::IsMember(names))
        ->capture_default_str();
    cmd->add_option("--align", opt->align, "line alignment")
        ->check(CLI::IsMember({"near", "centre", "far"}))
        ->capture_default_str();
    cmd->add_option("--antialias", opt->antialias, "graded (on) or hard (off) mask")
        ->check(CLI::IsMember({"on", "off"}))
        ->capture_default_str();
    cmd->add_flag("--bold", opt->bold, "bold face");
    cmd->add_flag("--italic", opt->italic, "italic face");
    cmd->add_flag("--underline", opt->underline, "underline each line");
    cmd->add_flag("--strikeout", opt->strikeout, "strike each line out");
    cmd->add_flag("--vertical", opt->vertical, "vertical text: glyphs down, lines right to left");
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunText(*opt); });
}

}  // namespace kypath
