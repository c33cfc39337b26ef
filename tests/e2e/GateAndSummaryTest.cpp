// -gate and -stats end to end, on tones made here: the summary's blocks and the readings of the
// standard test tones, and silence and noise that the gate must keep out of the table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "support/TempFile.h"
#include "support/ToolRunner.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

class GateAndSummaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tool().empty()) << "WAVFREQ_BINARY must name the wavfreq binary";
  }
};

/// The console's "Name: value unit" lines, as numbers by name.
std::map<std::string, double> Figures(const std::string& console) {
  std::map<std::string, double> figures;
  std::istringstream in(console);
  for (std::string line; std::getline(in, line);) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) {
      figures[line.substr(0, colon)] = std::atof(line.c_str() + colon + 2);
    }
  }
  return figures;
}

/// -stats on 3150 Hz at 48000 Hz, 16-bit, half scale, with the given wow.
std::map<std::string, double> Summary(double seconds, double depth, double modulation) {
  const std::size_t count = static_cast<std::size_t>(seconds * 48000);
  TempFile wav(
      ".wav",
      PcmWav(1, 48000, 16,
             Frames16({WithNoise(WowTone(3150, 16384, 48000, count, depth, modulation), 0.0, 1)})));
  TempFile out(".txt");
  const ToolResult result = RunTool({"-stats", wav.Path(), out.Path()});
  EXPECT_EQ(result.code, 0);
  return Figures(result.out);
}

const char kWeighted[] = "Weighted wow and flutter (2-sigma)";

/// The summary's lines, from "Lines:" on.
std::string SummaryOf(const std::string& console) {
  const std::size_t at = console.find("\nLines: ");
  return at == std::string::npos ? "" : console.substr(at + 1);
}

TEST_F(GateAndSummaryTest, EachToneHasABlockThatTheTableOptionsDoNotChange) {
  // 0.5 s of silence, 8 s of 3150 Hz with 0.1 % of 4 Hz wow and 0.2 % of drift, 1 s of silence,
  // then 1 s of 1000 Hz, too short for the flutter figures, and 0.5 s of silence.
  std::vector<double> signal(24000, 0.0);
  const std::vector<double> wow = WowTone(3150, 16384, 48000, 8 * 48000, 0.001, 4, 0.002);
  signal.insert(signal.end(), wow.begin(), wow.end());
  signal.insert(signal.end(), 48000, 0.0);
  const std::vector<double> reference = WowTone(1000, 16384, 48000, 48000, 0.0, 1);
  signal.insert(signal.end(), reference.begin(), reference.end());
  signal.insert(signal.end(), 24000, 0.0);
  TempFile wav(".wav", PcmWav(1, 48000, 16, Frames16({WithNoise(signal, 0.6, 5)})));
  TempFile out(".txt");
  const ToolResult result = RunTool({"-stats", wav.Path(), out.Path()});
  ASSERT_EQ(result.code, 0);
  const std::string summary = SummaryOf(result.out);
  std::vector<std::string> names;
  std::istringstream in(summary);
  for (std::string line; std::getline(in, line);) {
    names.push_back(line.substr(0, line.find(": ")));
  }
  const std::vector<std::string> block = {"Mean frequency",
                                          "Speed error",
                                          "Drift",
                                          "Drift over the run",
                                          kWeighted,
                                          "Unweighted wow and flutter (2-sigma)",
                                          "Weighted wow and flutter (RMS)",
                                          "Modulation",
                                          "Unweighted wow and flutter (RMS, 0.5-200 Hz)",
                                          "Weighted wow (RMS, below 6 Hz)",
                                          "Weighted flutter (RMS, above 6 Hz)",
                                          "Unweighted wow (RMS, 0.5-6 Hz)",
                                          "Unweighted flutter (RMS, 6-200 Hz)",
                                          "Drift (RMS, 0.05-0.5 Hz)",
                                          "Peak-to-peak deviation (0.5-200 Hz)"};
  std::vector<std::string> expected = {"Lines", "Tone 1"};
  expected.insert(expected.end(), block.begin(), block.end());
  expected.push_back("Tone 2");
  expected.insert(expected.end(), block.begin(), block.end());
  expected.push_back("Warning");
  EXPECT_EQ(names, expected) << summary;
  // Each block's span, within 10 ms of where its tone starts and ends.
  double spans[4] = {};
  ASSERT_EQ(std::sscanf(summary.substr(summary.find("Tone 1: ")).c_str(), "Tone 1: %lf s to %lf s",
                        &spans[0], &spans[1]),
            2);
  ASSERT_EQ(std::sscanf(summary.substr(summary.find("Tone 2: ")).c_str(), "Tone 2: %lf s to %lf s",
                        &spans[2], &spans[3]),
            2);
  const double truth[4] = {0.5, 8.5, 9.5, 10.5};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(spans[i], truth[i], 0.01) << summary;
  }
  EXPECT_NE(summary.find("Modulation: 4.00 Hz 0.100 %\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Weighted wow and flutter (RMS): none (too short"), std::string::npos);
  const std::map<std::string, double> figures = Figures(summary.substr(0, summary.find("Tone 2")));
  // Drift: 3150 x 0.002 over 8 s, and over the 8 s less the 50 ms at either end.
  EXPECT_NEAR(figures.at("Drift over the run"), 0.2 * 7.9 / 8, 0.002);
  EXPECT_NEAR(figures.at(kWeighted), 0.0997, 0.0997 * 0.01);

  // The summary reads the samples, not the lines: no option of the table changes it. The nominal
  // frequency moves the speed error alone.
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"-rate:10", "-out:1"}, {"-gate:-30"}, {"-rate:1000", "-out:7"}}) {
    std::vector<std::string> arguments = {"-stats"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), {wav.Path(), out.Path()});
    const std::string other = SummaryOf(RunTool(arguments).out);
    EXPECT_EQ(other.substr(other.find('\n')), summary.substr(summary.find('\n'))) << options[0];
  }
  const std::string nominal =
      SummaryOf(RunTool({"-stats", "-nominal:3000", wav.Path(), out.Path()}).out);
  EXPECT_NEAR(Figures(nominal.substr(0, nominal.find("Tone 2"))).at("Speed error"),
              100.0 * (figures.at("Mean frequency") / 3000.0 - 1.0), 0.0001)
      << nominal;
}

