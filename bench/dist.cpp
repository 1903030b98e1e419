// Micro-benchmarks of the distance subsystem: raw enumeration throughput of
// the first-stage recursion (codewords visited per second), the minimum
// distance of random codes, and the spectrum of the extended Golay code.
// Each benchmark works in its own engine, as a run would.
#include <benchmark/benchmark.h>

#include <random>

#include "distance/dist.h"
#include "field/field.h"

// The single-level runs drive the engine's information-set record directly.
struct DistProbe {
    static DistWorkspace& of(DistEngine& E) { return E.work; }
};

namespace {

ByteMatrix G;

void randcode(int q, int k, int n, unsigned seed) {
    std::mt19937 rng(seed);
    G.ensure(k, n, q);
    for (int i = 1; i <= k; i++)
        for (int j = 1; j <= n; j++) G.a[i][j] = (uint8_t)(rng() % q);
    G.used = k;
    G.dreq = 0;
}

uint64_t visits(int k, int L, int q) {
    uint64_t s = 0, c = 1, p = 1;
    for (int t = 1; t <= L; t++) {
        c = c * (uint64_t)(k - t + 1) / (uint64_t)t;
        s += c * p;
        p *= (uint64_t)(q - 1);
    }
    return s;
}

// walkset over one systematic form at level L with a threshold that is never
// reached: the minimum-distance step reduced to its comparison.
void BM_combs1(benchmark::State& st) {
    int q = (int)st.range(0), n = (int)st.range(1), k = (int)st.range(2), L = (int)st.range(3);
    DistEngine E;
    E.usefield(q, q <= 4);
    randcode(q, k, n, 1234);
    InfoSets& it = DistProbe::of(E).setinfo;
    it.keep = false;
    E.infoset1(G);
    if (it.k[1] != k) {
        st.SkipWithError("rank");
        return;
    }
    it.step = CountStep::distance;
    for (auto _ : st) {
        it.stop = false;
        it.ub = 0;
        it.lb = -1;
        it.levels[1] = L;
        E.runfull(1);
        benchmark::DoNotOptimize(it.ub);
    }
    st.SetItemsProcessed((int64_t)(visits(k, L, q) * st.iterations()));
}
BENCHMARK(BM_combs1)
    ->ArgNames({"q", "n", "k", "L"})
    ->Args({2, 64, 32, 5})
    ->Args({2, 256, 32, 5})
    ->Args({3, 64, 20, 4})
    ->Args({3, 256, 20, 4})
    ->Args({4, 64, 16, 4})
    ->Args({4, 256, 16, 4})
    ->Args({5, 64, 12, 4})
    ->Unit(benchmark::kMillisecond);

void BM_mindist(benchmark::State& st) {
    int q = (int)st.range(0), n = (int)st.range(1), k = (int)st.range(2);
    DistEngine E;
    E.usefield(q, q <= 4);
    int d = 0;
    for (auto _ : st) {
        randcode(q, k, n, 99);
        d = E.mindist(G);
        benchmark::DoNotOptimize(d);
    }
    st.counters["d"] = d;
}
BENCHMARK(BM_mindist)->ArgNames({"q", "n", "k"})->Args({2, 128, 32})->Args({3, 60, 20})->Unit(benchmark::kMillisecond);

// Extended binary Golay code [24, 12, 8]: [I | B].
const char* golayB[12] = {"110111000101", "101110001011", "011100010111", "111000101101",
                          "110001011011", "100010110111", "000101101111", "001011011101",
                          "010110111001", "101101110001", "011011100011", "111111111110"};

void golay() {
    G.ensure(12, 24, 2);
    for (int i = 1; i <= 12; i++)
        for (int j = 1; j <= 24; j++)
            G.a[i][j] = j <= 12 ? (uint8_t)(i == j) : (uint8_t)(golayB[i - 1][j - 13] - '0');
    G.used = 12;
    G.dreq = 0;
}

void BM_spectrum_golay(benchmark::State& st) {
    DistEngine E;
    E.usefield(2, true);
    golay();
    E.spectrum(G);
    InfoSets& it = DistProbe::of(E).setinfo;
    if (it.Aspec[8] != 759 || it.Aspec[12] != 2576 || it.Aspec[16] != 759 || it.Aspec[24] != 1) {
        st.SkipWithError("not the Golay code");
        return;
    }
    for (auto _ : st) {
        golay();
        E.spectrum(G);
        benchmark::DoNotOptimize(it.found);
    }
    st.counters["A8"] = (double)it.Aspec[8];
}
BENCHMARK(BM_spectrum_golay)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {
// The per-candidate check of a small code, as the extension engine calls it.
void BM_checkdist_small(benchmark::State& st) {
    int q = (int)st.range(0), n = (int)st.range(1), k = (int)st.range(2);
    DistEngine E;
    E.usefield(q, q <= 4);
    randcode(q, k, n, 5);
    int r = 0;
    for (auto _ : st) {
        G.dreq = 4;
        r += E.checkdist(G);
    }
    benchmark::DoNotOptimize(r);
}
BENCHMARK(BM_checkdist_small)->ArgNames({"q", "n", "k"})->Args({2, 24, 8})->Args({3, 16, 6})->Args({5, 14, 5});
}  // namespace

namespace {
// The full listing with classes of a small accepted code, as the invariant
// pass calls it.
void BM_fromall_small(benchmark::State& st) {
    int q = (int)st.range(0), n = (int)st.range(1), k = (int)st.range(2);
    DistEngine E;
    E.usefield(q, q <= 4);
    randcode(q, k, n, 77);
    for (auto _ : st) {
        E.generatingset_fromall_inv(G);
        benchmark::DoNotOptimize(E.bitstore().rows);
    }
}
BENCHMARK(BM_fromall_small)->ArgNames({"q", "n", "k"})->Args({2, 20, 8})->Args({3, 14, 5})->Args({4, 12, 4});
}  // namespace
