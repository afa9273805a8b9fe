// fuzz/unflatten_fuzz.cpp - libFuzzer target for the flat-form reader.
//
// The input is copied into a global-memory block of exactly its size, as a
// host would hand over a block from a document or the clipboard, and read
// back. Beyond AddressSanitizer's checks the target aborts when a read
// that succeeded gives inconsistent links, when anything is left on the
// private heap, or when the chain does not survive being written and read
// again.
//
// Build (clang only):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DY32PATH_FUZZ=ON
//   cmake --build build-fuzz --target unflatten_fuzz
// Run:
//   build-fuzz/fuzz/unflatten_fuzz -max_len=65536 tests/fuzz/unflatten
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/memory.h"
#include "core/path_record.h"
#include "fuzz_paths.h"
#include "y32path/core.h"
#include "y32path/edit.h"

namespace {

// Real blocks are a few kilobytes; larger inputs only slow the search.
constexpr size_t kMaxInput = 1 << 16;

void Check(bool ok, const char *what) {
    if (ok) return;
    std::fprintf(stderr, "unflatten_fuzz: %s\n", what);
    std::abort();
}

void CheckList(const KyPath *head, int depth) {
    Check(depth < 16, "stroke nesting deeper than the reader allows");
    for (const KyPath *r = head; r; r = r->next) {
        Check(mem::PathBlockSize(r) != 0, "record is not a live block");
        Check(r->count >= 0, "negative count");
        Check(static_cast<size_t>(r->count) * path::kPointSize + path::kHeaderSize <= mem::PathBlockSize(r),
              "points past the block");
        Check(!r->next || r->next->prev == r, "table list does not mirror");
        const KyPath *g = path::GroupNext(r);
        Check(!g || g->groupPrev == r, "group chain does not mirror");
        Check(!r->groupPrev || path::GroupNext(r->groupPrev) == r, "group chain does not mirror backward");
        Check(!r->selNext || r->selNext->selPrev == r, "selection list does not mirror");
        Check(!r->selPrev || r->selPrev->selNext == r, "selection list does not mirror backward");
        Check(r == head || !path::HasOutlineInfo(r), "stroke on a record that is not the head");
    }
    if (const OutlineInfo *info = head ? path::OutlineOf(head) : nullptr) {
        CheckList(info->startArrow, depth + 1);
        CheckList(info->endArrow, depth + 1);
        CheckList(info->dashPath, depth + 1);
    }
}

std::vector<uint8_t> Flatten(KyPath *head) {
    uint32_t size = 0;
    HGLOBAL g = nullptr;
    Check(KyPathFlatten(head, &size, &g) == 1, "a chain that was read cannot be written");
    std::vector<uint8_t> bytes(static_cast<uint8_t *>(g), static_cast<uint8_t *>(g) + size);
    GlobalFree(g);
    return bytes;
}

KyPath *Unflatten(const std::vector<uint8_t> &bytes) {
    HGLOBAL g = GlobalAlloc(GMEM_FIXED, bytes.size());
    std::memcpy(g, bytes.data(), bytes.size());
    KyPath *head = nullptr;
    Check(KyPathUnFlatten(&g, &head) == 1, "a written chain cannot be read");
    GlobalFree(g);
    return head;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::InitLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > kMaxInput) return -1;  // not kept in the corpus
    const size_t live = fuzz::LiveBlocks();
    HGLOBAL g = GlobalAlloc(GMEM_FIXED, size);
    if (!g) return 0;
    if (size) std::memcpy(g, data, size);
    KyPath *head = nullptr;
    if (KyPathUnFlatten(&g, &head) == 1) {
        CheckList(head, 0);
        if (head) {
            // The first writing settles the repairs (version 769 from then
            // on); after it, writing and reading must be a fixed point.
            std::vector<uint8_t> first = Flatten(head);
            KyPath *second = Unflatten(first);
            CheckList(second, 0);
            std::vector<uint8_t> again = Flatten(second);
            KyPath *third = Unflatten(again);
            Check(Flatten(third) == again, "writing and reading again changes the chain");
            KyPathDeletePtr(second, 0);
            KyPathDeletePtr(third, 0);
            KyPathDeletePtr(head, 0);
        }
    } else {
        Check(head == nullptr, "failed read left a result");
    }
    GlobalFree(g);
    Check(fuzz::LiveBlocks() == live, "private heap blocks left behind");
    return 0;
}
