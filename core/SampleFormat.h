#pragma once

#include <cstdint>

namespace wavfreq {

/// How a file's samples are stored, read once from its format chunk: what the source decodes,
/// what the console shows and what the gate measures its level against.
struct SampleFormat {
  enum class Coding { kInteger, kFloat };

  Coding coding = Coding::kInteger;
  int channels = 0;
  /// Frames per second, as a signed 32-bit value: rates of 2^31 and above come out negative.
  int sampleRate = 0;
  /// As the format chunk states it.
  int bitsPerSample = 0;
  /// Bytes that one sample takes in a frame.
  int containerBytes = 0;
  int frameSize = 0;
  /// The value of a full-scale sample as it reaches the meter: 2^(bits - 1) for integer samples
  /// of the bits that are decoded, 2^31 for floating-point samples, which are scaled by 2^31.
  double fullScale = 0.0;
};

}  // namespace wavfreq
