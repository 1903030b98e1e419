// Distance engines share nothing: two over different fields in two threads at
// once give what one engine gives alone (for the ThreadSanitizer build, which
// compiles only the tests of threads).
#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "oracle.h"

using namespace dtest;

namespace {

TEST(DistanceThreads, TwoEnginesOverDifferentFieldsAtOnce) {
    const int q[2] = {4, 5}, count = 100;
    auto work = [&](DistEngine& E, int j) {   // transcripts with the low-weight listing
        std::mt19937 rng(700 + j);
        std::vector<std::vector<uint64_t>> out;
        E.usefield(q[j], q[j] <= 4);
        for (int c = 0; c < count; c++) {
            int k = 3 + c % 4, n = k + 4 + (int)(rng() % 40);
            out.push_back(transcript(E, randrows(rng, k, n, q[j], 0.2 + 0.1 * (c % 5)), n, q[j], true));
        }
        return out;
    };
    std::vector<std::vector<uint64_t>> alone[2], together[2];
    DistEngine one;   // both fields in turn, in this thread
    for (int j = 0; j < 2; j++) alone[j] = work(one, j);
    std::latch ready(2);
    std::thread th[2];
    for (int j = 0; j < 2; j++)
        th[j] = std::thread([&, j] {
            DistEngine E;
            ready.arrive_and_wait();
            together[j] = work(E, j);
        });
    for (auto& t : th) t.join();
    for (int j = 0; j < 2; j++)
        for (int c = 0; c < count; c++) EXPECT_TRUE(together[j][c] == alone[j][c]) << "q=" << q[j] << " code " << c;
}

}  // namespace
