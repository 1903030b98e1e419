// Expensive checks of a run, switched on from the environment without
// touching the console: TALVEN_CHECK=1 or 2.  They are always compiled, so
// the program a user runs is the program that was checked.
//
//   level 1: every automorphism a labelling stored maps the incidence matrix
//            and its colours onto themselves, and the extension step leaves
//            its tables clean after every partner (every split entry 0, no
//            cut pending), and the weight bounds of every complete row
//            (RowCuts) give the verdict of the candidate test;
//   level 2: also, every new code is given a random monomial image (a change
//            of basis, a permutation and scaling of its distinct columns),
//            whose invariants and canonical form must equal the code's own;
//            and for dimension <= 9 its minimum distance from the distance
//            engine must equal the one of a full listing of its codewords.
// A failed check goes to the assertion handler.  The check keeps its own
// distance engine, invariants and labeller, so it never disturbs the run.
#pragma once
#include <cstdint>
#include <random>
#include <vector>

#include "canon/canon.h"
#include "containers/code.h"
#include "containers/zassert.h"
#include "distance/dist.h"
#include "engine/tables.h"
#include "invariants/colinv.h"

class SelfCheck {
   public:
    // The level asked for in TALVEN_CHECK (0 when unset or not 1 or 2), read
    // through its row of the option table.
    static int levelfromenv();

    SelfCheck(int level, int q, bool linear4 = false);
    SelfCheck(const SelfCheck&) = delete;
    SelfCheck& operator=(const SelfCheck&) = delete;

    int level() const { return level_; }
    // Level 1: the stored automorphisms of the labelling just made of inc.
    void labelling(const Labeller& lab, const ByteMatrix& inc, const int32_t* colours);
    // Level 1: the tables after the rows of one partner were made.
    void afterpartner(const SplitTables& split, int q);
    // Level 1: the verdict of the weight bounds on a complete row and that
    // of the candidate test must agree.
    void weights(bool bounds, bool test) {
        TALVEN_ASSERT("selfcheck", bounds == test, "weight bounds agree with the candidate test");
        verdicts++;
    }
    // Level 2: the new code in `code` whose invariants `inv` and labelling
    // `lab` were just made from its distinct-column form `reduced` (rows
    // 1..used).
    void newcode(const WorkingCode& code, const ColumnInvariants& inv, const Labeller& lab, const ByteMatrix& reduced);

    uint64_t automorphisms = 0;  // automorphisms verified
    uint64_t tables = 0;         // table states verified
    uint64_t verdicts = 0;       // complete rows judged both ways
    uint64_t images = 0;         // new codes re-canonised
    uint64_t listings = 0;       // minimum distances compared with a full listing

   private:
    void samecanonical(const ColumnInvariants& a, const Labeller& la, const ColumnInvariants& b,
                       const Labeller& lb);
    void fulllisting(const WorkingCode& code);

    int level_;
    std::mt19937_64 rng_;
    DistEngine dist_;
    ColumnInvariants inv_;
    Labeller lab_;
    ByteMatrix g_{}, full_{};
    PlaneMatrix gb_{};
    ByteMatrix gs_{};
    std::vector<int32_t> first_;  // the first-pass values of the image (grow-only)
};
