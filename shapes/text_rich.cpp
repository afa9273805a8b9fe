// shapes/text_rich.cpp - KyPathCreateRichEditText: runs of styled text.
//
// Runs are laid out one after another: a run's text is cut at line feeds
// into pieces, each piece becomes a chain of glyph records in its own frame
// (pen at 0, baseline at y = 0), gets its bars, and is moved to the pen
// position of the current line and appended to the result. A line feed
// ends the line: y moves down by the line's height and x returns to 0.
//
// Line height: the header's spacing alone when it is fixed; otherwise the
// spacing plus the largest ascent (grown by a negative leading) and the
// largest descent of the runs met on the line. Mixing runs of different
// sizes on a line therefore keeps every glyph clear of the next line.
//
// In scale mode fonts are made with a 128-pixel em and pieces are scaled
// to the run's height afterwards; metrics measured on those fonts are
// scaled the same way, so both modes lay text out alike.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bounds.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "edit/transform.h"
#include "platform/fonts.h"
#include "shapes/text_glyphs.h"
#include "y32path/core.h"
#include "y32path/edit.h"

namespace {

using plat::font::KerningPair;

constexpr int32_t kScaleEm = 128;
constexpr double kScaleUnit = 0.0078125;  // 1 / 128
constexpr double kLineAdvanceLimit = 10005.0;

struct LineRecord {
    KyPath *first;   // first record placed on the line (null: the line holds none)
    KyPath *last;    // last record placed on the line
    double advance;  // pen advance at the line's end
};

class Layout {
  public:
    Layout(const RichTextHeader &h, bool measure) : header_(h), measure_(measure) {}
    ~Layout() {
        if (head_) KyPathDeletePtr(head_, 0);
        mem::MemFree(lines_);
    }

    // The metrics of the run whose text is being laid out.
    void UseRun(int32_t ascent, int32_t descent, int32_t leading) {
        run_ascent_ = ascent + (leading < 0 ? -leading : 0);
        run_descent_ = descent;
        run_leading_ = leading > 0 ? leading : 0;
    }
    void NoteRunOnLine() {
        line_ascent_ = std::max(line_ascent_, run_ascent_);
        line_descent_ = std::max(line_descent_, run_descent_);
        line_used_ = true;
    }

    double LineAdvance() const { return x_; }

    // Places a piece (null when it has no records) of the given advance.
    void Place(KyPath *piece, double advance) {
        NoteRunOnLine();
        if (piece) {
            const FIXED along = fx::FromDouble(x_);
            const FIXED across = fx::FromInt(y_ + run_leading_);
            if (header_.vertical)
                KyPathMovePathsByPtfx(piece, -across, along);
            else
                KyPathMovePathsByPtfx(piece, along, across);
            if (!line_first_) {
                piece->flags |= kTextLineStart;
                line_first_ = piece;
            }
            if (tail_) {
                tail_->next = piece;
                tail_->groupNext = piece;
                piece->prev = tail_;
                piece->groupPrev = tail_;
            } else {
                head_ = piece;
            }
            tail_ = LastGroupMember(piece);
        }
        x_ += advance;
    }

    // Ends the current line. False when out of memory.
    bool Break() {
        NoteRunOnLine();
        return EndLine();
    }
    // Ends the last line when anything was placed on it.
    bool Finish() { return line_used_ ? EndLine() : true; }

    int32_t LineCount() const { return line_count_; }
    int32_t Extent() const { return y_; }

    void Align() {
        if (header_.align != 1 && header_.align != 2) return;
        double longest = 0;
        for (int32_t i = 0; i < line_count_; ++i) longest = std::max(longest, lines_[i].advance);
        for (int32_t i = 0; i < line_count_; ++i) {
            const LineRecord &l = lines_[i];
            if (!l.first) continue;
            bounds::Extent e;
            for (KyPath *r = l.first;; r = r->next) {
                bounds::Accumulate(r, bounds::Cover::kRecord, bounds::Units::kImage, e);
                if (r == l.last) break;
            }
            if (e.empty) continue;
            const double size = header_.vertical ? e.maxY - e.minY : e.maxX - e.minX;
            double gap = longest - size;
            if (!(gap > 0)) continue;
            if (header_.align == 2) gap *= 0.5;
            const FIXED shift = fx::FromDouble(gap);
            for (KyPath *r = l.first;; r = r->next) {
                if (header_.vertical)
                    edit::MoveRecord(r, 0, shift);
                else
                    edit::MoveRecord(r, shift, 0);
                if (r == l.last) break;
            }
        }
    }

    KyPath *Release() {
        KyPath *h = head_;
        head_ = nullptr;
        return h;
    }

