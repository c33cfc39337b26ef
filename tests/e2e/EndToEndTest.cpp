// Runs the built wavfreq binary on files written here and compares exit codes, console bytes
// and result-file bytes.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/TempFile.h"
#include "support/ToolRunner.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tool().empty()) << "WAVFREQ_BINARY must name the wavfreq binary";
  }
};

std::string Format(int rate, int bits, int channels, int channel) {
  return FormatLines(rate, bits, channels, channel);
}

using Result = ToolResult;

TEST_F(EndToEndTest, WithoutArgumentsPrintsUsage) {
  Result result = RunTool({});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.out, kBanner + "\n Command line: " + Tool() +
                            " [-ch:N] [-rate:R] [-out:K] <input.wav> <output.txt>\n\n"
                            "-ch:N - specifies channel (default N=0)\n"
                            "-rate:R - specifies independent value rate (default R=100)\n"
                            "-out:K - specifies output data rate (default K=2*R)\n"
                            "         R=100 - means 100 times per second\n"
                            "         K=200 - means 200 times per second\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(RunTool({"only-one"}).code, 1);
}

TEST_F(EndToEndTest, BadOptionsTouchNoFile) {
  TempFile out(".txt");
  Result result = RunTool({"-CH:1", "/nonexistent.wav", out.Path()});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.out, kBanner + "Unknown command line option: -CH:1\n");
  result = RunTool({"-rate:0", "/nonexistent.wav", out.Path()});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.out, kBanner + "Value rate must not be 0.\n");
  // The unknown option wins over the zero rate because the loop stops there.
  result = RunTool({"-rate:0", "-x", "/nonexistent.wav", out.Path()});
  EXPECT_EQ(result.out, kBanner + "Unknown command line option: -x\n");
  result = RunTool({"-band:55-45", "/nonexistent.wav", out.Path()});
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.out,
            kBanner + "Band must be given as -band:L-H, in whole hertz with 0 < L < H.\n");
  EXPECT_FALSE(std::filesystem::exists(out.Path()));
}

TEST_F(EndToEndTest, BandThatTheSampleRateCannotHoldIsRefusedBeforeTheResultFile) {
  TempFile wav(".wav", PcmWav(1, 8001, 16, Frames16({Sine(1000, 9000, 8001, 800)})));
  TempFile out(".txt");
  Result result = RunTool({"-band:900-4001", wav.Path(), out.Path()});
  EXPECT_EQ(result.code, 2);
  EXPECT_EQ(result.out,
            kBanner + "\nError! (0) Band must end below half the sample rate, 4000.5 Hz.\n");
  EXPECT_FALSE(std::filesystem::exists(out.Path()));
  EXPECT_EQ(RunTool({"-band:900-4000", wav.Path(), out.Path()}).code, 0);
}

TEST_F(EndToEndTest, UnusableInputsGiveCode2AndTheirErrorLine) {
  TempFile out(".txt");
  struct Case {
    Bytes file;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "Error! Input file can not be read."},
      {Riff(Chunk("data", {1})), "Error! Input file must be in PCM format."},
      {Riff(Concat({Chunk("fmt ", FmtPayload(2, 1, 8000, 4)), Chunk("data", {})})),
       "Error! Input file must be in PCM mono 8-bit format."},
      {PcmWav(1, 0, 16, {1, 2}), "Error! Input file has an unsupported sample rate."},
      {PcmWav(1, 0x80000000u, 16, {1, 2}), "Error! Input file has an unsupported sample rate."},
      {PcmWav(1, 8000, 40, Bytes(10)), "Error! Input file has an unsupported sample size."},
  };
  for (const Case& c : cases) {
    TempFile wav(".wav", c.file);
    Result result = RunTool({wav.Path(), out.Path()});
    EXPECT_EQ(result.code, 2) << c.message;
    EXPECT_EQ(result.out, kBanner + "\nError! (0) " + c.message + "\n");
    EXPECT_FALSE(std::filesystem::exists(out.Path()));
  }
  Result missing = RunTool({"/nonexistent/input.wav", out.Path()});
  EXPECT_EQ(missing.out, kBanner + "\nError! (0) Error! Input file can not be read.\n");
}

