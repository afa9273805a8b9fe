// Benchmarks of the path record.
#include <benchmark/benchmark.h>

#include "core/path_record.h"
#include "y32Path.h"

namespace {

// Point-by-point entry of a long subpath: the room grows every hundredth
// point, so the cost should be dominated by the block copies.
void BM_AddPoint_1e6(benchmark::State &state) {
    KyPathInit();
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KyPath *p = KyPathCreate();
        FIXED xy[2] = {0, 0};
        for (int i = 0; i < n; ++i) {
            xy[0] = i << 4;
            xy[1] = -i;
            KyPathAddPoint(&p, xy, i ? PT_LINETO : PT_MOVETO);
        }
        benchmark::DoNotOptimize(p->count);
        KyPathDeletePtr(p, 0);
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * n * static_cast<int64_t>(sizeof(PathPoint)));
}
BENCHMARK(BM_AddPoint_1e6)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_DuplicateChain_1000x100(benchmark::State &state) {
    KyPathInit();
    KyPath *head = nullptr, *tail = nullptr;
    for (int r = 0; r < 1000; ++r) {
        KyPath *p = KyPathCreate();
        PathPoint *slot;
        PathReserve(&p, &slot, 100);
        if (tail) {
            tail->next = p;
            p->prev = tail;
            if (r % 2) {
                tail->groupNext = p;
                p->groupPrev = tail;
            }
        } else {
            head = p;
        }
        tail = p;
    }
    for (auto _ : state) {
        KyPath *copy = nullptr;
        KyPathDuplicatePtr(head, &copy);
        KyPathDeletePtr(copy, 0);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
    KyPathDeletePtr(head, 0);
}
BENCHMARK(BM_DuplicateChain_1000x100)->Unit(benchmark::kMicrosecond);

}  // namespace
