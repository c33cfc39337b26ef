#pragma once

namespace wavfreq {

/// Sink of measurements. The writer decides which offered values become lines.
class IDataWriter {
 public:
  /// Finishes and closes the output.
  virtual ~IDataWriter() {}
  /// Offers one measurement: time in seconds, frequency in hertz.
  virtual void WriteValue(double time, double frequency) = 0;
  /// A time up to which the writer is sure to make no line of an offered value, until it accepts
  /// one: the meter need not work such a value out. -infinity where every value may count.
  virtual double DropsUpTo() const = 0;
  /// Writes the text unchanged, adding no line end.
  virtual void WriteText(const char* text) = 0;
  /// Pushes everything written so far to its destination, so that a failure to store it (a full
  /// disk) is known before the run reports success.
  virtual void Flush() = 0;
};

}  // namespace wavfreq
