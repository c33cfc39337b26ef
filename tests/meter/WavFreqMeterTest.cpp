#include "meter/WavFreqMeter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "meter/ConstMean.h"
#include "support/EdgeWriter.h"
#include "support/RecordingWriter.h"
#include "support/ScriptedMean.h"

namespace wavfreq {
namespace {

using test::RecordingWriter;

const std::vector<int> kTone1000At8000 = {383, 924, 924, 383, -383, -924, -924, -383};

std::vector<std::pair<double, double>> Measure(const std::vector<int>& samples, int window,
                                               int rate) {
  RecordingWriter writer;
  ConstMean mean(0, 0.0);
  WavFreqMeter meter(writer, mean, window, rate);
  for (int sample : samples) {
    meter.ProcessSample(sample);
  }
  return writer.values;
}

std::vector<int> Repeat(const std::vector<int>& pattern, std::size_t count) {
  std::vector<int> samples;
  for (std::size_t i = 0; i < count; ++i) {
    samples.push_back(pattern[i % pattern.size()]);
  }
  return samples;
}

TEST(WavFreqMeterTest, WritesTheHeaderOnceWhenConstructed) {
  RecordingWriter writer;
  ConstMean mean(0, 0.0);
  WavFreqMeter meter(writer, mean, 80, 8000);
  EXPECT_EQ(writer.texts, std::vector<std::string>{"Time:  \tFreq:\n"});
  EXPECT_TRUE(writer.values.empty());
}

TEST(WavFreqMeterTest, ToneOf1000HzFillsTheWindowAsWorkedOut) {
  auto reports = Measure(Repeat(kTone1000At8000, 400), 80, 8000);
  // One report per crossing, at positions 4, 8, 12, ...
  ASSERT_EQ(reports.size(), 99u);
  EXPECT_DOUBLE_EQ(reports[0].first, 0.00015625);
  EXPECT_DOUBLE_EQ(reports[0].second, 8000.0 / 9.0);
  EXPECT_DOUBLE_EQ(reports[1].first, 0.00040625);
  EXPECT_DOUBLE_EQ(reports[1].second, 8000.0 / 8.5);
  EXPECT_DOUBLE_EQ(reports[18].first, 0.00465625);  // position 76: 19 values, sum 76.5
  EXPECT_DOUBLE_EQ(reports[18].second, 8000.0 / (153.0 / 19.0));
  EXPECT_DOUBLE_EQ(reports[19].first, 0.0051875);  // position 80: the 4.5 is trimmed
  EXPECT_EQ(reports[19].second, 1000.0);
  EXPECT_DOUBLE_EQ(reports[20].first, 0.0054375);  // position 84: sum 80.0 is not trimmed
  EXPECT_EQ(reports[20].second, 1000.0);
  for (std::size_t i = 21; i < reports.size(); ++i) {
    const double position = 4.0 * static_cast<double>(i + 1);
    EXPECT_DOUBLE_EQ(reports[i].first, (position - 40.5) / 8000.0) << i;
    EXPECT_EQ(reports[i].second, 1000.0) << i;
  }
}

TEST(WavFreqMeterTest, EarlyReportCanHaveANegativeTime) {
  auto reports = Measure({5, 5, 0}, 80, 8000);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_DOUBLE_EQ(reports[0].first, -0.0000625);
  EXPECT_DOUBLE_EQ(reports[0].second, 8000.0 / 6.0);
}

TEST(WavFreqMeterTest, SignalsThatNeverCrossReportNothing) {
  EXPECT_TRUE(Measure(std::vector<int>(100, 0), 80, 8000).empty());
  EXPECT_TRUE(Measure(std::vector<int>(100, 7), 80, 8000).empty());
  // Touching the level and returning to the same side is one crossing; its distance from the
  // stream start (2 steps) is stored.
  auto touch = Measure({5, 0, 5, 5}, 80, 8000);
  ASSERT_EQ(touch.size(), 1u);
  EXPECT_DOUBLE_EQ(touch[0].second, 8000.0 / 4.0);
}

TEST(WavFreqMeterTest, StepsOnTheLevelDoNotCountTowardsTheDistance) {
  // Stores 3.0 at the first 0 and another 3.0 at the last 0.
  auto reports = Measure({5, 5, 0, 0, 0, -5, -5, 0}, 80, 8000);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_DOUBLE_EQ(reports[1].second, 8000.0 / 6.0);
  EXPECT_DOUBLE_EQ(reports[1].first, (7.0 - 3.0 - 1.0) / 8000.0);
}

TEST(WavFreqMeterTest, CrossingWithinOneSampleIsReportedButNotStored) {
  // 10, -10, 10: fractions 0.5 each. The first crossing stores 2.5 (2 steps + 0.5); the second
  // brings sinceCrossing to 0.5 + 0.5 = 1.0, which is not above 1.0.
  auto reports = Measure({10, 10, -10, 10}, 80, 8000);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_DOUBLE_EQ(reports[0].second, 8000.0 / 5.0);
  EXPECT_DOUBLE_EQ(reports[1].second, 8000.0 / 5.0);
  EXPECT_DOUBLE_EQ(reports[1].first, (3.0 - 1.25 - 0.5) / 8000.0);
}

TEST(WavFreqMeterTest, WindowOfZeroOrBelowReportsNothing) {
  auto samples = Repeat(kTone1000At8000, 800);
  EXPECT_TRUE(Measure(samples, 0, 8000).empty());
  EXPECT_TRUE(Measure(samples, -3, 8000).empty());
  EXPECT_TRUE(Measure(samples, 3, 8000).empty());  // every distance (4.0) exceeds the window
}

// -1, then blocks of four samples of alternating sign starting with +1: a first distance of
// 1.5 (one step from the initial 0, half a step to the crossing), then distances of 4.0, with the
// crossing at the start of each block. `longBlock`, if given, replaces block `longAt` by a block of
// that many samples.
std::vector<int> Blocks(int count, int longAt = -1, int longBlock = 0) {
  std::vector<int> samples = {-1};
  for (int block = 0; block < count; ++block) {
    const std::size_t length = static_cast<std::size_t>(block == longAt ? longBlock : 4);
    samples.insert(samples.end(), length, block % 2 == 0 ? 1 : -1);
  }
  return samples;
}

TEST(WavFreqMeterTest, FirstShortDistanceKeepsTheSumAboveTheWindow) {
  // Window 82: 1.5 + 21 x 4.0 = 85.5 trims the 1.5 and leaves 21 values summing 84, above the
  // window for good; 20 values of 80 would read the same frequency but centre the time elsewhere.
  auto reports = Measure(Blocks(100), 82, 8000);
  ASSERT_EQ(reports.size(), 100u);
  const double lastCrossing = 1 + 4 * 99;
  EXPECT_EQ(reports.back().second, 1000.0);
  EXPECT_DOUBLE_EQ(reports.back().first, (lastCrossing - 84.0 * 0.5 - 0.5) / 8000.0);
}

TEST(WavFreqMeterTest, LongDistanceRemovesOnlyTheOldestValuePerCrossing) {
  // Window 20 settles on five distances of 4.0. A distance of 30.0 then lifts the sum to 50; one
  // 4.0 is trimmed per crossing, so the window keeps the 30.0 and reads 8000 / (2 x 46 / 5).
  auto reports = Measure(Blocks(12, 8, 30), 20, 8000);
  ASSERT_EQ(reports.size(), 12u);
  EXPECT_EQ(reports[8].second, 1000.0);
  EXPECT_DOUBLE_EQ(reports[9].second, 8000.0 / (92.0 / 5.0));
  EXPECT_DOUBLE_EQ(reports[10].second, 8000.0 / (92.0 / 5.0));
}

std::vector<std::pair<double, double>> MeasureGated(const std::vector<int>& samples) {
  RecordingWriter writer;
  ConstMean mean(0, 0.0);
  WavFreqMeter meter(writer, mean, 80, 8000);
  meter.SetGate(100.0);
  for (int sample : samples) {
    meter.ProcessSample(sample);
  }
  return writer.values;
}

TEST(WavFreqMeterTest, GateCountsACrossingOnlyFromTheSideItWasArmedOn) {
  // 150 arms the upper side; -50 crosses from it (counted, 1.75 stored) but arms nothing; 150
  // crosses from below, which is not armed: an ordinary step; -150 crosses from above (counted)
  // and in the same step arms the lower side, from which 150 crosses again.
  auto reports = MeasureGated({150, -50, 150, -150, 150});
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_DOUBLE_EQ(reports[0].second, 8000.0 / 3.5);
  EXPECT_DOUBLE_EQ(reports[1].second, 8000.0 / 3.5);  // 1.25 + 0.5 stored: 1.75 again
  EXPECT_DOUBLE_EQ(reports[1].first, (3.0 - 1.75 - 0.5) / 8000.0);
  EXPECT_EQ(Measure({150, -50, 150, -150, 150}, 80, 8000).size(), 4u);  // ungated: every one
  // Swings that stay within the threshold never arm it.
  EXPECT_TRUE(MeasureGated(Repeat({99, -99}, 100)).empty());
}

TEST(WavFreqMeterTest, SampleExactlyAtTheThresholdArms) {
  EXPECT_EQ(MeasureGated({100, -1}).size(), 1u);
  EXPECT_EQ(MeasureGated({-100, 1}).size(), 1u);
  EXPECT_TRUE(MeasureGated({99, -1}).empty());
  EXPECT_TRUE(MeasureGated({-99, 1}).empty());
}

// Gated at 100: `first` samples of -150, then blocks of +-150 of the given lengths, alternating
// in sign. The first distance is `first` + 0.5 (the step from the initial 0 included); each block
// of length L then gives a distance of L at the crossing after it.
std::vector<std::pair<double, double>> GatedBlocks(int window, std::size_t first,
                                                   const std::vector<std::size_t>& lengths) {
  std::vector<int> samples(first, -150);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    samples.insert(samples.end(), lengths[i], i % 2 == 0 ? 150 : -150);
  }
  samples.push_back(lengths.size() % 2 == 0 ? 150 : -150);
  RecordingWriter writer;
  ConstMean mean(0, 0.0);
  WavFreqMeter meter(writer, mean, window, 8000);
  meter.SetGate(100.0);
  for (int sample : samples) {
    meter.ProcessSample(sample);
  }
  return writer.values;
}

TEST(WavFreqMeterTest, GatedDistanceLongerThanTheWindowRestartsIt) {
  // The window holds 45.5 alone, so only the window's length tells 85 from a half period.
  auto atWindow = GatedBlocks(80, 45, {80, 45});
  ASSERT_EQ(atWindow.size(), 3u);
  EXPECT_DOUBLE_EQ(atWindow[1].second, 8000.0 / 160.0);  // 80 is no longer than the window
  auto beyond = GatedBlocks(80, 45, {85, 45});
  ASSERT_EQ(beyond.size(), 2u);  // the crossing after 85 reports nothing
  EXPECT_DOUBLE_EQ(beyond[1].second, 8000.0 / 90.0);
  EXPECT_DOUBLE_EQ(beyond[1].first, (45.0 + 85.0 + 45.0 - 22.5 - 0.5) / 8000.0);
}

TEST(WavFreqMeterTest, GatedDistanceOfMoreThanTwiceTheMeanRestartsTheWindow) {
  // Window 82 settles on 20 distances of 4.0 after the first, 4.5: twice the mean is 8.0 exactly.
  std::vector<std::size_t> lengths(30, 4);
  lengths[24] = 8;
  auto atTwice = GatedBlocks(82, 4, lengths);
  ASSERT_EQ(atTwice.size(), 31u);
  EXPECT_DOUBLE_EQ(atTwice[25].second, 8000.0 / (168.0 / 20.0));  // 8 stored, one 4 trimmed
  lengths[24] = 9;
  auto beyond = GatedBlocks(82, 4, lengths);
  ASSERT_EQ(beyond.size(), 30u);
  // The window starts again: one distance of 4.0, centred half of it before the crossing.
  EXPECT_EQ(beyond[25].second, 1000.0);
  const double crossing = 4.0 + 4.0 * 24 + 9.0 + 4.0;
  EXPECT_DOUBLE_EQ(beyond[25].first, (crossing - 2.0 - 0.5) / 8000.0);
  // Without the gate a long distance is a half period like any other.
  EXPECT_EQ(Measure(Blocks(30, 24, 9), 82, 8000).size(), 30u);
}

// Reports through the product's meter, the signal given in blocks of random sizes.
template <class Sample>
std::vector<std::pair<double, double>> MeasureInBlocks(const std::vector<Sample>& samples,
                                                       double level, double gate,
                                                       std::uint32_t seed) {
  RecordingWriter writer;
  ConstMean mean(0, level);
  BasicWavFreqMeter<ConstMean, RecordingWriter> meter(writer, mean, 80, 8000);
  if (gate > 0.0) {
    meter.SetGate(gate);
  }
  std::mt19937 random(seed);
  for (std::size_t done = 0; done < samples.size();) {
    const std::size_t count = std::min<std::size_t>(random() % 300 + 1, samples.size() - done);
    meter.ProcessBlock(samples.data() + done, static_cast<int>(count));
    done += count;
  }
  EXPECT_EQ(meter.GetTime(), static_cast<double>(samples.size()) / 8000.0);
  EXPECT_EQ(mean.GetSampleCount(), static_cast<double>(samples.size()));
  return writer.values;
}

TEST(WavFreqMeterTest, BlocksGiveTheBitsOfSampleBySample) {
  // A noisy tone with stretches on the level and at full scale, and a constant signal long
  // enough that the distance passes many powers of two.
  std::mt19937 random(5);
  std::vector<int> samples;
  for (int i = 0; i < 40000; ++i) {
    const double tone = 3000.0 * std::sin(i * 0.37) + static_cast<double>(random() % 401) - 200.0;
    samples.push_back(i % 997 < 40 ? 0 : static_cast<int>(tone));
  }
  samples.insert(samples.end(), 70000, 12);
  // Runs whose largest sample lies just below a threshold that is not an integer.
  for (int i = 0; i < 300; ++i) {
    samples.insert(samples.end(), {150, 149, 150, -200, -151, -200});
  }
  samples.insert(samples.end(), {-2147483647 - 1, 2147483647, 0, -5, 5});
  for (double level : {0.0, 0.5, -20.0}) {
    for (double gate : {0.0, 150.0, 150.5, 2900.0}) {
      RecordingWriter writer;
      ConstMean mean(0, level);
      WavFreqMeter meter(writer, mean, 80, 8000);
      if (gate > 0.0) {
        meter.SetGate(gate);
      }
      for (int sample : samples) {
        meter.ProcessSample(sample);
      }
      ASSERT_GT(writer.values.size(), 1000u);
      const auto blocks = MeasureInBlocks(samples, level, gate, 3);
      ASSERT_EQ(blocks.size(), writer.values.size()) << level << " " << gate;
      for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_EQ(std::memcmp(&blocks[i], &writer.values[i], sizeof blocks[i]), 0)
            << level << " " << gate << " at " << i;
      }
    }
  }
}

