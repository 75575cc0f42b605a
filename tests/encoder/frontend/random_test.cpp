// The encoder's random generator: state' = state * 214013 + 2531011 modulo
// 2^32, results are state bits 30..16.
#include <gtest/gtest.h>

#include <cstdint>

#include "encoder/state/rng.h"
#include "frontend_support.h"

namespace {

TEST(Random, FirstOutputsForSeed1) {
    // 1 * 214013 + 2531011 = 2745024, and 2745024 >> 16 = 41.
    brenvik::Random rng;
    rng.reseed(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(rng.next(), value);
}

TEST(Random, FirstOutputForSeed2394) {
    // 2394 * 214013 + 2531011 = 514878133 = 7856 * 65536 + 27317.
    brenvik::Random rng;
    rng.reseed(2394);
    EXPECT_EQ(rng.next(), 7856);
}

TEST(Random, FollowsTheRecurrenceForSeveralSeeds) {
    for (std::uint32_t seed : {0u, 1u, 42u, 2394u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        brenvik::Random rng;
        rng.reseed(seed);
        frontend_test::ModelGenerator model(seed);
        for (int i = 0; i < 10000; ++i) {
            ASSERT_EQ(rng.next(), model.next()) << "seed " << seed << " draw " << i;
        }
    }
}

TEST(Random, ReseedingRestartsTheSequence) {
    brenvik::Random rng(2394);
    const int first = rng.next();
    const int second = rng.next();
    rng.reseed(2394);
    EXPECT_EQ(rng.next(), first);
    EXPECT_EQ(rng.next(), second);
}

TEST(Random, ConstructorSeedEqualsSrand) {
    brenvik::Random a(42);
    brenvik::Random b;
    b.reseed(42);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a.next(), b.next());
}

TEST(Random, ResultsSpanZeroTo32767) {
    brenvik::Random rng(7);
    int low = 32767;
    int high = 0;
    for (int i = 0; i < 200000; ++i) {
        const int v = rng.next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, brenvik::Random::kMax);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_EQ(brenvik::Random::kMax, 32767);
    EXPECT_LT(low, 16);
    EXPECT_GT(high, 32767 - 16);
}

}  // namespace
