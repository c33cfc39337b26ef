#include "stats/RunSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dsp/Turns.h"

namespace wavfreq {
namespace {

// Samples of `bits` (16 or 8), built piece by piece, the phase running on from piece to piece.
class Recording {
 public:
  explicit Recording(int bits = 16, int sampleRate = 48000)
      : top(bits == 8 ? 127.0 : 32767.0), fullScale(top + 1.0), rate(sampleRate) {}
  // The rate of the wow of the tones that follow.
  Recording& Wow(double hertz) {
    wowHertz = hertz;
    return *this;
  }
  // A tone of `amplitude` (1 is full scale) with `wow` of 4 Hz, and hiss `hissDb` below it.
  Recording& Tone(double hertz, double seconds, double amplitude = 0.5, double hissDb = 200.0,
                  double wow = 0.0005) {
    return Fade(hertz, seconds, amplitude, amplitude, hissDb, wow);
  }
  // A tone whose level moves from `from` to `to` evenly in decibels, clipped at `clip`.
  Recording& Fade(double hertz, double seconds, double from, double to, double hissDb = 200.0,
                  double wow = 0.0005, double clip = 1.0) {
    std::normal_distribution<double> hiss(0.0,
                                          from / std::sqrt(2.0) * std::pow(10.0, -hissDb / 20.0));
    const int count = static_cast<int>(seconds * rate);
    for (int i = 0; i < count; ++i) {
      const double t = static_cast<double>(samples.size()) / rate;
      phase +=
          2.0 * Turns::kPi * hertz * (1.0 + wow * std::sin(2.0 * Turns::kPi * wowHertz * t)) / rate;
      const double amplitude = from * std::pow(to / from, static_cast<double>(i) / count);
      Add(amplitude * std::sin(phase) + hiss(random), clip);
    }
    return *this;
  }
  // Another tone of `amplitude`, added to what is there.
  void Mix(double hertz, double amplitude) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] += static_cast<int>(std::lround(
          amplitude * top * std::sin(2.0 * Turns::kPi * hertz * static_cast<double>(i) / rate)));
    }
  }
  // Hiss `db` below full scale.
  Recording& Hiss(double seconds, double db) {
    std::normal_distribution<double> hiss(0.0, std::pow(10.0, db / 20.0));
    for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
      Add(hiss(random), 1.0);
    }
    return *this;
  }
  // Silence with a dither of one step.
  Recording& Silence(double seconds) {
    std::uniform_int_distribution<int> dither(-1, 1);
    for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
      samples.push_back(dither(random));
    }
    return *this;
  }
  // The summary of it all, handed over in the driver's blocks.
  std::string Summary(double nominal = 0.0, std::int64_t lines = 1) const {
    SampleFormat format;
    format.fullScale = fullScale;
    RunSummary summary(rate, format, nominal);
    for (std::size_t at = 0; at < samples.size(); at += 4096) {
      summary.ProcessBlock(samples.data() + at,
                           static_cast<int>(std::min<std::size_t>(4096, samples.size() - at)));
    }
    return summary.Report(lines);
  }

 private:
  // With a triangular dither of one step, as a recording is made; clipped at `clip` after it, as
  // a digital gain or limiter clips.
  void Add(double value, double clip) {
    std::uniform_real_distribution<double> dither(-0.5, 0.5);
    const double step = dither(random) + dither(random);
    const double highest = clip * top;
    samples.push_back(
        static_cast<int>(std::lround(std::fmax(-highest, std::fmin(highest, value * top + step)))));
  }
  double top;
  double fullScale;
  int rate;
  double wowHertz = 4.0;
  std::vector<int> samples;
  double phase = 0.0;
  std::mt19937 random{11};
};

// The blocks' spans, in seconds.
std::vector<std::pair<double, double>> Spans(const std::string& summary) {
  std::vector<std::pair<double, double>> spans;
  for (std::size_t at = summary.find("\nTone "); at != std::string::npos;
       at = summary.find("\nTone ", at + 1)) {
    double from = 0.0;
    double to = 0.0;
    int number = 0;
    if (std::sscanf(summary.c_str() + at + 1, "Tone %d: %lf s to %lf s", &number, &from, &to) ==
        3) {
      spans.emplace_back(from, to);
    }
  }
  return spans;
}

