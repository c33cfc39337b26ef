#pragma once

#include <cstdint>

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
};

}  // namespace wavfreq