TEST(WavFreqMeterTest, StoredWordsGiveTheBitsOfTheSameIntegers) {
  // A noisy tone with stretches on the level, runs near a gate that is not an integer, and the
  // words' extremes.
  std::mt19937 random(7);
  std::vector<std::int16_t> words;
  for (int i = 0; i < 30000; ++i) {
    const double tone = 3000.0 * std::sin(i * 0.37) + static_cast<double>(random() % 401) - 200.0;
    words.push_back(static_cast<std::int16_t>(i % 997 < 40 ? 0 : tone));
  }
  for (int i = 0; i < 300; ++i) {
    words.insert(words.end(), {150, 149, 150, -200, -151, -200, 32767, -32768, 0});
  }
  for (double level : {0.0, 0.5}) {
    for (double gate : {0.0, 150.5}) {
      RecordingWriter writer;
      ConstMean mean(0, level);
      WavFreqMeter meter(writer, mean, 80, 8000);
      if (gate > 0.0) {
        meter.SetGate(gate);
      }
      for (std::int16_t word : words) {
        meter.ProcessSample(word);
      }
      ASSERT_GT(writer.values.size(), 1000u);
      const auto blocks = MeasureInBlocks(words, level, gate, 9);
      ASSERT_EQ(blocks.size(), writer.values.size()) << level << " " << gate;
      EXPECT_EQ(std::memcmp(blocks.data(), writer.values.data(), blocks.size() * sizeof blocks[0]),
                0)
          << level << " " << gate;
    }
  }
}

