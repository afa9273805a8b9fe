// deform/wrap_circles.cpp - a wrap without a baseline path: the figure set
// on circles the library builds (the predefined types 300 to 307).
//
// The figure is taken line by line (text lines start at records carrying
// the line-start bit 29); each line gets a circle of its own, all circles
// about one centre. The amplitude a (percent, -100..100) says how much of
// a circle a line may take: the arc from 0.5 - |a|/200 to 0.5 + |a|/200 of
// the circle's length, centred on fraction 0.5. With a > 0 the circle runs
// from its bottom point through the left one, so 0.5 is its top and the
// figure stands on the outside; with a <= 0 the mirror circle starts at the
// top, 0.5 is its bottom and the figure hangs inside it. So the radius that
// makes a line of width w fill its arc exactly is
//     r = w / (2 |a| / 100) / (2 pi).
// The reference line (the one that needs the largest circle) gets that
// radius; the others sit at the distances between the line centres from
// it, so stacked lines stay stacked. Each line is bent with its middle on
// its circle (the circles' height rule), and the circles' centre is put so
// that line 0 passes through (positionX, positionY) at the figure's own
// baseline level.
#include <algorithm>
#include <cmath>

#include "core/bounds.h"
#include "core/diag.h"
#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "core/record_transform.h"
#include "deform/dash.h"
#include "deform/wrap.h"
#include "deform/wrap_presets.h"
#include "y32path/core.h"

