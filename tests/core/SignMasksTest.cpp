#include "core/SignMasks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace wavfreq {
namespace {

template <class Sample>
void ExpectSameAsOneByOne(const std::vector<Sample>& pool, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<Sample> samples(SignMasks::kWidth);
  for (int round = 0; round < 2000; ++round) {
    for (Sample& sample : samples) {
      sample = pool[random() % pool.size()];
    }
    const SignMasks fast = SignMasks::Of(samples.data());
    const SignMasks plain = SignMasks::OneByOne(samples.data());
    ASSERT_EQ(fast.above, plain.above) << round;
    ASSERT_EQ(fast.below, plain.below) << round;
  }
}

TEST(SignMasksTest, IntegersAtTheEdgesOfEveryWidthKeepTheirSigns) {
  // Values that saturate when packed to 16 and to 8 bits, and the smallest either side of 0.
  ExpectSameAsOneByOne<int>({0, 1, -1, 127, 128, -128, -129, 255, 256, 32767, 32768, -32768, -32769,
                             65536, -65536, 2147483647, -2147483647 - 1, 0, 0},
                            1);
  ExpectSameAsOneByOne<std::int16_t>({0, 1, -1, 127, 128, -128, -129, 255, 256, 32767, -32768, 0},
                                     4);
}

TEST(SignMasksTest, RealsKeepTheirSignsAndNegativeZeroIsZero) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  ExpectSameAsOneByOne<double>(
      {0.0, -0.0, tiny, -tiny, 1e-300, -1e-300, 0.5, -0.5, 1e300, -1e300,
       std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), 0.0},
      2);
}

TEST(SignMasksTest, SinglesKeepTheirSignsAndNegativeZeroIsZero) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  ExpectSameAsOneByOne<float>(
      {0.0F, -0.0F, tiny, -tiny, 1e-30F, -1e-30F, 0.5F, -0.5F, std::numeric_limits<float>::max(),
       -std::numeric_limits<float>::max(), 0.0F},
      3);
}

TEST(SignMasksTest, BitIOfTheMaskIsSampleI) {
  std::vector<int> samples(SignMasks::kWidth, 0);
  samples[0] = 5;
  samples[17] = -3;
  samples[63] = 1;
  const SignMasks masks = SignMasks::Of(samples.data());
  EXPECT_EQ(masks.above, (std::uint64_t{1} << 63) | 1u);
  EXPECT_EQ(masks.below, std::uint64_t{1} << 17);
}

}  // namespace
}  // namespace wavfreq
