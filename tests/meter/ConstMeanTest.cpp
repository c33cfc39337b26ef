#include "meter/ConstMean.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace wavfreq {
namespace {

// The level provider may be destroyed through its interface.
static_assert(std::has_virtual_destructor_v<IWavMean>);

TEST(ConstMeanTest, CountsSamplesAndIgnoresTheirValues) {
  ConstMean mean(0, 0.0);
  EXPECT_EQ(mean.GetSampleCount(), 0.0);
  EXPECT_EQ(mean.GetTotalSampleCount(), 0.0);
  EXPECT_EQ(mean.AddSample(100), 0.0);
  EXPECT_EQ(mean.AddSample(-5), 0.0);
  EXPECT_EQ(mean.AddSample(7), 0.0);
  EXPECT_EQ(mean.GetSampleCount(), 3.0);
  EXPECT_EQ(mean.GetTotalSampleCount(), 3.0);
  EXPECT_EQ(mean.GetMean(), 0.0);
}

TEST(ConstMeanTest, CountKeepsPacePastTheInt32Range) {
  ConstMean mean(2147483647, 0.0);
  mean.AddSample(1);
  EXPECT_EQ(mean.GetSampleCount(), 2147483648.0);
}

}  // namespace
}  // namespace wavfreq
