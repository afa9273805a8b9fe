// display/nodes.cpp - node squares and handle lines on the window.
//
// Everything here is drawn in exclusive-or on the host's device context,
// so the same call made twice leaves the window as it was; nothing is
// remembered between calls. Each drawer restores the pen, brush and raster
// operation it found. Positions are window pixels: trunc(x * zoom) -
// (scroll - client origin).
#include "display/nodes.h"

#include <new>

#include "core/path_record.h"
#include "core/path_table.h"
#include "core/point_walk.h"
#include "core/view.h"
#include "y32path/display.h"

namespace nodes {

namespace {
bool g_nodes_shown = true;
}

bool NodesShown() { return g_nodes_shown; }

std::vector<Role> RolesOf(const KyPath *p) {
    std::vector<Role> roles(static_cast<size_t>(p->count > 0 ? p->count : 0), Role::kNode);
    const PathPoint *pts = path::Points(p);
    for (int32_t i = 1; i < p->count;) {
        const uint16_t t = pts[i].type & path::kTypeMask;
        if (t == PT_BEZIERTO && i + 2 < p->count) {
            roles[i] = Role::kControl1;
            roles[i + 1] = Role::kControl2;
            i += 3;
        } else if (!path::IsPositionEntry(pts[i].type)) {
            const int32_t w = path::EntryWidth(pts[i].type);
            for (int32_t k = 0; k < w && i + k < p->count; ++k) roles[i + k] = Role::kParameter;
            i += w;
        } else {
            i += 1;
        }
    }
    return roles;
}

int32_t PrevNode(const KyPath *p, const std::vector<Role> &roles, int32_t k) {
    const int32_t last = p->count - 1;
    if (k == 0) return path::IsClosed(p) && last > 0 ? PrevNode(p, roles, last) : -1;
    int32_t j = k - 1;
    while (j >= 0 && roles[j] != Role::kNode) --j;
    return j;
}

int32_t NextNode(const KyPath *p, const std::vector<Role> &roles, int32_t k) {
    const int32_t last = p->count - 1;
    if (k == last && path::IsClosed(p)) k = 0;
    int32_t j = k + 1;
    while (j <= last && roles[j] != Role::kNode) ++j;
    return j <= last ? j : -1;
}

bool NodeSelected(const KyPath *p, int32_t k) {
    const PathPoint *pts = path::Points(p);
    const int32_t last = p->count - 1;
    if (k < 0 || k > last) return false;
    if (path::IsClosed(p) && (k == 0 || k == last)) return ((pts[0].type | pts[last].type) & PT_SELECTED) != 0;
    return (pts[k].type & PT_SELECTED) != 0;
}

}  // namespace nodes

namespace {

constexpr COLORREF kSquarePenColour = 0xFFFF00;  // 0x00BBGGRR
constexpr COLORREF kHandlePenColour = 0xC0;

// One square from (x - lo, y - lo) to (x + hi, y + hi), the far edges
// excluded, with a width-2 pen and the given stock brush.
int32_t Square(HDC hdc, int32_t x, int32_t y, int32_t lo, int32_t hi, int32_t brush) {
    HPEN pen = CreatePen(PS_SOLID, 2, kSquarePenColour);
    if (!pen) return 0;
    HGDIOBJ old_pen = SelectObject(hdc, pen);
    if (!old_pen) {
        DeleteObject(pen);
        return 0;
    }
    HGDIOBJ old_brush = SelectObject(hdc, GetStockObject(brush));
    Rectangle(hdc, view::Clamp32(int64_t{x} - lo), view::Clamp32(int64_t{y} - lo), view::Clamp32(int64_t{x} + hi),
              view::Clamp32(int64_t{y} + hi));
    SelectObject(hdc, old_brush);
    SelectObject(hdc, old_pen);
    DeleteObject(pen);
    return 1;
}

struct WindowPoints {
    const KyPath *p;
    const CoordStruct *v;
    int32_t X(int32_t i) const { return view::FixedToWindowX(v, path::Points(p)[i].x); }
    int32_t Y(int32_t i) const { return view::FixedToWindowY(v, path::Points(p)[i].y); }
};

}  // namespace

Y32_BEGIN_C

int32_t KyPathDrawNodesTurnOn(int32_t flag) {
    nodes::g_nodes_shown = flag != 0;
    return flag;
}

int32_t KyPathDrawActiveNode(HDC hdc, int32_t x, int32_t y) { return Square(hdc, x, y, 4, 5, HOLLOW_BRUSH); }
int32_t KyPathDrawInactiveNode(HDC hdc, int32_t x, int32_t y) { return Square(hdc, x, y, 4, 5, GRAY_BRUSH); }
int32_t KyPathDrawSmallNode(HDC hdc, int32_t x, int32_t y) { return Square(hdc, x, y, 2, 3, GRAY_BRUSH); }

