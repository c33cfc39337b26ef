#include "stats/RunSummary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "dsp/Turns.h"

namespace wavfreq {
namespace {

constexpr int kRate = 48000;

// 16-bit samples, built piece by piece.
class Recording {
 public:
  // A tone of `amplitude` (1 is full scale) with 0.05 % of 4 Hz wow, and hiss `hissDb` below it.
  Recording& Tone(double hertz, double seconds, double amplitude = 0.5, double hissDb = 200.0) {
    std::normal_distribution<double> hiss(
        0.0, amplitude / std::sqrt(2.0) * std::pow(10.0, -hissDb / 20.0));
    for (int i = 0; i < static_cast<int>(seconds * kRate); ++i) {
      const double t = static_cast<double>(samples.size()) / kRate;
      phase +=
          2.0 * Turns::kPi * hertz * (1.0 + 0.0005 * std::sin(2.0 * Turns::kPi * 4.0 * t)) / kRate;
      Add(amplitude * std::sin(phase) + hiss(random));
    }
    return *this;
  }
  // Silence with a dither of one step.
  Recording& Silence(double seconds) {
    std::uniform_int_distribution<int> dither(-1, 1);
    for (int i = 0; i < static_cast<int>(seconds * kRate); ++i) {
      samples.push_back(dither(random));
    }
    return *this;
  }
  // The summary of it all, handed over in the driver's blocks.
  std::string Summary(double nominal = 0.0, std::int64_t lines = 1) const {
    SampleFormat format;
    format.fullScale = 32768.0;
    RunSummary summary(kRate, format, nominal);
    for (std::size_t at = 0; at < samples.size(); at += 4096) {
      summary.ProcessBlock(samples.data() + at,
                           static_cast<int>(std::min<std::size_t>(4096, samples.size() - at)));
    }
    return summary.Report(lines);
  }

 private:
  void Add(double value) {
    samples.push_back(
        static_cast<int>(std::lround(std::fmax(-1.0, std::fmin(1.0, value)) * 32767.0)));
  }
  std::vector<int> samples;
  double phase = 0.0;
  std::mt19937 random{11};
};

int Blocks(const std::string& summary) {
  int blocks = 0;
  for (std::size_t at = summary.find("Tone "); at != std::string::npos;
       at = summary.find("Tone ", at + 1)) {
    ++blocks;
  }
  return blocks;
}

TEST(RunSummaryTest, GapsUpToASecondAreBridgedLongerOnesSplitTheTone) {
  const std::string bridged = Recording().Tone(3150, 6).Silence(0.8).Tone(3150, 6).Summary();
  EXPECT_EQ(Blocks(bridged), 1) << bridged;
  EXPECT_NE(bridged.find("Weighted wow and flutter (2-sigma): 0.049"), std::string::npos)
      << bridged;
  const std::string split = Recording().Tone(3150, 6).Silence(1.5).Tone(3150, 6).Summary();
  EXPECT_EQ(Blocks(split), 2) << split;
  // A dip of 20 dB for 150 ms is the same tone, and a change of tone a new one.
  EXPECT_EQ(Blocks(Recording().Tone(3150, 5).Tone(3150, 0.15, 0.05).Tone(3150, 5).Summary()), 1);
  EXPECT_EQ(Blocks(Recording().Tone(1000, 5).Tone(3150, 5).Summary()), 2);
}

TEST(RunSummaryTest, NothingToMeasureIsSaidSo) {
  EXPECT_EQ(Recording().Silence(2).Summary(0.0, 0), "No frequency measured.\n");
  EXPECT_EQ(Recording().Silence(2).Summary(0.0, 57), "Lines: 57\nNo tone measured.\n");
}

TEST(RunSummaryTest, WarningsNameWhatLimitsTheFigures) {
  const std::string clipped = Recording().Tone(3150, 6, 1.5).Summary();
  EXPECT_NE(clipped.find("Warning: clipped"), std::string::npos) << clipped;
  EXPECT_EQ(Recording().Tone(3150, 6, 1.0).Summary().find("Warning"), std::string::npos);
  const std::string low = Recording().Tone(400, 6).Summary();
  EXPECT_NE(low.find("Warning: a carrier of 400 Hz carries modulation up to 100 Hz only"),
            std::string::npos)
      << low;
  const std::string noisy = Recording().Tone(3150, 6, 0.5, 20.0).Summary();
  EXPECT_NE(noisy.find("Warning: signal-to-noise ratio"), std::string::npos) << noisy;
  EXPECT_EQ(Recording().Tone(3150, 6, 0.5, 60.0).Summary().find("Warning"), std::string::npos);
}

TEST(RunSummaryTest, SpeedErrorIsTakenAgainstTheNearestStandardOrTheNominal) {
  const std::string fast = Recording().Tone(3181.5, 6).Summary();
  EXPECT_NE(fast.find("Speed error: 1.0000 %"), std::string::npos) << fast;
  const std::string odd = Recording().Tone(2000, 6).Summary();
  EXPECT_NE(odd.find("Speed error: none (no standard test frequency within 5 %)"),
            std::string::npos)
      << odd;
  const std::string nominal = Recording().Tone(2000, 6).Summary(2020.0);
  EXPECT_NE(nominal.find("Speed error: -0.9901 %"), std::string::npos) << nominal;
}

}  // namespace
}  // namespace wavfreq
