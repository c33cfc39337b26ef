#pragma once

namespace wavfreq {

/// A second-order IIR section, y = (b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2), designed from an
/// analog prototype by the bilinear transform, and run in the transposed direct form: two
/// states, and each output waits on one multiplication and one addition only. The design takes its
/// tangents from Turns, so the coefficients are the same on every platform.
class Biquad {
 public:
  /// Passes everything unchanged.
  Biquad() = default;

  /// The bilinear transform, at `sampleRate`, of the analog section
  /// (p[0] s^2 + p[1] s + p[2]) / (q[0] s^2 + q[1] s + q[2]), s in radians per second. Corner
  /// frequencies in it should come from Warp.
  static Biquad FromAnalog(const double p[3], const double q[3], double sampleRate);
  /// Second-order Butterworth low-pass and high-pass sections with their corner at `hertz`: at
  /// any frequency the two gains' squares add up to 1.
  static Biquad LowPass(double hertz, double sampleRate);
  static Biquad HighPass(double hertz, double sampleRate);
  /// The section with these coefficients of y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
  static Biquad FromCoefficients(double b0, double b1, double b2, double a1, double a2);
  /// The analog corner, in radians per second, that the bilinear transform at `sampleRate` maps
  /// to `hertz` exactly. Corners above 0.45 of the rate are held there.
  static double Warp(double hertz, double sampleRate);

  double Process(double x) {
    const double y = b0 * x + s1;
    s1 = b1 * x - a1 * y + s2;
    s2 = b2 * x - a2 * y;
    return y;
  }
  void Reset() { s1 = s2 = 0.0; }
  /// Multiplies the section's gain.
  void Scale(double gain);
  /// The gain's magnitude at `hertz`.
  double Gain(double hertz, double sampleRate) const;

 private:
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
  double s1 = 0.0, s2 = 0.0;
};

}  // namespace wavfreq
