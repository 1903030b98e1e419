// Runs made in the test process, without a console: the parameters as the
// menu makes them, a whole run in a folder of its own, and split runs whose
// parts are made one by one and merged, each giving its files and its mass.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/testutil.h"
#include "params/params.h"
#include "run/parallel.h"

// [n,k,d]_q with the multiples of dw from d to n as allowed weights, the
// weights `forbid` taken out, and the rest of the menu's choices.
struct runcase {
    int n, k, d, q;
    int dw = 1, selforth = 0, dual = 1, brute = 0;
    std::vector<int> forbid = {};
};

// The parameters of the run `c` as the menu makes them.
inline RunParams params(const runcase& c) {
    ParamRecord rec{};
    resetpar(rec);
    rec.n = c.n, rec.k = c.k, rec.d = c.d, rec.q = c.q;
    rec.dw = c.dw, rec.selforth = c.selforth, rec.dualdist = c.dual;
    for (int w = c.d; w <= c.n; w++) rec.wt[w] = w % c.dw == 0;
    for (int w : c.forbid) rec.wt[w] = 0;
    bool doublyeven = false;
    normweights(rec, doublyeven);
    return makerunparams(rec, doublyeven, c.brute > 0, c.brute);
}

// The mass of every dimension, to be compared along with the files.
inline std::string masstext(const MassSums& m) {
    std::string text = "mass";
    for (const BigNat& x : m.bydim) text += " " + x.str();
    return text;
}

// A whole run in a temporary folder of its own; `opt` may be changed before run().
struct inrun {
    tempdir dir;
    RunOptions opt;
    std::unique_ptr<Classifier> c;
    inrun() { opt.outdir = dir.path + "/", opt.resdir = dir.path + "/res/", opt.console = nullptr; }
    // Runs p to its end; gives its result files (the elapsed time masked), then its mass.
    std::string run(const RunParams& p) {
        c = std::make_unique<Classifier>(p, opt);
        EXPECT_EQ(c->run(), runend::complete);
        return resultfiles(dir.path, resultname(p)) + masstext(c->mass());
    }
};

// The whole run as the menu makes it.
inline std::string whole(const RunParams& p) { return inrun().run(p); }

// Parts 0..M-1 made one by one with `jobs` threads each, then merged: the
// files and the mass of the merge (the parts' shares of the mass of the
// last dimension adding up to it).
inline std::string split(const RunParams& p, int M, int jobs, int level, std::vector<std::string>* partfiles = nullptr,
                         const std::string& into = "") {
    tempdir own;
    const std::string dir = into.empty() ? own.path : into;
    std::vector<std::string> made;
    BigNat shares;
    for (int I = 0; I < M; I++) {
        SplitRun r;
        r.par = p, r.outdir = dir + "/", r.resdir = dir + "/res/";
        r.part = I, r.parts = M, r.jobs = jobs, r.split = level;
        SplitResult s = runsplit(r);
        EXPECT_EQ(s.how, runend::complete) << s.error;
        // No thread without a unit of the part.
        const uint64_t owned = s.units > (uint64_t)I ? (s.units - I - 1) / M + 1 : 0;
        EXPECT_EQ((uint64_t)s.threads, std::max<uint64_t>(1, std::min<uint64_t>(jobs, owned)));
        // The levels above the split level are walked once: by the first
        // part (or the one process of several threads), which writes them
        // for the others to read.
        const bool shared = s.split >= 2 && (M > 1 || jobs > 1);
        if (into.empty()) {
            EXPECT_EQ(s.skeleton, !shared ? SkeletonUse::walked : I == 0 ? SkeletonUse::made : SkeletonUse::read)
                << "part " << I << " of " << M << " split " << s.split;
        }
        made.push_back(s.partfile);
        shares += scanpart(s.partfile).mass.bydim[(size_t)p.k];
    }
    if (partfiles) *partfiles = made;
    MergeResult m = mergeparts(made, dir + "/", nullptr);
    EXPECT_TRUE(m.ok) << m.error;
    EXPECT_EQ(shares, m.mass.bydim[(size_t)p.k]);
    return resultfiles(dir, resultname(p)) + masstext(m.mass);
}