TEST_F(EndToEndTest, StereoRunMeasuresTheChosenChannel) {
  // 2.5 s at 44100 Hz: 1000 Hz on channel 0, 440 Hz on channel 1.
  const std::size_t count = 110250;
  Bytes data = Frames16({Sine(1000, 12000, 44100, count), Sine(440, 9000, 44100, count, 0.3)});
  TempFile wav(".wav", PcmWav(2, 44100, 16, data));
  TempFile out(".txt");
  Result result = RunTool({"-ch:1", wav.Path(), out.Path()});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, kBanner + Format(44100, 16, 2, 1) + "...");
  EXPECT_EQ(result.err, "");

  const std::string text = ReadText(out.Path());
  ASSERT_EQ(text.rfind("Time:  \tFreq:\r\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  std::vector<std::string> lines = Lines(text);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i].back(), '\r');
    const std::size_t tab = lines[i].find('\t');
    ASSERT_NE(tab, std::string::npos);
    EXPECT_EQ(lines[i].find('.'), tab - 7) << lines[i];    // six decimals of time
    EXPECT_EQ(lines[i].size() - lines[i].rfind('.'), 5u);  // three of frequency, then CR
  }
  // At most one line per 1/200 s, about 500 lines for 2.5 s.
  EXPECT_GT(lines.size(), 400u);
  EXPECT_LT(lines.size(), 520u);
  std::vector<double> frequencies = Frequencies(text);
  for (std::size_t i = 3; i < frequencies.size(); ++i) {
    EXPECT_NEAR(frequencies[i], 440.0, 1.5) << i;
  }
}

TEST_F(EndToEndTest, KnownTonesAtCommonRatesAndDepths) {
  struct Case {
    std::uint32_t rate;
    std::uint16_t bits;
    double frequency;
  };
  for (const Case& c : {Case{8000, 16, 1000}, Case{8000, 8, 440}, Case{44100, 8, 3000},
                        Case{48000, 16, 50}, Case{48000, 16, 7919}}) {
    const std::size_t count = c.rate;  // one second
    Bytes data;
    if (c.bits == 16) {
      data = Frames16({Sine(c.frequency, 20000, c.rate, count)});
    } else {
      std::vector<int> bytes = Sine(c.frequency, 100, c.rate, count);
      for (int& b : bytes) {
        b += 127;
      }
      data = Frames8({bytes});
    }
    TempFile wav(".wav", PcmWav(1, c.rate, c.bits, data));
    TempFile out(".txt");
    Result result = RunTool({"-rate:10", wav.Path(), out.Path()});
    ASSERT_EQ(result.code, 0);
    EXPECT_EQ(result.out, kBanner + Format(static_cast<int>(c.rate), c.bits, 1, 0) + ".");
    std::vector<double> frequencies = Frequencies(ReadText(out.Path()));
    ASSERT_GT(frequencies.size(), 10u);
    // After the window (0.1 s) has filled, the reading holds to well within 0.5 %.
    for (std::size_t i = frequencies.size() / 2; i < frequencies.size(); ++i) {
      EXPECT_NEAR(frequencies[i], c.frequency, c.frequency * 0.005) << c.rate << " " << i;
    }
  }
}

TEST_F(EndToEndTest, WorkedToneOf1600SamplesGives38Lines) {
  const std::vector<int> pattern = {383, 924, 924, 383, -383, -924, -924, -383};
  std::vector<int> samples;
  for (int i = 0; i < 1600; ++i) {
    samples.push_back(pattern[static_cast<std::size_t>(i) % 8]);
  }
  TempFile wav(".wav", PcmWav(1, 8000, 16, Frames16({samples})));
  TempFile out(".txt");
  ASSERT_EQ(RunTool({wav.Path(), out.Path()}).code, 0);
  const std::string text = ReadText(out.Path());
  std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 39u);
  const std::string firstLines =
      "Time:  \tFreq:\r\n"
      "0.000156\t888.889\r\n0.005188\t1000.000\r\n"
      "0.010438\t1000.000\r\n0.015938\t1000.000\r\n";
  EXPECT_EQ(text.substr(0, firstLines.size()), firstLines);
}

TEST_F(EndToEndTest, OneDotPerStartedSecond) {
  TempFile out(".txt");
  for (std::size_t frames : {0u, 1u, 8000u, 8001u, 16000u}) {
    TempFile wav(".wav", PcmWav(1, 8000, 8, Bytes(frames, 127)));
    Result result = RunTool({wav.Path(), out.Path()});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out,
              kBanner + Format(8000, 8, 1, 0) + std::string((frames + 7999) / 8000, '.'));
    if (frames == 0) {
      EXPECT_EQ(ReadText(out.Path()), "Time:  \tFreq:\r\n");
    }
  }
  // Half a frame is no frame.
  TempFile wav(".wav", PcmWav(1, 8000, 16, {1}));
  EXPECT_EQ(RunTool({wav.Path(), out.Path()}).out, kBanner + Format(8000, 16, 1, 0));
}

TEST_F(EndToEndTest, ReadErrorKeepsTheLinesWrittenBefore) {
  const std::size_t count = 20000;  // 2.5 s at 8000 Hz, claimed to be 10 s
  Bytes data = Frames16({Sine(500, 10000, 8000, count)});
  Bytes file = Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 16)),
                            Chunk("data", data, static_cast<std::uint32_t>(count * 8), false)}));
  TempFile wav(".wav", file);
  TempFile out(".txt");
  Result result = RunTool({wav.Path(), out.Path()});
  EXPECT_EQ(result.code, 3);
  EXPECT_EQ(result.out, kBanner + Format(8000, 16, 1, 0) +
                            "...\nError! (0) Error! Input file can not be read.\n\n");
  const std::string text = ReadText(out.Path());
  EXPECT_GT(Lines(text).size(), 400u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");  // the last line is complete
}

