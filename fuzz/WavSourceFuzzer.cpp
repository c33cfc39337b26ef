// Opens arbitrary bytes as a WAV file and reads every frame, every channel, through the source:
// once as a regular file, once as a pipe (whose data ends with the input).
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "support/MemoryByteStream.h"
#include "wav/WavFileSource.h"

namespace {

void ReadThrough(const std::uint8_t* data, std::size_t size, bool pipe) {
  wavfreq::WavFileSource source;
  if (!source.OpenStream(std::make_unique<wavfreq::test::MemoryByteStream>(
          std::vector<std::uint8_t>(data, data + size), std::numeric_limits<std::uint64_t>::max(),
          pipe))) {
    // A refused file carries a message and answers neutral values.
    if (!source.HasError() || source.GetErrorMessage().empty() || source.GetSampleRate() != 0) {
      __builtin_trap();
    }
    return;
  }
  const int channels = source.GetChannelCount();
  std::int64_t expected = -1;
  long long sum = 0;
  while (!source.IsEndOfData()) {
    if (source.HasError() || !source.ReadNextFrame()) {
      break;
    }
    if (source.GetPosition() != ++expected) {
      __builtin_trap();
    }
    for (int channel = -1; channel <= channels; ++channel) {
      sum += source.GetSample(channel);
    }
  }
  // Either a clean end or a recorded read error, never both and never neither.
  if (source.IsEndOfData() == source.HasError()) {
    __builtin_trap();
  }
  static volatile long long sink;
  sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ReadThrough(data, size, false);
  ReadThrough(data, size, true);
  return 0;
}
