// fuzz/text_fuzz.cpp - libFuzzer target for text outlines: random byte
// strings in every charset the fonts know (single-byte pages, the four
// double-byte pages, symbol, UTF-8), through the plain text call with every
// layout switch and through rich text with up to three runs, measuring
// only or making the outlines.
//
// Beyond AddressSanitizer's checks the target aborts when a mask does not
// match its rectangle, when the in-place text still holds control
// characters, when a returned list has unsound links, when a refusal
// leaves a path behind, or when private-heap blocks are left.
#include <cstring>
#include <map>
#include <tuple>

#include "fuzz_paths.h"
#include "y32path/platform.h"
#include "y32path/shapes.h"

// fontconfig loses a block while it parses its configuration (once, inside
// FcInit); everything else must still be freed.
extern "C" __attribute__((visibility("default"), used)) const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

constexpr const char *kName = "text_fuzz";

const char *const kFaces[] = {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "", "No Such Face"};
const uint8_t kCharsets[] = {ANSI_CHARSET,   DEFAULT_CHARSET, SYMBOL_CHARSET,     MAC_CHARSET,     SHIFTJIS_CHARSET,
                             HANGUL_CHARSET, JOHAB_CHARSET,   GB2312_CHARSET,     CHINESEBIG5_CHARSET,
                             GREEK_CHARSET,  TURKISH_CHARSET, VIETNAMESE_CHARSET, HEBREW_CHARSET,  ARABIC_CHARSET,
                             BALTIC_CHARSET, RUSSIAN_CHARSET, THAI_CHARSET,       EASTEUROPE_CHARSET, OEM_CHARSET,
                             Y32_UTF8_CHARSET};
constexpr int kCharsetCount = sizeof kCharsets;
const int32_t kHeights[] = {-12, -24, -40, 0, 30};

HFONTDC g_dc = nullptr;

// Fonts are made once per kind and kept: making one per input would spend
// the run in the font lookup.
HFONT FontFor(int face, int charset, int height, bool bold, bool italic) {
    static std::map<std::tuple<int, int, int, bool, bool>, HFONT> fonts;
    HFONT &f = fonts[std::make_tuple(face, charset, height, bold, italic)];
    if (!f) {
        LOGFONTA lf{};
        lf.lfHeight = kHeights[height];
        lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = italic;
        lf.lfCharSet = kCharsets[charset];
        std::strncpy(lf.lfFaceName, kFaces[face], LF_FACESIZE - 1);
        f = y32CreateFontIndirect(&lf);
    }
    return f;
}

// Text records are one table list that is also one group chain; the head
// starts a glyph (or a bar) and a line.
void CheckTextList(const KyPath *head) {
    fuzz::CheckList(kName, head);
    fuzz::Check((head->flags & 0x60000000u) == 0x60000000u, kName, "the first record does not start a glyph and a line");
    for (const KyPath *r = head; r->next; r = r->next)
        fuzz::Check(path::GroupNext(r) == r->next, kName, "the text is not one group chain");
}

void PlainText(fuzz::Reader &in) {
    const int face = in.Range(0, 4), charset = in.Range(0, kCharsetCount - 1), height = in.Range(0, 4);
    const uint8_t style = in.U8();
    HFONT font = FontFor(face, charset, height, style & 1, style & 2);
    if (style & 4) font = nullptr;  // no font selected: refused
    y32SelectFont(g_dc, font);

    TextParams params{};
    const uint8_t bits = in.U8();
    params.italic = bits & 1;
    params.underline = bits >> 1 & 1;
    params.strikeOut = bits >> 2 & 1;
    params.vertical = bits >> 3 & 1;
    params.output = bits >> 4 & 1 ? KYTEXT_PATH_ONLY : 0;
    static const int32_t kModes[] = {0, 1, 3, 0};
    params.renderMode = kModes[bits >> 5 & 3];
    static const int32_t kAa[] = {0, 1, 999, 1};
    params.antialias = kAa[in.U8() & 3];
    static const int32_t kAlign[] = {0, KYTEXT_ALIGN_FAR, KYTEXT_ALIGN_CENTRE, 7};
    params.align = kAlign[in.U8() & 3];

    std::vector<uint8_t> bytes = in.Rest(48);
    std::vector<char> text(bytes.begin(), bytes.end());
    text.push_back('\0');
    const size_t len = std::strlen(text.data());

    KyPath *path = reinterpret_cast<KyPath *>(1);
    Y32Rect rect{};
    PathBuf mask = KyPathCreateText(g_dc, text.data(), &params, &path, &rect);
    for (size_t i = 0; i < len; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        fuzz::Check(c >= 32 || c == '\r' || c == '\n', kName, "a control character left in the text");
    }
    fuzz::Check(path != reinterpret_cast<KyPath *>(1), kName, "the path holder was not written");
    if (!font || len == 0) fuzz::Check(!mask && !path, kName, "outlines without a font or text");
    if (params.output == KYTEXT_PATH_ONLY) fuzz::Check(!mask, kName, "a mask though only the path was asked for");
    if (path) CheckTextList(path);
    if (mask) {
        uint32_t w = 0, h = 0;
        int32_t depth = 0;
        KyPathBufGetWHU(mask, &w, &h, &depth);
        fuzz::Check(depth == 8, kName, "the text mask is not 8-bit");
        fuzz::Check(int64_t{rect.right} - rect.left == w && int64_t{rect.bottom} - rect.top == h, kName,
                    "mask and rectangle differ in size");
        KyPathBufFree(mask);
    }
    KyPathDeletePtr(path, 0);
    y32SelectFont(g_dc, nullptr);
}