TEST(WavFreqMeterTest, AValueJustAboveWhatTheWriterDropsIsOffered) {
  std::vector<int> samples;
  for (int i = 0; i < 20000; ++i) {
    samples.push_back(static_cast<int>(3000.0 * std::sin(i * 0.37 + 1e-5 * i * i / 7.0)));
  }
  RecordingWriter every;
  ConstMean everyMean(0, 0.0);
  WavFreqMeter reference(every, everyMean, 80, 8000);
  for (int sample : samples) {
    reference.ProcessSample(sample);
  }
  test::EdgeWriter edge(every.values);
  ConstMean edgeMean(0, 0.0);
  BasicWavFreqMeter<ConstMean, test::EdgeWriter> meter(edge, edgeMean, 80, 8000);
  meter.ProcessBlock(samples.data(), static_cast<int>(samples.size()));
  ASSERT_EQ(edge.got.size(), every.values.size());
  for (std::size_t i = 0; i < edge.got.size(); ++i) {
    ASSERT_EQ(std::memcmp(&edge.got[i], &every.values[i], sizeof edge.got[i]), 0) << i;
  }
}

// Reports of real samples through the product's meter in blocks of random sizes, and one by one
// through the interfaces.
template <class Meter>
void Feed(Meter& meter, const std::vector<double>& samples, std::uint32_t seed) {
  std::mt19937 random(seed);
  for (std::size_t done = 0; done < samples.size();) {
    const std::size_t count = std::min<std::size_t>(random() % 300 + 1, samples.size() - done);
    meter.ProcessBlock(samples.data() + done, static_cast<int>(count));
    done += count;
  }
}

