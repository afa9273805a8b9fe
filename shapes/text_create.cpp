// shapes/text_create.cpp - KyPathCreateText: plain text in the selected font.
//
// Lines are built one at a time, each as its own chain with its baseline at
// y = 0, measured, decorated and moved down by whole line pitches; only
// when every line is in place are the chains joined into one. A failure
// part way frees every line already built, so the caller never receives
// half a text.
#include <algorithm>
#include <cstring>

#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "platform/fonts.h"
#include "shapes/text_glyphs.h"
#include "y32path/core.h"
#include "y32path/edit.h"
#include "y32path/platform.h"
#include "y32path/raster.h"
#include "y32path/view.h"

namespace {

constexpr int32_t kMaxLines = 2047;
// Below this pitch the mask is drawn enlarged (to a 150-pixel pitch) and
// filtered back, so small text keeps its shape.
constexpr int32_t kDirectRenderPitch = 60;
constexpr double kSmallTextPitch = 150.0;

struct LineSpan {
    const char *start;
    int32_t length;
};

struct Lines {
    LineSpan *spans = nullptr;
    KyPath **heads = nullptr;
    int32_t count = 0;
    ~Lines() {
        if (heads)
            for (int32_t i = 0; i < count; ++i)
                if (heads[i]) KyPathDeletePtr(heads[i], 0);
        mem::MemFree(spans);
        mem::MemFree(heads);
    }
};

// Splits text into lines. A line is a run of characters of code 32 or
// more; a CR LF pair ends it, and so does a lone CR or LF (taking the
// character after a lone break too would swallow a visible character).
int32_t SplitLines(const char *text, LineSpan *spans) {
    int32_t n = 0;
    const char *s = text;
    while (*s && n < kMaxLines) {
        const char *e = s;
        while (static_cast<uint8_t>(*e) >= 32) ++e;
        spans[n++] = LineSpan{s, static_cast<int32_t>(e - s)};
        if (!*e) break;
        s = (e[0] == '\r' && e[1] == '\n') ? e + 2 : e + 1;
    }
    while (n > 0 && spans[n - 1].length == 0) --n;
    return n;
}

Y32Rect BoxOf(KyPath *head) {
    Y32Rect r{0, 0, 0, 0};
    KyPathGetMiniMaxRect(head, fx::kOne, &r);
    return r;
}

}  // namespace

Y32_BEGIN_C