void RichText(fuzz::Reader &in) {
    const int runs = in.Range(0, 3);
    std::vector<uint8_t> block(sizeof(RichTextHeader) + sizeof(RichTextRun) * 3, 0);
    auto *header = reinterpret_cast<RichTextHeader *>(block.data());
    header->runCount = runs;
    header->lineSpacing = in.Range(-10, 20);
    header->fixedSpacing = in.U8() & 1;
    header->align = in.Range(0, 3);
    header->vertical = in.U8() & 1;
    const int32_t scale_mode = in.U8() & 1;
    const bool measure_only = in.U8() & 1;
    std::vector<std::vector<char>> texts(3);
    for (int r = 0; r < runs; ++r) {
        RichTextRun &run = RichTextRuns(header)[r];
        static const int32_t kRunHeights[] = {-12, -24, 16, 0, -40, 128 * 20};
        run.height = kRunHeights[in.U8() % 6];
        const uint8_t metrics = in.U8();
        if (metrics & 1) run.ascent = in.Range(0, 40), run.descent = in.Range(0, 20);
        run.leading = in.Range(-4, 8);
        run.charset = kCharsets[in.Range(0, kCharsetCount - 1)];
        run.style = in.U8() & 0x1F;
        run.kerning = in.U8() & 1;
        run.spacing = in.Range(-4, 8);
        std::strncpy(run.face, kFaces[in.Range(0, 4)], sizeof run.face - 1);
        const size_t n = static_cast<size_t>(in.Range(0, 24));
        std::vector<uint8_t> bytes = in.Rest(n);
        texts[r].assign(bytes.begin(), bytes.end());
        texts[r].push_back('\0');
        run.text = texts[r].data();
    }

    KyPath *path = reinterpret_cast<KyPath *>(1);
    int32_t lines = -1, extent = -1;
    const int32_t ok = KyPathCreateRichEditText(header, scale_mode, measure_only ? nullptr : &path, &lines, &extent);
    fuzz::Check(ok == 0 || ok == 1, kName, "rich text returned neither 0 nor 1");
    if (measure_only) {
        if (ok) fuzz::Check(lines >= 0, kName, "a negative line count");
        // A negative spacing is the caller's to ask for; without one the
        // lines cannot add up to less than nothing.
        if (ok && header->lineSpacing >= 0) fuzz::Check(extent >= 0, kName, "a negative extent");
        return;
    }
    if (!ok) {
        fuzz::Check(!path, kName, "a failure left a path behind");
        return;
    }
    fuzz::Check(path != reinterpret_cast<KyPath *>(1), kName, "the path holder was not written");
    if (path) CheckTextList(path);
    KyPathDeletePtr(path, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::InitLibrary();
    g_dc = y32CreateFontDC();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1024) return -1;
    fuzz::Reader in(data, size);
    const size_t live = fuzz::LiveBlocks();
    if (in.U8() & 1) RichText(in);
    else PlainText(in);
    fuzz::Check(fuzz::LiveBlocks() == live, kName, "private heap blocks left behind");
    return 0;
}
