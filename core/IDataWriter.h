#pragma once

namespace wavfreq {

/// Sink of measurements. The writer decides which offered values become lines.
class IDataWriter {
 public:
  /// Finishes and closes the output.
  virtual ~IDataWriter() {}
  /// Offers one measurement: time in seconds, frequency in hertz.
  virtual void WriteValue(double time, double frequency) = 0;
  /// Writes the text unchanged, adding no line end.
  virtual void WriteText(const char* text) = 0;
  /// Pushes everything written so far to its destination, so that a failure to store it (a full
  /// disk) is known before the run reports success.
  virtual void Flush() = 0;
};

}  // namespace wavfreq
