// The encoder's random generator: state' = state * 214013 + 2531011 modulo
// 2^32, results are state bits 30..16.
#include "encoder/state/rng.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "frontend_support.h"

namespace {

TEST(Rng, FirstOutputsForSeed1) {
    // 1 * 214013 + 2531011 = 2745024, and 2745024 >> 16 = 41.
    brenvik::Rng rng;
    rng.srand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(rng.rand(), value);
}

TEST(Rng, FirstOutputForSeed2394) {
    // 2394 * 214013 + 2531011 = 514878133 = 7856 * 65536 + 27317.
    brenvik::Rng rng;
    rng.srand(2394);
    EXPECT_EQ(rng.rand(), 7856);
}

TEST(Rng, FollowsTheRecurrenceForSeveralSeeds) {
    for (std::uint32_t seed : {0u, 1u, 42u, 2394u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        brenvik::Rng rng;
        rng.srand(seed);
        frontend_test::ModelLcg model(seed);
        for (int i = 0; i < 10000; ++i) {
            ASSERT_EQ(rng.rand(), model.next()) << "seed " << seed << " draw " << i;
        }
    }
}

TEST(Rng, ReseedingRestartsTheSequence) {
    brenvik::Rng rng(2394);
    const int first = rng.rand();
    const int second = rng.rand();
    rng.srand(2394);
    EXPECT_EQ(rng.rand(), first);
    EXPECT_EQ(rng.rand(), second);
}

TEST(Rng, ConstructorSeedEqualsSrand) {
    brenvik::Rng a(42);
    brenvik::Rng b;
    b.srand(42);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a.rand(), b.rand());
}

TEST(Rng, ResultsSpanZeroTo32767) {
    brenvik::Rng rng(7);
    int low = 32767;
    int high = 0;
    for (int i = 0; i < 200000; ++i) {
        const int v = rng.rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, brenvik::Rng::kMax);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_EQ(brenvik::Rng::kMax, 32767);
    EXPECT_LT(low, 16);
    EXPECT_GT(high, 32767 - 16);
}

}  // namespace
