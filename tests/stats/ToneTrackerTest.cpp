#include "stats/ToneTracker.h"

#include "dsp/Turns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace wavfreq {
namespace {

TEST(ToneTrackerTest, NoiseAfterTheToneIsNeverTakenForIt) {
  // Two seconds of the tone, then ten of white noise at its level: the tone ends where the noise
  // begins. At 49.99 Hz the demodulator's output runs at twice what its band needs, so that
  // neighbouring values of noise are alike.
  for (const double carrier : {49.99, 400.0, 3150.0}) {
    ToneTracker::Start start;
    start.sampleRate = 48000;
    start.carrier = carrier;
    start.power = 0.25e6;
    start.fullScale = 32768.0;
    start.fromInputStart = true;
    ToneTracker tracker(start);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 1000.0);
    std::vector<double> block(4800);
    for (int tenth = 0; tenth < 120 && !tracker.Ended(); ++tenth) {
      for (std::size_t i = 0; i < block.size(); ++i) {
        const double t = (tenth * 4800.0 + static_cast<double>(i)) / 48000.0;
        block[i] = tenth < 20 ? 1000.0 * std::sin(2.0 * Turns::kPi * carrier * t) : noise(random);
      }
      tracker.Process(block.data(), static_cast<int>(block.size()));
    }
    EXPECT_TRUE(tracker.Ended()) << carrier;
    EXPECT_NEAR(tracker.EndSeconds(), 2.0, 0.05) << carrier;
  }
}

TEST(ToneTrackerTest, AnotherTonesOnsetIsNoReturnOfTheTone) {
  // A test tape at 44.1 kHz: 1006 Hz for two seconds, a second of hiss, then 3169 Hz. The new
  // tone's onset, folded into the first tone's band by the demodulator's block sums, passes for
  // it for a few values.
  ToneTracker::Start start;
  start.sampleRate = 44100;
  start.carrier = 1005.0;
  start.power = 0.25 * 16384.0 * 16384.0;
  start.fullScale = 32768.0;
  start.fromInputStart = true;
  ToneTracker tracker(start);
  std::mt19937 random(3);
  std::normal_distribution<double> hiss(0.0, 40.0);
  std::vector<double> block(4410);
  double phase = 0.0;
  for (int tenth = 0; tenth < 60 && !tracker.Ended(); ++tenth) {
    const double hertz = tenth < 20 ? 1006.0 : tenth < 30 ? 0.0 : 3169.0;
    for (double& sample : block) {
      phase += 2.0 * Turns::kPi * hertz / 44100.0;
      sample = (hertz > 0.0 ? 16384.0 * std::sin(phase) : 0.0) + hiss(random);
    }
    tracker.Process(block.data(), static_cast<int>(block.size()));
  }
  EXPECT_NEAR(tracker.EndSeconds(), 2.0, 0.02);
}

TEST(ToneTrackerTest, ADropoutsEdgesLeaveThePeakToPeakAsItWas) {
  // 3150 Hz with +-0.1 % at 4 Hz and hiss 60 dB down, with and without a dropout of 20 dB for
  // 150 ms: where the level steps, the demodulator's phase jumps for a few values.
  const auto peakToPeak = [](bool dropout) {
    ToneTracker::Start start;
    start.sampleRate = 44100;
    start.carrier = 3150.0;
    start.power = 0.25 * 16384.0 * 16384.0;
    start.fullScale = 32768.0;
    start.fromInputStart = true;
    ToneTracker tracker(start);
    std::mt19937 random(4);
    std::normal_distribution<double> hiss(0.0, 16.0);
    std::vector<double> block(4410);
    double phase = 0.0;
    for (int tenth = 0; tenth < 100; ++tenth) {
      for (std::size_t i = 0; i < block.size(); ++i) {
        const double t = (tenth * 4410.0 + static_cast<double>(i)) / 44100.0;
        phase += 2.0 * Turns::kPi * 3150.0 * (1.0 + 1e-3 * std::sin(2.0 * Turns::kPi * 4.0 * t)) /
                 44100.0;
        const double level = dropout && t >= 6.0 && t < 6.15 ? 0.1 : 1.0;
        block[i] = level * 16384.0 * std::sin(phase) + hiss(random);
      }
      tracker.Process(block.data(), static_cast<int>(block.size()));
    }
    tracker.Finish();
    const std::string report = tracker.Report(1, 3150.0);
    const std::string name = "Peak-to-peak deviation (0.5-200 Hz): ";
    const std::size_t at = report.find(name);
    return at == std::string::npos ? 0.0 : std::stod(report.substr(at + name.size()));
  };
  const double clean = peakToPeak(false);
  EXPECT_NEAR(clean, 0.2, 0.01);
  EXPECT_NEAR(peakToPeak(true), clean, 0.05 * clean);
}

TEST(ToneTrackerTest, NoiseMakesAFigureReadHighAboveTheMeasuringFloor) {
  // A tenth of the power or more, and the figure well clear of what is left of the noise.
  EXPECT_TRUE(ToneTracker::ReadsHigh(0.060, 0.050, 0.30));
  EXPECT_FALSE(ToneTracker::ReadsHigh(0.052, 0.050, 0.08));
  // What is left lies within what the noise's estimate is sure of: the measuring floor.
  EXPECT_FALSE(ToneTracker::ReadsHigh(0.100, 0.040, 0.90));
  EXPECT_TRUE(ToneTracker::ReadsHigh(0.100, 0.060, 0.90));
  // Below a hundredth of a percent, whatever the share.
  EXPECT_FALSE(ToneTracker::ReadsHigh(0.012, 0.0099, 0.30));
}

}  // namespace
}  // namespace wavfreq