TEST(WavFreqMeterTest, RealBlocksGiveTheBitsOfSampleBySampleAndOfIntegers) {
  // A filtered-looking tone that lingers near the level, within and just outside 0.0001 of it,
  // with gaps long enough for the gate to start the window again.
  std::mt19937 random(11);
  std::vector<double> real;
  for (int i = 0; i < 30000; ++i) {
    const double tone = 250.0 * std::sin(i * 0.21) * (i % 5000 < 4000 ? 1.0 : 0.001);
    const double near[] = {0.0, 0.0001, -0.0001, 0.00010001, -5e-5, 1e-300};
    real.push_back(i % 701 < 9 ? near[random() % 6]
                               : tone + static_cast<double>(random() % 1000) * 1e-3);
  }
  std::vector<double> integers;
  for (int i = 0; i < 30000; ++i) {
    integers.push_back(std::round(3000.0 * std::sin(i * 0.37)) + (i % 997 < 40 ? 0.0 : 1.0));
  }
  for (double gate : {0.0, 150.0, 150.5}) {
    for (const std::vector<double>* samples : {&real, &integers}) {
      RecordingWriter oneByOne;
      ConstMean mean(0, 0.0);
      WavFreqMeter reference(oneByOne, mean, 80, 8000);
      RecordingWriter inBlocks;
      ConstMean blockMean(0, 0.0);
      BasicWavFreqMeter<ConstMean, RecordingWriter> blocks(inBlocks, blockMean, 80, 8000);
      if (gate > 0.0) {
        reference.SetGate(gate);
        blocks.SetGate(gate);
      }
      for (double sample : *samples) {
        reference.ProcessBlock(&sample, 1);
      }
      Feed(blocks, *samples, 7);
      ASSERT_GT(oneByOne.values.size(), 500u);
      ASSERT_EQ(inBlocks.values.size(), oneByOne.values.size()) << gate;
      for (std::size_t i = 0; i < inBlocks.values.size(); ++i) {
        ASSERT_EQ(std::memcmp(&inBlocks.values[i], &oneByOne.values[i], sizeof inBlocks.values[i]),
                  0)
            << gate << " at " << i;
      }
      if (samples == &integers) {
        std::vector<int> asInts(integers.begin(), integers.end());
        const auto fromInts = MeasureInBlocks(asInts, 0.0, gate, 7);
        ASSERT_EQ(fromInts.size(), inBlocks.values.size());
        EXPECT_EQ(std::memcmp(fromInts.data(), inBlocks.values.data(),
                              fromInts.size() * sizeof fromInts[0]),
                  0);
      }
    }
  }
}

