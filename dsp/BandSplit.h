#pragma once

#include "dsp/Biquad.h"

namespace wavfreq {

/// Splits a series at a corner frequency into what lies below it and what lies above: a
/// second-order Butterworth low-pass and high-pass at the same corner, whose gains' squares add
/// up to 1 at every frequency, so that the powers of the two parts add up to the whole's.
class BandSplit {
 public:
  BandSplit() = default;
  BandSplit(double cornerHertz, double sampleRate)
      : below(Biquad::LowPass(cornerHertz, sampleRate)),
        above(Biquad::HighPass(cornerHertz, sampleRate)) {}

  struct Parts {
    double below;
    double above;
  };
  Parts Process(double value) { return {below.Process(value), above.Process(value)}; }
  void Reset() {
    below.Reset();
    above.Reset();
  }

 private:
  Biquad below;
  Biquad above;
};

}  // namespace wavfreq