PathBuf KyPathCreateText(HFONTDC dc, char *text, TextParams *params, KyPath **path, Y32Rect *rect) {
    if (path) *path = nullptr;
    if (!dc || !text || !params) return nullptr;
    if (!KyPathInit()) return nullptr;

    for (char *c = text; *c; ++c)
        if (static_cast<uint8_t>(*c) < 32 && *c != '\r' && *c != '\n') *c = ' ';

    Lines lines;
    const size_t text_bytes = std::strlen(text);
    const size_t max_spans = std::min<size_t>(kMaxLines, text_bytes + 1);
    lines.spans = static_cast<LineSpan *>(mem::MemAlloc(mem::kZeroInit, max_spans * sizeof(LineSpan)));
    lines.heads = static_cast<KyPath **>(mem::MemAlloc(mem::kZeroInit, max_spans * sizeof(KyPath *)));
    if (!lines.spans || !lines.heads) return nullptr;
    lines.count = SplitLines(text, lines.spans);
    if (lines.count == 0) return nullptr;

    plat::font::TextMetric tm;
    if (!plat::font::GetTextMetrics(dc, &tm)) return nullptr;
    if (tm.italic) params->italic = 0;
    const int32_t pitch = tm.height;
    const bool vertical = params->vertical != 0;

    int32_t longest = 0;
    for (int32_t i = 0; i < lines.count; ++i) longest = std::max(longest, lines.spans[i].length);
    char *work = static_cast<char *>(mem::MemAlloc(mem::kZeroInit, static_cast<size_t>(longest) + 20));
    if (!work) return nullptr;

    int32_t max_width = 0, max_height = 0;
    bool failed = false;
    for (int32_t i = 0; i < lines.count && !failed; ++i) {
        const LineSpan &span = lines.spans[i];
        std::memcpy(work, span.start, static_cast<size_t>(span.length));
        work[span.length] = 0;
        GlyphList *list = nullptr;
        CollectGlyphOutlines(dc, work, &list, params->italic, params->antialias, tm.charSet, nullptr);
        if (!list) {
            failed = span.length > 0;  // an empty line has nothing to collect; anything else ran out
            continue;
        }
        DebugPrint("Enter FontOutlineToPSPath\n");
        KyPath *head = nullptr;
        double advance = 0;
        if (!FontOutlineToPSPath(list, &head, &advance, nullptr, nullptr, 0, params->vertical)) failed = true;
        FreeGlyphList(list);
        if (!head) continue;
        lines.heads[i] = head;
        head->flags |= kTextLineStart;
        const Y32Rect r = BoxOf(head);
        // Both bars are sized from the glyphs alone: measured after the
        // underline, the box would reach down to it and push the strike-out
        // below the middle of the line.
        Y32Rect glyphs;
        if ((params->underline || params->strikeOut) && !KyPathGetRealRect(head, fx::kOne, &glyphs)) failed = true;
        if (!failed && ((params->underline && !AddTextDecoration(head, 1, params->vertical, &glyphs)) ||
                        (params->strikeOut && !AddTextDecoration(head, 2, params->vertical, &glyphs))))
            failed = true;
        max_width = std::max(max_width, r.right - r.left);
        max_height = std::max(max_height, r.bottom - r.top);
        const FIXED offset = fx::FromInt(pitch * i);
        if (vertical)
            KyPathMovePathsByPtfx(head, -offset, 0);
        else
            KyPathMovePathsByPtfx(head, 0, offset);
    }
    mem::MemFree(work);
    if (failed) return nullptr;  // Lines frees what was built

    if (params->align == KYTEXT_ALIGN_FAR || params->align == KYTEXT_ALIGN_CENTRE) {
        for (int32_t i = 0; i < lines.count; ++i) {
            KyPath *head = lines.heads[i];
            if (!head) continue;
            const Y32Rect r = BoxOf(head);
            int32_t gap = vertical ? max_height - (r.bottom - r.top) : max_width - (r.right - r.left);
            if (params->align == KYTEXT_ALIGN_CENTRE) gap /= 2;
            if (vertical)
                KyPathMovePathsByPtfx(head, 0, fx::FromInt(gap));
            else
                KyPathMovePathsByPtfx(head, fx::FromInt(gap), 0);
        }
    }

    // Join the lines into one chain, in order.
    KyPath *first = nullptr, *tail = nullptr;
    for (int32_t i = 0; i < lines.count; ++i) {
        KyPath *head = lines.heads[i];
        if (!head) continue;
        lines.heads[i] = nullptr;
        if (tail) {
            tail->next = head;
            tail->groupNext = head;
            head->prev = tail;
            head->groupPrev = tail;
        } else {
            first = head;
        }
        tail = LastGroupMember(head);
    }
    if (path) *path = first;
    if (!first || params->output == KYTEXT_PATH_ONLY) {
        if (!path && first) KyPathDeletePtr(first, 0);  // nobody to hand it to
        return nullptr;
    }

    const double scale = pitch >= kDirectRenderPitch || pitch <= 0 ? 1.0 : kSmallTextPitch / pitch;
    Y32Rect *rects = nullptr;
    PathBuf *buffers = nullptr;
    const int32_t made = KyPathToBuf(first, 16, 0, params->antialias, params->renderMode, fx::FromDouble(scale),
                                     &rects, &buffers, 0);
    if (made <= 0) {
        // A chain with outlines always gives a mask unless the rendering
        // ran out of memory: then nothing is handed out, the path
        // included, so the caller does not take half a result for a whole.
        if (rects) GlobalFree(rects);
        if (buffers) GlobalFree(buffers);
        KyPathDeletePtr(first, 0);
        if (path) *path = nullptr;
        return nullptr;
    }
    PathBuf result = nullptr;
    if (rects && buffers) {
        if (rect) *rect = rects[0];
        result = buffers[0];
        for (int32_t i = 1; i < made; ++i) KyPathBufFree(buffers[i]);  // one chain gives one mask
    }
    if (rects) GlobalFree(rects);
    if (buffers) GlobalFree(buffers);
    if (!path && first) KyPathDeletePtr(first, 0);
    return result;
}

Y32_END_C
