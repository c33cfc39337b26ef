// Opens arbitrary bytes as a WAV file and reads every frame through the source, once frame by
// frame (every channel), in blocks of integers, of real values and of the samples as stored
// (bytes, words or floats, widened), as a regular file and as a pipe (whose data ends with the
// input). All must read the same samples
// and end the same way; only a floating-point sample that is not a number ends the blocks
// early, where the frames read on, and there the blocks must have read what came before.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/MemoryByteStream.h"
#include "wav/WavFileSource.h"

namespace {

const char kNotANumber[] = "Error! Input file holds a sample that is not a number.";

enum class Way { kFrames, kIntegers, kReals, kStored };

struct Reading {
  std::vector<double> samples;  // of the channel compared
  bool atEnd = false;
  bool failed = false;
  std::string message;
  std::int64_t position = 0;
};

Reading ReadThrough(const std::uint8_t* data, std::size_t size, bool pipe, Way way,
                    int blockCapacity) {
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
  std::vector<int> block(static_cast<std::size_t>(blockCapacity));
  std::vector<double> reals(static_cast<std::size_t>(blockCapacity));
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(blockCapacity));
  std::vector<std::int16_t> words(static_cast<std::size_t>(blockCapacity));
  std::vector<float> singles(static_cast<std::size_t>(blockCapacity));
  const wavfreq::SampleDecoder::Stored form = source.StoredForm(channel);
  if (way == Way::kStored && form == wavfreq::SampleDecoder::Stored::kNone) {
    way = Way::kIntegers;
  }
  std::int64_t expected = -1;
  while (!source.IsEndOfData() && !source.HasError()) {
    if (way == Way::kIntegers) {
      const int count = source.ReadBlock(channel, block.data(), blockCapacity);
      reading.samples.insert(reading.samples.end(), block.begin(), block.begin() + count);
      if (count == 0) {
        break;
      }
      continue;
    }
    if (way == Way::kStored && form != wavfreq::SampleDecoder::Stored::kSingles) {
      // Bytes and words widened to the integers.
      const int count = form == wavfreq::SampleDecoder::Stored::kBytes
                            ? source.ReadBlock(channel, bytes.data(), blockCapacity)
                            : source.ReadBlock(channel, words.data(), blockCapacity);
      if (form == wavfreq::SampleDecoder::Stored::kBytes) {
        wavfreq::SampleDecoder::Widen(bytes.data(), count, block.data());
      } else {
        wavfreq::SampleDecoder::Widen(words.data(), count, block.data());
      }
      reading.samples.insert(reading.samples.end(), block.begin(), block.begin() + count);
      if (count == 0) {
        break;
      }
      continue;
    }
    if (way == Way::kReals || way == Way::kStored) {
      // Floats as stored are widened to the reals.
      const int count = way == Way::kReals
                            ? source.ReadBlock(channel, reals.data(), blockCapacity)
                            : source.ReadBlock(channel, singles.data(), blockCapacity);
      if (way == Way::kStored) {
        wavfreq::SampleDecoder::Widen(singles.data(), count, reals.data());
      }
      for (int i = 0; i < count; ++i) {
        // As an integer it reads rounded and held within the int range.
        const double value = reals[static_cast<std::size_t>(i)];
        reading.samples.push_back(value >= 2147483647.0    ? 2147483647.0
                                  : value <= -2147483648.0 ? -2147483648.0
                                                           : std::nearbyint(value));
      }
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

bool SameEnd(const Reading& a, const Reading& b) {
  return a.atEnd == b.atEnd && a.failed == b.failed && a.message == b.message &&
         a.position == b.position;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int capacity = 1 + static_cast<int>(size % 4099);
  for (bool pipe : {false, true}) {
    const Reading byFrame = ReadThrough(data, size, pipe, Way::kFrames, 1);
    const Reading byBlock = ReadThrough(data, size, pipe, Way::kIntegers, capacity);
    const Reading byReal = ReadThrough(data, size, pipe, Way::kReals, capacity);
    if (byReal.samples != byBlock.samples || !SameEnd(byReal, byBlock)) {
      __builtin_trap();
    }
    const Reading byStored = ReadThrough(data, size, pipe, Way::kStored, capacity);
    if (byStored.samples != byBlock.samples || !SameEnd(byStored, byBlock)) {
      __builtin_trap();
    }
    if (byBlock.message == kNotANumber) {
      if (byFrame.samples.size() <= byBlock.samples.size() ||
          !std::equal(byBlock.samples.begin(), byBlock.samples.end(), byFrame.samples.begin())) {
        __builtin_trap();
      }
    } else if (byBlock.samples != byFrame.samples || !SameEnd(byBlock, byFrame)) {
      __builtin_trap();
    }
  }
  return 0;
}
