#pragma once

#include "dsp/Turns.h"

namespace wavfreq {

/// The 3-tap filter (1 + 2a) x[n-1] - a (x[n] + x[n-2]), which answers one value late. Its gain,
/// (1 + 2a) - 2a cos(2 pi f / rate), rises gently toward half the rate: it undoes a gentle fall
/// there, such as a series' own averaging or what a filter's design leaves.
class ThreeTap {
 public:
  ThreeTap() = default;
  /// The filter whose gain is `gain` at `turns` (the frequency over the rate).
  static ThreeTap Lifting(double gain, double turns) {
    ThreeTap filter;
    filter.share = (gain - 1.0) / (2.0 - 2.0 * Turns::Of(turns).cosine);
    return filter;
  }

  double Next(double value) {
    const double out = (1.0 + 2.0 * share) * last[1] - share * (last[0] + value);
    last[0] = last[1];
    last[1] = value;
    return out;
  }
  void Reset() { last[0] = last[1] = 0.0; }
  /// The gain at `turns`, the frequency over the rate.
  double Gain(double turns) const { return 1.0 + share * (2.0 - 2.0 * Turns::Of(turns).cosine); }

 private:
  double share = 0.0;
  double last[2] = {0.0, 0.0};
};

}  // namespace wavfreq
