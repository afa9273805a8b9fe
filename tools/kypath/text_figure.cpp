#include "tools/kypath/text_figure.h"

#include <cstring>

namespace kypath {

KyPath *MakeTextFigure(const TextFigureSpec &spec) {
    std::string text;  // the library takes a writable string
    for (char c : spec.text) {
        if (spec.crlf_lines && c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
        text += c;
    }
    LOGFONTA lf{};
    lf.lfHeight = -spec.size;
    lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = spec.italic ? 1 : 0;
    lf.lfCharSet = static_cast<uint8_t>(Y32_UTF8_CHARSET);
    lf.lfOutPrecision = OUT_TT_PRECIS;
    std::strncpy(lf.lfFaceName, spec.face.c_str(), LF_FACESIZE - 1);
    HFONTDC dc = y32CreateFontDC();
    HFONT font = y32CreateFontIndirect(&lf);
    KyPath *path = nullptr;
    if (dc && font) {
        y32SelectFont(dc, font);
        TextParams params{};
        params.output = KYTEXT_PATH_ONLY;
        Y32Rect rect{};
        PathBuf mask = KyPathCreateText(dc, text.data(), &params, &path, &rect);
        if (mask) KyPathBufFree(mask);
        y32SelectFont(dc, nullptr);
    }
    if (font) y32DeleteFont(font);
    if (dc) y32DeleteFontDC(dc);
    return path;
}

}  // namespace kypath