// Float blocks of random sizes, up to more than the widening's pieces.
template <class Meter>
void FeedSingles(Meter& meter, const std::vector<float>& samples, double scale) {
  std::mt19937 random(13);
  for (std::size_t done = 0; done < samples.size();) {
    const std::size_t count = std::min<std::size_t>(random() % 700 + 1, samples.size() - done);
    meter.ProcessBlock(samples.data() + done, static_cast<int>(count), scale);
    done += count;
  }
}

TEST(WavFreqMeterTest, FloatBlocksGiveTheBitsOfTheirScaledValues) {
  // A tone with stretches at and a hair off 0 (-0.0, the least subnormal), read at the level 0
  // by its signs, and at other levels and gated through the widened pieces.
  std::mt19937 random(17);
  std::vector<float> singles;
  const float tiny = std::numeric_limits<float>::denorm_min();
  for (int i = 0; i < 30000; ++i) {
    const float near[] = {0.0F, -0.0F, tiny, -tiny, 1e-30F};
    singles.push_back(i % 613 < 9 ? near[random() % 5]
                                  : static_cast<float>(0.4 * std::sin(i * 0.21)) +
                                        static_cast<float>(random() % 100) * 1e-6F);
  }
  constexpr double kScale = 2147483648.0;
  std::vector<double> scaled;
  for (float sample : singles) {
    scaled.push_back(static_cast<double>(sample) * kScale);
  }
  for (double level : {0.0, 3e4}) {
    for (double gate : {0.0, 1e8}) {
      RecordingWriter fromDoubles;
      ConstMean doubleMean(0, level);
      BasicWavFreqMeter<ConstMean, RecordingWriter> reference(fromDoubles, doubleMean, 80, 8000);
      RecordingWriter fromSingles;
      ConstMean singleMean(0, level);
      BasicWavFreqMeter<ConstMean, RecordingWriter> meter(fromSingles, singleMean, 80, 8000);
      // Through the interfaces, sample by sample.
      RecordingWriter lagging;
      ConstMean interfaceMean(0, level);
      WavFreqMeter oneByOne(lagging, interfaceMean, 80, 8000);
      if (gate > 0.0) {
        reference.SetGate(gate);
        meter.SetGate(gate);
        oneByOne.SetGate(gate);
      }
      Feed(reference, scaled, 7);
      FeedSingles(meter, singles, kScale);
      FeedSingles(oneByOne, singles, kScale);
      ASSERT_GT(fromDoubles.values.size(), 500u);
      for (const RecordingWriter* got : {&fromSingles, &lagging}) {
        ASSERT_EQ(got->values.size(), fromDoubles.values.size()) << level << " " << gate;
        EXPECT_EQ(std::memcmp(got->values.data(), fromDoubles.values.data(),
                              got->values.size() * sizeof got->values[0]),
                  0)
            << level << " " << gate;
      }
      EXPECT_EQ(meter.GetTime(), reference.GetTime());
    }
  }
}

