// The whole measurement, in process, on a WAV file whose reads fail part-way: the driver must end
// with the read error and keep the complete lines written before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ProductFactory.h"
#include "app/RunDriver.h"
#include "support/ConsoleCapture.h"
#include "support/MemoryByteStream.h"
#include "support/TempFile.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

/// The product's components, but the source reads the named file through a stream that fails
/// once it reaches `failOffset`.
class FaultyFactory : public ProductFactory {
 public:
  explicit FaultyFactory(std::uint64_t failAt) : failOffset(failAt) {}
  WavFileSource MakeSource() {
    const std::uint64_t failAt = failOffset;
    return WavFileSource([failAt](const char* path) -> std::unique_ptr<IByteStream> {
      return std::make_unique<MemoryByteStream>(ReadFile(path), failAt);
    });
  }

 private:
  std::uint64_t failOffset;
};

template <class Factory>
int MeasureFile(Factory& factory, const std::string& input, const std::string& output,
                std::string& printed) {
  const char* arguments[] = {"wavfreq", input.c_str(), output.c_str()};
  ConsoleCapture capture;
  const StopFlag stop{0};
  const int code = RunDriver::Run(3, arguments, capture.Get(), factory, stop);
  printed = capture.Text();
  return code;
}

TEST(FaultInjectionTest, IoErrorMidFileEndsWithCode3AndKeepsEveryLineBeforeIt) {
  // 3 s of 500 Hz at 8000 Hz. The stream fails after 15000 frames of data.
  const std::vector<int> tone = Sine(500, 9000, 8000, 24000);
  TempFile wav(".wav", PcmWav(1, 8000, 16, Frames16({tone})));
  TempFile out(".txt");
  FaultyFactory faulty(44 + 2 * 15000);
  std::string printed;
  EXPECT_EQ(MeasureFile(faulty, wav.Path(), out.Path(), printed), 3);
  EXPECT_EQ(printed,
            "Wav file frequency meter. v1.1\n"
            "Sample rate: 8000 Hz, 16-bit PCM, Channels: 1\nCurrent channel: 0\n.."
            "\nError! (0) Error! Input file can not be read.\n");

  // The result file holds exactly what a clean run over those 15000 frames writes.
  TempFile prefix(".wav", PcmWav(1, 8000, 16, Frames16({{tone.begin(), tone.begin() + 15000}})));
  TempFile expected(".txt");
  ProductFactory product;
  EXPECT_EQ(MeasureFile(product, prefix.Path(), expected.Path(), printed), 0);
  const std::string text = ReadText(out.Path());
  EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 300);
  EXPECT_EQ(text, ReadText(expected.Path()));
}

}  // namespace
}  // namespace wavfreq