// A figure's number from its "Name: value" line, or -1 without one.
double Figure(const std::string& summary, const std::string& name) {
  const std::size_t at = summary.find("\n" + name + ": ");
  return at == std::string::npos ? -1.0 : std::atof(summary.c_str() + at + name.size() + 3);
}

// Whether a figure reads as a negative zero: a minus, then only zeros and a point.
bool NegativeZero(const std::string& summary) {
  for (std::size_t at = summary.find('-'); at != std::string::npos;
       at = summary.find('-', at + 1)) {
    std::size_t end = at + 1;
    while (end < summary.size() && (summary[end] == '0' || summary[end] == '.')) {
      ++end;
    }
    if (end > at + 1 && (end == summary.size() || summary[end] == ' ')) {
      return true;
    }
  }
  return false;
}

bool Warns(const std::string& summary, const char* what) {
  return summary.find(std::string("Warning: ") + what) != std::string::npos;
}

int Blocks(const std::string& summary) {
  int blocks = 0;
  for (std::size_t at = summary.find("Tone "); at != std::string::npos;
       at = summary.find("Tone ", at + 1)) {
    ++blocks;
  }
  return blocks;
}

TEST(RunSummaryTest, GapsUpToASecondAreBridgedLongerOnesSplitTheTone) {
  // The gap and its edges count in no figure: the tone reads as if it had none.
  const double whole =
      Figure(Recording().Tone(3150, 12.8).Summary(), "Weighted wow and flutter (2-sigma)");
  const std::string bridged = Recording().Tone(3150, 6).Silence(0.8).Tone(3150, 6).Summary();
  EXPECT_EQ(Blocks(bridged), 1) << bridged;
  EXPECT_NEAR(Figure(bridged, "Weighted wow and flutter (2-sigma)"), whole, 0.01 * whole)
      << bridged;
  // Silence, or hiss, in which noise may pass for a tone a value at a time.
  const std::string split = Recording().Tone(3150, 6).Silence(1.5).Tone(3150, 6).Summary();
  EXPECT_EQ(Blocks(split), 2) << split;
  // A test tape's next tone after a second of hiss: its onset must not pass for the last tone's
  // return.
  const auto tape =
      Spans(Recording(16, 44100).Tone(1006, 8).Hiss(1.0, -56).Tone(3169, 8).Summary());
  ASSERT_EQ(tape.size(), 2u);
  EXPECT_NEAR(tape[0].second, 8.0, 0.01);
  EXPECT_NEAR(tape[1].first, 9.0, 0.01);
  for (const double hertz : {3150.0, 400.0, 50.0}) {
    const std::string hissed = Recording().Tone(hertz, 6).Hiss(1.5, -40).Tone(hertz, 6).Summary();
    EXPECT_EQ(Blocks(hissed), 2) << hissed;
  }
  // A dip of 20 dB for 150 ms is the same tone, and a change of tone a new one.
  EXPECT_EQ(Blocks(Recording().Tone(3150, 5).Tone(3150, 0.15, 0.05).Tone(3150, 5).Summary()), 1);
  EXPECT_EQ(Blocks(Recording().Tone(1000, 5).Tone(3150, 5).Summary()), 2);
}

TEST(RunSummaryTest, NothingToMeasureIsSaidSo) {
  EXPECT_EQ(Recording().Silence(2).Summary(0.0, 0), "No frequency measured.\n");
  EXPECT_EQ(Recording().Silence(2).Summary(0.0, 57), "Lines: 57\nNo tone measured.\n");
  // A tone 17 dB under hiss at -20 dBFS, and one at -75 dBFS: neither stands out enough.
  Recording buried;
  buried.Hiss(6, -20);
  buried.Mix(1000, 0.02);
  EXPECT_EQ(buried.Summary(0.0, 57), "Lines: 57\nNo tone measured.\n");
  EXPECT_EQ(Recording().Tone(1000, 6, 0.000178, 200.0, 0.0).Summary(0.0, 57),
            "Lines: 57\nNo tone measured.\n");
}