#ifndef _WIN32
TEST_F(GateAndSummaryTest, SummaryThatCannotBeWrittenFailsTheRun) {
  // The console on a full device: the dots and lines are lost in any run, but a summary that is
  // lost leaves the caller without what was asked for.
  TempFile wav(".wav", PcmWav(1, 8000, 16, Frames16({Sine(1000, 9000, 8000, 48000)})));
  TempFile out(".txt");
  const std::string run = "\"" + Tool() + "\" -stats " + wav.Path() + " " + out.Path();
  const int status = std::system((run + " > /dev/full").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 4);
  EXPECT_FALSE(ReadText(out.Path()).empty());
  const int plain =
      std::system(("\"" + Tool() + "\" " + wav.Path() + " " + out.Path() + " > /dev/full").c_str());
  EXPECT_EQ(WEXITSTATUS(plain), 0);
}
#endif

TEST_F(GateAndSummaryTest, WeightedFlutterReadsThePublishedTestTones) {
  // Within 1 % of what a flutter meter reads on the standard's test tones.
  EXPECT_NEAR(Summary(20, 0.001, 4)[kWeighted], 0.0997, 0.0997 * 0.01);
  EXPECT_NEAR(Summary(20, 0.0001, 4)[kWeighted], 0.00997, 0.00997 * 0.01);
  EXPECT_NEAR(Summary(20, 0.001, 0.8)[kWeighted], 0.0499, 0.0499 * 0.01);
  EXPECT_NEAR(Summary(10, 0.001, 20)[kWeighted], 0.0506, 0.0506 * 0.01);
  // Below 0.5 Hz the weighting falls steeply; within 5 % there.
  EXPECT_NEAR(Summary(60, 0.001, 0.2)[kWeighted], 0.0030, 0.0030 * 0.05);
}

