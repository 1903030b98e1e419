// The tests every complete candidate of the extension step must pass before
// it is given invariants: self-orthogonality (when asked for), the dual
// distance, and the minimum distance or the allowed weights.  They read the
// candidate in the run's working code (rows 1..level, columns
// 1..len).
#pragma once
#include "containers/code.h"
#include "containers/containers.h"
#include "distance/dist.h"
#include "engine/bounds.h"
#include "params/params.h"

// The working matrices of the tests (grow-only, released with the owner).
struct TestMatrices {
    ByteMatrix cand;   // the candidate (or its distinct columns), used = rows, dreq = distance asked
    ByteMatrix dual;   // a generator matrix of the candidate's dual
    PlaneMatrix gb;    // basis of the low-weight listing, q <= 4
    ByteMatrix gs;     // the same, q = 5, 7
};

class CandidateTests {
   public:
    CandidateTests(const RunParams& par, const LevelBounds& bounds, DistEngine& dist)
        : par_(par), bounds_(bounds), dist_(dist) {}
    CandidateTests(const CandidateTests&) = delete;
    CandidateTests& operator=(const CandidateTests&) = delete;

    // Last row against the row above: even overlap (q = 2), overlap of the
    // difference divisible by 4 (doubly even), Euclidean (q = 3) or Hermitian
    // (q = 4) product 0; q = 5, 7 always pass.  Reads the code only.
    bool test_selforth(const WorkingCode& code) const;
    // Dual distance: sets code.dualreq = level - k + dual and checks
    // that the dual has no non-zero word of weight below it.  Writes mats.cand
    // and mats.dual when it must enumerate; the distance engine's state.
    bool test_dual(WorkingCode& code);
    // The weights the run's bounds allow (bounds.h): a possible number of
    // zero columns, and minimum distance bounds.dmin (code.dreq is not
    // read) or, when the bounds restrict the weights, no codeword of a
    // weight they forbid.  Writes mats.cand; the distance engine's state.
    bool test_dist(const WorkingCode& code);
    // mats.cand := code rows 1..level, columns 1..len (unassigned
    // entries of the last row as 0), used = rows, dreq = code.dreq.
    void candfill(const WorkingCode& code);

   private:
    TestMatrices mats{};
    const RunParams& par_;
    const LevelBounds& bounds_;
    DistEngine& dist_;
};
