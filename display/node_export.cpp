// display/node_export.cpp - handing the positions around selected nodes to
// the host and taking them back.
//
// While the user drags nodes the host draws the segments next to them
// itself, from window positions the library gives it, and hands the moved
// positions back when the drag ends. The array has twelve window points:
// up to eleven entries (points in point order, runs that do not join
// separated by a break pair) and the end mark, which the twelfth entry
// always holds. Both directions walk the same entries, so what the host
// reads back lines up with what it was given.
#include <new>
#include <vector>

#include "core/fixed.h"
#include "core/path_record.h"
#include "core/view.h"
#include "display/nodes.h"
#include "y32path/display.h"

namespace {

constexpr int32_t kEntrySlots = KYPATH_NODES_SLOTS - 1;  // the last slot holds the end mark
constexpr int32_t kBreak = -1;

// The points that shape the segments next to each selected node, as point
// indices in output order with kBreak between runs. *open_end tells
// whether a run contains an open end of the subpath.
std::vector<int32_t> EntriesOf(const KyPath *p, bool *open_end) {
    const std::vector<nodes::Role> roles = nodes::RolesOf(p);
    const int32_t last = p->count - 1;
    const bool closed = path::IsClosed(p);
    std::vector<bool> inc(static_cast<size_t>(p->count), false);
    // Marks a..b along the subpath, wrapping through the closing point.
    auto include = [&](int32_t a, int32_t b) {
        if (a <= b) {
            for (int32_t i = a; i <= b; ++i) inc[i] = true;
        } else {
            for (int32_t i = a; i <= last; ++i) inc[i] = true;
            for (int32_t i = 0; i <= b; ++i) inc[i] = true;
        }
    };
    for (int32_t k = 0; k <= last; ++k) {
        if (roles[k] != nodes::Role::kNode || (closed && k == 0) || !nodes::NodeSelected(p, k)) continue;
        const int32_t prev = nodes::PrevNode(p, roles, k), next = nodes::NextNode(p, roles, k);
        include(prev >= 0 ? prev : k, k);
        include(k, next >= 0 ? next : k);
    }

    std::vector<int32_t> seq;
    *open_end = false;
    if (!closed) {
        bool in_run = false;
        for (int32_t i = 0; i <= last; ++i) {
            if (!inc[i]) {
                in_run = false;
                continue;
            }
            if (!in_run && !seq.empty()) seq.push_back(kBreak);
            seq.push_back(i);
            in_run = true;
            if (i == 0 || i == last) *open_end = true;
        }
        return seq;
    }
    // Closed: point 0 is the closing point; the walk goes round 1..last and
    // starts where a run starts, so that a run across the closing point
    // comes out in one piece.
    if (last < 1) return seq;
    if (inc[0]) inc[last] = true;
    auto before = [&](int32_t i) { return i == 1 ? last : i - 1; };
    int32_t start = -1;
    for (int32_t i = 1; i <= last && start < 0; ++i)
        if (inc[i] && !inc[before(i)]) start = i;
    if (start < 0) {
        bool any = false;
        for (int32_t i = 1; i <= last; ++i) any = any || inc[i];
        if (!any) return seq;
        // Every point: the whole loop, closed by repeating its start.
        seq.push_back(last);
        for (int32_t i = 1; i <= last; ++i) seq.push_back(i);
        return seq;
    }
    bool in_run = false;
    for (int32_t n = 0, i = start; n < last; ++n, i = i == last ? 1 : i + 1) {
        if (!inc[i]) {
            in_run = false;
            continue;
        }
        if (!in_run && !seq.empty()) seq.push_back(kBreak);
        seq.push_back(i);
        in_run = true;
    }
    return seq;
}

POINT Mark(int32_t v) { return POINT{v, v}; }

}  // namespace

Y32_BEGIN_C

int32_t KyPathSelectedToView(CoordStruct *v, KyPath *p, POINT *out, int32_t direction) {
    if (!v || !p || !out || !v->lpDB) return 0;
    const bool alone = !p->selPrev && !p->selNext;
    const bool qualifies = (p->flags & (KPF_HASSELPOINT | KPF_ENVELOPE1 | KPF_ENVELOPE2)) != 0;
    // Reading back needs the zoom to divide by.
    if (!alone || !qualifies || p->count <= 0 || (direction != 0 && v->zoom == 0.0)) {
        out[kEntrySlots] = Mark(KYPATH_NODES_END);
        if (direction == 0) out[0] = Mark(KYPATH_NODES_END);
        return 0;
    }
    bool open_end = false;
    std::vector<int32_t> seq;
    try {
        seq = EntriesOf(p, &open_end);
    } catch (const std::bad_alloc &) {
        out[kEntrySlots] = Mark(KYPATH_NODES_END);
        return 0;
    }
    const POINT end_mark = Mark(open_end ? KYPATH_NODES_OPEN_END : KYPATH_NODES_END);
    PathPoint *pts = path::Points(p);
    const int32_t last = p->count - 1;
    const bool closed = path::IsClosed(p);
    const double off_x = static_cast<double>(v->scrollX) - v->left;
    const double off_y = static_cast<double>(v->scrollY) - v->top;
    auto win_x = [&](int32_t i) { return view::TruncToInt(fx::ToDouble(pts[i].x) * v->zoom - off_x); };
    auto win_y = [&](int32_t i) { return view::TruncToInt(fx::ToDouble(pts[i].y) * v->zoom - off_y); };

    int32_t slot = 0, count = 0;
    if (direction == 0) {
        for (int32_t idx : seq) {
            if (slot >= kEntrySlots) break;
            if (idx == kBreak) {
                out[slot++] = Mark(KYPATH_NODES_BREAK);
                continue;
            }
            out[slot++] = POINT{win_x(idx), win_y(idx)};
            ++count;
        }
        if (slot < kEntrySlots) out[slot] = end_mark;
        out[kEntrySlots] = end_mark;
        return count;
    }

    p->shape = 0;
    for (int32_t idx : seq) {
        if (slot >= kEntrySlots) break;
        const POINT e = out[slot++];
        if (idx == kBreak) continue;
        ++count;
        // Each axis on its own: a node dragged sideways keeps the exact
        // vertical position it had, and the other way round.
        const bool move_x = e.x != win_x(idx), move_y = e.y != win_y(idx);
        const FIXED nx = move_x ? fx::FromDouble((e.x + off_x) / v->zoom) : pts[idx].x;
        const FIXED ny = move_y ? fx::FromDouble((e.y + off_y) / v->zoom) : pts[idx].y;
        pts[idx].x = nx;
        pts[idx].y = ny;
        // The closing point repeats point 0 and must keep doing so.
        if (closed && idx == last && (move_x || move_y)) {
            pts[0].x = nx;
            pts[0].y = ny;
        }
    }
    out[kEntrySlots] = end_mark;
    return count;
}

Y32_END_C
