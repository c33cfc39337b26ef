#pragma once

#include <cstdint>

#include "core/IWavMean.h"

namespace wavfreq {

/// A fixed reference level. It counts each sample as it takes it, so its count is always ahead of
/// what the meter has passed on and the meter never holds a sample back. The count is 64-bit so
/// that it keeps pace with data chunks of more than 2^31 frames.
class ConstMean final : public IWavMean {
 public:
  /// The level never changes and the count never lags, so a consumer may take the level for a
  /// whole block of samples at once with AddSamples.
  static constexpr bool kTakesBlocks = true;

  ConstMean(std::int64_t initialCount, double fixedLevel)
      : sampleCount(initialCount), level(fixedLevel) {}

  double AddSample(double sample) override {
    (void)sample;
    ++sampleCount;
    return level;
  }
  /// Takes `count` samples at once, as `count` calls of AddSample would.
  double AddSamples(std::int64_t count) {
    sampleCount += count;
    return level;
  }
  double GetSampleCount() override { return static_cast<double>(sampleCount); }
  double GetMean() override { return level; }
  double GetTotalSampleCount() override { return static_cast<double>(sampleCount); }
  ~ConstMean() override = default;

 private:
  std::int64_t sampleCount;
  const double level;
};

}  // namespace wavfreq
