#include "stats/ToneFigures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "dsp/FlutterWeighting.h"
#include "dsp/Turns.h"

namespace wavfreq {
namespace {

constexpr double kRate = 600.0;
constexpr double kTwoPi = 2.0 * Turns::kPi;

// The figures of `seconds` of a series at kRate, frequency(t) in hertz.
ToneFigures::Figures Measure(double seconds, const std::function<double(double)>& frequency,
                             const std::function<double(int)>& noise = nullptr) {
  ToneFigures figures(kRate, 200.0);
  for (int i = 0; i < static_cast<int>(seconds * kRate); ++i) {
    figures.Add(frequency(i / kRate), noise ? noise(i) : 0.0, false);
  }
  return figures.Compute();
}

TEST(ToneFiguresTest, SineWowReadsThePublishedFigures) {
  // +-0.1 % of 3150 Hz at 4 Hz: 0.0997 % weighted and unweighted (2-sigma), 0.0707 % RMS.
  const ToneFigures::Figures f =
      Measure(20, [](double t) { return 3150.0 + 3.15 * std::sin(kTwoPi * 4.0 * t); });
  ASSERT_TRUE(f.flutterMeasured);
  EXPECT_NEAR(f.mean, 3150.0, 1e-3);
  EXPECT_NEAR(f.weighted2Sigma, 0.0997, 0.0997 * 0.002);
  EXPECT_NEAR(f.unweighted2Sigma, 0.0997, 0.0997 * 0.002);
  EXPECT_NEAR(f.weightedRms, 0.1 / std::sqrt(2.0), 0.0707 * 0.002);
  ASSERT_EQ(f.modulation.size(), 1u);
  EXPECT_NEAR(f.modulation[0].hertz, 4.0, 0.01);
  EXPECT_NEAR(f.modulation[0].share, 0.1, 0.002);
}

TEST(ToneFiguresTest, ComponentsComeStrongestFirstAsTheyAreWeighted) {
  // 0.1 % at 4 Hz and 0.8 Hz, 0.05 % at 20 Hz, and 0.1 % at 50 Hz: weighted 0.1, 0.05, 0.025
  // and 0.018 %; the fourth is left out.
  const double rates[4] = {0.8, 4.0, 20.0, 50.0};
  const double depths[4] = {3.0, 3.0, 1.5, 3.0};
  const ToneFigures::Figures f = Measure(40, [&](double t) {
    double value = 3000.0;
    for (int i = 0; i < 4; ++i) {
      value += depths[i] * std::sin(kTwoPi * rates[i] * t);
    }
    return value;
  });
  ASSERT_EQ(f.modulation.size(), 3u);
  const double expected[3][2] = {{4.0, 0.1}, {0.8, 0.1}, {20.0, 0.05}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(f.modulation[i].hertz, expected[i][0], 0.02) << i;
    EXPECT_NEAR(f.modulation[i].share,
                expected[i][1] * FlutterWeighting::AnalogGain(expected[i][0]), 0.002)
        << i;
  }
}

TEST(ToneFiguresTest, DriftIsTheSlopeOfAStraightLine) {
  const ToneFigures::Figures f = Measure(30, [](double t) { return 1000.0 + 0.02 * t; });
  EXPECT_NEAR(f.drift, 0.02, 1e-9);
  EXPECT_NEAR(f.mean, 1000.3, 1e-3);
  EXPECT_NEAR(f.span, 30.0, 0.01);
  // A straight line has no flutter once the weighting has settled.
  EXPECT_LT(f.weighted2Sigma, 1e-5);
  EXPECT_TRUE(f.modulation.empty());
}

TEST(ToneFiguresTest, TooShortForTheWeightingGivesNoFlutterFigures) {
  EXPECT_FALSE(Measure(4.4, [](double) { return 3150.0; }).flutterMeasured);
  EXPECT_TRUE(Measure(4.6, [](double) { return 3150.0; }).flutterMeasured);
}

TEST(ToneFiguresTest, BridgedValuesCountInNoFigure) {
  ToneFigures figures(kRate, 200.0);
  for (int i = 0; i < 6000; ++i) {
    // A second of a straight line at 3160 Hz, where the tone dropped out.
    const bool bridged = i >= 3000 && i < 3600;
    figures.Add(bridged ? 3160.0 : 3150.0, 0.0, bridged);
  }
  const ToneFigures::Figures f = figures.Compute();
  EXPECT_EQ(f.values, 5400);
  EXPECT_DOUBLE_EQ(f.mean, 3150.0);
}

TEST(ToneFiguresTest, NoiseTheAmplitudeShowsIsTakenOut) {
  // White phase noise on wow of three components, as hiss 20 dB below a tape's tone adds it;
  // the amplitude's noise, as large and independent of it, goes in beside.
  std::mt19937 random(3);
  std::normal_distribution<double> gauss(0.0, 0.01);
  std::vector<double> phase(12001);
  std::vector<double> amplitude(12001);
  for (std::size_t i = 0; i < phase.size(); ++i) {
    phase[i] = gauss(random);
    amplitude[i] = gauss(random);
  }
  const auto hertz = [](const std::vector<double>& p, int i) {
    return (p[static_cast<std::size_t>(i) + 1] - p[static_cast<std::size_t>(i)]) * kRate / kTwoPi;
  };
  const auto wow = [](double t) {
    return 3150.0 + 1.6 * std::sin(kTwoPi * 0.55 * t) + 1.3 * std::sin(kTwoPi * 4.0 * t + 1.0) +
           0.9 * std::sin(kTwoPi * 12.5 * t + 2.0);
  };
  const ToneFigures::Figures clean = Measure(20, wow);
  const auto noisy = [&](double t) {
    return wow(t) + hertz(phase, static_cast<int>(std::lround(t * kRate)));
  };
  const ToneFigures::Figures raw = Measure(20, noisy);
  const ToneFigures::Figures cleared =
      Measure(20, noisy, [&](int i) { return hertz(amplitude, i); });
  // The noise adds a tenth to the unweighted figure; what is left of it, 2 % at most.
  EXPECT_GT(raw.unweighted2Sigma, 1.08 * clean.unweighted2Sigma);
  EXPECT_NEAR(cleared.unweighted2Sigma, clean.unweighted2Sigma, 0.02 * clean.unweighted2Sigma);
  EXPECT_NEAR(cleared.weightedRms, clean.weightedRms, 0.01 * clean.weightedRms);
  EXPECT_GT(cleared.unweightedNoiseShare, 0.1);
  // On a pure sine the noise moves the two-sigma figure less than its power would say: it adds
  // 43 % here, and taken out in proportion to its power it would leave 26 %; what is left is
  // within 6 %, the most that 20 s of noise can be known to.
  const auto sine = [](double t) { return 3150.0 + 2.5 * std::sin(kTwoPi * 4.0 * t); };
  const auto noisySine = [&](double t) {
    return sine(t) + hertz(phase, static_cast<int>(std::lround(t * kRate)));
  };
  const double pure = Measure(20, sine).unweighted2Sigma;
  EXPECT_NEAR(Measure(20, noisySine, [&](int i) { return hertz(amplitude, i); }).unweighted2Sigma,
              pure, 0.06 * pure);
}

TEST(ToneFiguresTest, TheLastTenSecondsReadAsATenSecondToneWould) {
  // Sine wow whose depth changes halfway: the running figure follows the last 10 s, and reads
  // as the whole figure of those 10 s does (both after the weighting has settled).
  const auto wow = [](double t) {
    return 3150.0 + (t < 20.0 ? 1.5 : 3.15) * std::sin(kTwoPi * 4.0 * t);
  };
  ToneFigures running(kRate, 200.0);
  running.KeepRecent();
  EXPECT_TRUE(std::isnan(running.RecentWeighted2Sigma()));
  for (int i = 0; i < 32 * static_cast<int>(kRate); ++i) {
    running.Add(wow(i / kRate), 0.0, false);
  }
  ToneFigures last(kRate, 200.0);
  for (int i = static_cast<int>(19.5 * kRate); i < 32 * static_cast<int>(kRate); ++i) {
    last.Add(wow(i / kRate), 0.0, false);
  }
  const double whole = last.Compute().weighted2Sigma;
  EXPECT_NEAR(whole, 0.0997, 0.001);
  EXPECT_NEAR(running.RecentWeighted2Sigma(), whole, 0.02 * whole);
}

TEST(ToneFiguresTest, NoiseAloneLeavesNoFlutterInAnyFigure) {
  // Amplitude and phase noise alike, as hiss adds them, on a steady tone.
  std::mt19937 random(9);
  std::normal_distribution<double> gauss(0.0, 0.01);
  double lastPhase = 0.0;
  double lastAmplitude = 0.0;
  ToneFigures raw(kRate, 200.0);
  ToneFigures cleared(kRate, 200.0);
  for (int i = 0; i < 20 * static_cast<int>(kRate); ++i) {
    const double phase = gauss(random);
    const double amplitude = gauss(random);
    const double hertz = 3150.0 + (phase - lastPhase) * kRate / kTwoPi;
    raw.Add(hertz, 0.0, false);
    cleared.Add(hertz, (amplitude - lastAmplitude) * kRate / kTwoPi, false);
    lastPhase = phase;
    lastAmplitude = amplitude;
  }
  const ToneFigures::Figures noisy = raw.Compute();
  const ToneFigures::Figures f = cleared.Compute();
  EXPECT_GT(noisy.weightedRms, 0.001);
  EXPECT_LT(f.weightedRms, 0.25 * noisy.weightedRms);
  EXPECT_LT(f.weighted2Sigma, 0.25 * noisy.weighted2Sigma);
  EXPECT_GT(f.weightedNoiseShare, 0.9);
}

TEST(ToneFiguresTest, NoiseIsMeasuredAfterTheFirstMinuteToo) {
  // Seventy seconds of a clean tone with wow, then seventy with hiss: the noise of the second
  // half is taken out as well as that of the first would be.
  std::mt19937 random(4);
  std::normal_distribution<double> gauss(0.0, 0.01);
  const auto wow = [](double t) { return 3150.0 + 2.0 * std::sin(kTwoPi * 4.0 * t); };
  ToneFigures clean(kRate, 200.0);
  ToneFigures noisy(kRate, 200.0);
  double lastPhase = 0.0;
  double lastAmplitude = 0.0;
  for (int i = 0; i < 140 * static_cast<int>(kRate); ++i) {
    const double t = i / kRate;
    const bool hiss = t >= 70.0;
    const double phase = hiss ? gauss(random) : 0.0;
    const double amplitude = hiss ? gauss(random) : 0.0;
    clean.Add(wow(t), 0.0, false);
    noisy.Add(wow(t) + (phase - lastPhase) * kRate / kTwoPi,
              (amplitude - lastAmplitude) * kRate / kTwoPi, false);
    lastPhase = phase;
    lastAmplitude = amplitude;
  }
  const double expected = clean.Compute().unweighted2Sigma;
  EXPECT_NEAR(noisy.Compute().unweighted2Sigma, expected, 0.1 * expected);
}

TEST(ToneFiguresTest, FiguresByBandSplitAtSixHzAndAddUp) {
  // 0.1 % at 2 Hz and 0.05 % at 20 Hz: wow below the split, flutter above, each as the
  // Butterworth pair shares it out, and the halves' powers make the whole's.
  const ToneFigures::Figures f = Measure(40, [](double t) {
    return 3000.0 * (1.0 + 1e-3 * std::sin(kTwoPi * 2.0 * t) + 5e-4 * std::sin(kTwoPi * 20.0 * t));
  });
  // The Butterworth pair at 6 Hz, and the measuring band's high-pass at 0.5 Hz.
  const auto below = [](double hertz) { return 1.0 / std::sqrt(1.0 + std::pow(hertz / 6.0, 4.0)); };
  const auto above = [](double hertz) { return 1.0 / std::sqrt(1.0 + std::pow(6.0 / hertz, 4.0)); };
  const double rms = 0.1 * (1.0 / std::sqrt(1.0 + std::pow(0.5 / 2.0, 4.0))) / std::sqrt(2.0);
  const double fast = 0.05 / std::sqrt(2.0);
  EXPECT_NEAR(f.unweightedRms, std::hypot(rms, fast), 0.001 * f.unweightedRms);
  EXPECT_NEAR(f.unweightedWowRms, std::hypot(rms * below(2.0), fast * below(20.0)),
              0.002 * f.unweightedWowRms);
  EXPECT_NEAR(f.unweightedFlutterRms, std::hypot(rms * above(2.0), fast * above(20.0)),
              0.003 * f.unweightedFlutterRms);
  EXPECT_NEAR(std::hypot(f.weightedWowRms, f.weightedFlutterRms), f.weightedRms,
              0.002 * f.weightedRms);
  EXPECT_NEAR(f.weightedWowRms,
              std::hypot(0.1 * FlutterWeighting::AnalogGain(2.0) * below(2.0),
                         0.05 * FlutterWeighting::AnalogGain(20.0) * below(20.0)) /
                  std::sqrt(2.0),
              0.003 * f.weightedWowRms);
  // What the drift's second-order low-pass at 0.5 Hz lets through of 2 Hz; the peaks of the two
  // sines meet once in a while.
  ASSERT_TRUE(f.driftMeasured);
  EXPECT_NEAR(f.driftRms, 0.1 / std::sqrt(2.0) / std::sqrt(1.0 + std::pow(2.0 / 0.5, 4.0)),
              0.03 * f.driftRms);
  EXPECT_NEAR(f.peakToPeak, 0.3, 0.003);
}

TEST(ToneFiguresTest, DriftNeedsThirtySecondsOfTheTone) {
  // 0.1 % at 0.2 Hz, which the 0.5-200 Hz band all but leaves out.
  const auto slow = [](double t) { return 1000.0 * (1.0 + 1e-3 * std::sin(kTwoPi * 0.2 * t)); };
  EXPECT_FALSE(Measure(29.5, slow).driftMeasured);
  const ToneFigures::Figures f = Measure(60, slow);
  ASSERT_TRUE(f.driftMeasured);
  // The 0.05-0.5 Hz band's gain at 0.2 Hz.
  const double gain =
      1.0 / std::sqrt((1.0 + std::pow(0.05 / 0.2, 4.0)) * (1.0 + std::pow(0.2 / 0.5, 4.0)));
  EXPECT_NEAR(f.driftRms, 0.1 / std::sqrt(2.0) * gain, 0.01 * f.driftRms);
  EXPECT_LT(f.unweightedRms, 0.2 * f.driftRms);
}

TEST(ToneFiguresTest, PeakToPeakLeavesOutValuesAtALevelStep) {
  // A dropout's edge shakes the demodulator's phase for a few values: those are marked and
  // count in every figure but the peak-to-peak.
  ToneFigures marked(kRate, 200.0);
  ToneFigures unmarked(kRate, 200.0);
  for (int i = 0; i < 10 * static_cast<int>(kRate); ++i) {
    const bool glitch = i >= 4000 && i < 4003;
    const bool edge = i >= 3970 && i < 4033;
    const double hertz =
        3150.0 * (1.0 + 1e-3 * std::sin(kTwoPi * 4.0 * i / kRate)) + (glitch ? 20.0 : 0.0);
    marked.Add(hertz, 0.0, false, edge);
    unmarked.Add(hertz, 0.0, false);
  }
  const ToneFigures::Figures kept = marked.Compute();
  // What the band's high-pass spreads of the glitch over the values after it is all that shows.
  EXPECT_NEAR(kept.peakToPeak, 0.2, 0.01);
  EXPECT_GT(unmarked.Compute().peakToPeak, 0.25);
  EXPECT_EQ(kept.weightedRms, unmarked.Compute().weightedRms);
}

}  // namespace
}  // namespace wavfreq
