// The labelling on the matrices of real runs: mean time per matrix of
// talven's labeller over dumps (src/canon/labeldump.h; by default the
// samples in bench/labelling/), and, when the build found Debian's nauty
// library (libnauty2-dev), of sparse nauty and of Traces on the same
// vertex-coloured bipartite graphs: one vertex per row, all rows in one
// cell, one vertex per column, the columns in cells by colour, an edge per
// one of the matrix.
//
//   bench_labelling [--rounds R] [--plain] [--alone] [DUMP...]
//
// --plain times talven's reference path (Labeller::set_plain), --alone
// leaves nauty and Traces out (for profiling talven).  Every labeller
// labels the whole sample R times (default 5) and the
// fastest round counts (processor time of this thread, so that other
// processes on the machine disturb it less).  The graphs are built before
// the clock starts: nauty and Traces are timed on their own input, talven
// on its matrix, as a run hands it over.  Both count the nodes of their
// search trees, and the column orbits of the two are compared matrix by
// matrix (a check of the comparison itself, printed as "orbits differ").
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "canon/canon.h"
#include "canon/labeldump.h"

#ifdef TALVEN_HAVE_NAUTY
#define _Thread_local thread_local  // the C keyword in nauty's headers
#include <nausparse.h>
#include <nauty.h>
#include <traces.h>
#endif

