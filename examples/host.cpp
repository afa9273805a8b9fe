// examples/host.cpp - a small host of the y32Path library, through its
// public header only: a document table with two shapes and a line of text,
// a click that selects one shape, a move of the selection and its undo, and
// the document rendered with a bevel into a PNG.
//
//   host [out.png]     (default host.png)
//
// Each step checks what it did; the program exits with 1 at the first step
// that fails, naming it.
#include <y32Path.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_step = 0;

bool Check(bool ok, const char *what) {
    ++g_step;
    std::printf("%2d %-44s %s\n", g_step, what, ok ? "ok" : "FAILED");
    return ok;
}

#define STEP(cond, what) \
    if (!Check((cond), (what))) return 1

// ---- A PNG without a compression library: deflate's stored blocks ----------

uint32_t Crc(const uint8_t *p, size_t n, uint32_t c = 0xFFFFFFFFu) {
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c;
}

void Be32(std::vector<uint8_t> &v, uint32_t x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<uint8_t>(x >> s));
}

void Chunk(std::vector<uint8_t> &png, const char *type, const std::vector<uint8_t> &data) {
    Be32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Be32(png, Crc(&png[start], png.size() - start) ^ 0xFFFFFFFFu);
}

// Writes w x h RGB pixels (rows packed) as an uncompressed PNG.
bool WritePng(const char *file, const std::vector<uint8_t> &rgb, uint32_t w, uint32_t h) {
    std::vector<uint8_t> raw;  // each row: filter byte 0, then the pixels
    for (uint32_t y = 0; y < h; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + y * w * 3, rgb.begin() + (y + 1) * w * 3);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    uint32_t a = 1, b = 0;  // Adler-32 of the raw bytes
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z.push_back(at + n == raw.size() ? 1 : 0);
        const uint8_t len[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)};
        z.insert(z.end(), len, len + 4);
        for (size_t i = 0; i < n; ++i) {
            a = (a + raw[at + i]) % 65521;
            b = (b + a) % 65521;
        }
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    }
    Be32(z, (b << 16) | a);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, head;
    Be32(head, w);
    Be32(head, h);
    head.insert(head.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB
    Chunk(png, "IHDR", head);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    FILE *f = std::fopen(file, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

// ---- Library helpers -------------------------------------------------------

KyPath *Shape(int32_t kind, CoordStruct *view, Y32Rect drag) {
    KyPath *path = nullptr;
    return KyPathGetPrimitive(kind, nullptr, &path, view, 0, 0, &drag) ? path : nullptr;
}

// A line of text as outlines, its top-left moved to (x, y).
KyPath *Text(const char *words, int32_t px, int32_t x, int32_t y) {
    LOGFONTA lf{};
    lf.lfHeight = -px;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = Y32_UTF8_CHARSET;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    HFONTDC dc = y32CreateFontDC();
    HFONT font = y32CreateFontIndirect(&lf);
    KyPath *path = nullptr;
    if (dc && font) {
        y32SelectFont(dc, font);
        TextParams params{};
        params.output = KYTEXT_PATH_ONLY;
        Y32Rect rect{};
        std::string text = words;  // the library takes a writable string
        if (PathBuf mask = KyPathCreateText(dc, &text[0], &params, &path, &rect)) KyPathBufFree(mask);
        y32SelectFont(dc, nullptr);
    }
    if (font) y32DeleteFont(font);
    if (dc) y32DeleteFontDC(dc);
    Y32Rect box{};
    if (path && KyPathGetRealRect(path, DbToFix(1.0), &box))
        KyPathMovePathsByPtfx(path, DbToFix(x - box.left), DbToFix(y - box.top));
    return path;
}

Y32Rect Box(KyPath *path) {
    Y32Rect r{};
    KyPathGetRealRect(path, DbToFix(1.0), &r);
    return r;
}

// Shades the group chain at `path` with a bevel and lays it on the canvas.
bool Bevel(KyPath *path, std::vector<uint8_t> &canvas, uint32_t w, uint32_t h, const uint8_t rgb[3]) {
    Y32Rect *rects = nullptr;
    PathBuf *bufs = nullptr;
    if (KyPathToBuf(path, 0, 0, 1, 0, DbToFix(1.0), &rects, &bufs, 0) < 1) return false;
    PathBuf mask = bufs[0], dist = reinterpret_cast<PathBuf>(1), vec = reinterpret_cast<PathBuf>(1);
    const Y32Rect at = rects[0];
    GlobalFree(rects);
    GlobalFree(bufs);
    double width = 6.0;
    uint32_t mw = 0, mh = 0;
    KyPathBufGetWHU(mask, &mw, &mh, nullptr);
    PathBuf image = KyPathBufAlloc(24, mw, mh, 1, 0, 0);
    bool ok = image && KyPathVMap(path, &dist, &vec, 0, 0, 0, 0, 0, &width, 0, 0, nullptr, nullptr, DbToFix(1.0));
    if (ok) {
        uint8_t *px = static_cast<uint8_t *>(image);
        for (size_t i = 0; i < size_t(mw) * mh; ++i) px[i * 3] = rgb[2], px[i * 3 + 1] = rgb[1], px[i * 3 + 2] = rgb[0];
        ok = KyPathShadePhong(image, width, 0, 0, 0, 0, dist, vec, 0, mask, nullptr, 0, 50, 50, -0.577, -0.577, 0.577,
                              0, 0, 0, nullptr);
    }
    for (uint32_t y = 0; ok && y < mh; ++y)
        for (uint32_t x = 0; x < mw; ++x) {
            const int64_t cx = at.left + int64_t(x), cy = at.top + int64_t(y);
            if (cx < 0 || cy < 0 || cx >= w || cy >= h) continue;
            const uint32_t a = static_cast<const uint8_t *>(mask)[size_t(y) * mw + x];
            const uint8_t *s = static_cast<const uint8_t *>(image) + (size_t(y) * mw + x) * 3;
            uint8_t *d = &canvas[(size_t(cy) * w + size_t(cx)) * 3];
            for (int k = 0; k < 3; ++k) d[k] = uint8_t((s[2 - k] * a + d[k] * (255 - a) + 127) / 255);
        }
    for (PathBuf b : {mask, dist, vec, image})
        if (b && b != reinterpret_cast<PathBuf>(1)) KyPathBufFree(b);
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    const char *out = argc > 1 ? argv[1] : "host.png";
    const uint32_t W = 360, H = 240;
    STEP(KyPathInit() != 0, "library initialised");
    CoordStruct view{};
    view.right = W;
    view.bottom = H;
    view.zoom = 1.0;

    // The document: a line of text, an ellipse and a rounded rectangle, each
    // a group of its own; the last group added is the current one.
    PathTable *table = nullptr;
    KyPath *text = Text("y32Path", 48, 20, 20);
    STEP(text && KyPathAddPathGroup(&table, text, "title", &view, nullptr), "text added as a group");
    KyPath *ellipse = Shape(KYSHAPE_ELLIPSE, &view, Y32Rect{30, 100, 150, 200});
    STEP(ellipse && KyPathAddPathGroup(&table, ellipse, "ellipse", &view, nullptr), "ellipse added");
    KyPath *card = Shape(KYSHAPE_ROUNDED_PERCENT(30), &view, Y32Rect{190, 100, 320, 200});
    STEP(card && KyPathAddPathGroup(&table, card, "card", &view, nullptr), "rounded rectangle added");
    int32_t groups = 0;
    KyPathFindGroups(table, &groups);
    STEP(groups == 3, "three groups in the table");

    // A path comes into the table selected; clear that, then a click on the
    // rectangle's left edge selects it again.
    KyPathDeSelectAll(nullptr, card, &view, 0);
    KyPathAssignSelectedPath(table, nullptr);
    KyPath *selected = card;
    KyPathFind(table, nullptr, nullptr, &selected, nullptr);
    STEP(selected == nullptr && KyPathGetSelectedGroupsNumber(table) == 0, "selection cleared");
    KyPath *hit = nullptr;
    int32_t index = 0;
    uint16_t param = 0;
    const int32_t answer = KyPathPtOn(190, 150, KYPATH_HIT_CLICK, nullptr, &view, table, &hit, &index, &param);
    KyPathFind(table, nullptr, nullptr, &selected, nullptr);
    STEP(answer == KYPATH_HIT_UNSELECTED && hit == card && selected == card, "click at (190, 150) selects the card");
    STEP(KyPathPtOn(100, 20, KYPATH_HIT_QUERY, nullptr, &view, table, nullptr, nullptr, nullptr) == KYPATH_HIT_NOTHING,
         "a click on empty ground hits nothing");

    // Move the selection 20 pixels right and 15 down, recorded for undo.
    const uint32_t owner = 1;
    const Y32Rect before = Box(card);
    STEP(KyPathBackupAction(owner, KYPATH_UR_NODEMOVE, table) != 0, "move recorded in the undo journal");
    KyPathMovePaths(selected, &view, 20, 15);
    const Y32Rect moved = Box(card);
    STEP(moved.left == before.left + 20 && moved.top == before.top + 15, "selection moved by (20, 15)");
    Y32Rect changed{};
    STEP(KyPathUndo(owner, table, &view, &changed, nullptr) != 0, "undo applied");
    const Y32Rect back = Box(card);
    STEP(back.left == before.left && back.top == before.top && back.right == before.right, "undo put the card back");
    KyPathURFree(owner, 0, 0);

    // Render every group with a bevel on a light ground.
    std::vector<uint8_t> canvas(size_t(W) * H * 3, 236);
    const uint8_t colours[3][3] = {{40, 90, 170}, {200, 120, 40}, {60, 150, 80}};
    ShadingGammaToMap();
    bool shaded = true;
    for (int32_t g = 0; g < groups; ++g)
        shaded = shaded && Bevel(KyPathTblGroups(table)[g].first, canvas, W, H, colours[g]);
    STEP(shaded, "every group shaded with a bevel");
    // The card's centre is shaded in its own colour (the flat top faces the
    // viewer, so it is lit but not white), and the ground stays as it was.
    const uint8_t *mid = &canvas[(size_t(150) * W + 255) * 3], *ground = &canvas[(size_t(230) * W + 350) * 3];
    STEP(mid[1] > mid[0] && mid[1] > mid[2] && ground[0] == 236, "pixels where they belong");
    STEP(WritePng(out, canvas, W, H), out);
    STEP(KyPathTblDelete(table) != 0, "table freed");
    std::printf("all %d steps passed\n", g_step);
    return 0;
}