TEST_F(GateAndSummaryTest, GateKeepsNoiseAroundZeroOutOfTheTable) {
  // Dithered silence: samples of -1, 0 and +1 cross zero thousands of times a second.
  std::vector<int> dither(88200);
  for (std::size_t i = 0; i < dither.size(); ++i) {
    dither[i] = static_cast<int>((i * 2654435761u >> 13) % 3) - 1;
  }
  TempFile silence(".wav", PcmWav(1, 44100, 16, Frames16({dither})));
  TempFile out(".txt");
  ToolResult open = RunTool({silence.Path(), out.Path()});
  EXPECT_GT(Lines(ReadText(out.Path())).size(), 300u);
  ToolResult gated = RunTool({"-gate:-60", "-stats", silence.Path(), out.Path()});
  EXPECT_EQ(gated.code, 0);
  EXPECT_EQ(ReadText(out.Path()), "Time:  \tFreq:\r\n");
  EXPECT_EQ(gated.out, kBanner + FormatLines(44100, 16, 1, 0) + "..\nNo frequency measured.\n");

  // Mains hum at half scale in white noise 40 dB below it: the noise's crossings pull the lines'
  // mean far off.
  const std::vector<double> hum = WowTone(50, 16384, 44100, 441000, 0.0, 1.0);
  TempFile noisy(".wav",
                 PcmWav(1, 44100, 16, Frames16({WithNoise(hum, 16384 / std::sqrt(2.0) / 100, 7)})));
  const auto meanOfLines = [&out]() {
    const std::vector<double> lines = Frequencies(ReadText(out.Path()));
    double sum = 0.0;
    for (double line : lines) {
      sum += line;
    }
    return lines.empty() ? 0.0 : sum / static_cast<double>(lines.size());
  };
  ToolResult humOpen = RunTool({"-rate:10", "-stats", noisy.Path(), out.Path()});
  EXPECT_GT(std::fabs(meanOfLines() - 50.0), 10.0);
  // A window of 100 ms holds ten half periods; the default 10 ms holds no more than one.
  ToolResult humGated = RunTool({"-gate:-30", "-rate:10", "-stats", noisy.Path(), out.Path()});
  EXPECT_NEAR(meanOfLines(), 50.0, 0.05);
  // The summary measures the tone itself, gate or none; only the table's line count differs.
  EXPECT_NEAR(Figures(humOpen.out)["Mean frequency"], 50.0, 0.001) << humOpen.out;
  const std::string ungatedSummary = SummaryOf(humOpen.out);
  const std::string gatedSummary = SummaryOf(humGated.out);
  EXPECT_EQ(ungatedSummary.substr(ungatedSummary.find('\n')),
            gatedSummary.substr(gatedSummary.find('\n')));
}

TEST_F(GateAndSummaryTest, GatedTableHasNoLineFromAGapOrADip) {
  // 3150 Hz at -6 dBFS, 48000 Hz: dithered silence first; then 0.5 s gaps of dithered silence
  // and of hiss 40 dB below the tone; then 150 ms dips to -26 dBFS, below the gate of -20 dBFS.
  // The first crossing after each measures the gap as one half period: a line of 30 to 150 Hz,
  // unless the window starts again there.
  const std::size_t half = 24000;
  std::vector<double> signal(half, 0.0);
  const std::vector<double> tone = WowTone(3150, 16384, 48000, 6 * half, 0.0, 1.0);
  signal.insert(signal.end(), tone.begin(), tone.begin() + half);
  signal.insert(signal.end(), half, 0.0);
  signal.insert(signal.end(), tone.begin() + 2 * half, tone.begin() + 3 * half);
  std::vector<int> samples = WithNoise(signal, 0.6, 3);
  const std::vector<int> hiss = WithNoise(std::vector<double>(half, 0.0), 116.0, 4);
  samples.insert(samples.end(), hiss.begin(), hiss.end());
  for (std::size_t i = 3 * half; i < 6 * half; ++i) {
    const bool dip = i % 16000 < 7200;
    samples.push_back(static_cast<int>(std::lround(tone[i] * (dip ? 0.1 : 1.0))));
  }
  TempFile wav(".wav", PcmWav(1, 48000, 16, Frames16({samples})));
  TempFile out(".txt");
  ASSERT_EQ(RunTool({"-gate:-20", wav.Path(), out.Path()}).code, 0);
  const std::vector<double> lines = Frequencies(ReadText(out.Path()));
  ASSERT_GT(lines.size(), 350u);
  for (double frequency : lines) {
    EXPECT_NEAR(frequency, 3150.0, 5.0);
  }
}