  private:
    bool EndLine() {
        if (!measure_) {
            if (line_count_ == line_room_) {
                const int32_t room = line_room_ + 64;
                auto *grown = static_cast<LineRecord *>(
                    mem::MemReAlloc(lines_, static_cast<size_t>(room) * sizeof(LineRecord), mem::kZeroInit));
                if (!grown) return false;
                lines_ = grown;
                line_room_ = room;
            }
            lines_[line_count_] = LineRecord{line_first_, line_first_ ? tail_ : nullptr, x_};
        }
        ++line_count_;
        const int32_t height =
            header_.fixedSpacing ? header_.lineSpacing : header_.lineSpacing + line_ascent_ + line_descent_;
        y_ += height;
        x_ = 0;
        line_ascent_ = line_descent_ = 0;
        line_used_ = false;
        line_first_ = nullptr;
        return true;
    }

    const RichTextHeader &header_;
    const bool measure_;
    KyPath *head_ = nullptr, *tail_ = nullptr, *line_first_ = nullptr;
    LineRecord *lines_ = nullptr;
    int32_t line_room_ = 0, line_count_ = 0;
    double x_ = 0;
    int32_t y_ = 0;
    int32_t run_ascent_ = 0, run_descent_ = 0, run_leading_ = 0;
    int32_t line_ascent_ = 0, line_descent_ = 0;
    bool line_used_ = false;
};

struct FontScope {
    HFONTDC dc;
    HFONT font = nullptr;
    ~FontScope() { Set(nullptr); }
    void Set(HFONT f) {
        y32SelectFont(dc, f);
        if (font) y32DeleteFont(font);
        font = f;
    }
};

// Bar sizes of a run in its piece frame, pixels.
struct Bars {
    double under_offset, under_size, strike_pos, strike_size;
};

Bars BarsOf(HFONTDC dc, const RichTextRun &run, int32_t descent, double scale) {
    plat::font::OutlineTextMetric otm;
    Bars b;
    if (plat::font::GetOutlineTextMetrics(dc, &otm)) {
        b = Bars{-static_cast<double>(otm.underscorePosition), static_cast<double>(otm.underscoreSize),
                 static_cast<double>(otm.strikeoutPosition), static_cast<double>(otm.strikeoutSize)};
    } else {
        const double third = descent * 0.3333333333333333;
        b = Bars{third, third, std::fabs(static_cast<double>(run.height) - descent) * 0.5, third};
    }
    if (scale != 1.0) {
        b.under_offset *= scale;
        b.under_size *= scale;
        b.strike_pos *= scale;
        b.strike_size *= scale;
    }
    return b;
}

// Adds the run's bars to a piece (whose head may be null: the first bar
// becomes the head). False when out of memory.
bool AddBars(KyPath **piece, const RichTextRun &run, const Bars &b, double advance, bool vertical) {
    const uint32_t extra = run.style & RTS_MARK ? kTextRunMark : 0;
    const FIXED adv = fx::FromDouble(advance);
    for (int kind = 0; kind < 2; ++kind) {
        if (!(run.style & (kind == 0 ? RTS_UNDERLINE : RTS_STRIKEOUT))) continue;
        double lo, hi;
        if (kind == 0) {
            lo = vertical ? -b.under_offset - b.under_size : b.under_offset;
            hi = vertical ? -b.under_offset : b.under_offset + b.under_size;
        } else {
            lo = vertical ? b.strike_pos - b.strike_size : -b.strike_pos;
            hi = vertical ? b.strike_pos : -b.strike_pos + b.strike_size;
        }
        KyPath *bar = vertical ? AppendTextBar(*piece, fx::FromDouble(lo), 0, fx::FromDouble(hi), adv, extra)
                               : AppendTextBar(*piece, 0, fx::FromDouble(lo), adv, fx::FromDouble(hi), extra);
        if (!bar) return false;
        if (!*piece) *piece = bar;
    }
    return true;
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathCreateRichEditText(RichTextHeader *header, int32_t scaleMode, KyPath **path, int32_t *lines,
                                 int32_t *extent) {
    if (!header) return 0;
    const bool measure = path == nullptr;
    if (measure && (!lines || !extent)) return 0;
    if (path) *path = nullptr;
    if (measure) *lines = 0, *extent = 0;
    if (!KyPathInit()) return 0;

    HFONTDC dc = y32CreateFontDC();
    if (!dc) return 0;
    int32_t result = 0;
    {
        FontScope font{dc};
        Layout layout(*header, measure);
        const bool vertical = header->vertical != 0;
        const RichTextRun *runs = RichTextRuns(header);
        char *work = nullptr;
        size_t work_bytes = 0;
        KerningPair *pairs = nullptr;
        bool ok = true;

        for (int32_t r = 0; ok && r < header->runCount; ++r) {
            const RichTextRun &run = runs[r];
            LOGFONTA lf{};
            lf.lfHeight = scaleMode ? -kScaleEm : run.height;
            lf.lfEscapement = vertical ? 2700 : 0;
            lf.lfOrientation = vertical ? 900 : 0;
            lf.lfWeight = run.style & RTS_BOLD ? FW_BOLD : FW_NORMAL;
            lf.lfItalic = run.style & RTS_ITALIC ? 1 : 0;
            lf.lfOutPrecision = OUT_TT_PRECIS;
            lf.lfCharSet = static_cast<uint8_t>(run.charset);
            std::memcpy(lf.lfFaceName, run.face, LF_FACESIZE - 1);  // the last byte stays 0
            HFONT f = y32CreateFontIndirect(&lf);
            if (!f) {
                ok = false;
                break;
            }
            font.Set(f);

            const double scale =
                scaleMode ? (run.height < 0 ? -static_cast<double>(run.height) : run.height) * kScaleUnit : 1.0;
            int32_t ascent = run.ascent, descent = run.descent;
            if (ascent == 0 && descent == 0) {
                plat::font::TextMetric tm;
                if (plat::font::GetTextMetrics(dc, &tm)) {
                    ascent = static_cast<int32_t>(std::lround(tm.ascent * scale));
                    descent = static_cast<int32_t>(std::lround(tm.descent * scale));
                }
            }
            layout.UseRun(ascent, descent, run.leading);
            const Bars bars = BarsOf(dc, run, descent, scale);
            const bool italic = (run.style & RTS_ITALIC) && [&] {
                plat::font::TextMetric tm;
                return !(plat::font::GetTextMetrics(dc, &tm) && tm.italic);
            }();

            int32_t pair_count = 0;
            if (!measure && run.kerning) {
                pair_count = static_cast<int32_t>(plat::font::GetKerningPairs(dc, 0, nullptr));
                if (pair_count > 0) {
                    pairs = static_cast<KerningPair *>(
                        mem::MemAlloc(0, static_cast<size_t>(pair_count) * sizeof(KerningPair)));
                    if (!pairs) {
                        ok = false;
                        break;
                    }
                    pair_count = static_cast<int32_t>(
                        plat::font::GetKerningPairs(dc, static_cast<uint32_t>(pair_count), pairs));
                }
            }

            const char *s = run.text ? run.text : "";
            while (ok) {
                const char *e = s;
                while (*e && *e != '\n') ++e;
                const size_t len = static_cast<size_t>(e - s);
                const bool blank = len == 0 || (len == 1 && s[0] == '\r');
                if (!blank && measure) {
                    layout.NoteRunOnLine();
                } else if (!blank) {
                    if (len + 1 > work_bytes) {
                        char *grown = static_cast<char *>(mem::MemReAlloc(work, len + 1, 0));
                        if (!grown) {
                            ok = false;
                            break;
                        }
                        work = grown;
                        work_bytes = len + 1;
                    }
                    std::memcpy(work, s, len);
                    work[len] = 0;
                    GlyphList *list = nullptr;
                    CollectGlyphOutlines(dc, work, &list, italic, scaleMode, run.charset, &run);
                    KyPath *piece = nullptr;
                    double advance = 0;
                    ok = list && FontOutlineToPSPath(list, &piece, &advance, &run, pairs, pair_count, header->vertical);
                    FreeGlyphList(list);
                    if (!ok) break;
                    if (piece && (run.style & RTS_MARK))
                        for (KyPath *p = piece; p; p = p->next) p->flags |= kTextRunMark;
                    if (piece && scale != 1.0) KyPathSize(piece, scale, scale);
                    advance *= scale;
                    if (layout.LineAdvance() + advance >= kLineAdvanceLimit) {
                        if (piece) KyPathDeletePtr(piece, 0);
                    } else {
                        if (advance != 0 && descent != 0 && !AddBars(&piece, run, bars, advance, vertical)) {
                            if (piece) KyPathDeletePtr(piece, 0);
                            ok = false;
                            break;
                        }
                        layout.Place(piece, advance);
                    }
                }
                if (*e != '\n') break;
                if (!layout.Break()) ok = false;
                s = e + 1;
            }
            mem::MemFree(pairs);
            pairs = nullptr;
        }
        mem::MemFree(work);
        if (ok) ok = layout.Finish();
        if (ok) {
            if (measure) {
                *lines = layout.LineCount();
                *extent = layout.Extent();
            } else {
                layout.Align();
                *path = layout.Release();
            }
            result = 1;
        }
    }
    y32DeleteFontDC(dc);
    return result;
}

Y32_END_C
