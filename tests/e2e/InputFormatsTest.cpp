// The tool on the WAV files that real tools write, and on streams.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/TempFile.h"
#include "support/ToolRunner.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

class InputFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tool().empty()) << "WAVFREQ_BINARY must name the wavfreq binary";
  }
};

/// A committed sample file written by a real tool (see tests/data/make). The tests run in the
/// project's root.
std::string DataFile(const std::string& name) {
  return "tests/data/" + name;
}

// 25 ms of 1000 Hz at 16000 Hz. After the first 10 ms window it reads 1000 Hz to the last digit.
void ExpectThousandHertz(const ToolResult& result, const std::string& output, int bits,
                         int channels, const std::string& what) {
  EXPECT_EQ(result.code, 0) << what;
  EXPECT_EQ(result.out, kBanner + FormatLines(16000, bits, channels, 0) + ".") << what;
  const std::vector<double> values = FrequenciesFrom(ReadText(output), 0.01);
  EXPECT_GE(values.size(), 2u) << what;
  for (double value : values) {
    EXPECT_NEAR(value, 1000.0, 0.01) << what;
  }
}

TEST_F(InputFormatsTest, ReadsTheFilesThatRealToolsWrite) {
  struct Case {
    std::string name;
    int bits;
    int channels;
  };
  TempFile out(".txt");
  for (const Case& c :
       {Case{"sox-24bit-extensible.wav", 24, 1}, Case{"sox-32bit-extensible.wav", 32, 1},
        Case{"sox-16bit-4ch-extensible.wav", 16, 4}, Case{"ffmpeg-s24le-extensible.wav", 24, 1},
        Case{"sndfile-pcm24.wav", 24, 1}, Case{"python-wave-24bit.wav", 24, 1},
        // A length of 0xFFFFFFFF runs to the end of the input, in a file too.
        Case{"ffmpeg-s16le-piped.wav", 16, 1}}) {
    ExpectThousandHertz(RunTool({DataFile(c.name), out.Path()}), out.Path(), c.bits, c.channels,
                        c.name);
  }
}

TEST_F(InputFormatsTest, FloatSamplesAndLargeFileContainersGiveTheIntegerFilesTable) {
  // Each holds the samples of sox-16bit.wav, converted exactly by a real tool (tests/data/make).
  const std::vector<std::pair<std::string, std::string>> files = {
      {"sox-float32.wav", "32-bit float"},
      {"sox-float64.wav", "64-bit float"},
      {"ffmpeg-f32le-extensible.wav", "32-bit float"},
      {"sndfile-float32.wav", "32-bit float"},
      {"ffmpeg-rf64.wav", "16-bit PCM"},
      {"bw64.wav", "16-bit PCM"},
      {"sndfile-16bit.rf64", "16-bit PCM"},
      {"sox-16bit.w64", "16-bit PCM"},
      // ffmpeg streaming RF64 leaves the ds64 sizes at 0: the data runs to the end of the input.
      {"ffmpeg-rf64-piped.wav", "16-bit PCM"}};
  TempFile original(".txt");
  TempFile converted(".txt");
  for (const std::vector<std::string>& gate :
       {std::vector<std::string>{}, std::vector<std::string>{"-gate:-20"}}) {
    const auto run = [&gate](const std::string& input, const std::string& output,
                             const std::string& pipeFrom = "") {
      std::vector<std::string> arguments = gate;
      arguments.insert(arguments.end(), {input, output});
      return RunTool(arguments, {}, pipeFrom);
    };
    ASSERT_EQ(run(DataFile("sox-16bit.wav"), original.Path()).code, 0);
    const std::string table = ReadText(original.Path());
    ASSERT_GT(Lines(table).size(), 4u);
    for (const auto& [name, format] : files) {
      const ToolResult result = run(DataFile(name), converted.Path());
      EXPECT_EQ(result.code, 0) << name;
      EXPECT_EQ(result.out, kBanner + "Sample rate: 16000 Hz, " + format +
                                ", Channels: 1\nCurrent channel: 0\n.")
          << name;
      EXPECT_EQ(ReadText(converted.Path()), table) << name << " " << gate.size();
    }
    EXPECT_EQ(run("-", converted.Path(), DataFile("ffmpeg-rf64-piped.wav")).code, 0);
    EXPECT_EQ(ReadText(converted.Path()), table);
  }
  // sox's four float channels, a tone of its own.
  ASSERT_EQ(RunTool({"-ch:3", DataFile("sox-float32-4ch.wav"), converted.Path()}).code, 0);
  for (double value : FrequenciesFrom(ReadText(converted.Path()), 0.01)) {
    EXPECT_NEAR(value, 1000.0, 0.01);
  }
}

