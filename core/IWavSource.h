#pragma once

#include <cstdint>

#include "core/SampleFormat.h"

namespace wavfreq {

/// A stream of PCM frames. Every query answers a neutral value (0, false) while nothing is open
/// or while the source holds an error.
class IWavSource {
 public:
  virtual ~IWavSource() {}
  virtual int GetBitsPerSample() = 0;
  virtual int GetSampleRate() = 0;
  virtual int GetChannelCount() = 0;
  /// True when one more frame became current; false at the end of the data (no error recorded)
  /// and on a read failure (error recorded).
  virtual bool ReadNextFrame() = 0;
  /// 0-based index of the current frame; -1 before the first read.
  virtual std::int64_t GetPosition() = 0;
  /// The current frame's sample of that channel; 0 for a channel outside the frame.
  virtual int GetSample(int channel) = 0;
  /// Reads up to `capacity` frames (at least 1) and stores each one's sample of `channel` in
  /// `samples`: what ReadNextFrame and GetSample give frame by frame, at once. Returns the number
  /// of frames read; fewer than `capacity` when the data ends, a read fails or a stream has not
  /// delivered more yet (but at least one while it goes on), with the end or
  /// the error recorded as ReadNextFrame records it. Afterwards the last frame read is current.
  virtual int ReadBlock(int channel, int* samples, int capacity) = 0;
  /// As the integer ReadBlock, with each sample as a real value in the units of the integer
  /// ones, exactly as stored: floating-point samples are not rounded. A sample that is not a
  /// number ends the block before it, with an error recorded.
  virtual int ReadBlock(int channel, double* samples, int capacity) = 0;
  /// How the samples are stored; an empty format while nothing is open or an error is recorded.
  virtual const SampleFormat& GetFormat() = 0;
};

}  // namespace wavfreq