namespace {

double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

struct sample {
    std::string name;
    std::vector<DumpedMatrix> mats;
    std::vector<ByteMatrix> inc;
    long ones = 0, size = 0;  // summed over the matrices
    std::vector<std::vector<int>> talvenorb;  // smallest column of each column's orbit
};

// Fastest of `rounds` rounds of `one` over every matrix: mean seconds per matrix.
template <class F>
double time_rounds(const sample& s, int rounds, F one) {
    double best = 1e30;
    for (int r = 0; r < rounds; r++) {
        double t0 = cpu_seconds();
        for (size_t i = 0; i < s.mats.size(); i++) one(i);
        best = std::min(best, cpu_seconds() - t0);
    }
    return best / (double)s.mats.size();
}

struct result {
    double us = 0, nodes = 0;
    int orbitsdiffer = 0;
};

result run_talven(sample& s, int rounds, bool plain) {
    Labeller lab;
    lab.set_plain(plain);
    result res;
    s.talvenorb.resize(s.mats.size());
    uint64_t n0 = lab.nodes();
    for (size_t i = 0; i < s.mats.size(); i++) {  // the orbits, and the workspace grown once
        const DumpedMatrix& m = s.mats[i];
        lab.label(s.inc[i], m.colour.empty() ? nullptr : m.colour.data());
        std::vector<int>& o = s.talvenorb[i];
        o.assign((size_t)m.N + 1, 0);
        const int32_t* orbit = lab.column_orbits();
        std::vector<int> least((size_t)m.N + 2, 0);  // per orbit number: its smallest column
        for (int c = 1; c <= m.N; c++) {
            int& f = least[(size_t)orbit[c]];
            if (f == 0) f = c;
            o[(size_t)c] = f;
        }
    }
    res.nodes = (double)(lab.nodes() - n0) / (double)s.mats.size();
    res.us = 1e6 * time_rounds(s, rounds, [&](size_t i) {
                 const DumpedMatrix& m = s.mats[i];
                 lab.label(s.inc[i], m.colour.empty() ? nullptr : m.colour.data());
             });
    return res;
}

#ifdef TALVEN_HAVE_NAUTY
// The bipartite graph of one matrix with its colour cells in lab / ptn.
struct graph_in {
    sparsegraph g;
    std::vector<size_t> v;
    std::vector<int> d, e, lab, ptn;
};

void build_graph(const DumpedMatrix& m, graph_in& G) {
    const int M = m.M, N = m.N, n = M + N;
    std::vector<std::vector<int>> adj((size_t)n);
    for (int r = 0; r < M; r++)
        for (int c = 0; c < N; c++)
            if (m.a[(size_t)r * N + c]) adj[(size_t)r].push_back(M + c), adj[(size_t)(M + c)].push_back(r);
    G.v.assign((size_t)n, 0), G.d.assign((size_t)n, 0), G.e.clear();
    for (int x = 0; x < n; x++) {
        G.v[(size_t)x] = G.e.size();
        G.d[(size_t)x] = (int)adj[(size_t)x].size();
        G.e.insert(G.e.end(), adj[(size_t)x].begin(), adj[(size_t)x].end());
    }
    if (G.e.empty()) G.e.push_back(0);
    SG_INIT(G.g);
    G.g.nv = n;
    G.g.nde = 0;
    for (int x = 0; x < n; x++) G.g.nde += (size_t)G.d[(size_t)x];
    G.g.v = G.v.data(), G.g.d = G.d.data(), G.g.e = G.e.data();
    G.g.vlen = G.v.size(), G.g.dlen = G.d.size(), G.g.elen = G.e.size();
    // rows, then the columns colour by colour
    G.lab.clear(), G.ptn.clear();
    for (int r = 0; r < M; r++) G.lab.push_back(r), G.ptn.push_back(1);
    if (M > 0) G.ptn.back() = 0;
    int top = 1;
    for (int c = 1; c <= N; c++) top = std::max(top, m.colour.empty() ? 1 : m.colour[(size_t)c]);
    for (int k = 1; k <= top; k++) {
        size_t before = G.lab.size();
        for (int c = 1; c <= N; c++)
            if ((m.colour.empty() ? 1 : m.colour[(size_t)c]) == k) G.lab.push_back(M + c - 1), G.ptn.push_back(1);
        if (G.lab.size() > before) G.ptn.back() = 0;
    }
}

// Sparse nauty (traces = false) or Traces over every matrix.
result run_nauty(const sample& s, int rounds, bool traces) {
    std::vector<graph_in> gs(s.mats.size());
    for (size_t i = 0; i < s.mats.size(); i++) build_graph(s.mats[i], gs[i]);
    std::vector<int> lab, ptn, orbits;
    SG_DECL(canong);
    DEFAULTOPTIONS_SPARSEGRAPH(nopt);
    nopt.getcanon = TRUE;
    nopt.defaultptn = FALSE;
    DEFAULTOPTIONS_TRACES(topt);
    topt.getcanon = TRUE;
    topt.defaultptn = FALSE;
    statsblk nst;
    TracesStats tst;
    double nodes = 0;
    auto one = [&](size_t i) {
        graph_in& G = gs[i];
        lab = G.lab, ptn = G.ptn;
        orbits.resize(lab.size() + 1);
        if (G.g.nv == 0) return;
        if (traces) {
            Traces(&G.g, lab.data(), ptn.data(), orbits.data(), &topt, &tst, &canong);
            nodes += (double)tst.numnodes;
        } else {
            sparsenauty(&G.g, lab.data(), ptn.data(), orbits.data(), &nopt, &nst, &canong);
            nodes += (double)nst.numnodes;
        }
    };
    result res;
    for (size_t i = 0; i < s.mats.size(); i++) {
        one(i);
        const DumpedMatrix& m = s.mats[i];
        for (int c = 1; c <= m.N; c++)
            if (orbits[(size_t)(m.M + c - 1)] - m.M + 1 != s.talvenorb[i][(size_t)c]) {
                res.orbitsdiffer++;
                break;
            }
    }
    res.nodes = nodes / (double)s.mats.size();
    res.us = 1e6 * time_rounds(s, rounds, one);
    SG_FREE(canong);
    return res;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    bool plain = false, alone = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--rounds") && i + 1 < argc)
            rounds = std::max(1, atoi(argv[++i]));
        else if (!strcmp(argv[i], "--plain"))
            plain = true;
        else if (!strcmp(argv[i], "--alone"))
            alone = true;
        else
            files.push_back(argv[i]);
    }
    (void)alone;  // without nauty talven is timed alone anyway
    if (files.empty())
        for (const char* q : {"q5", "q7"}) files.push_back(std::string(TALVEN_SOURCE_DIR "/bench/labelling/") + q + ".dump");
    printf("mean processor time per matrix (us) and nodes per labelling%s\n", plain ? ", talven's reference path" : "");
#ifdef TALVEN_HAVE_NAUTY
    if (alone)
        printf("%-10s %5s %6s %6s | %9s %6s\n", "sample", "mats", "M+N", "ones", "talven", "nodes");
    else
        printf("%-10s %5s %6s %6s | %9s %6s | %9s %6s %5s | %9s %6s %5s | %7s %7s\n", "sample", "mats", "M+N", "ones",
           "talven", "nodes", "nauty-sp", "nodes", "orb", "Traces", "nodes", "orb", "t/nauty", "t/Traces");
#else
    printf("(built without Debian's nauty library: talven alone)\n");
    printf("%-10s %5s %6s %6s | %9s %6s\n", "sample", "mats", "M+N", "ones", "talven", "nodes");
#endif
    for (const std::string& f : files) {
        sample s;
        s.name = f.substr(f.find_last_of('/') + 1);
        s.mats = dump_read(f);
        if (s.mats.empty()) continue;
        s.inc.resize(s.mats.size());
        for (size_t i = 0; i < s.mats.size(); i++) {
            dump_load(s.mats[i], s.inc[i]);
            s.size += s.mats[i].M + s.mats[i].N;
            for (uint8_t x : s.mats[i].a) s.ones += x;
        }
        const double nm = (double)s.mats.size();
        result t = run_talven(s, rounds, plain);
        printf("%-10s %5zu %6.0f %6.0f | %9.1f %6.2f", s.name.c_str(), s.mats.size(), (double)s.size / nm,
               (double)s.ones / nm, t.us, t.nodes);
#ifdef TALVEN_HAVE_NAUTY
        if (!alone) {
            result n = run_nauty(s, rounds, false), tr = run_nauty(s, rounds, true);
            printf(" | %9.1f %6.2f %5d | %9.1f %6.2f %5d | %7.2f %7.2f", n.us, n.nodes, n.orbitsdiffer, tr.us,
                   tr.nodes, tr.orbitsdiffer, t.us / n.us, t.us / tr.us);
        }
#endif
        printf("\n");
        for (ByteMatrix& b : s.inc) b.release();
    }
    return 0;
}
