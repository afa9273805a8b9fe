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
#include "tools/kypath/figure_io.h"
#include "tools/kypath/png_io.h"
#include "y32Path.h"

namespace kypath {

namespace {

struct TextOptions {
    std::string text;
    FigureInput font;
    FigureOutput out;
    std::string charset = "utf8";
    std::string align = "near";
    std::string antialias = "on";
    bool underline = false, strikeout = false, vertical = false;
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

void WriteMask(const std::string &file, PathBuf mask, const Y32Rect &rect, bool quiet) {
    uint32_t w = 0, h = 0;
    int32_t depth = 0;
    KyPathBufGetWHU(mask, &w, &h, &depth);
    std::string error;
    if (!WritePngGray(file, static_cast<const uint8_t *>(mask), w, h, w, &error)) throw ToolError(error);
    if (!quiet)
        std::printf("%s: %ux%u mask, image rectangle (%d, %d)-(%d, %d)\n", file.c_str(), w, h, rect.left, rect.top,
                    rect.right, rect.bottom);
}

void RunText(const TextOptions &o) {
    if (o.text.empty()) throw ToolError("the text is empty");
    if (o.font.font.empty() || o.font.font.size() >= LF_FACESIZE)
        throw ToolError("--font: a face name has 1 to " + std::to_string(LF_FACESIZE - 1) + " bytes");
    if (!FaceInstalled(o.font.font)) throw ToolError("--font: no installed font is named \"" + o.font.font + "\"");
    // Lines are separated by CR LF; a line feed in the argument is one.
    std::string text;
    for (char c : o.text) {
        if (c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
        text += c;
    }

    LOGFONTA lf{};
    lf.lfHeight = -o.font.size;
    lf.lfWeight = o.font.style.compare(0, 4, "bold") == 0 ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = o.font.style.find("italic") != std::string::npos ? 1 : 0;
    lf.lfCharSet = static_cast<uint8_t>(Charsets().at(o.charset));
    lf.lfOutPrecision = OUT_TT_PRECIS;
    std::strncpy(lf.lfFaceName, o.font.font.c_str(), LF_FACESIZE - 1);
    HFONTDC dc = y32CreateFontDC();
    HFONT font = y32CreateFontIndirect(&lf);
    if (!dc || !font) {
        if (font) y32DeleteFont(font);
        if (dc) y32DeleteFontDC(dc);
        throw ToolError("no font could be made (out of memory)");
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
    const bool want_mask = !o.out.png.empty() || (o.out.svg.empty() && o.out.flat.empty());
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
    if (!path) throw ToolError("the text has no outlines (only spaces, or out of memory)");
    if (want_mask) {
        if (!mask) throw ToolError("the library produced no mask");
        WriteMask(o.out.png.empty() ? "text.png" : o.out.png, mask, rect, o.quiet);
    }
    WriteVectorOutputs(o.out, path);
    if (!o.quiet && !(o.out.svg.empty() && o.out.flat.empty()))
        std::printf("%s%s%s: outlines of %d subpaths\n", o.out.svg.c_str(),
                    o.out.svg.empty() || o.out.flat.empty() ? "" : ", ", o.out.flat.c_str(),
                    KyPathGetSubpathsNumber(path));
}

}  // namespace

void AddTextCommand(CLI::App &app) {
    auto opt = std::make_shared<TextOptions>();
    CLI::App *cmd = app.add_subcommand("text", "Turn text into outlines: a PNG mask and/or SVG path data");
    cmd->footer(
        "Without -o, --svg or --flat the mask goes to text.png.\n"
        "Examples:\n"
        "  kypath text \"Hello\" --font \"DejaVu Serif\" --size 96 -o hello.png\n"
        "  kypath text \"Hello\" --size 96 --svg hello.svg\n"
        "  kypath text $'two\\nlines' --align centre --underline -o lines.png\n"
        "  kypath text \"Hello\" --style bold-italic --flat hello.flat && kypath mask --in hello.flat -o h.png");
    cmd->add_option("text", opt->text, "the text; a line feed starts a new line")->required();
    AddFontOptions(cmd, &opt->font, 48);
    AddFigureOutputs(cmd, &opt->out, "");
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
    cmd->add_flag("--underline", opt->underline, "underline each line");
    cmd->add_flag("--strikeout", opt->strikeout, "strike each line out");
    cmd->add_flag("--vertical", opt->vertical, "vertical text: glyphs down, lines right to left");
    cmd->add_flag("-q,--quiet", opt->quiet, "print nothing on success");
    cmd->callback([opt] { RunText(*opt); });
}

}  // namespace kypath
