// The standards' weighting curve and measuring band, and the angle and histogram pieces the
// flutter figures are made of.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "dsp/BandSplit.h"
#include "dsp/FlutterBand.h"
#include "dsp/FlutterWeighting.h"
#include "dsp/LogHistogram.h"
#include "dsp/Turns.h"

namespace wavfreq {
namespace {

double Db(double gain) {
  return 20.0 * std::log10(gain);
}

// The weighting curve of IEC 60386, DIN 45507 and AES6, dB against 4 Hz.
constexpr double kCurve[][2] = {
    {0.1, -48.0}, {0.2, -30.6},  {0.315, -19.7}, {0.4, -15.0},   {0.63, -8.4},  {0.8, -6.0},
    {1.0, -4.2},  {1.6, -1.8},   {2.0, -0.9},    {4.0, 0.0},     {6.3, -0.9},   {10.0, -2.1},
    {20.0, -5.9}, {40.0, -10.4}, {63.0, -14.2},  {100.0, -17.3}, {200.0, -23.0}};

TEST(FlutterFiltersTest, WeightingFollowsTheStandardsCurve) {
  for (const auto& point : kCurve) {
    EXPECT_NEAR(Db(FlutterWeighting::AnalogGain(point[0])), point[1], 0.4) << point[0];
  }
  // The published test-tone readings are 0.99692 x the gain: exact at these rates.
  EXPECT_NEAR(FlutterWeighting::AnalogGain(0.8), 0.0499 / 0.0997, 0.0005);
  EXPECT_NEAR(FlutterWeighting::AnalogGain(20.0), 0.0506 / 0.0997, 0.0005);
  EXPECT_NEAR(FlutterWeighting::AnalogGain(0.2), 0.0030 / 0.0997, 0.0005);
  // The digital filter keeps to the prototype up to 200 Hz at the series' rates.
  for (const double rate : {615.0, 800.0, 1333.0}) {
    const FlutterWeighting weighting(rate);
    for (const auto& point : kCurve) {
      EXPECT_NEAR(Db(weighting.Gain(point[0])), Db(FlutterWeighting::AnalogGain(point[0])), 0.05)
          << rate << " Hz, at " << point[0];
    }
  }
}

TEST(FlutterFiltersTest, WeightedSineSettlesToItsGain) {
  const double rate = 600.0;
  for (const double hertz : {0.8, 4.0, 20.0}) {
    FlutterWeighting weighting(rate);
    double peak = 0.0;
    for (int i = 0; i < 30 * 600; ++i) {
      const double out = weighting.Process(std::sin(2.0 * Turns::kPi * hertz * i / rate));
      peak = i > 20 * 600 ? std::fmax(peak, std::fabs(out)) : 0.0;
    }
    EXPECT_NEAR(peak, weighting.Gain(hertz), 0.002) << hertz;
  }
}

TEST(FlutterFiltersTest, BandHalvesThePowerAtItsCorners) {
  const FlutterBand band(600.0);
  EXPECT_NEAR(band.Gain(0.5), std::sqrt(0.5), 0.01);
  EXPECT_NEAR(band.Gain(200.0), std::sqrt(0.5), 0.01);
  EXPECT_NEAR(band.Gain(10.0), 1.0, 0.001);
  // A low carrier's band ends lower.
  const FlutterBand narrow(100.0, 12.5);
  EXPECT_EQ(narrow.TopHertz(), 12.5);
  EXPECT_NEAR(narrow.Gain(12.5), std::sqrt(0.5), 0.01);
}

TEST(FlutterFiltersTest, AngleOfMatchesTheLibrarysAtanEverywhere) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> angle(-Turns::kPi, Turns::kPi);
  std::uniform_real_distribution<double> size(-30.0, 30.0);
  for (int i = 0; i < 100000; ++i) {
    // Angles of every size, the small ones most of all: they are what a steady tone turns.
    const double a = i % 2 ? angle(random) : angle(random) * std::pow(2.0, -size(random) - 30.0);
    const double r = std::pow(2.0, size(random));
    const double x = r * std::cos(a);
    const double y = r * std::sin(a);
    const double expected = std::atan2(y, x) / (2.0 * Turns::kPi);
    ASSERT_NEAR(Turns::AngleOf(y, x), expected, 1e-15 * std::fmax(std::fabs(expected), 1e-3))
        << x << ", " << y;
  }
  EXPECT_EQ(Turns::AngleOf(0.0, 0.0), 0.0);
  EXPECT_EQ(Turns::AngleOf(0.0, -1.0), 0.5);
  EXPECT_EQ(Turns::AngleOf(-1.0, 0.0), -0.25);
}

TEST(FlutterFiltersTest, HistogramPercentilesHoldTheirResolution) {
  LogHistogram histogram;
  EXPECT_EQ(histogram.Percentile(0.95), 0.0);
  // 1 to 100000 in steps of 1: the 95th percentile is 95000, within a 1024th of an octave.
  for (int i = 1; i <= 100000; ++i) {
    histogram.Add(static_cast<double>(i) * 1e-6);
  }
  EXPECT_NEAR(histogram.Percentile(0.95), 0.095, 0.095 * 0.0007);
  EXPECT_NEAR(histogram.Percentile(0.5), 0.05, 0.05 * 0.0007);
  // Out of range on either side: counted in the end bins, the rest unmoved.
  histogram.Add(0.0);
  histogram.Add(1e9);
  EXPECT_EQ(histogram.Count(), 100002);
  EXPECT_NEAR(histogram.Percentile(0.5), 0.05, 0.05 * 0.0007);
  EXPECT_LT(histogram.Percentile(1e-9), 1e-11);
  EXPECT_GT(histogram.Percentile(1.0), 6e4);
}

TEST(FlutterFiltersTest, BandSplitsPowersAddUpToTheWhole) {
  // Whatever the spectrum: white noise, and sines on either side of the corner and at it.
  const double rate = 600.0;
  std::mt19937 random(5);
  std::normal_distribution<double> gauss(0.0, 1.0);
  const auto split = [&](const auto& signal, double shares[2]) {
    BandSplit bands(6.0, rate);
    double whole = 0.0;
    double below = 0.0;
    double above = 0.0;
    for (int i = 0; i < 600000; ++i) {
      const double x = signal(i / rate);
      const BandSplit::Parts parts = bands.Process(x);
      whole += x * x;
      below += parts.below * parts.below;
      above += parts.above * parts.above;
    }
    shares[0] = below / whole;
    shares[1] = above / whole;
  };
  double shares[2];
  split([&](double) { return gauss(random); }, shares);
  EXPECT_NEAR(shares[0] + shares[1], 1.0, 0.01);
  for (const double hertz : {0.5, 2.0, 6.0, 20.0, 150.0}) {
    split([&](double t) { return std::sin(2.0 * Turns::kPi * hertz * t); }, shares);
    EXPECT_NEAR(shares[0] + shares[1], 1.0, 0.002) << hertz;
    // A Butterworth pair: 1 / (1 + (f / 6)^4) of the power below.
    EXPECT_NEAR(shares[0], 1.0 / (1.0 + std::pow(hertz / 6.0, 4.0)), 0.002) << hertz;
  }
}

}  // namespace
}  // namespace wavfreq
