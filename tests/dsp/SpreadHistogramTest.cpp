#include "dsp/SpreadHistogram.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

namespace wavfreq {
namespace {

TEST(SpreadHistogramTest, WidensToHoldEveryValueInItsBin) {
  SpreadHistogram histogram(0.5);
  for (const double value : {0.1, -0.1, 3.0, -40.0, 100.0}) {
    histogram.Add(value);
  }
  histogram.Add(std::numeric_limits<double>::quiet_NaN());
  // 100 needs bins of 2: 64 of them reach 128.
  EXPECT_EQ(histogram.Width(), 2.0);
  const std::vector<std::int64_t>& counts = histogram.Counts();
  EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), std::int64_t{0}), 5);
  const auto at = [&](double value) {
    return counts[static_cast<std::size_t>(std::floor(value / 2.0) + SpreadHistogram::kSide)];
  };
  EXPECT_EQ(at(0.1), 1);   // [0, 2): 0.1
  EXPECT_EQ(at(-0.1), 1);  // [-2, 0): -0.1
  EXPECT_EQ(at(3.0), 1);
  EXPECT_EQ(at(-40.0), 1);
  EXPECT_EQ(at(100.0), 1);
}

}  // namespace
}  // namespace wavfreq
