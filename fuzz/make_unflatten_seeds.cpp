// fuzz/make_unflatten_seeds.cpp - writes the seed corpus of the
// unflatten fuzzer: valid flat blocks of the kinds hosts hand back.
//
//   make_unflatten_seeds <directory>
//
// The seeds under tests/fuzz/unflatten/ were made with this program; run
// it again when the writer's layout changes.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "y32path/core.h"
#include "y32path/edit.h"

namespace {

KyPath *Make(std::initializer_list<std::array<double, 3>> pts) {
    KyPath *p = KyPathCreate();
    for (const auto &pt : pts) {
        FIXED xy[2] = {DbToFix(pt[1]), DbToFix(pt[2])};
        KyPathAddPoint(&p, xy, static_cast<uint32_t>(pt[0]));
    }
    return p;
}

void Link(std::initializer_list<KyPath *> records) {
    KyPath *prev = nullptr;
    for (KyPath *r : records) {
        r->prev = prev;
        if (prev) prev->next = r;
        prev = r;
    }
}

bool Save(const std::string &dir, const char *name, const void *bytes, size_t size) {
    std::string file = dir + "/" + name;
    FILE *f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool SaveFlat(const std::string &dir, const char *name, KyPath *p) {
    uint32_t size = 0;
    HGLOBAL g = nullptr;
    if (!KyPathFlatten(p, &size, &g)) return false;
    bool ok = Save(dir, name, g, size);
    GlobalFree(g);
    KyPathDeletePtr(p, 0);
    return ok;
}

void Put(std::vector<uint8_t> &b, uint32_t v) {
    uint8_t w[4];
    std::memcpy(w, &v, 4);
    b.insert(b.end(), w, w + 4);
}
void PutPoint(std::vector<uint8_t> &b, uint16_t type, double x, double y) {
    uint8_t t[2];
    std::memcpy(t, &type, 2);
    b.insert(b.end(), t, t + 2);
    Put(b, static_cast<uint32_t>(DbToFix(x)));
    Put(b, static_cast<uint32_t>(DbToFix(y)));
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    KyPathInit();
    bool ok = true;

    // Three records: a group chain, a selection list, and a stroke with
    // two arrowheads (the first a grouped pair).
    KyPath *a = Make({{PT_MOVETO, 0, 0}, {PT_LINETO | PT_SELECTED, 10.5, -3.25}});
    KyPath *b = Make({{PT_MOVETO, 1, 1}, {PT_BEZIERTO, 2, 2}, {PT_BEZIERTO, 3, 3}, {PT_BEZIERTO | PT_CLOSEFIGURE, 1, 1}});
    KyPath *c = Make({{PT_MOVETO, 5, 5}, {PT_LINETO, 6, 5}});
    KyPathPurge(&a);
    KyPathPurge(&b);
    KyPathPurge(&c);
    Link({a, b, c});
    b->groupNext = c, c->groupPrev = b;
    a->flags = KPF_SELECTED | KPF_HASSELPOINT, c->flags = KPF_SELECTED;
    a->selNext = c, c->selPrev = a;
    KyPath *s1 = Make({{PT_MOVETO, 9, 9}, {PT_LINETO, 12, 9}}), *s2 = Make({{PT_MOVETO, 9, 9}, {PT_LINETO, 9, 12}});
    KyPathPurge(&s1);
    KyPathPurge(&s2);
    Link({s1, s2});
    s1->groupNext = s2, s2->groupPrev = s1;
    KyPath *e = Make({{PT_MOVETO, 8, 8}, {PT_LINETO, 7, 7}});
    KyPathPurge(&e);
    OutlineInfo *info = nullptr;
    KyPathAssignOutlineInfo(1, 2, s1, 3, 4, e, 2, nullptr, 10, 3, 0, 0, &info);
    KyPathSetOutlineInfo(a, info);
    ok &= SaveFlat(dir, "three_records_stroke.bin", a);

    // One record with its full room (100 points' worth of spare bytes).
    ok &= SaveFlat(dir, "one_record_room.bin", Make({{PT_MOVETO, 0, 0}, {PT_LINETO, 100, 0}}));

    // A stroke whose arrowhead carries a stroke of its own.
    KyPath *top = Make({{PT_MOVETO, 0, 0}, {PT_LINETO, 5, 5}});
    KyPath *arrow = Make({{PT_MOVETO, 1, 1}});
    KyPath *inner = Make({{PT_MOVETO, 2, 2}});
    KyPathPurge(&top);
    KyPathPurge(&arrow);
    KyPathPurge(&inner);
    OutlineInfo *outer_info = nullptr, *inner_info = nullptr;
    KyPathAssignOutlineInfo(0, 0, inner, 0, 0, nullptr, 0, nullptr, 0, 0, 0, 0, &inner_info);
    KyPathSetOutlineInfo(arrow, inner_info);
    KyPathAssignOutlineInfo(0, 0, nullptr, 0, 0, nullptr, 5, arrow, 1, 1, 1, 1, &outer_info);
    KyPathSetOutlineInfo(top, outer_info);
    ok &= SaveFlat(dir, "nested_stroke.bin", top);

    // An empty block.
    std::vector<uint8_t> empty;
    Put(empty, 16), Put(empty, 0), Put(empty, 0), Put(empty, 0);
    ok &= Save(dir, "empty.bin", empty.data(), empty.size());

    // Two records of the older header (no version, no shape) linked by
    // address, and one of the newer format with the old envelope flags.
    std::vector<uint8_t> old;
    Put(old, 8 * 3 + 16), Put(old, 0);
    Put(old, 0x1000), Put(old, 32 + 4 * 10);
    Put(old, 0x2000), Put(old, 32 + 2 * 10);
    Put(old, 0x3000), Put(old, 40 + 2 * 10);
    Put(old, 0), Put(old, 0);
    for (uint32_t w : {0u, 0x2000u, 0u, 0x2000u, 0u, 0x3000u, 4u, KPF_SELECTED | KPF_HASSELPOINT}) Put(old, w);
    PutPoint(old, PT_MOVETO, 0, 0);
    PutPoint(old, PT_BEZIERTO | PT_SELECTED, 1, 1);
    PutPoint(old, PT_BEZIERTO, 2, 1);
    PutPoint(old, PT_BEZIERTO, 3, 0);
    for (uint32_t w : {0x1000u, 0u, 0x1000u, 0u, 0u, 0u, 2u, 0x88800000u}) Put(old, w);
    PutPoint(old, PT_MOVETO, 5, 5);
    PutPoint(old, PT_LINETO, 6, 6);
    for (uint32_t w : {1280u, 0x2000u, 0u, 0u, 0u, 0x1000u, 0u, 2u, KPF_SELECTED, 2u}) Put(old, w);
    PutPoint(old, PT_MOVETO, 7, 7);
    PutPoint(old, PT_LINETO, 8, 8);
    ok &= Save(dir, "old_header_records.bin", old.data(), old.size());

    if (!ok) std::fprintf(stderr, "could not write every seed to %s\n", dir.c_str());
    return ok ? 0 : 1;
}
