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
constexpr double kTopHz = 200.0;
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

// (b0 + b1 z^-1) / (1 + a1 z^-1).
struct FirstOrder {
  double b0, b1, a1;
};

// s / (s + w) by the bilinear transform.
FirstOrder BilinearHighPass(double w, double rate) {
  const double k = 2.0 * rate;
  return {k / (k + w), -k / (k + w), (w - k) / (k + w)};
}

// (s + wz) / wz * wp / (s + wp), or wp / (s + wp) without a zero: the bilinear transform's
// pole, and a zero that gives the prototype's gain at 0 Hz and at half the rate.
FirstOrder MatchedSection(double poleHz, double zeroHz, double rate) {
  const double held = std::fmin(poleHz, 0.45 * rate);
  const double wp = Biquad::Warp(held, rate);
  const double k = 2.0 * rate;
  const double pole = (k - wp) / (k + wp);
  const double half = Turns::kPi * rate;
  const double analogPole = kTwoPi * held;
  double atHalf = analogPole / std::sqrt(half * half + analogPole * analogPole);
  if (zeroHz > 0.0) {
    const double analogZero = kTwoPi * std::fmin(zeroHz, 0.45 * rate);
    atHalf *= std::sqrt(half * half + analogZero * analogZero) / analogZero;
  }
  return {0.5 * ((1.0 - pole) + atHalf * (1.0 + pole)),
          0.5 * ((1.0 - pole) - atHalf * (1.0 + pole)), -pole};
}

}  // namespace

FlutterWeighting::FlutterWeighting(double sampleRate) : rate(sampleRate) {
  // The corners below a few hertz by the bilinear transform, which keeps their shape there. The
  // first-order low-pass and the shelf above it keep their poles from it, but their zeros
  // match the prototype's gain at the rate's half: the bilinear transform would put a zero
  // there, 4 dB off at 200 Hz at 600 values a second.
  const FirstOrder highPass = BilinearHighPass(Biquad::Warp(kHighPassHz, sampleRate), sampleRate);
  const FirstOrder lowPass = MatchedSection(kLowPassHz, 0.0, sampleRate);
  band = Biquad::FromCoefficients(
      highPass.b0 * lowPass.b0, highPass.b0 * lowPass.b1 + highPass.b1 * lowPass.b0,
      highPass.b1 * lowPass.b1, highPass.a1 + lowPass.a1, highPass.a1 * lowPass.a1);
  const double wc = Biquad::Warp(kLowCutHz, sampleRate);
  const double cutTop[3] = {1.0, 0.0, 0.0};
  const double cutBottom[3] = {1.0, wc / kLowCutQ, wc * wc};
  lowCut = Biquad::FromAnalog(cutTop, cutBottom, sampleRate);
  const FirstOrder rise = MatchedSection(kShelfPoleHz, kShelfZeroHz, sampleRate);
  shelf = Biquad::FromCoefficients(rise.b0, rise.b1, 0.0, rise.a1, 0.0);
  // What is left, a fraction of a decibel that grows toward 200 Hz like 1 - cos, a 3-tap filter
  // takes out: exact at the top of the band, within 0.03 dB below it from 600 values a second.
  const double top = std::fmin(kTopHz, 0.45 * sampleRate);
  const double rest = AnalogGain(top) / (Gain(top) / Gain(kReferenceHz));
  correction = ThreeTap::Lifting(rest, top / sampleRate);
  // 0 dB at the reference frequency.
  band.Scale(1.0 / Gain(kReferenceHz));
}

void FlutterWeighting::Reset() {
  correction.Reset();
  band.Reset();
  lowCut.Reset();
  shelf.Reset();
}

double FlutterWeighting::Gain(double hertz) const {
  return correction.Gain(hertz / rate) * band.Gain(hertz, rate) * lowCut.Gain(hertz, rate) *
         shelf.Gain(hertz, rate);
}

double FlutterWeighting::AnalogGain(double hertz) {
  return PrototypeGain(hertz) / PrototypeGain(kReferenceHz);
}

}  // namespace wavfreq