TEST(WavFreqMeterTest, RealSampleAHairOffTheLevelIsNoSampleOnIt) {
  // A filter's output near a crossing: 1e-12 is on the positive side, and the crossing follows
  // at the next sample, not lost because a sample came within 0.0001 of the level.
  const std::vector<double> pattern = {5.0, 5.0, 1e-12, -5.0, -5.0, -1e-12};
  std::vector<double> samples;
  for (int i = 0; i < 100; ++i) {
    samples.insert(samples.end(), pattern.begin(), pattern.end());
  }
  RecordingWriter writer;
  ConstMean mean(0, 0.0);
  BasicWavFreqMeter<ConstMean, RecordingWriter> meter(writer, mean, 80, 8000);
  Feed(meter, samples, 5);
  ASSERT_EQ(writer.values.size(), 199u);
  EXPECT_NEAR(writer.values.back().second, 8000.0 / 6.0, 1e-6);
}

TEST(WavFreqMeterTest, GetTimeCountsEverySampleGiven) {
  RecordingWriter writer;
  ConstMean mean(0, 0.0);
  WavFreqMeter meter(writer, mean, 80, 8000);
  EXPECT_EQ(meter.GetTime(), 0.0);
  for (int i = 0; i < 4000; ++i) {
    meter.ProcessSample(i % 3);
  }
  EXPECT_EQ(meter.GetTime(), 0.5);
}