TEST_F(InputFormatsTest, SampleThatIsNotANumberEndsTheRunLikeAReadError) {
  // The 301st sample of sox-float32.wav made a NaN: the lines measured before it stay.
  TempFile out(".txt");
  const ToolResult result = RunTool({DataFile("sox-float32-nan.wav"), out.Path()});
  EXPECT_EQ(result.code, 3);
  EXPECT_EQ(result.out, kBanner +
                            "Sample rate: 16000 Hz, 32-bit float, Channels: 1\nCurrent channel: "
                            "0\n.\nError! (0) Error! Input file holds a sample that is not a "
                            "number.\n");
  const std::string partial = ReadText(out.Path());
  ASSERT_EQ(RunTool({DataFile("sox-float32.wav"), out.Path()}).code, 0);
  const std::string whole = ReadText(out.Path());
  EXPECT_GE(Lines(partial).size(), 4u);
  EXPECT_LT(partial.size(), whole.size());
  EXPECT_EQ(whole.compare(0, partial.size(), partial), 0);
}

TEST_F(InputFormatsTest, ReadsTwelveBitAndWordAlignedSamples) {
  const std::vector<int> tone = Sine(1000, 1500, 16000, 400, 0.2);
  std::vector<int> twelveBit;      // left-justified in 16 bits, the low 4 bits 0
  std::vector<int> negativeWords;  // 24 bits in four-byte words whose top byte repeats the sign
  for (int sample : tone) {
    twelveBit.push_back(sample * 16);
    negativeWords.push_back(sample * 4000);
  }
  const Bytes zeroTop = FramesLe(4, {tone});  // positive samples have a zero top byte anyway
  Bytes garbageTop = FramesLe(4, {negativeWords});
  for (std::size_t i = 3; i < garbageTop.size(); i += 4) {
    garbageTop[i] = static_cast<std::uint8_t>(i);  // the top byte must not matter
  }
  const auto wordWav = [](const Bytes& data) {
    return Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 16000, 24, 0, 4)), Chunk("data", data)}));
  };
  TempFile out(".txt");
  for (const auto& [file, bits] :
       {std::make_pair(PcmWav(1, 16000, 12, Frames16({twelveBit})), 12),
        std::make_pair(wordWav(FramesLe(4, {negativeWords})), 24),
        std::make_pair(wordWav(garbageTop), 24), std::make_pair(wordWav(zeroTop), 24)}) {
    TempFile wav(".wav", file);
    ExpectThousandHertz(RunTool({wav.Path(), out.Path()}), out.Path(), bits, 1,
                        std::to_string(bits));
  }
}

TEST_F(InputFormatsTest, StreamsThroughAPipeEndWithTheirInput) {
  // Both declare sizes that their writers could not know: sox 0x7FFFF000, ffmpeg 0xFFFFFFFF.
  TempFile out(".txt");
  for (const char* name : {"sox-16bit-piped.wav", "ffmpeg-s16le-piped.wav"}) {
    ExpectThousandHertz(RunTool({"-", out.Path()}, {}, DataFile(name)), out.Path(), 16, 1, name);
  }
  // The same sox stream in a regular file ends before its declared size: a file cut short.
  ToolResult cut = RunTool({DataFile("sox-16bit-piped.wav"), out.Path()});
  EXPECT_EQ(cut.code, 3);
  EXPECT_EQ(cut.out, kBanner + FormatLines(16000, 16, 1, 0) +
                         ".\nError! (0) Error! Input file can not be read.\n\n");
}

TEST_F(InputFormatsTest, ReadsFromAPipeAcrossChunksLargerThanTheBuffer) {
  // A pipe cannot seek: the 100 KB chunk before "fmt " is read past instead. Standard input is
  // named "-", and on POSIX systems also /dev/stdin.
  const Bytes tone = Frames16({Sine(700, 9000, 8000, 8000)});
  const Bytes file = Riff(Concat({Chunk("junk", Bytes(100001, 3)),
                                  Chunk("fmt ", FmtPayload(1, 1, 8000, 16)), Chunk("data", tone)}));
  TempFile wav(".wav", file);
  TempFile plain(".wav", PcmWav(1, 8000, 16, tone));
  TempFile fromPipe(".txt");
  TempFile fromFile(".txt");
  ASSERT_EQ(RunTool({plain.Path(), fromFile.Path()}).code, 0);
  EXPECT_GT(Lines(ReadText(fromFile.Path())).size(), 150u);
#ifdef _WIN32
  const std::vector<std::string> inputs = {"-"};
#else
  const std::vector<std::string> inputs = {"-", "/dev/stdin"};
#endif
  for (const std::string& input : inputs) {
    EXPECT_EQ(RunTool({input, fromPipe.Path()}, {}, wav.Path()).code, 0) << input;
    EXPECT_EQ(ReadText(fromPipe.Path()), ReadText(fromFile.Path())) << input;
  }
}

}  // namespace
}  // namespace wavfreq
