// Opens arbitrary bytes as a WAV file and reads every frame through the source, once frame by
// frame (every channel) and once in blocks, as a regular file and as a pipe (whose data ends
// with the input). Both ways must read the same samples and end the same way.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/MemoryByteStream.h"
#include "wav/WavFileSource.h"

namespace {

struct Reading {
  std::vector<int> samples;  // of the channel compared
  bool atEnd = false;
  bool failed = false;
  std::string message;
  std::int64_t position = 0;
};

Reading ReadThrough(const std::uint8_t* data, std::size_t size, bool pipe, int blockCapacity) {
  wavfreq::WavFileSource source;
  Reading reading;
  if (!source.OpenStream(std::make_unique<wavfreq::test::MemoryByteStream>(
          std::vector<std::uint8_t>(data, data + size), std::numeric_limits<std::uint64_t>::max(),
          pipe))) {
    // A refused file carries a message and answers neutral values.
    if (!source.HasError() || source.GetErrorMessage().empty() || source.GetSampleRate() != 0) {
      __builtin_trap();
    }
    reading.failed = true;
    return reading;
  }
  const int channels = source.GetChannelCount();
  const int channel = size > 0 ? static_cast<int>(data[size - 1] % (channels + 2)) - 1 : 0;
  std::vector<int> block(static_cast<std::size_t>(blockCapacity > 0 ? blockCapacity : 1));
  std::int64_t expected = -1;
  while (!source.IsEndOfData() && !source.HasError()) {
    if (blockCapacity > 0) {
      const int count = source.ReadBlock(channel, block.data(), blockCapacity);
      reading.samples.insert(reading.samples.end(), block.begin(), block.begin() + count);
      if (count == 0) {
        break;
      }
      continue;
    }
    if (!source.ReadNextFrame()) {
      break;
    }
    if (source.GetPosition() != ++expected) {
      __builtin_trap();
    }
    for (int other = -1; other <= channels; ++other) {
      const int sample = source.GetSample(other);
      if (other == channel) {
        reading.samples.push_back(sample);
      }
    }
  }
  // Either a clean end or a recorded read error, never both and never neither.
  if (source.IsEndOfData() == source.HasError()) {
    __builtin_trap();
  }
  reading.atEnd = source.IsEndOfData();
  reading.failed = source.HasError();
  reading.message = source.GetErrorMessage();
  reading.position = source.GetPosition();
  return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (bool pipe : {false, true}) {
    const Reading byFrame = ReadThrough(data, size, pipe, 0);
    const Reading byBlock = ReadThrough(data, size, pipe, 1 + static_cast<int>(size % 4099));
    if (byBlock.samples != byFrame.samples || byBlock.atEnd != byFrame.atEnd ||
        byBlock.failed != byFrame.failed || byBlock.message != byFrame.message ||
        byBlock.position != byFrame.position) {
      __builtin_trap();
    }
  }
  return 0;
}