TEST(WavFreqMeterTest, LaggingProviderDelaysButDoesNotChangeTheReports) {
  auto samples = Repeat(kTone1000At8000, 1010);
  const auto reference = Measure(samples, 80, 8000);

  // The provider accounts for samples only in blocks of 37, and for all of them at the last: the
  // meter holds samples back and works each backlog off, oldest first, at its own stream
  // position, as far as the provider's count reaches.
  std::vector<double> counts;
  for (std::size_t i = 1; i <= samples.size(); ++i) {
    counts.push_back(static_cast<double>(i - i % 37));
  }
  counts.back() = static_cast<double>(samples.size());
  test::ScriptedMean lagging(counts, 0.0);
  RecordingWriter writer;
  WavFreqMeter meter(writer, lagging, 80, 8000);
  for (int sample : samples) {
    meter.ProcessSample(sample);
  }
  EXPECT_EQ(lagging.added.size(), samples.size());  // AddSample once per sample, held or not
  EXPECT_EQ(writer.values, reference);
  EXPECT_EQ(meter.GetTime(), 1010.0 / 8000.0);  // deferred samples count too
}

TEST(WavFreqMeterTest, ProviderThatNeverCatchesUpHoldsEverythingAfterTheFirst) {
  test::ScriptedMean stuck(std::vector<double>(50, 0.0), 0.0);
  RecordingWriter writer;
  WavFreqMeter meter(writer, stuck, 80, 8000);
  for (int sample : Repeat(kTone1000At8000, 50)) {
    meter.ProcessSample(sample);
  }
  EXPECT_TRUE(writer.values.empty());
}

}  // namespace
}  // namespace wavfreq
