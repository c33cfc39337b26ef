#pragma once

namespace wavfreq {

/// Provider of the reference level against which level crossings are detected.
/// The destructor is the last slot here, unlike the other interfaces.
class IWavMean {
 public:
  /// Takes the next sample and returns the reference level that applies to it.
  virtual double AddSample(double sample) = 0;
  /// Number of samples that the provider's level accounts for. A consumer holds samples back
  /// while this lags behind what it has already passed on.
  virtual double GetSampleCount() = 0;
  virtual double GetMean() = 0;
  virtual double GetTotalSampleCount() = 0;
  virtual ~IWavMean() {}
};

}  // namespace wavfreq
