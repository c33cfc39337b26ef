#include "dsp/FlutterWeighting.h"

#include <cmath>

#include "dsp/Turns.h"

namespace wavfreq {

namespace {

// H(s) = s / (s + wa) * wb / (s + wb) * s^2 / (s^2 + s wc / qc + wc^2) * (s + wz) / wz *
// wp / (s + wp), fitted by least squares to the standards' table and test-tone readings.
constexpr double kHighPassHz = 1.50850425;
constexpr double kLowPassHz = 9.23259539;
constexpr double kLowCutHz = 0.44013349;
constexpr double kLowCutQ = 0.66075390;
constexpr double kShelfZeroHz = 42.24874405;
constexpr double kShelfPoleHz = 56.40882390;
constexpr double kReferenceHz = 4.0;
constexpr double kTwoPi = 2.0 * Turns::kPi;

// |H(j 2 pi f)| of the prototype, unnormalised.
double PrototypeGain(double hertz) {
  const double w = kTwoPi * hertz;
  const double wa = kTwoPi * kHighPassHz;
  const double wb = kTwoPi * kLowPassHz;
  const double wc = kTwoPi * kLowCutHz;
  const double wz = kTwoPi * kShelfZeroHz;
  const double wp = kTwoPi * kShelfPoleHz;
  const double highPass = w / std::sqrt(w * w + wa * wa);
  const double lowPass = wb / std::sqrt(w * w + wb * wb);
  const double cutRe = wc * wc - w * w;
  const double cutIm = w * wc / kLowCutQ;
  const double lowCut = w * w / std::sqrt(cutRe * cutRe + cutIm * cutIm);
  const double shelf = std::sqrt(w * w + wz * wz) / wz * wp / std::sqrt(w * w + wp * wp);
  return highPass * lowPass * lowCut * shelf;
}

}  // namespace

FlutterWeighting::FlutterWeighting(double sampleRate) : rate(sampleRate) {
  const double wa = Biquad::Warp(kHighPassHz, sampleRate);
  const double wb = Biquad::Warp(kLowPassHz, sampleRate);
  const double wc = Biquad::Warp(kLowCutHz, sampleRate);
  const double wz = Biquad::Warp(kShelfZeroHz, sampleRate);
  const double wp = Biquad::Warp(kShelfPoleHz, sampleRate);
  const double bandTop[3] = {0.0, wb, 0.0};
  const double bandBottom[3] = {1.0, wa + wb, wa * wb};
  band = Biquad::FromAnalog(bandTop, bandBottom, sampleRate);
  const double cutTop[3] = {1.0, 0.0, 0.0};
  const double cutBottom[3] = {1.0, wc / kLowCutQ, wc * wc};
  lowCut = Biquad::FromAnalog(cutTop, cutBottom, sampleRate);
  const double shelfTop[3] = {0.0, wp / wz, wp};
  const double shelfBottom[3] = {0.0, 1.0, wp};
  shelf = Biquad::FromAnalog(shelfTop, shelfBottom, sampleRate);
  // 0 dB at the reference frequency.
  band.Scale(1.0 / Gain(kReferenceHz));
}

void FlutterWeighting::Reset() {
  band.Reset();
  lowCut.Reset();
  shelf.Reset();
}

double FlutterWeighting::Gain(double hertz) const {
  return band.Gain(hertz, rate) * lowCut.Gain(hertz, rate) * shelf.Gain(hertz, rate);
}

double FlutterWeighting::AnalogGain(double hertz) {
  return PrototypeGain(hertz) / PrototypeGain(kReferenceHz);
}

}  // namespace wavfreq