TEST_F(EndToEndTest, PathsMayBeUtf8) {
  const Bytes file = PcmWav(1, 8000, 16, Frames16({Sine(1000, 9000, 8000, 800)}));
  TempFile wav("_t\xC3\xB6n \xE2\x99\xAA.wav", file);
  TempFile plain(".wav", file);
  TempFile out("_r\xC3\xA9sultat.txt");
  TempFile expected(".txt");
  EXPECT_EQ(RunTool({wav.Path(), out.Path()}).code, 0);
  EXPECT_EQ(RunTool({plain.Path(), expected.Path()}).code, 0);
  EXPECT_EQ(ReadText(out.Path()), ReadText(expected.Path()));
}

TEST_F(EndToEndTest, ChannelOutsideTheFileMeasuresSilence) {
  TempFile wav(".wav", PcmWav(1, 8000, 16, Frames16({Sine(1000, 9000, 8000, 800)})));
  TempFile out(".txt");
  Result result = RunTool({"-ch:5", wav.Path(), out.Path()});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(ReadText(out.Path()), "Time:  \tFreq:\r\n");
}

#ifndef _WIN32
TEST_F(EndToEndTest, ResultFileThatCannotBeWrittenGivesCode4) {
  TempFile wav(".wav", PcmWav(1, 8000, 16, Frames16({Sine(1000, 9000, 8000, 800)})));
  const std::string format = kBanner + Format(8000, 16, 1, 0);

  const auto errorLine = [](int code, const std::string& message) {
    return "\nError! (" + std::to_string(code) + ") " + message + "\n";
  };
  Result result = RunTool({wav.Path(), "/nonexistent-dir/out.txt"});
  EXPECT_EQ(result.code, 4);
  EXPECT_EQ(result.out, format + errorLine(ENOENT, "Can not open file."));

  TempFile directory(".dir");
  std::filesystem::create_directory(directory.Path());
  result = RunTool({wav.Path(), directory.Path()});
  EXPECT_EQ(result.code, 4);
  EXPECT_EQ(result.out, format + errorLine(EISDIR, "Can not open file."));

  if (std::filesystem::exists("/dev/full")) {
    result = RunTool({wav.Path(), "/dev/full"});
    EXPECT_EQ(result.code, 4);
    EXPECT_EQ(result.out, format + "." + errorLine(ENOSPC, "Can not write data to file."));
  }

  // A read-only result file. Root may write it anyway, so as root the tool runs as nobody.
  TempFile readOnly(".txt", {'k', 'e', 'p', 't'});
  std::filesystem::permissions(readOnly.Path(), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::group_read |
                                                    std::filesystem::perms::others_read);
  std::vector<std::string> asUser;
  if (geteuid() == 0) {
    if (std::system("command -v setpriv > /dev/null") != 0) {
      GTEST_SKIP() << "running as root without setpriv";
    }
    asUser = {"--", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const std::string canRun = "setpriv --reuid=65534 --regid=65534 --clear-groups test -x " +
                               Quote(Tool()) + " -a -r " + Quote(wav.Path());
    if (std::system(canRun.c_str()) != 0) {
      GTEST_SKIP() << "the build tree is not readable by an unprivileged user";
    }
  }
  result = RunTool({wav.Path(), readOnly.Path()}, asUser);
  EXPECT_EQ(result.code, 4);
  EXPECT_EQ(result.out, format + errorLine(EACCES, "Can not open file."));
  EXPECT_EQ(ReadText(readOnly.Path()), "kept");
}

#endif

TEST_F(EndToEndTest, OutputNamingTheInputIsRefused) {
  const Bytes file = PcmWav(1, 8000, 16, Frames16({Sine(1000, 9000, 8000, 800)}));
  TempFile wav(".wav", file);
  const std::string format = kBanner + Format(8000, 16, 1, 0);
  const std::string refusal = "\nError! (0) Output file must differ from input file.\n";

  const std::filesystem::path path(wav.Path());
  const std::string otherSpelling = (path.parent_path() / "." / path.filename()).string();
  TempFile link(".wav");
  std::filesystem::create_hard_link(wav.Path(), link.Path());
  for (const std::string& output : {wav.Path(), otherSpelling, link.Path()}) {
    Result result = RunTool({wav.Path(), output});
    EXPECT_EQ(result.code, 4) << output;
    EXPECT_EQ(result.out, format + refusal);
  }
  EXPECT_EQ(ReadFile(wav.Path()), file);
}

}  // namespace
}  // namespace wavfreq