namespace wrap {

namespace {

constexpr uint32_t kLineStart = 0x20000000u;
constexpr double kInvTwoPi = 0.15915494580678602;
constexpr double kTwoPi = 6.2831852;  // the fit test's own constant
constexpr double kThird = 0.3333333333333333;
constexpr int32_t kLineNoMemoryLines = 3223;
constexpr int32_t kLineNoMemoryCircle = 3430;

struct Line {
    KyPath *head;
    double width;          // (spacing + 1) x box width x copies
    double top, bottom;    // the line's box
    double radius;
    double start, end;     // the arc it takes, fractions of its circle
};

double Centre(const Line &l) { return 0.5 * (l.top + l.bottom); }

// The fraction of its circle a line of this width takes.
double Share(const Line &l) { return l.radius > 0.0 ? l.width * kInvTwoPi / l.radius : 0.0; }

double IntoUnit(double v) { return v - std::floor(v); }

void MoveList(KyPath *head, double dx, double dy) {
    for (KyPath *r = head; r; r = r->next) path::MovePositions(r, fx::FromDouble(dx), fx::FromDouble(dy));
}

// Cuts the list into lines at the records carrying the line-start bit
// (when `split`), the links of each line ending at its tail. Returns the
// number of lines; with `lines` null only counts.
int32_t SplitLines(KyPath *head, bool split, Line *lines) {
    int32_t n = 0;
    for (KyPath *r = head; r;) {
        KyPath *next = r->next;
        if (r == head || (split && (r->flags & kLineStart))) {
            if (lines) {
                if (r->prev) r->prev->next = nullptr;
                r->prev = nullptr;
                lines[n] = Line{r, 0, 0, 0, 0, 0, 0};
            }
            ++n;
        }
        r = next;
    }
    return n;
}

// Joins the lines back into one table list; returns its head.
KyPath *Relink(Line *lines, int32_t n) {
    KyPath *head = nullptr, *tail = nullptr;
    for (int32_t i = 0; i < n; ++i) {
        KyPath *h = lines[i].head;
        if (!h) continue;
        if (tail) {
            tail->next = h;
            h->prev = tail;
        } else {
            head = h;
        }
        tail = PathLast(h);
    }
    return head;
}

// Radii of the lines. Text lines are stacked: each sits at the distance
// between its centre and the reference line's centre from the reference
// circle, further out for lines above it when the figure stands on the
// circles (a > 0), further in when it hangs inside them.
void Radii(Line *lines, int32_t n, double a, bool text, int32_t amplitude, double font_height) {
    auto needed = [&](const Line &l) { return l.width / (2.0 * a) * kInvTwoPi; };
    if (!text) {
        for (int32_t i = 0; i < n; ++i) lines[i].radius = needed(lines[i]);
    } else {
        const double sign = amplitude > 0 ? 1.0 : -1.0;
        int32_t k = 0;
        for (int32_t i = 1; i < n; ++i)
            if (needed(lines[i]) > needed(lines[k])) k = i;
        // A line longer than its whole circle becomes the reference; every
        // change of reference only enlarges the circles, so this settles
        // within n rounds.
        for (int32_t round = 0; round < n; ++round) {
            const double rk = needed(lines[k]);
            for (int32_t i = 0; i < n; ++i) lines[i].radius = rk + sign * (Centre(lines[k]) - Centre(lines[i]));
            int32_t worst = -1;
            double excess = 0.0;
            for (int32_t i = 0; i < n; ++i) {
                double over = lines[i].width - kTwoPi * lines[i].radius;
                if (i != k && over > excess) {
                    excess = over;
                    worst = i;
                }
            }
            if (worst < 0) break;
            k = worst;
        }
        double smallest = lines[0].radius;
        for (int32_t i = 1; i < n; ++i) smallest = std::min(smallest, lines[i].radius);
        const double floor_radius = font_height * kThird;
        if (smallest < floor_radius)
            for (int32_t i = 0; i < n; ++i) lines[i].radius += floor_radius - smallest;
    }
}

// How far below a line's middle its own baseline lies, as a fraction of
// its height: text carries its middle on the circle (the circles' height
// rule) and has its baseline at the ascent; any other figure is carried at
// its baseline level already.
double BaselineBelowMiddle(const WrapInfo &w) {
    if (!w.text) return 0.0;
    double asc = static_cast<uint32_t>(w.ascentDescent) >> 16, desc = w.ascentDescent & 0xFFFF;
    return (asc + desc > 0 ? asc / (asc + desc) : 0.5) - 0.5;
}

// Repeats the figure and centres it on the position (amplitude 0).
bool RepeatAndCentre(KyPath **figure, const WrapInfo &w) {
    Box box;
    if (!WrapDuplicateSubpathList(*figure, std::max(w.repeatCount, 1), w.spacing, 0.0, w.text, w.truncateRule,
                                  w.orientation, &box))
        return false;
    bounds::DoubleRect r = bounds::ImageBox(*figure, bounds::Cover::kFollowing);
    const double cx = std::trunc(0.5 * (r.minX + r.maxX)), cy = std::trunc(0.5 * (r.minY + r.maxY));
    MoveList(*figure, w.positionX - cx, w.positionY - cy);
    return true;
}

}  // namespace

bool WrapOnCircles(KyPath **figure, WrapInfo *info) {
    WrapInfo w = Normalise(*info).info;
    w.amplitude = std::clamp(w.amplitude, -100, 100);
    const int32_t copies = std::max(w.repeatCount, 1);
    if (w.amplitude == 0) return RepeatAndCentre(figure, w);

    const bool split = w.text && ((w.truncateRule == 0 && w.orientation != 1) ||
                                  (w.truncateRule != 0 && w.orientation == 1));
    KyPath *head = PathFirst(*figure);
    const int32_t n = SplitLines(head, split, nullptr);
    auto *lines = static_cast<Line *>(mem::MemAlloc(mem::kZeroInit, sizeof(Line) * static_cast<size_t>(n)));
    if (!lines) {
        diag::ReportError(0, diag::kErrNoMemory, 1, diag::kUnitWrap, kLineNoMemoryLines);
        return false;
    }
    // Group and selection links would tie the lines together across the
    // cuts; the finished figure is regrouped by the caller.
    for (KyPath *r = head; r; r = r->next) {
        r->selPrev = r->selNext = nullptr;
        if (!path::HasOutlineInfo(r)) r->groupNext = nullptr;
        r->groupPrev = nullptr;
    }
    SplitLines(head, split, lines);
    for (int32_t i = 0; i < n; ++i) {
        bounds::DoubleRect r = bounds::ImageBox(lines[i].head, bounds::Cover::kFollowing);
        lines[i].width = (w.spacing + 1.0) * (r.maxX - r.minX) * copies;
        lines[i].top = r.minY;
        lines[i].bottom = r.maxY;
    }

    const double a = std::abs(w.amplitude) * 0.005;
    Radii(lines, n, a, w.text != 0, w.amplitude, FontHeight(w));

    // The reference arc: the widest share, centred on fraction 0.5.
    int32_t k = 0;
    for (int32_t i = 1; i < n; ++i)
        if (Share(lines[i]) > Share(lines[k])) k = i;
    for (int32_t i = 0; i < n; ++i) {
        const double share = Share(lines[i]);
        lines[i].start = 0.5 - share / 2.0;
        lines[i].end = 0.5 + share / 2.0;
    }
    if (!w.fitToLength && n > 1) {
        for (int32_t i = 0; i < n; ++i) {
            if (i == k) continue;
            const double share = Share(lines[i]);
            if (w.shape == 0) lines[i].start = lines[k].start;
            else if (w.shape == 1) lines[i].start = IntoUnit(lines[k].end - share);
            else lines[i].start = IntoUnit(0.5 - share / 2.0);
        }
    }

    // Line 0's baseline passes through the position.
    const double h0 = lines[0].bottom - lines[0].top;
    const double mid0 = static_cast<double>(w.positionY) - BaselineBelowMiddle(w) * h0;
    const double cx = w.positionX;
    const double cy = w.amplitude > 0 ? mid0 + lines[0].radius : mid0 - lines[0].radius;
    const wrap_preset::CircleStart from =
        w.amplitude > 0 ? wrap_preset::CircleStart::kBottom : wrap_preset::CircleStart::kTop;

    bool ok = true;
    for (int32_t i = 0; i < n && ok; ++i) {
        KyPath *circle = wrap_preset::MakeCircle(cx, cy, lines[i].radius, from, kLineNoMemoryCircle);
        if (!circle) {
            ok = false;
            break;
        }
        WrapInfo one = w;
        one.baseline = circle;
        one.repeatCount = copies;
        if (n == 1) {
            one.fitToLength = 0;
            one.startOffset = w.startOffset + lines[i].start;
        } else if (!w.fitToLength) {
            one.startOffset = w.startOffset + lines[i].start;
        } else if (std::abs(w.amplitude) != 100) {
            // The line is stretched over its arc alone.
            ok = dash::TrimToRange(&circle, IntoUnit(w.startOffset + lines[k].start),
                                   IntoUnit(w.startOffset + lines[k].end)) &&
                 circle;
            one.baseline = circle;
            one.startOffset = 0.0;
        }
        if (ok) ok = WrapWithPath(&lines[i].head, &one, Level::kCircles);
        if (circle) KyPathDeletePtr(circle, 0);
    }
    *figure = Relink(lines, n);
    mem::MemFree(lines);
    if (ok) info->closedLoop = 1;
    return ok;
}

}  // namespace wrap
