// Split runs made in the test process, for the tests of parts and threads:
// the whole run as the menu makes it, and parts made one by one and merged.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/testutil.h"
#include "run/parallel.h"
#include "run/runparams.h"

struct runcase {
    int n, k, d, q;
    int dw = 1, selforth = 0, dual = 1, brute = 0;
    std::vector<int> forbid;  // weights taken out of the allowed ones
};

inline RunParams params(const runcase& c) {
    return menuparams(c.n, c.k, c.d, c.q, c.dw, c.selforth, c.dual, c.brute, c.forbid);
}

// The whole run as the menu makes it.
inline std::string whole(const RunParams& p) {
    tempdir dir;
    RunOptions opt;
    opt.outdir = dir.path + "/", opt.resdir = dir.path + "/res/", opt.console = nullptr;
    auto c = std::make_unique<Classifier>(p, opt);
    EXPECT_EQ(c->run(), runend::complete);
    return resultfiles(dir.path, resultname(p));
}

// Parts 0..M-1 made one by one with `jobs` threads each, then merged.
inline std::string split(const RunParams& p, int M, int jobs, int level, std::vector<std::string>* partfiles = nullptr,
                  const std::string& into = "") {
    tempdir own;
    const std::string dir = into.empty() ? own.path : into;
    std::vector<std::string> made;
    for (int I = 0; I < M; I++) {
        SplitRun r;
        r.par = p, r.outdir = dir + "/", r.resdir = dir + "/res/";
        r.part = I, r.parts = M, r.jobs = jobs, r.split = level;
        SplitResult s = runsplit(r);
        EXPECT_EQ(s.how, runend::complete) << s.error;
        made.push_back(s.partfile);
    }
    if (partfiles) *partfiles = made;
    MergeResult m = mergeparts(made, dir + "/", nullptr);
    EXPECT_TRUE(m.ok) << m.error;
    return resultfiles(dir, resultname(p));
}

