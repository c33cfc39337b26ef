#include "output/FlutterWeighting.h"

#include <cmath>
#include <complex>

namespace wavfreq {

namespace {

// The analog prototype, fitted to the weighting table of IEC 60386 and to the published readings
// of its test tones (a sinusoidal deviation reads 100 % at 4 Hz, 50.05 % at 0.8 Hz, 50.75 % at
// 20 Hz and 3.0 % at 0.2 Hz of its amplitude):
//   H(s) = s / (s + wa) * wb / (s + wb) * s^2 / (s^2 + s wc / qc + wc^2)
constexpr double kHighPassHz = 1.45611915;
constexpr double kLowPassHz = 9.8933941;
constexpr double kLowCutHz = 0.44311144;
constexpr double kLowCutQ = 0.6452203;
constexpr double kReferenceHz = 4.0;

// An analog corner, pre-warped so that the bilinear transform keeps it where it is. Corners
// near the Nyquist frequency of a low sample rate are held below it.
double Warp(double hertz, double sampleRate) {
  const double kPi = 3.14159265358979323846;
  const double limited = std::fmin(hertz, 0.45 * sampleRate);
  return 2.0 * sampleRate * std::tan(kPi * limited / sampleRate);
}

// The bilinear transform of (p0 s^2 + p1 s + p2) / (q0 s^2 + q1 s + q2).
template <class Biquad>
void Bilinear(Biquad& section, const double p[3], const double q[3], double sampleRate) {
  const double k = 2.0 * sampleRate;
  const double kk = k * k;
  const double a0 = q[0] * kk + q[1] * k + q[2];
  section.b0 = (p[0] * kk + p[1] * k + p[2]) / a0;
  section.b1 = (2.0 * p[2] - 2.0 * p[0] * kk) / a0;
  section.b2 = (p[0] * kk - p[1] * k + p[2]) / a0;
  section.a1 = (2.0 * q[2] - 2.0 * q[0] * kk) / a0;
  section.a2 = (q[0] * kk - q[1] * k + q[2]) / a0;
}

template <class Biquad>
std::complex<double> Response(const Biquad& section, double hertz, double sampleRate) {
  const double kPi = 3.14159265358979323846;
  const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * hertz / sampleRate);
  const std::complex<double> z2 = z1 * z1;
  return (section.b0 + section.b1 * z1 + section.b2 * z2) /
         (1.0 + section.a1 * z1 + section.a2 * z2);
}

}  // namespace

FlutterWeighting::FlutterWeighting(double sampleRate) {
  const double wa = Warp(kHighPassHz, sampleRate);
  const double wb = Warp(kLowPassHz, sampleRate);
  const double wc = Warp(kLowCutHz, sampleRate);
  const double bandTop[3] = {0.0, wb, 0.0};
  const double bandBottom[3] = {1.0, wa + wb, wa * wb};
  Bilinear(band, bandTop, bandBottom, sampleRate);
  const double cutTop[3] = {1.0, 0.0, 0.0};
  const double cutBottom[3] = {1.0, wc / kLowCutQ, wc * wc};
  Bilinear(lowCut, cutTop, cutBottom, sampleRate);
  // 0 dB at the reference frequency.
  const double gain = std::abs(Response(band, kReferenceHz, sampleRate) *
                               Response(lowCut, kReferenceHz, sampleRate));
  band.b0 /= gain;
  band.b1 /= gain;
  band.b2 /= gain;
}

}  // namespace wavfreq
