// core/outline_info.cpp - the stroke description a chain's head carries.
#include "core/path_record.h"
#include "platform/runtime_memory.h"
#include "y32path/core.h"

namespace {

// One (key, path) slot of an existing record. A changed key replaces the
// stored path; an unchanged key keeps it, and the newly given path (the
// caller handed it over) is freed unless it is the stored one.
void UpdateSlot(int32_t *stored_key, const int32_t *key, int n, KyPath *&stored, KyPath *given) {
    bool same = true;
    for (int i = 0; i < n; ++i) same = same && stored_key[i] == key[i];
    if (!same) {
        for (int i = 0; i < n; ++i) stored_key[i] = key[i];
        if (stored != given) KyPathDeletePtr(stored, 0);
        stored = given;
    } else if (given && given != stored) {
        KyPathDeletePtr(given, 0);
    }
}

}  // namespace

Y32_BEGIN_C

int32_t KyPathGetOutlineInfo(KyPath *p, OutlineInfo **out) {
    if (!p) return 0;
    OutlineInfo *info = path::OutlineOf(p);
    if (out) *out = info;
    return info ? 1 : 0;
}

int32_t KyPathSetOutlineInfo(KyPath *p, OutlineInfo *info) {
    if (!p || !info) return 0;
    p->groupNext = reinterpret_cast<KyPath *>(info);
    p->flags |= KPF_OUTLINEINFO;
    return 1;
}

int32_t KyPathAssignOutlineInfo(int32_t key0, int32_t key1, KyPath *pathA, int32_t key3,
                                int32_t key4, KyPath *pathB, int32_t key6, KyPath *pathC,
                                int32_t param0, int32_t param1, int32_t param2, int32_t param3,
                                OutlineInfo **holder) {
    if (!holder) return 0;
    OutlineInfo *info = *holder;
    if (!info) {
        info = plat::ObjNew<OutlineInfo>();  // value-initialised: all words 0
        if (!info) return 0;
        info->startKey[0] = key0;
        info->startKey[1] = key1;
        info->startArrow = pathA;
        info->endKey[0] = key3;
        info->endKey[1] = key4;
        info->endArrow = pathB;
        info->dashStyle = key6;
        info->dashPath = pathC;
    } else {
        const int32_t start_key[2] = {key0, key1}, end_key[2] = {key3, key4};
        UpdateSlot(info->startKey, start_key, 2, info->startArrow, pathA);
        UpdateSlot(info->endKey, end_key, 2, info->endArrow, pathB);
        UpdateSlot(&info->dashStyle, &key6, 1, info->dashPath, pathC);
    }
    info->param[0] = param0;
    info->param[1] = param1;
    info->param[2] = param2;
    info->param[3] = param3;
    *holder = info;
    return 1;
}

Y32_END_C
