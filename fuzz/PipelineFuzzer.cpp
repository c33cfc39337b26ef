// Runs the whole measurement on arbitrary bytes: the first 12 bytes choose the channel, the value
// rate and the output rate; the rest is the WAV file. Results go to a scratch file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/Console.h"
#include "app/RunDriver.h"
#include "wav/MemoryByteStream.h"

namespace {

int ReadInt(const std::uint8_t* bytes) {
  std::uint32_t value =
      static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
      static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  int result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

const std::string& ScratchPath() {
  static const std::string path = "/tmp/wavfreq_fuzz_" + std::to_string(::getpid()) + ".txt";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace wavfreq;
  if (size < 12) {
    return 0;
  }
  const int channel = ReadInt(data) % 4;
  const int valueRate = ReadInt(data + 4);
  int outputRate = ReadInt(data + 8);
  if (valueRate == 0) {
    return 0;  // refused on the command line
  }
  if (outputRate == 0) {
    const long long twice = 2LL * valueRate;
    outputRate = twice > 2147483647        ? 2147483647
                 : twice < -2147483647 - 1 ? -2147483647 - 1
                                           : static_cast<int>(twice);
  }

  ProductComponents::Source source;
  if (!source.OpenStream(std::make_unique<MemoryByteStream>(data + 12, size - 12))) {
    return 0;
  }
  const int sampleRate = source.GetSampleRate();
  if (sampleRate <= 0) {
    return 0;  // refused by the driver
  }
  static std::FILE* devNull = std::fopen("/dev/null", "w");
  Console console(devNull);
  ProductComponents::Mean mean(0, 0.0);
  ProductComponents::Writer writer(ScratchPath().c_str(), 1.0 / outputRate);
  ProductComponents::Meter meter(writer, mean, sampleRate / valueRate, sampleRate);
  RunDriver::RunSampleLoop(source, meter, channel, sampleRate, console);
  writer.Flush();
  return 0;
}