TEST(RunSummaryTest, WarningsNameWhatLimitsTheFigures) {
  // Flat tops wherever the clipping sets them: at full scale, and at -6 dBFS.
  EXPECT_TRUE(Warns(Recording().Tone(3150, 6, 1.5).Summary(), "clipped"));
  EXPECT_TRUE(
      Warns(Recording().Fade(3150, 6, 0.8, 0.8, 200.0, 0.0005, 0.5).Summary(), "clipped, 4"));
  const std::string low = Recording().Tone(400, 6).Summary();
  EXPECT_NE(low.find("Warning: a carrier of 400 Hz carries modulation up to 100 Hz only"),
            std::string::npos)
      << low;
  // Hiss that makes the figures read high is named; hiss that does not, is not.
  const std::string noisy = Recording().Tone(3150, 6, 0.5, 20.0).Summary();
  EXPECT_TRUE(Warns(noisy, "signal-to-noise ratio")) << noisy;
  EXPECT_FALSE(Warns(Recording().Tone(3150, 6, 0.5, 60.0).Summary(), "signal-to-noise"));
}

TEST(RunSummaryTest, CleanTonesAreNotWarnedOf) {
  // At full scale, at -60 dBFS, low and high, after silence: nothing limits the figures.
  const std::string cases[] = {
      Recording().Tone(3150, 6, 0.999, 200.0, 0.0).Summary(),
      Recording().Tone(3150, 6, 0.001, 200.0, 0.0).Summary(),
      Recording().Tone(50, 8, 0.1, 200.0, 0.0).Summary(),
      Recording().Tone(10000, 6, 0.5, 200.0, 0.0).Summary(),
      Recording().Silence(2).Tone(1000, 6, 0.05, 200.0, 0.0).Silence(1).Summary(),
      // At these the noise dominates what is measured, and is taken out: 50 Hz at -60 dBFS, and
      // 8-bit samples at -20 dBFS.
      Recording().Tone(50, 20, 0.001, 200.0, 0.0).Summary(),
      Recording(8).Tone(1000, 6, 0.1, 200.0, 0.0).Summary()};
  for (const std::string& summary : cases) {
    EXPECT_EQ(Blocks(summary), 1) << summary;
    EXPECT_FALSE(Warns(summary, "signal-to-noise") || Warns(summary, "clipped") ||
                 Warns(summary, "a second tone"))
        << summary;
    EXPECT_FALSE(NegativeZero(summary)) << summary;
  }
}

TEST(RunSummaryTest, LevelChangesChangeNoFigure) {
  const std::string steady = Recording().Tone(3150, 12).Summary();
  const double weighted = Figure(steady, "Weighted wow and flutter (2-sigma)");
  ASSERT_GT(weighted, 0.0);
  // A fade of 40 dB, and steps of 20 dB down and up: one tone throughout.
  for (const std::string& summary :
       {Recording().Tone(3150, 2).Fade(3150, 8, 0.5, 0.005).Tone(3150, 2, 0.005).Summary(),
        Recording().Tone(3150, 6).Tone(3150, 6, 0.05).Summary(),
        Recording().Tone(3150, 6, 0.05).Tone(3150, 6).Summary()}) {
    ASSERT_EQ(Blocks(summary), 1) << summary;
    EXPECT_NEAR(Figure(summary, "Weighted wow and flutter (2-sigma)"), weighted, 0.02 * weighted)
        << summary;
    EXPECT_FALSE(Warns(summary, "signal-to-noise")) << summary;
  }
}

TEST(RunSummaryTest, AToneEndsWhereItsFrequencyStepsAndStaysThroughWow) {
  // A test tape's tones back to back, and a step of 2 %: two blocks, meeting at the step.
  for (const double next : {3000.0, 3213.0}) {
    const auto spans =
        Spans(Recording().Tone(3150, 6, 0.5, 200.0, 0.0).Tone(next, 6, 0.5, 200.0, 0.0).Summary());
    ASSERT_EQ(spans.size(), 2u) << next;
    EXPECT_NEAR(spans[0].second, 6.0, 0.02) << next;
    EXPECT_NEAR(spans[1].first, 6.0, 0.02) << next;
  }
  // A speed change of 1 %, and wow of +-1 % at 4 Hz (a published test tone) or at 2.5 Hz, which
  // swings the speed by 1.9 % in a fifth of a second, are one tone.
  EXPECT_EQ(Blocks(Recording().Tone(3150, 6).Tone(3181.5, 6).Summary()), 1);
  EXPECT_EQ(Blocks(Recording().Tone(3150, 12, 0.5, 200.0, 0.01).Summary()), 1);
  EXPECT_EQ(Blocks(Recording().Wow(2.5).Tone(3150, 12, 0.5, 200.0, 0.01).Summary()), 1);
}

