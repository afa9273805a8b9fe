// tests/support/list_invariants.h - the one checker of what the record lists
// of a table promise. Every test that edits lists uses it rather than a
// copy of its own.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/memory.h"
#include "core/path_record.h"
#include "core/path_table.h"
#include "y32path/table.h"

namespace testing_support {

// The last record of a list may be an attached envelope outline: its
// corners show as selected nodes while its flags word stays the fixed
// envelope value, so KPF_HASSELPOINT is not asked of it.
inline bool IsEnvelopeOutline(const KyPath *r, bool is_head) {
    return !is_head && !r->next && (r->flags & (KPF_ENVELOPE1 | KPF_ENVELOPE2)) != 0;
}

namespace detail {

// Checks one table list from its head; `seen` collects the records of every
// list checked so far, so that one record in two lists is found too.
inline void CheckList(const KyPath *head, std::set<const KyPath *> *seen, std::map<const KyPath *, size_t> *index,
                      std::ostringstream &err) {
    std::vector<const KyPath *> list;
    if (head && head->prev) err << "the list head has a prev; ";
    for (const KyPath *r = head; r; r = r->next) {
        if (index->count(r)) {
            err << "table list has a cycle; ";
            return;
        }
        if (!seen->insert(r).second) err << "record " << list.size() << " is in two lists; ";
        (*index)[r] = list.size();
        list.push_back(r);
        if (r->next && r->next->prev != r) err << "next/prev do not mirror at " << list.size() - 1 << "; ";
        if (r->count < 0) err << "record " << list.size() - 1 << " has a negative count; ";
        else if (mem::PathBlockSize(r) < sizeof(KyPath) + sizeof(PathPoint) * static_cast<size_t>(r->count))
            err << "record " << list.size() - 1 << " has more points than its block holds; ";
    }
    int sel_heads = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        const KyPath *r = list[i];
        if (i > 0 && path::HasOutlineInfo(r)) err << "record " << i << " is not the head but has an OutlineInfo; ";
        if (const KyPath *g = path::GroupNext(r)) {
            if (!index->count(g)) err << "groupNext of " << i << " leaves the list; ";
            else if (index->at(g) <= i) err << "group chain runs backwards at " << i << "; ";
            if (g->groupPrev != r) err << "groupNext/groupPrev do not mirror at " << i << "; ";
        }
        if (const KyPath *gp = r->groupPrev) {
            if (!index->count(gp)) err << "groupPrev of " << i << " leaves the list; ";
            else if (path::GroupNext(gp) != r) err << "groupPrev/groupNext do not mirror at " << i << "; ";
        }
        if (const KyPath *s = r->selNext) {
            if (!index->count(s)) err << "selNext of " << i << " leaves the list; ";
            else if (index->at(s) <= i) err << "selection list runs backwards at " << i << "; ";
            if (s->selPrev != r) err << "selNext/selPrev do not mirror at " << i << "; ";
        }
        if (const KyPath *sp = r->selPrev) {
            if (!index->count(sp)) err << "selPrev of " << i << " leaves the list; ";
            else if (sp->selNext != r) err << "selPrev/selNext do not mirror at " << i << "; ";
        }
        if ((r->selNext || r->selPrev) && !(r->flags & KPF_SELECTED))
            err << "record " << i << " is in the selection list unselected; ";
        if (r->selNext && !r->selPrev) ++sel_heads;
        bool node = false, seg = false;
        const PathPoint *pts = path::Points(r);
        for (int32_t k = 0; k < r->count; ++k) {
            node = node || (pts[k].type & PT_SELECTED);
            seg = seg || (pts[k].type & PT_SEGSELECTED);
        }
        const bool envelope = IsEnvelopeOutline(r, i == 0);
        if (!envelope && node != ((r->flags & KPF_HASSELPOINT) != 0))
            err << "KPF_HASSELPOINT disagrees with the points of " << i << "; ";
        if (seg != ((r->flags & KPF_HASSELSEGMENT) != 0))
            err << "KPF_HASSELSEGMENT disagrees with the points of " << i << "; ";
        if ((node || seg) && !(r->flags & KPF_SELECTED)) err << "record " << i << " has point marks unselected; ";
    }
    if (sel_heads > 1) err << "more than one selection list; ";
}

}  // namespace detail

// Every invariant of the record lists, on the table list that holds `any`:
// prev/next mirror and reach each record once, group and selection links
// mirror each other and run forward in table order (so the selection list
// is a sub-sequence of the table list), only the head carries an
// OutlineInfo, members of the selection list are selected, KPF_HASSELPOINT
// and KPF_HASSELSEGMENT agree with the point marks, and marks sit only on
// selected records. With a table, the current group must name the list's
// head and the head of its selection list.
inline ::testing::AssertionResult ListInvariants(const KyPath *any, const PathTable *t = nullptr) {
    std::ostringstream err;
    const KyPath *head = any;
    for (size_t guard = 0; head && head->prev && guard < 1000000; ++guard) head = head->prev;
    std::set<const KyPath *> seen;
    std::map<const KyPath *, size_t> index;
    detail::CheckList(head, &seen, &index, err);
    if (t) {
        const PathGroup *g = table::CurrentGroup(t);
        if (!g) {
            err << "no current group; ";
        } else {
            if (g->first != head) err << "group first is not the list head; ";
            if (g->firstSelected) {
                if (!index.count(g->firstSelected)) err << "firstSelected is not in the list; ";
                else if (g->firstSelected->selPrev || !(g->firstSelected->flags & KPF_SELECTED))
                    err << "firstSelected is not the head of a selection list; ";
            }
        }
    }
    const std::string e = err.str();
    if (!e.empty()) return ::testing::AssertionFailure() << e;
    return ::testing::AssertionSuccess();
}

// The same over every group of a table: each group's list checked, no
// record in two groups, and the current group's first and firstSelected.
inline ::testing::AssertionResult TableInvariants(const PathTable *t) {
    std::ostringstream err;
    if (t->groups < 1 || t->current < 0 || t->current >= t->groups) return ::testing::AssertionFailure() << "bad group count or current";
    std::set<const KyPath *> seen;
    const PathGroup *groups = KyPathTblGroups(const_cast<PathTable *>(t));
    for (int32_t i = 0; i < t->groups; ++i) {
        std::map<const KyPath *, size_t> index;
        std::ostringstream one;
        detail::CheckList(groups[i].first, &seen, &index, one);
        if (groups[i].firstSelected && !index.count(groups[i].firstSelected))
            one << "firstSelected is not in the list; ";
        if (!one.str().empty()) err << "group " << i << ": " << one.str();
    }
    const std::string e = err.str();
    if (!e.empty()) return ::testing::AssertionFailure() << e;
    return ListInvariants(groups[t->current].first, t);
}

}  // namespace testing_support
