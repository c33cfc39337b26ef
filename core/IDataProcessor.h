#pragma once

namespace wavfreq {

/// Consumes a stream of integer samples, one call per sample, in stream order.
class IDataProcessor {
 public:
  virtual ~IDataProcessor() {}
  virtual void ProcessSample(int sample) = 0;
  /// Consumes the next `count` samples, as `count` calls of ProcessSample would.
  virtual void ProcessBlock(const int* samples, int count) = 0;
  /// Consumes the next `count` samples given as real values in the units of the integer ones
  /// (a filter's output, floating-point samples), not rounded.
  virtual void ProcessBlock(const double* samples, int count) = 0;
  /// Seconds of signal given to the processor so far.
  virtual double GetTime() = 0;
};

}  // namespace wavfreq
