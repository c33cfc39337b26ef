#pragma once

#include <cmath>
#include <cstddef>

#include "dsp/Turns.h"

namespace wavfreq {

/// What the spectra of the carrier search and of the flutter's modulation share: the Hann
/// window, and a peak placed between its bins.
class Spectrum {
 public:
  /// Point `i` of a Hann window of `length` points, periodic: 0 at 0, 1 in the middle.
  static double Hann(std::size_t i, std::size_t length) {
    return 0.5 - 0.5 * Turns::Of(static_cast<double>(i) / static_cast<double>(length)).cosine;
  }
  /// Where the peak at bin `k` of the powers lies between bins: the vertex of the parabola
  /// through the log powers of it and its neighbours, as an offset from `k` in bins.
  static double PeakOffset(const double* power, std::size_t k) {
    const double left = std::log(power[k - 1] + 1e-300);
    const double centre = std::log(power[k]);
    const double right = std::log(power[k + 1] + 1e-300);
    const double curvature = left - 2.0 * centre + right;
    return curvature < 0.0 ? 0.5 * (left - right) / curvature : 0.0;
  }
};

}  // namespace wavfreq
