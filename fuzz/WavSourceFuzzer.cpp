// Opens arbitrary bytes as a WAV file and reads every frame, every channel, through the source.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "support/MemoryByteStream.h"
#include "wav/WavFileSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  wavfreq::WavFileSource source;
  if (!source.OpenStream(std::make_unique<wavfreq::test::MemoryByteStream>(data, size))) {
    // A refused file carries a message and answers neutral values.
    if (!source.HasError() || source.GetErrorMessage().empty() || source.GetSampleRate() != 0) {
      __builtin_trap();
    }
    return 0;
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
  return sum == 42 ? 0 : 0;
}
