#pragma once

#include <cstddef>
#include <vector>

namespace wavfreq {

/// Linear-phase FIR filters by the window method: the ideal response's impulse response (a sinc)
/// under a Kaiser window, whose one parameter trades the width of the transition band for the
/// depth of the stop band. Only additions, multiplications, divisions and square roots go into
/// the taps, so they are the same on every platform.
class FirDesign {
 public:
  /// A lowpass with unit gain at 0 Hz, half gain at `cutoff`, and at least `attenuationDb` (50 or
  /// more) of attenuation from `cutoff` + `transition` / 2 on. Frequencies are fractions of the
  /// sample rate. The taps are symmetric and odd in number, at most `maxTaps` (odd): a transition
  /// too narrow for that many is widened.
  static std::vector<double> KaiserLowPass(double cutoff, double transition, double attenuationDb,
                                           std::size_t maxTaps);

  /// The number of taps, odd, that a Kaiser window needs for the transition and attenuation.
  static std::size_t KaiserLength(double transition, double attenuationDb);
};

}  // namespace wavfreq