TEST(RunSummaryTest, BlocksStartAndEndWithTheTone) {
  // The demodulator's delay and the decisions' are taken out: within 2 ms at 3150 Hz, and
  // within the much longer filter's resolution at 50 Hz.
  auto spans = Spans(Recording().Silence(1).Tone(3150, 6).Silence(1).Summary());
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_NEAR(spans[0].first, 1.0, 0.002);
  EXPECT_NEAR(spans[0].second, 7.0, 0.002);
  spans = Spans(Recording().Silence(1).Tone(50, 6, 0.5, 200.0, 0.0).Silence(1).Summary());
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_NEAR(spans[0].first, 1.0, 0.06);
  EXPECT_NEAR(spans[0].second, 7.0, 0.06);
  // A tone that fills the file starts and ends with it.
  spans = Spans(Recording().Tone(1000, 6).Summary());
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_NEAR(spans[0].first, 0.0, 0.005);
  EXPECT_NEAR(spans[0].second, 6.0, 0.005);
}

TEST(RunSummaryTest, ANeighbourNarrowsTheBandAndLeavesTheMeanTrue) {
  Recording recording;
  recording.Tone(1000, 8, 0.4, 200.0, 0.0);
  recording.Mix(1150, 0.2);
  const std::string summary = recording.Summary();
  EXPECT_NEAR(Figure(summary, "Mean frequency"), 1000.0, 1.0) << summary;
  EXPECT_NE(summary.find("Warning: a second tone at 1150 Hz, 6 dB below this one, narrows the "
                         "measured band to 0.5 to 75.0 Hz\n"),
            std::string::npos)
      << summary;
}

TEST(RunSummaryTest, TheSummaryStaysShortWhateverTheInput) {
  // Thirty notes of 0.5 s, then twenty of 1.5 s: only what fits in 200 lines has a block.
  Recording melody;
  for (int note = 0; note < 30; ++note) {
    melody.Tone(400.0 + 60.0 * (note % 7), 0.5);
  }
  for (int note = 0; note < 20; ++note) {
    melody.Tone(500.0 + 70.0 * (note % 5), 1.5);
  }
  const std::string summary = melody.Summary();
  const int lines = static_cast<int>(std::count(summary.begin(), summary.end(), '\n'));
  EXPECT_LE(lines, 200);
  EXPECT_GT(lines, 180);
  const int blocks = Blocks(summary);
  EXPECT_NE(summary.find("Tones under 1 s: 30 (no block)\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Tones not shown: " + std::to_string(20 - blocks) + " (the first " +
                         std::to_string(blocks) + " have a block)\n"),
            std::string::npos)
      << summary;
}

TEST(RunSummaryTest, SpeedErrorIsTakenAgainstTheNearestStandardOrTheNominal) {
  const std::string fast = Recording().Tone(3181.5, 6).Summary();
  EXPECT_NE(fast.find("Speed error: 1.0000 %"), std::string::npos) << fast;
  // 3050 Hz lies within 5 % of 3150 Hz and of 3000 Hz: the nearer counts.
  EXPECT_NEAR(Figure(Recording().Tone(3050, 6).Summary(), "Speed error"), 1.6667, 0.0005);
  const std::string odd = Recording().Tone(2000, 6).Summary();
  EXPECT_NE(odd.find("Speed error: none (no standard test frequency within 5 %)"),
            std::string::npos)
      << odd;
  const std::string nominal = Recording().Tone(2000, 6).Summary(2020.0);
  EXPECT_NE(nominal.find("Speed error: -0.9901 %"), std::string::npos) << nominal;
}

}  // namespace
}  // namespace wavfreq
