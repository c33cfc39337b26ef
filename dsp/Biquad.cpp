#include "dsp/Biquad.h"

#include <cmath>

#include "dsp/Turns.h"

namespace wavfreq {

Biquad Biquad::FromAnalog(const double p[3], const double q[3], double sampleRate) {
  const double k = 2.0 * sampleRate;
  const double kk = k * k;
  const double a0 = q[0] * kk + q[1] * k + q[2];
  Biquad section;
  section.b0 = (p[0] * kk + p[1] * k + p[2]) / a0;
  section.b1 = (2.0 * p[2] - 2.0 * p[0] * kk) / a0;
  section.b2 = (p[0] * kk - p[1] * k + p[2]) / a0;
  section.a1 = (2.0 * q[2] - 2.0 * q[0] * kk) / a0;
  section.a2 = (q[0] * kk - q[1] * k + q[2]) / a0;
  return section;
}

namespace {

constexpr double kButterworthQ = 0.70710678118654752;

}  // namespace

Biquad Biquad::LowPass(double hertz, double sampleRate) {
  const double corner = Warp(hertz, sampleRate);
  const double top[3] = {0.0, 0.0, corner * corner};
  const double bottom[3] = {1.0, corner / kButterworthQ, corner * corner};
  return FromAnalog(top, bottom, sampleRate);
}

Biquad Biquad::HighPass(double hertz, double sampleRate) {
  const double corner = Warp(hertz, sampleRate);
  const double top[3] = {1.0, 0.0, 0.0};
  const double bottom[3] = {1.0, corner / kButterworthQ, corner * corner};
  return FromAnalog(top, bottom, sampleRate);
}

Biquad Biquad::FromCoefficients(double b0, double b1, double b2, double a1, double a2) {
  Biquad section;
  section.b0 = b0;
  section.b1 = b1;
  section.b2 = b2;
  section.a1 = a1;
  section.a2 = a2;
  return section;
}

double Biquad::Warp(double hertz, double sampleRate) {
  const double limited = std::fmin(hertz, 0.45 * sampleRate);
  // 2 fs tan(pi f / fs), the tangent as a ratio of sine and cosine of half a turn's share.
  const Turns half = Turns::Of(0.5 * limited / sampleRate);
  return 2.0 * sampleRate * half.sine / half.cosine;
}

void Biquad::Scale(double gain) {
  b0 = b0 * gain;
  b1 = b1 * gain;
  b2 = b2 * gain;
}

double Biquad::Gain(double hertz, double sampleRate) const {
  // H(z) at z = e^(j w): numerator and denominator with z^-1 = cos w - j sin w.
  const Turns one = Turns::Of(-hertz / sampleRate);
  const Turns two = Turns::Of(-2.0 * hertz / sampleRate);
  const double numRe = b0 + b1 * one.cosine + b2 * two.cosine;
  const double numIm = b1 * one.sine + b2 * two.sine;
  const double denRe = 1.0 + a1 * one.cosine + a2 * two.cosine;
  const double denIm = a1 * one.sine + a2 * two.sine;
  return std::sqrt((numRe * numRe + numIm * numIm) / (denRe * denRe + denIm * denIm));
}

}  // namespace wavfreq
