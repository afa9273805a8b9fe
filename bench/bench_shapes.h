// bench/bench_shapes.h - the outlines the fill benchmarks share: plain
// contours of lines and cubics in pixels (y down), the tuning scenes, and
// the same outline in our form and in each peer's.
//
// The cairo and FreeType pieces are compiled only where their headers were
// included before this one, so a benchmark built without a peer still
// compiles.
#pragma once

#include <cmath>
#include <vector>

#include "y32Path.h"

namespace bench {

struct Seg {
    bool line;
    double x1, y1, x2, y2, x3, y3;  // controls unused for a line
};
struct Contour {
    double x0, y0;
    std::vector<Seg> segs;  // the last one ends on (x0, y0)
};
using Shape = std::vector<Contour>;

inline void LineTo(Contour &c, double x, double y) { c.segs.push_back({true, 0, 0, 0, 0, x, y}); }
inline void CurveTo(Contour &c, double x1, double y1, double x2, double y2, double x3, double y3) {
    c.segs.push_back({false, x1, y1, x2, y2, x3, y3});
}

inline Contour Polygon(const std::vector<double> &xy) {
    Contour c{xy[0], xy[1], {}};
    for (size_t i = 2; i + 1 < xy.size(); i += 2) LineTo(c, xy[i], xy[i + 1]);
    LineTo(c, xy[0], xy[1]);
    return c;
}

// Four cubics, clockwise on screen (y down) unless `reverse`.
inline Contour Circle(double cx, double cy, double r, bool reverse) {
    const double k = 0.5522847498 * r, t = reverse ? -1 : 1;
    Contour c{cx + r, cy, {}};
    CurveTo(c, cx + r, cy + t * k, cx + k, cy + t * r, cx, cy + t * r);
    CurveTo(c, cx - k, cy + t * r, cx - r, cy + t * k, cx - r, cy);
    CurveTo(c, cx - r, cy - t * k, cx - k, cy - t * r, cx, cy - t * r);
    CurveTo(c, cx + k, cy - t * r, cx + r, cy - t * k, cx + r, cy);
    return c;
}

// Scene A at scale s (1 = the 1024 canvas): a 200-vertex star, three
// circles (the middle one turning the other way, a hole under non-zero)
// and a self-crossing loop.
inline Shape SceneA(double s) {
    std::vector<double> star;
    for (int i = 0; i < 200; ++i) {
        const double r = (i % 2 ? 300 : 490) * s, a = 2 * M_PI * i / 200;
        star.push_back(512 * s + r * std::cos(a));
        star.push_back(512 * s + r * std::sin(a));
    }
    Shape shape{Polygon(star), Circle(300 * s, 300 * s, 180 * s, false), Circle(720 * s, 330 * s, 150 * s, false),
                Circle(512 * s, 512 * s, 120 * s, true)};
    Contour loop{100 * s, 900 * s, {}};
    CurveTo(loop, 900 * s, 100 * s, 900 * s, 1000 * s, 100 * s, 300 * s);
    CurveTo(loop, 50 * s, 500 * s, 400 * s, 1000 * s, 100 * s, 900 * s);
    shape.push_back(loop);
    return shape;
}

// Scene B at scale s: the star polygon {199/83}.
inline Shape SceneB(double s) {
    std::vector<double> star;
    for (int i = 0; i < 199; ++i) {
        const double a = 2 * M_PI * ((83 * i) % 199) / 199;
        star.push_back(512 * s + 500 * s * std::cos(a));
        star.push_back(512 * s + 500 * s * std::sin(a));
    }
    return {Polygon(star)};
}

// One record per contour, linked as one group of one table list: one mask.
inline KyPath *ToKyPath(const Shape &shape) {
    KyPathInit();
    auto put = [](KyPath **p, double x, double y, uint32_t type) {
        FIXED xy[2] = {DbToFix(x), DbToFix(y)};
        KyPathAddPoint(p, xy, type);
    };
    KyPath *head = nullptr, *prev = nullptr;
    for (const Contour &c : shape) {
        KyPath *p = KyPathCreate();
        put(&p, c.x0, c.y0, PT_MOVETO);
        for (const Seg &g : c.segs) {
            if (g.line) {
                put(&p, g.x3, g.y3, PT_LINETO);
            } else {
                put(&p, g.x1, g.y1, PT_BEZIERTO);
                put(&p, g.x2, g.y2, PT_BEZIERTO);
                put(&p, g.x3, g.y3, PT_BEZIERTO);
            }
        }
        KyPathPoints(p)[p->count - 1].type |= PT_CLOSEFIGURE;
        if (prev) {
            prev->next = prev->groupNext = p;
            p->prev = p->groupPrev = prev;
        } else {
            head = p;
        }
        prev = p;
    }
    return head;
}

// The buffer KyPathToBuf makes (the shape's box with its margin); the peers
// fill the same size with the same offset. Empty when there is no shape.
struct Frame {
    int w = 0, h = 0;
    double dx = 0, dy = 0;
};
inline Frame FrameOf(const Shape &shape) {
    KyPath *p = ToKyPath(shape);
    Frame f;
    Y32Rect r{};
    if (p && KyPathGetMiniMaxRect(p, 65536, &r))
        f = Frame{r.right - r.left, r.bottom - r.top, -static_cast<double>(r.left), -static_cast<double>(r.top)};
    if (p) KyPathDeletePtr(p, 0);
    return f;
}

#ifdef CAIRO_H
inline void CairoPath(cairo_t *cr, const Shape &shape, double dx, double dy) {
    cairo_new_path(cr);
    for (const Contour &c : shape) {
        cairo_move_to(cr, c.x0 + dx, c.y0 + dy);
        for (const Seg &g : c.segs) {
            if (g.line) cairo_line_to(cr, g.x3 + dx, g.y3 + dy);
            else cairo_curve_to(cr, g.x1 + dx, g.y1 + dy, g.x2 + dx, g.y2 + dy, g.x3 + dx, g.y3 + dy);
        }
        cairo_close_path(cr);
    }
}
#endif

#ifdef FT_OUTLINE_H
// Appends a FreeType outline to `shape`: x' = ox + x * scale, y' = oy - y *
// scale (y flipped to point down); conics raised to cubics.
inline void AppendOutline(const FT_Outline &outline, Shape *shape, double ox, double oy, double scale) {
    struct Pen {
        Shape *shape;
        double ox, oy, scale, cx = 0, cy = 0;
        double X(const FT_Vector *v) const { return ox + v->x / 64.0 * scale; }
        double Y(const FT_Vector *v) const { return oy - v->y / 64.0 * scale; }
        void At(double x, double y) {
            cx = x;
            cy = y;
        }
    } pen{shape, ox, oy, scale};
    FT_Outline_Funcs funcs{};
    funcs.move_to = [](const FT_Vector *to, void *user) {
        auto *d = static_cast<Pen *>(user);
        d->At(d->X(to), d->Y(to));
        d->shape->push_back({d->cx, d->cy, {}});
        return 0;
    };
    funcs.line_to = [](const FT_Vector *to, void *user) {
        auto *d = static_cast<Pen *>(user);
        d->At(d->X(to), d->Y(to));
        LineTo(d->shape->back(), d->cx, d->cy);
        return 0;
    };
    funcs.conic_to = [](const FT_Vector *c, const FT_Vector *to, void *user) {
        auto *d = static_cast<Pen *>(user);
        const double qx = d->X(c), qy = d->Y(c), ex = d->X(to), ey = d->Y(to);
        CurveTo(d->shape->back(), d->cx + 2.0 / 3 * (qx - d->cx), d->cy + 2.0 / 3 * (qy - d->cy),
                ex + 2.0 / 3 * (qx - ex), ey + 2.0 / 3 * (qy - ey), ex, ey);
        d->At(ex, ey);
        return 0;
    };
    funcs.cubic_to = [](const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user) {
        auto *d = static_cast<Pen *>(user);
        CurveTo(d->shape->back(), d->X(c1), d->Y(c1), d->X(c2), d->Y(c2), d->X(to), d->Y(to));
        d->At(d->X(to), d->Y(to));
        return 0;
    };
    FT_Outline_Decompose(const_cast<FT_Outline *>(&outline), &funcs, &pen);
}

// The shape as one FT_Outline with cubic tags, y up, 26.6, offset like the
// other renderers' frames.
struct FtShape {
    FT_Library library;
    FT_Outline outline{};
    bool ok = false;
    FtShape(FT_Library lib, const Shape &shape, const Frame &f, bool even_odd) : library(lib) {
        size_t points = 0;
        for (const Contour &c : shape) points += 1 + c.segs.size() * 3;
        if (!lib || FT_Outline_New(lib, static_cast<FT_UInt>(points), static_cast<FT_Int>(shape.size()), &outline))
            return;
        outline.n_points = 0;
        outline.n_contours = 0;
        auto put = [&](double x, double y, char tag) {
            FT_Vector &v = outline.points[outline.n_points];
            v.x = static_cast<FT_Pos>(std::lround((x + f.dx) * 64));
            v.y = static_cast<FT_Pos>(std::lround((f.h - (y + f.dy)) * 64));
            outline.tags[outline.n_points++] = tag;
        };
        for (const Contour &c : shape) {
            put(c.x0, c.y0, FT_CURVE_TAG_ON);
            for (size_t i = 0; i < c.segs.size(); ++i) {
                const Seg &g = c.segs[i];
                if (!g.line) {
                    put(g.x1, g.y1, FT_CURVE_TAG_CUBIC);
                    put(g.x2, g.y2, FT_CURVE_TAG_CUBIC);
                }
                // The contour closes on its first point by itself.
                if (i + 1 < c.segs.size() || g.x3 != c.x0 || g.y3 != c.y0) put(g.x3, g.y3, FT_CURVE_TAG_ON);
            }
            outline.contours[outline.n_contours++] = static_cast<short>(outline.n_points - 1);
        }
        // FT_OUTLINE_OWNER kept: without it FT_Outline_Done frees nothing.
        outline.flags |= even_odd ? FT_OUTLINE_EVEN_ODD_FILL : FT_OUTLINE_NONE;
        ok = true;
    }
    ~FtShape() {
        if (ok) FT_Outline_Done(library, &outline);
    }
    FtShape(const FtShape &) = delete;
    FtShape &operator=(const FtShape &) = delete;
};
#endif

}  // namespace bench