int32_t KyPathDrawNodes(HDC hdc, KyPath *p, CoordStruct *v) {
    if (!nodes::g_nodes_shown) return 0;
    if (!hdc || !p || !v) return 0;
    if (!v->lpDB || p->count <= 0) return 1;
    std::vector<nodes::Role> roles;
    try {
        roles = nodes::RolesOf(p);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    HPEN handle_pen = CreatePen(PS_DOT, 0, kHandlePenColour);
    if (!handle_pen) return 0;
    HGDIOBJ old_pen = SelectObject(hdc, handle_pen);
    if (!old_pen) {
        DeleteObject(handle_pen);
        return 0;
    }
    const int32_t old_rop = SetROP2(hdc, R2_XORPEN);

    const WindowPoints w{p, v};
    const int32_t last = p->count - 1;
    const bool closed = path::IsClosed(p);
    const bool show_active = !(p->flags & (KPF_ENVELOPE1 | KPF_ENVELOPE2));
    // A closed subpath repeats point 0 as its last point; one square there.
    const bool skip_first = closed && last > 0 && w.X(0) == w.X(last) && w.Y(0) == w.Y(last);
    auto handle = [&](int32_t from, int32_t to) {
        MoveToEx(hdc, w.X(from), w.Y(from), nullptr);
        LineTo(hdc, w.X(to), w.Y(to));
    };
    for (int32_t i = 0; i <= last; ++i) {
        if (i == 0 && skip_first) continue;
        switch (roles[i]) {
            case nodes::Role::kParameter: break;
            case nodes::Role::kControl1:
                // Shown when its curve starts or ends at a selected node
                // (NodeSelected wraps point 0 and the closing point).
                if (nodes::NodeSelected(p, i - 1) || nodes::NodeSelected(p, i + 2)) {
                    handle(i, i - 1);
                    KyPathDrawSmallNode(hdc, w.X(i), w.Y(i));
                }
                break;
            case nodes::Role::kControl2:
                if (nodes::NodeSelected(p, i + 1) || nodes::NodeSelected(p, i - 2)) {
                    handle(i, i + 1);
                    KyPathDrawSmallNode(hdc, w.X(i), w.Y(i));
                }
                break;
            case nodes::Role::kNode:
                if (show_active && nodes::NodeSelected(p, i)) KyPathDrawActiveNode(hdc, w.X(i), w.Y(i));
                else KyPathDrawInactiveNode(hdc, w.X(i), w.Y(i));
                break;
        }
    }
    SelectObject(hdc, old_pen);
    DeleteObject(handle_pen);
    SetROP2(hdc, old_rop);
    return 1;
}

void KyPathDrawNodesOnUnselectedSegments(HDC hdc, KyPath *p, CoordStruct *v) {
    if (!nodes::g_nodes_shown || !hdc || !p || !v || p->count <= 0) return;
    if (p->flags & (KPF_ENVELOPE1 | KPF_ENVELOPE2)) return;
    std::vector<nodes::Role> roles;
    std::vector<bool> marked;
    try {
        roles = nodes::RolesOf(p);
        marked.assign(static_cast<size_t>(p->count), false);
    } catch (const std::bad_alloc &) {
        return;
    }
    const PathPoint *pts = path::Points(p);
    const int32_t last = p->count - 1;
    const bool closed = path::IsClosed(p);
    for (int32_t i = 0; i <= last; ++i) marked[i] = roles[i] == nodes::Role::kNode && !(closed && i == 0);
    // The closing point stands for point 0 on a closed subpath.
    auto unmark = [&](int32_t k) {
        if (k < 0) return;
        marked[k] = false;
        if (closed && k == 0) marked[last] = false;
    };
    int32_t first_selected = -1;
    for (int32_t i = 0; i <= last && first_selected < 0; ++i)
        if (roles[i] == nodes::Role::kNode && (pts[i].type & PT_SELECTED)) first_selected = i;
    if (first_selected >= 0) {
        unmark(first_selected);
        unmark(nodes::PrevNode(p, roles, first_selected));
        unmark(nodes::NextNode(p, roles, first_selected));
    }
    const WindowPoints w{p, v};
    const int32_t old_rop = SetROP2(hdc, R2_XORPEN);
    for (int32_t i = 0; i <= last; ++i)
        if (marked[i]) KyPathDrawInactiveNode(hdc, w.X(i), w.Y(i));
    if (old_rop) SetROP2(hdc, old_rop);
}

int32_t KyPathTblRepaintNodes(HDC hdc, PathTable *t, CoordStruct *v) {
    if (!t || !t->state) return 0;
    const PathGroup *g = table::CurrentGroup(t);
    if (!g || !g->firstSelected) return 0;
    for (KyPath *r = g->firstSelected; r; r = r->selNext) KyPathDrawNodes(hdc, r, v);
    return 1;
}

Y32_END_C
