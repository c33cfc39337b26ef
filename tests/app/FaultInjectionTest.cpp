// The whole measurement, in process, on a WAV file whose reads fail part-way: the driver must end
// with the read error and keep the complete lines written before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/RunDriver.h"
#include "support/ConsoleCapture.h"
#include "support/FaultyStream.h"
#include "support/TempFile.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

std::uint64_t failOffset = 0;

/// The real source, reading the named file through a stream that fails at `failOffset`.
class FaultySource final : public IWavFileSource, public IErrorInfoProvider {
 public:
  int GetBitsPerSample() override { return inner.GetBitsPerSample(); }
  int GetSampleRate() override { return inner.GetSampleRate(); }
  int GetChannelCount() override { return inner.GetChannelCount(); }
  bool ReadNextFrame() override { return inner.ReadNextFrame(); }
  std::int64_t GetPosition() override { return inner.GetPosition(); }
  int GetSample(int channel) override { return inner.GetSample(channel); }
  bool Open(const char* path) override {
    return inner.OpenStream(std::make_unique<FaultyStream>(ReadFile(path), failOffset));
  }
  void Close() override { inner.Close(); }
  bool IsEndOfData() override { return inner.IsEndOfData(); }
  bool HasError() const override { return inner.HasError(); }
  int GetErrorCode() const override { return inner.GetErrorCode(); }
  std::string GetErrorMessage() const override { return inner.GetErrorMessage(); }

 private:
  WavFileSource inner;
};

struct FaultyComponents {
  using Source = FaultySource;
  using Mean = ProductComponents::Mean;
  using Writer = ProductComponents::Writer;
  using Meter = ProductComponents::Meter;
};

template <class Components>
int MeasureFile(const std::string& input, const std::string& output, std::string& printed) {
  const char* arguments[] = {"wavfreq", input.c_str(), output.c_str()};
  ConsoleCapture capture;
  const int code = RunDriver::Measure<Components>(CommandLine::Parse(3, arguments), capture.Get());
  printed = capture.Text();
  return code;
}

TEST(FaultInjectionTest, IoErrorMidFileEndsWithCode3AndKeepsEveryLineBeforeIt) {
  // 3 s of 500 Hz at 8000 Hz. The stream fails after 15000 frames of data.
  const std::vector<int> tone = Sine(500, 9000, 8000, 24000);
  TempFile wav(".wav", PcmWav(1, 8000, 16, Frames16({tone})));
  TempFile out(".txt");
  failOffset = 44 + 2 * 15000;
  std::string printed;
  EXPECT_EQ(MeasureFile<FaultyComponents>(wav.Path(), out.Path(), printed), 3);
  EXPECT_EQ(printed,
            "Sample rate: 8000 Hz, 16-bit PCM, Channels: 1\nCurrent channel: 0\n.."
            "\nError! (0) Error! Input file can not be read.\n");

  // The result file holds exactly what a clean run over those 15000 frames writes.
  TempFile prefix(".wav", PcmWav(1, 8000, 16, Frames16({{tone.begin(), tone.begin() + 15000}})));
  TempFile expected(".txt");
  EXPECT_EQ(MeasureFile<ProductComponents>(prefix.Path(), expected.Path(), printed), 0);
  const std::string text = ReadText(out.Path());
  EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 300);
  EXPECT_EQ(text, ReadText(expected.Path()));
}

}  // namespace
}  // namespace wavfreq
