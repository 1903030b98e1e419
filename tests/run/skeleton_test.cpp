// The skeleton of a split run, walked once and shared through its file: any
// changed byte or cut makes the file unused; a file of another run, another
// split level or another number of parts is not used; and whatever happens
// to the file between parts (damaged, foreign, removed, two parts racing to
// write it) the merged parts are the whole run.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "run/runs.h"
#include "run/skeleton.h"

namespace {

// Part I of M of p in dir, split at `level` (0: chosen).
SplitResult onepart(const RunParams& p, const std::string& dir, int I, int M, int level) {
    SplitRun r;
    r.par = p, r.outdir = dir + "/", r.resdir = dir + "/res/";
    r.part = I, r.parts = M, r.split = level;
    return runsplit(r);
}

// The merge of parts 0..M-1 of p in dir.
std::string merged(const RunParams& p, const std::string& dir, int M) {
    std::vector<std::string> files;
    for (int I = 0; I < M; I++) files.push_back(partpath(dir + "/" + resultname(p), I, M));
    MergeResult m = mergeparts(files, dir + "/", nullptr);
    EXPECT_TRUE(m.ok) << m.error;
    return resultfiles(dir, resultname(p)) + masstext(m.mass);
}

TEST(Skeleton, AChangedByteOrACutMakesTheFileUnused) {
    const RunParams p = params({11, 4, 3, 2});
    tempdir dir;
    ASSERT_EQ(onepart(p, dir.path, 0, 3, 2).skeleton, SkeletonUse::made);
    const std::string path = skeletonpath(dir.path + "/" + resultname(p), 3);
    const std::string text = readfile(path);
    Skeleton sk;
    ASSERT_EQ(readskeleton(path, p, 3, 0, nullptr, sk), "");
    EXPECT_EQ(sk.split, 2);
    EXPECT_EQ(sk.segments.size(), sk.units + 1);  // (the families' unit numbers: engine/units_test.cpp)
    // Only the families of the part's own units are kept.
    Plan mine;
    mine.part = 1, mine.parts = 3;
    ASSERT_EQ(readskeleton(path, p, 3, 2, &mine, sk), "");
    for (const Family& f : sk.families) {
        bool owns = false;
        for (uint64_t u = f.firstunit; u < f.firstunit + f.units; u++) owns = owns || mine.owns(u);
        EXPECT_TRUE(owns);
    }
    // Of another run, other parts, another split level.
    RunParams other = p;
    other.dualdist = 2;
    EXPECT_EQ(readskeleton(path, other, 3, 0, nullptr, sk), "of another run");
    EXPECT_EQ(readskeleton(path, p, 4, 0, nullptr, sk), "made for 3 parts");
    EXPECT_EQ(readskeleton(path, p, 3, 3, nullptr, sk), "split at level 2");
    // Every byte changed (a sample of them when the file is long), every cut.
    std::mt19937 g(29);
    for (int trial = 0; trial < 300; trial++) {
        std::string bad = text;
        const size_t at = g() % bad.size();
        bad[at] = (char)(bad[at] ^ (1 + g() % 255));
        writefile(path, bad);
        EXPECT_NE(readskeleton(path, p, 3, 0, nullptr, sk), "") << "byte " << at;
        writefile(path, text.substr(0, g() % text.size()));
        EXPECT_NE(readskeleton(path, p, 3, 0, nullptr, sk), "");
    }
}

TEST(Skeleton, WhateverHappensToTheFileThePartsAreTheWholeRun) {
    const RunParams p = params({13, 5, 4, 2});
    const std::string want = whole(p);
    const int M = 3;
    const std::string name = resultname(p);
    // A damaged file, a cut one, one of another run (the same result name)
    // or none: the next part makes it again, the one after reads it.
    RunParams other = p;
    other.dualdist = 2;
    tempdir foreign;
    ASSERT_EQ(onepart(other, foreign.path, 0, M, 2).skeleton, SkeletonUse::made);
    const std::string foreignfile = readfile(skeletonpath(foreign.path + "/" + name, M));
    for (int fault = 0; fault < 4; fault++) {
        SCOPED_TRACE(fault);
        tempdir dir;
        const std::string path = skeletonpath(dir.path + "/" + name, M);
        ASSERT_EQ(onepart(p, dir.path, 0, M, 2).skeleton, SkeletonUse::made);
        std::string text = readfile(path);
        if (fault == 0) text[text.size() / 2] ^= 4;
        if (fault == 1) text.resize(text.size() / 3);
        if (fault == 2) text = foreignfile;
        if (fault == 3) unlink(path.c_str());
        else writefile(path, text);
        EXPECT_EQ(onepart(p, dir.path, 1, M, 2).skeleton, SkeletonUse::made);
        EXPECT_EQ(onepart(p, dir.path, 2, M, 2).skeleton, SkeletonUse::read);
        EXPECT_TRUE(merged(p, dir.path, M) == want);
    }
    // Parts started at once: one makes the file, the others wait and read it.
    tempdir dir;
    std::vector<SplitResult> ends(4);
    std::vector<std::thread> parts;
    for (int I = 0; I < 4; I++) parts.emplace_back([&, I] { ends[(size_t)I] = onepart(p, dir.path, I, 4, 2); });
    for (std::thread& t : parts) t.join();
    int made = 0;
    for (const SplitResult& s : ends) {
        EXPECT_EQ(s.how, runend::complete) << s.error;
        EXPECT_NE(s.skeleton, SkeletonUse::walked);
        made += s.skeleton == SkeletonUse::made;
    }
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(merged(p, dir.path, 4) == want);
}

}  // namespace