TEST_F(GateAndSummaryTest, BandPassFilterTakesTheNoiseAndKeepsTheTimes) {
  // 1000 Hz at -6 dBFS, 48000 Hz, in white noise 20 dB below it: the noise's crossings read
  // tens of hertz off; through the filter every line is within a hertz.
  const std::vector<double> tone = WowTone(1001, 16384, 48000, 48000, 0.0, 1.0);
  TempFile noisy(".wav", PcmWav(1, 48000, 16, Frames16({WithNoise(tone, 1158.0, 9)})));
  TempFile out(".txt");
  ASSERT_EQ(RunTool({noisy.Path(), out.Path()}).code, 0);
  double worst = 0.0;
  for (double frequency : FrequenciesFrom(ReadText(out.Path()), 0.01)) {
    worst = std::fmax(worst, std::fabs(frequency - 1001.0));
  }
  EXPECT_GT(worst, 20.0);
  ASSERT_EQ(RunTool({"-band:900-1100", noisy.Path(), out.Path()}).code, 0);
  for (double frequency : FrequenciesFrom(ReadText(out.Path()), 0.01)) {
    EXPECT_NEAR(frequency, 1001.0, 1.0);
  }
  // A clean tone's lines come at the same times through the filter: it delays nothing. (Within
  // the filter's span of either end of the file, which it takes as silence, its output fades.)
  TempFile clean(".wav", PcmWav(1, 48000, 16, Frames16({WithNoise(tone, 0.0, 1)})));
  ASSERT_EQ(RunTool({clean.Path(), out.Path()}).code, 0);
  const std::vector<std::string> plain = Lines(ReadText(out.Path()));
  ASSERT_EQ(RunTool({"-band:900-1100", clean.Path(), out.Path()}).code, 0);
  const std::vector<std::string> filtered = Lines(ReadText(out.Path()));
  ASSERT_EQ(filtered.size(), plain.size());
  for (std::size_t i = 10; i < plain.size() - 10; ++i) {
    EXPECT_NEAR(std::stod(filtered[i]), std::stod(plain[i]), 2e-6) << i;
  }
}

TEST_F(GateAndSummaryTest, GateLevelIsRelativeToTheFullScaleOfTheSampleWidth) {
  // -6 dBFS is 64.2 for 8-bit samples and 4204684 for 24-bit ones: tones just below it count no
  // crossing, tones just above it do.
  struct Case {
    std::uint16_t bits;
    double below;
    double above;
  };
  TempFile out(".txt");
  for (const Case& c : {Case{8, 62, 67}, Case{24, 4.1e6, 4.3e6}}) {
    for (const double amplitude : {c.below, c.above}) {
      const std::vector<int> tone = Sine(1000, amplitude, 16000, 1600);
      Bytes data;
      if (c.bits == 8) {
        std::vector<int> bytes;
        for (int sample : tone) {
          bytes.push_back(sample + 127);
        }
        data = Frames8({bytes});
      } else {
        data = FramesLe(3, {tone});
      }
      TempFile wav(".wav", PcmWav(1, 16000, c.bits, data));
      ASSERT_EQ(RunTool({"-gate:-6", wav.Path(), out.Path()}).code, 0);
      EXPECT_EQ(Lines(ReadText(out.Path())).size() > 1, amplitude == c.above) << c.bits;
    }
  }
}

TEST_F(GateAndSummaryTest, GateLevelOutsideItsRangeIsRefused) {
  const std::string refusal = kBanner + "Gate level must be between -120 and -1 dBFS.\n";
  for (const char* gate : {"-gate:0", "-gate:-121", "-gate:", "-gate:6"}) {
    ToolResult result = RunTool({gate, "in.wav", "out.txt"});
    EXPECT_EQ(result.code, 1) << gate;
    EXPECT_EQ(result.out, refusal) << gate;
  }
  // The zero rate is named first; an unknown option ends the parsing before either.
  EXPECT_EQ(RunTool({"-gate:0", "-rate:0", "in.wav", "out.txt"}).out,
            kBanner + "Value rate must not be 0.\n");
  EXPECT_EQ(RunTool({"-gate:0", "-x", "in.wav", "out.txt"}).out,
            kBanner + "Unknown command line option: -x\n");
}

}  // namespace
}  // namespace wavfreq
