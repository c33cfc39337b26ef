#include "dsp/FlatTops.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace wavfreq {
namespace {

TEST(FlatTopsTest, CountsEqualNeighboursAtOrBeyondTheLevelAcrossPieces) {
  // Tops held at +-900 for three samples (two pairs each); equal pairs below the level (the 0s
  // and the 100s) are slopes or silence. The last 900 of the first piece pairs with the first of
  // the second.
  const std::vector<int> first = {0, 0, 100, 100, 600, 900, 900};
  const std::vector<int> second = {900, 600, -600, -900, -900, -900, -600, 899, 899};
  FlatTops tops;
  tops.SetLevel(899.5);
  tops.Count(first.data(), static_cast<int>(first.size()));
  tops.Count(second.data(), static_cast<int>(second.size()));
  EXPECT_EQ(tops.Take(), 4);
  EXPECT_EQ(tops.Take(), 0);
  EXPECT_EQ(tops.Top(), 900.0);
  // The same as floats, whose level is not rounded up.
  const std::vector<float> real = {900.0F, 900.0F, 899.0F, 899.0F, -899.6F, -899.6F};
  FlatTops floats;
  floats.SetLevel(899.5);
  floats.Count(real.data(), static_cast<int>(real.size()));
  EXPECT_EQ(floats.Take(), 2);
}

TEST(FlatTopsTest, ALevelNoSampleReachesCountsNothing) {
  const std::vector<int> extremes = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  FlatTops tops;
  tops.Count(extremes.data(), 4);
  EXPECT_EQ(tops.Take(), 0);
  tops.SetLevel(3e9);
  tops.Count(extremes.data(), 4);
  EXPECT_EQ(tops.Take(), 0);
  tops.SetLevel(2147483647.0);
  tops.Count(extremes.data(), 4);
  EXPECT_EQ(tops.Take(), 2);
}

}  // namespace
}  // namespace wavfreq
