// tests/shapes/text_support.h - fonts and path walking for the text tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/fonts.h"
#include "support/path_fixture.h"
#include "support/records.h"
#include "y32Path.h"

namespace text_support {

// A font context with one font selected, freed with it.
class FontDc {
  public:
    FontDc(const char *face, int32_t height, uint8_t charset = ANSI_CHARSET, int32_t weight = FW_NORMAL,
           bool italic = false) {
        LOGFONTA lf{};
        lf.lfHeight = height;
        lf.lfWeight = weight;
        lf.lfItalic = italic ? 1 : 0;
        lf.lfCharSet = charset;
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        dc_ = y32CreateFontDC();
        font_ = y32CreateFontIndirect(&lf);
        if (dc_ && font_) y32SelectFont(dc_, font_);
    }
    ~FontDc() {
        if (dc_) {
            y32SelectFont(dc_, nullptr);
            y32DeleteFontDC(dc_);
        }
        if (font_) y32DeleteFont(font_);
    }
    FontDc(const FontDc &) = delete;
    FontDc &operator=(const FontDc &) = delete;
    HFONTDC dc() const { return dc_; }
    HFONT font() const { return font_; }
    bool ok() const { return dc_ && font_; }
    std::string file() const {
        const char *f = plat::font::FontFile(font_);
        return f ? f : "";
    }
    plat::font::TextMetric metrics() const {
        plat::font::TextMetric tm{};
        plat::font::GetTextMetrics(dc_, &tm);
        return tm;
    }

  private:
    HFONTDC dc_ = nullptr;
    HFONT font_ = nullptr;
};

struct Box {
    double min_x = 1e300, min_y = 1e300, max_x = -1e300, max_y = -1e300;
    void Add(double x, double y) {
        min_x = std::min(min_x, x), max_x = std::max(max_x, x);
        min_y = std::min(min_y, y), max_y = std::max(max_y, y);
    }
    double width() const { return max_x - min_x; }
    double height() const { return max_y - min_y; }
};

using testing_support::Records;

// Box of the points of the records from `from` up to (not including) `to`.
inline Box PointBox(KyPath *from, KyPath *to = nullptr) {
    Box b;
    for (KyPath *r = from; r && r != to; r = r->next) {
        const PathPoint *pts = KyPathPoints(r);
        for (int32_t i = 0; i < r->count; ++i) b.Add(FixToDb(+pts[i].x), FixToDb(+pts[i].y));
    }
    return b;
}

// The records that start lines (flag 0x20000000), in order.
inline std::vector<KyPath *> LineHeads(KyPath *p) {
    std::vector<KyPath *> out;
    for (; p; p = p->next)
        if (p->flags & 0x20000000u) out.push_back(p);
    return out;
}

inline bool SameGeometry(KyPath *a, KyPath *b, FIXED dx = 0, FIXED dy = 0) {
    for (; a && b; a = a->next, b = b->next) {
        if (a->count != b->count || a->flags != b->flags) return false;
        const PathPoint *pa = KyPathPoints(a), *pb = KyPathPoints(b);
        for (int32_t i = 0; i < a->count; ++i)
            if (pa[i].type != pb[i].type || pa[i].x + dx != pb[i].x || pa[i].y + dy != pb[i].y) return false;
    }
    return !a && !b;
}

}  // namespace text_support
