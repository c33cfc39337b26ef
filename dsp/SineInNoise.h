#pragma once

#include <vector>

namespace wavfreq {

/// The model the summary takes noise out of a two-sigma figure with: a deviation that is a sine
/// of amplitude `a` plus Gaussian noise of standard deviation `sigma` (which covers a pure sine,
/// pure noise, and what flutter of several components looks like in between). Only the four
/// basic operations, square roots and the platform-independent sine go into it, so it gives the
/// same bits everywhere.
class SineInNoise {
 public:
  /// The level that |a sin(t) + noise| stays below `share` of the time, found by `halvings`
  /// halvings of an interval (60: to the last bits).
  static double Percentile(double a, double sigma, double share, int halvings = 60);

  /// How much of a series' power `power` lies in the sine, fitted to the series' magnitudes by
  /// their likelihood: `counts` of magnitudes between `edges` (one more edge than counts, the
  /// first 0). At most `most`.
  static double SineShare(const std::vector<double>& edges, const std::vector<double>& counts,
                          double power, double most);

  /// The factor that takes added Gaussian noise of power `noisePower` out of the two-sigma figure
  /// (95 %) of a series of power `power`, `sine` of it in a sine: the model's percentile without
  /// the noise over its percentile with it. 1 without noise; the square root of the power's
  /// share left, for noise on noise.
  static double NoiseCorrection(double power, double sine, double noisePower, int halvings = 60);

  /// P(Z <= z) for a standard normal Z.
  static double NormalCdf(double z);
  /// NormalCdf of two values, to the same bits: with SSE2 both at once.
  static void NormalCdfs(const double z[2], double p[2]);
  /// e^x for |x| below 700.
  static double Exp(double x);
};

}  // namespace wavfreq
