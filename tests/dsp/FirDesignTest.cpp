#include "dsp/FirDesign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/Turns.h"

namespace wavfreq {
namespace {

TEST(FirDesignTest, TurnsAreSineAndCosineToTheLastBitsAndExactAtTheQuarters) {
  const long double pi = std::acos(-1.0L);
  for (int i = -4000; i <= 4000; ++i) {
    const double turns = i * 0.00123456789;
    const Turns t = Turns::Of(turns);
    EXPECT_NEAR(t.sine, static_cast<double>(std::sin(2.0L * pi * turns)), 3e-16) << turns;
    EXPECT_NEAR(t.cosine, static_cast<double>(std::cos(2.0L * pi * turns)), 3e-16) << turns;
  }
  EXPECT_EQ(Turns::Of(0.25).sine, 1.0);
  EXPECT_EQ(Turns::Of(0.25).cosine, 0.0);
  EXPECT_EQ(Turns::Of(-0.5).cosine, -1.0);
  EXPECT_EQ(Turns::Of(3.0).sine, 0.0);
}

// The gain of symmetric taps at a frequency (a fraction of the sample rate).
double Gain(const std::vector<double>& taps, double frequency) {
  double sum = 0.0;
  const double centre = static_cast<double>(taps.size() / 2);
  for (std::size_t i = 0; i < taps.size(); ++i) {
    sum +=
        taps[i] * std::cos(2.0 * std::acos(-1.0) * frequency * (static_cast<double>(i) - centre));
  }
  return std::fabs(sum);
}

TEST(FirDesignTest, KaiserLowPassHasUnitGainHalfGainAtTheCutoffAndItsStopBand) {
  const std::vector<double> taps = FirDesign::KaiserLowPass(0.1, 0.05, 80.0, 8191);
  ASSERT_EQ(taps.size() % 2, 1u);
  for (std::size_t i = 0; i < taps.size(); ++i) {
    ASSERT_EQ(taps[i], taps[taps.size() - 1 - i]);  // linear phase
  }
  EXPECT_NEAR(Gain(taps, 0.0), 1.0, 1e-12);
  EXPECT_NEAR(Gain(taps, 0.075), 1.0, 1e-3);  // the pass band's edge
  EXPECT_NEAR(Gain(taps, 0.1), 0.5, 1e-3);
  for (double f = 0.125; f <= 0.5; f += 0.001) {
    EXPECT_LT(20.0 * std::log10(Gain(taps, f)), -79.0) << f;
  }
  // Too narrow a transition for the taps allowed: as many as allowed, the cutoff kept.
  const std::vector<double> capped = FirDesign::KaiserLowPass(0.1, 0.0001, 80.0, 101);
  EXPECT_EQ(capped.size(), 101u);
  EXPECT_NEAR(Gain(capped, 0.1), 0.5, 0.02);
}

}  // namespace
}  // namespace wavfreq
