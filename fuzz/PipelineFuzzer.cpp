// Runs the whole measurement through the driver on arbitrary bytes: the first 12 bytes choose the
// channel, the gate, the summary, the band-pass filter and the nominal frequency (first word), the
// value rate and the output rate, as the command line would; the rest is the WAV file. Results go
// to a scratch file.
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/Console.h"
#include "app/ProductFactory.h"
#include "app/RunDriver.h"
#include "support/MemoryByteStream.h"
#include "wav/LittleEndian.h"

namespace {

/// The product's components, with the WAV file read from the fuzzer's bytes.
class MemoryFactory : public wavfreq::ProductFactory {
 public:
  MemoryFactory(const std::uint8_t* data, std::size_t size) : bytes(data), length(size) {}
  wavfreq::WavFileSource MakeSource() {
    return wavfreq::WavFileSource([this](const char*) -> std::unique_ptr<wavfreq::IByteStream> {
      return std::make_unique<wavfreq::test::MemoryByteStream>(bytes, length);
    });
  }

 private:
  const std::uint8_t* bytes;
  std::size_t length;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 12) {
    return 0;
  }
  static const std::string scratch = "/tmp/wavfreq_fuzz_" + std::to_string(::getpid()) + ".txt";
  const int first = wavfreq::ReadLeSigned32(data);
  const std::string channel = "-ch:" + std::to_string(first % 4);
  const std::string valueRate = "-rate:" + std::to_string(wavfreq::ReadLeSigned32(data + 4));
  const std::string outputRate = "-out:" + std::to_string(wavfreq::ReadLeSigned32(data + 8));
  // Levels past -120 dBFS are refused, which is fuzzed as well.
  const int gateLevel = (first >> 8) & 0xFF;
  const std::string gate = "-gate:-" + std::to_string(gateLevel);
  std::vector<const char*> arguments = {"wavfreq", channel.c_str(), valueRate.c_str(),
                                        outputRate.c_str()};
  if (gateLevel != 0) {
    arguments.push_back(gate.c_str());
  }
  if ((first & 0x10000) != 0) {
    arguments.push_back("-stats");
  }
  // Bands narrow and wide, low and high, and ones that the sample rate cannot hold.
  const unsigned bits = static_cast<unsigned>(first);
  const unsigned low = 1 + ((bits >> 18) & 0x3F) * 37;
  const std::string band =
      "-band:" + std::to_string(low) + "-" + std::to_string(low + 1 + ((bits >> 24) & 0x3F) * 53);
  if ((first & 0x20000) != 0) {
    arguments.push_back(band.c_str());
  }
  // The summary's speed error against a frequency of its own.
  const std::string nominal = "-nominal:" + std::to_string(low) + ".5";
  if ((bits & 0x40000000u) != 0) {
    arguments.push_back(nominal.c_str());
  }
  arguments.push_back("input.wav");
  arguments.push_back(scratch.c_str());
  static std::FILE* devNull = std::fopen("/dev/null", "w");
  wavfreq::Console console(devNull);
  MemoryFactory factory(data + 12, size - 12);
  const wavfreq::StopFlag stop{0};
  wavfreq::RunDriver::Run(static_cast<int>(arguments.size()), arguments.data(), console, factory,
                          stop);
  return 0;
}
