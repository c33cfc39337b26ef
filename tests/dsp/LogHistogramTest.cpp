#include "dsp/LogHistogram.h"

#include <gtest/gtest.h>

namespace wavfreq {
namespace {

TEST(LogHistogramTest, APercentileIsTheValueAtTheSmallestRankThatCoversIt) {
  // Ten values: 95 % of them is 9.5, so the tenth; 50 % is the fifth. Each within its bin.
  LogHistogram histogram;
  for (int value = 1; value <= 10; ++value) {
    histogram.Add(value);
  }
  EXPECT_NEAR(histogram.Percentile(0.95), 10.0, 10.0 * 0.0005);
  EXPECT_NEAR(histogram.Percentile(0.5), 5.0, 5.0 * 0.0005);
  EXPECT_EQ(LogHistogram().Percentile(0.5), 0.0);
}

TEST(LogHistogramTest, LinearBinsKeepValuesAboveTheTopInTheLastBin) {
  // One outlier far above the top: counted in the open last bin, not past it.
  LogHistogram histogram;
  for (int value = 1; value <= 99; ++value) {
    histogram.Add(value);
  }
  histogram.Add(1e6);
  const LogHistogram::Bins bins = histogram.Linear(10, 100.0);
  ASSERT_EQ(bins.counts.size(), 10u);
  ASSERT_EQ(bins.edges.size(), 11u);
  EXPECT_EQ(bins.counts[0], 9.0);
  EXPECT_EQ(bins.counts[9], 11.0);
  double total = 0.0;
  for (double count : bins.counts) {
    total += count;
  }
  EXPECT_EQ(total, 100.0);
}

}  // namespace
}  // namespace wavfreq
