#include "stats/TurnAverage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "dsp/Turns.h"
#include "stats/ToneTracker.h"

namespace wavfreq {
namespace {

constexpr double kRate = 600.0;
constexpr double kTwoPi = 2.0 * Turns::kPi;
// 3150 Hz cut at 45 rpm: 4200 cycles of the tone to a turn, 0.75 turns a second.
constexpr double kTone = 3150.0;
constexpr double kTurnHertz = 0.75;

// The average of `seconds` of a tone whose frequency is kTone x (1 + speed(t)).
TurnAverage::Result Average(double seconds, const std::function<double(double)>& speed) {
  TurnAverage average(kTone / kTurnHertz, kTurnHertz, 6.0);
  double cycles = 0.0;
  for (int i = 0; i < static_cast<int>(seconds * kRate); ++i) {
    const double t = i / kRate;
    const double hertz = kTone * (1.0 + speed(t));
    average.Add(cycles, t, hertz - kTone, hertz - kTone, true);
    cycles += hertz / kRate;
  }
  return average.Compute();
}

// Flutter that does not repeat: components between the turn's harmonics, of random phase.
double Flutter(double t) {
  const double rates[4] = {1.9, 4.1, 7.3, 13.1};
  double value = 0.0;
  for (int k = 0; k < 4; ++k) {
    value += 2e-4 * std::sin(kTwoPi * rates[k] * t + k);
  }
  return value;
}

TEST(TurnAverageTest, FindsTheOnceAroundWowAmongFlutterThatDoesNotRepeat) {
  // +-0.03 % once a turn and 0.01 % twice, with four times as much flutter besides.
  const TurnAverage::Result r = Average(60, [](double t) {
    return 3e-4 * std::sin(kTwoPi * kTurnHertz * t) +
           1e-4 * std::sin(kTwoPi * 2.0 * kTurnHertz * t + 1.0) + Flutter(t);
  });
  EXPECT_EQ(r.turns, 44);  // the 45th ends with the last value, and no turn follows it
  ASSERT_EQ(r.harmonics.size(), 2u);
  EXPECT_EQ(r.harmonics[0].order, 1);
  EXPECT_EQ(r.harmonics[1].order, 2);
  EXPECT_NEAR(std::hypot(r.harmonics[0].re, r.harmonics[0].im), 3e-4 * kTone, 0.02 * 3e-4 * kTone);
  EXPECT_NEAR(std::hypot(r.harmonics[1].re, r.harmonics[1].im), 1e-4 * kTone, 0.05 * 1e-4 * kTone);
  // The curve starts where the first turn did, where the wow's sine rises from 0; the wow
  // itself moves the turns' start a little against the time it keeps.
  EXPECT_NEAR(r.curve[0], 1e-4 * kTone * std::sin(1.0), 0.05);
  EXPECT_NEAR(r.curve[TurnAverage::kCurvePoints / 4], 3e-4 * kTone - 1e-4 * kTone * std::sin(1.0),
              0.05);
  // What does not repeat is the flutter: four components of 2e-4.
  const double flutter = 4.0 * 0.5 * (2e-4 * kTone) * (2e-4 * kTone);
  EXPECT_NEAR(r.restPower, flutter, 0.03 * flutter);
  double lowest = 0.0;
  double highest = 0.0;
  for (int j = 0; j < 3600; ++j) {
    const double a = kTwoPi * j / 3600.0;
    const double value = 3e-4 * std::sin(a) + 1e-4 * std::sin(2.0 * a + 1.0);
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
  }
  EXPECT_NEAR(r.halfPeakToPeak, 0.5 * (highest - lowest) * kTone, 0.02 * r.halfPeakToPeak);
}

TEST(TurnAverageTest, FlutterOrDriftAloneLeavesTheAverageFlat) {
  const TurnAverage::Result r = Average(60, Flutter);
  EXPECT_TRUE(r.harmonics.empty());
  EXPECT_EQ(r.halfPeakToPeak, 0.0);
  // Drift repeats in every turn as a ramp, which its straight line takes out.
  EXPECT_LT(Average(60, [](double t) { return 1e-3 * t / 60.0; }).halfPeakToPeak, 1e-3);
  // Nor is there an average of less than two whole turns.
  EXPECT_EQ(Average(2.6, [](double t) { return 3e-4 * std::sin(kTwoPi * kTurnHertz * t); }).turns,
            1);
}

TEST(TurnAverageTest, ComponentsOnTheTurnsHarmonicsAreNamed) {
  // At 33 1/3 rpm with 1/16 Hz between the spectrum's bins.
  const double turn = 100.0 / 3.0 / 60.0;
  const double step = 1.0 / 16.0;
  EXPECT_EQ(ToneTracker::TurnName(0.556, turn, step), "turn");
  EXPECT_EQ(ToneTracker::TurnName(1.13, turn, step), "2x turn");
  EXPECT_EQ(ToneTracker::TurnName(5.54, turn, step), "10x turn");
  // Between harmonics, beyond the tenth, below the first, or without a turn: no name.
  EXPECT_EQ(ToneTracker::TurnName(0.8, turn, step), "");
  EXPECT_EQ(ToneTracker::TurnName(6.11, turn, step), "");
  EXPECT_EQ(ToneTracker::TurnName(0.2, turn, step), "");
  EXPECT_EQ(ToneTracker::TurnName(0.556, 0.0, step), "");
}

}  // namespace
}  // namespace wavfreq
