// Two classifications with different fields at the same time, in two
// threads of one process, must each write exactly what they write alone:
// nothing of a run may be shared but the immutable field tables.  The
// threads of one part share its file and must give what one thread gives.
#include <gtest/gtest.h>

#include <thread>

#include "run/runs.h"

namespace {

struct job {
    RunParams par;
    int32_t codes = -1;
    runend how = runend::refused;
};

void runjob(job& j, const std::string& dir) {
    RunOptions opt;
    opt.outdir = dir + "/", opt.resdir = dir + "/res/", opt.console = nullptr;
    opt.signals = false;
    auto c = std::make_unique<Classifier>(j.par, opt);
    j.how = c->run();
    j.codes = c->codecount();
}

TEST(Threads, TwoFieldsAtOnceGiveWhatEachGivesAlone) {
    job jobs[2] = {{params({12, 4, 4, 2})}, {params({8, 4, 3, 4})}};
    tempdir alone, together;
    for (job& j : jobs) runjob(j, alone.path);
    const int32_t codes[2] = {jobs[0].codes, jobs[1].codes};
    EXPECT_EQ(codes[0], 311);
    EXPECT_EQ(codes[1], 124);
    std::thread a(runjob, std::ref(jobs[0]), together.path), b(runjob, std::ref(jobs[1]), together.path);
    a.join();
    b.join();
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(jobs[i].how, runend::complete);
        EXPECT_EQ(jobs[i].codes, codes[i]);
        const std::string name = resultname(jobs[i].par);
        EXPECT_TRUE(resultfiles(together.path, name) == resultfiles(alone.path, name)) << name;
    }
    EXPECT_EQ(listdir(together.file("res")), std::vector<std::string>{});
}

TEST(Parts, ThreadsGiveWhatOneGives) {
    for (const runcase& c : {runcase{10, 4, 3, 2}, runcase{7, 3, 3, 4}, runcase{6, 3, 3, 7}}) {
        const RunParams p = params(c);
        SCOPED_TRACE(resultname(p));
        const std::string one = whole(p);
        EXPECT_TRUE(split(p, 1, 3, 0) == one);
        EXPECT_TRUE(split(p, 2, 2, 1) == one);  // threads inside parts
        EXPECT_TRUE(split(p, 1, 1024, 1) == one);  // more threads than units
    }
}

}  // namespace
