#pragma once

#include <cstdint>

#include "dsp/Turns.h"

namespace wavfreq {

/// An oscillator's phase at the start of each block of samples, as cosine and sine: turned on
/// from block to block by one complex multiplication, and set afresh from the exact phase every
/// 256 blocks, so that rounding does not build up over hours.
class Phasor {
 public:
  Phasor() = default;
  /// The turn from one block to the next, in turns.
  explicit Phasor(double stepTurns) {
    const Turns step = Turns::Of(stepTurns);
    stepCosine = step.cosine;
    stepSine = step.sine;
  }

  double Cosine() const { return cosine; }
  double Sine() const { return sine; }

  /// On to the next block; `exactTurns(block)` gives a block's exact phase, in turns, where the
  /// phase is set afresh.
  template <class ExactTurns>
  void Advance(ExactTurns exactTurns) {
    ++block;
    if (block % kRefresh == 0) {
      const Turns exact = Turns::Of(exactTurns(block));
      cosine = exact.cosine;
      sine = exact.sine;
      return;
    }
    const double c = cosine * stepCosine - sine * stepSine;
    const double s = sine * stepCosine + cosine * stepSine;
    cosine = c;
    sine = s;
  }

 private:
  static constexpr std::int64_t kRefresh = 256;

  double cosine = 1.0;
  double sine = 0.0;
  double stepCosine = 1.0;
  double stepSine = 0.0;
  std::int64_t block = 0;
};

}  // namespace wavfreq
