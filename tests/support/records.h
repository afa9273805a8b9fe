// tests/support/records.h - builders, snapshots and failure sweeps shared by
// the folders' tests on record lists.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "platform/alloc_fail.h"
#include "support/path_fixture.h"
#include "y32Comm.h"

namespace testing_support {

// A closed rectangle from (l, t) clockwise on screen.
inline KyPath *Rect(double l, double t, double r, double b) {
    return MakePath({{PT_MOVETO, l, t}, {PT_LINETO, r, t}, {PT_LINETO, r, b}, {PT_LINETO, l, b},
                     {PT_LINETO | PT_CLOSEFIGURE, l, t}});
}

// A closed circle of four curves about (cx, cy), starting at its bottom.
inline KyPath *Circle(double cx, double cy, double r) {
    const double k = 0.5522847 * r;
    return MakePath({{PT_MOVETO, cx, cy + r},     {PT_BEZIERTO, cx - k, cy + r}, {PT_BEZIERTO, cx - r, cy + k},
                     {PT_BEZIERTO, cx - r, cy},   {PT_BEZIERTO, cx - r, cy - k}, {PT_BEZIERTO, cx - k, cy - r},
                     {PT_BEZIERTO, cx, cy - r},   {PT_BEZIERTO, cx + k, cy - r}, {PT_BEZIERTO, cx + r, cy - k},
                     {PT_BEZIERTO, cx + r, cy},   {PT_BEZIERTO, cx + r, cy + k}, {PT_BEZIERTO, cx + k, cy + r},
                     {PT_BEZIERTO | PT_CLOSEFIGURE, cx, cy + r}});
}

// Selects records and links them, in order, into one selection list.
inline void LinkSelection(std::initializer_list<KyPath *> records) {
    KyPath *prev = nullptr;
    for (KyPath *r : records) {
        r->flags |= KPF_SELECTED;
        r->selPrev = prev;
        if (prev) prev->selNext = r;
        prev = r;
    }
}

// Links records, in order, into one group chain.
inline void LinkGroup(std::initializer_list<KyPath *> records) {
    KyPath *prev = nullptr;
    for (KyPath *r : records) {
        r->groupPrev = prev;
        if (prev) prev->groupNext = r;
        prev = r;
    }
}

// Marks point i of a record as a selected node.
inline void SelectPoint(KyPath *p, int32_t i) {
    path::Points(p)[i].type = static_cast<uint16_t>(path::Points(p)[i].type | PT_SELECTED);
    p->flags |= KPF_HASSELPOINT;
}

inline std::vector<KyPath *> Records(KyPath *head) {
    std::vector<KyPath *> v;
    for (KyPath *r = head; r; r = r->next) v.push_back(r);
    return v;
}

// The raw bytes of every record of a list: what "left as it was" means.
inline std::vector<std::vector<uint8_t>> Bytes(const KyPath *head) {
    std::vector<std::vector<uint8_t>> v;
    for (const KyPath *r = head; r; r = r->next) {
        const auto *b = reinterpret_cast<const uint8_t *>(r);
        v.emplace_back(b, b + sizeof(KyPath) + sizeof(PathPoint) * static_cast<size_t>(r->count));
    }
    return v;
}

// The raw bytes of one record, header and points.
inline std::vector<uint8_t> RecordBytes(const KyPath *r) {
    const auto *b = reinterpret_cast<const uint8_t *>(r);
    return std::vector<uint8_t>(b, b + sizeof(KyPath) + sizeof(PathPoint) * static_cast<size_t>(r->count));
}

struct XY {
    double x, y;
};

// Every point of every record of a list, in pixels (copied out of the
// packed points).
inline std::vector<XY> PointsXY(const KyPath *head) {
    std::vector<XY> v;
    for (const KyPath *r = head; r; r = r->next)
        for (int32_t i = 0; i < r->count; ++i)
            v.push_back({FixToDb(+path::Points(r)[i].x), FixToDb(+path::Points(r)[i].y)});
    return v;
}

inline Y32ErrInfo LastError() {
    Y32ErrInfo e{};
    c32GetDLLErrInfo(&e);
    return e;
}

// Runs `attempt(i)` for i = 0, 1, ... until it succeeds; the attempt makes
// the i-th allocation of the call under test fail (plat::ScopedAllocFailure
// around that call only) and checks the aftermath of a failure itself.
// Fails the test when no attempt succeeds within `limit` or fewer than
// `min_points` allocations could be made to fail. Gives that number.
template <class Attempt>
int64_t SweepAllocFailures(int64_t limit, int64_t min_points, Attempt attempt) {
    int64_t i = 0;
    while (i < limit && !attempt(i)) ++i;
    EXPECT_LT(i, limit) << "never succeeded";
    EXPECT_GE(i, min_points) << "too few allocations were made to fail";
    std::printf("%lld failure points\n", static_cast<long long>(i));
    return i;
}

}  // namespace testing_support
