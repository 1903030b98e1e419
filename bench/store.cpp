// Lookup-or-insert in the canonical-form store: the siblings of one parent
// are inserted into an empty store and then each is looked up again.  The
// forms are random 0/1 matrices of the size a binary code of moderate length
// gives (64 rows, 48 columns, invariant values present).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/store.h"
#include "fileio/fault.h"

namespace {

struct siblings {
    ByteMatrix m{};
    std::vector<std::vector<int32_t>> rowel, colel;
    std::vector<int32_t> vals;
    int R, N;
};

// count forms over one shared matrix: each form is the matrix read through
// its own random row and column order.
void makesiblings(siblings& s, int count, int R, int N) {
    std::mt19937 g(7);
    s.R = R;
    s.N = N;
    s.m.ensure(R, N, 2);
    for (int r = 1; r <= R; r++)
        for (int c = 1; c <= N; c++) s.m.a[r][c] = (uint8_t)(g() % 4 == 0);
    s.vals.assign(N + 1, 0);
    for (int c = 1; c <= N; c++) s.vals[c] = (int32_t)(g() % 3 + 1);
    for (int t = 0; t < count; t++) {
        std::vector<int32_t> re(R + 1), ce(N + 1);
        for (int r = 0; r <= R; r++) re[r] = r;
        for (int c = 0; c <= N; c++) ce[c] = c;
        std::shuffle(re.begin() + 1, re.end(), g);
        std::shuffle(ce.begin() + 1, ce.end(), g);
        s.rowel.push_back(re);
        s.colel.push_back(ce);
    }
}

void BM_StoreSiblings(benchmark::State& state) {
    int count = (int)state.range(0);
    char tmpl[] = "/tmp/talven_bench_XXXXXX";
    RunFault fault;
    CanonStore store(fault);
    store.setdir(std::string(mkdtemp(tmpl)) + "/");
    siblings s;
    makesiblings(s, count, 64, 48);
    int64_t again = 0;
    for (auto _ : state) {
        store.store_reset();
        for (int t = 0; t < count; t++)
            store.store_lookup(s.m, s.R, s.N, s.rowel[t].data(), s.colel[t].data(), s.vals.data(), 12345);
        for (int t = 0; t < count; t++)
            again += store.store_lookup(s.m, s.R, s.N, s.rowel[t].data(), s.colel[t].data(), s.vals.data(),
                                        12345) == CodeStatus::fresh;
    }
    if (again != 0) state.SkipWithError("a stored form was not found again");
    state.SetItemsProcessed(state.iterations() * 2 * count);
    store.store_close();
    s.m.release();
    std::filesystem::remove_all(tmpl);
}
BENCHMARK(BM_StoreSiblings)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
