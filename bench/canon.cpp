// Speed of the canonical labelling: projective planes, random coloured
// matrices of the sizes a code search produces, and highly symmetric
// structures.  Each case cycles through eight random relabellings of its
// input, so no single lucky order is measured; items per second are
// labellings per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "canon/canon.h"
#include "../tests/canon/canon_support.h"
#include "../tests/canon/canon_support.cpp"

namespace {

void run(benchmark::State& state, const tmat& A) {
    std::mt19937 rng(12345);
    std::vector<tmat> copies;
    for (int i = 0; i < 8; i++) copies.push_back(random_relabel(rng, A));
    tlab t;
    size_t i = 0;
    for (auto _ : state) {
        const tmat& B = copies[i++ % copies.size()];
        t.load(B);
        t.lab.label(t.inc, B.col.empty() ? nullptr : B.col.data());
        benchmark::DoNotOptimize(t.lab.certificate());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["M"] = A.M;
    state.counters["N"] = A.N;
}

void BM_PG2(benchmark::State& state) { run(state, pg2((int)state.range(0))); }
BENCHMARK(BM_PG2)->Arg(2)->Arg(3)->Arg(4)->Arg(5);

void BM_RandomColoured(benchmark::State& state) {
    std::mt19937 rng(777);
    int M = (int)state.range(0), N = (int)state.range(1);
    run(state, random_mat(rng, M, N, 0.25, 6));
}
BENCHMARK(BM_RandomColoured)->Args({30, 20})->Args({80, 60})->Args({200, 150});

// Sparse random rows of three ones (like low-weight words), two colours.
void BM_SparseWords(benchmark::State& state) {
    std::mt19937 rng(4242);
    int M = (int)state.range(0), N = (int)state.range(1);
    tmat A = make_mat(M, N);
    for (int i = 1; i <= M; i++)
        for (int k = 0; k < 3; k++) A.set(i, 1 + (int)(rng() % N), 1);
    A.col.assign(N + 1, 0);
    for (int j = 1; j <= N; j++) A.col[j] = 1 + (j % 2);
    run(state, A);
}
BENCHMARK(BM_SparseWords)->Args({60, 40})->Args({150, 100});

void BM_Biplane16(benchmark::State& state) { run(state, biplane16()); }
BENCHMARK(BM_Biplane16);

void BM_HammingWeight3(benchmark::State& state) { run(state, hamming_w3((int)state.range(0))); }
BENCHMARK(BM_HammingWeight3)->Arg(3)->Arg(4)->Arg(5);

}  // namespace
