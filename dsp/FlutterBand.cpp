#include "dsp/FlutterBand.h"

#include <cmath>

namespace wavfreq {

namespace {

constexpr double kBandLowHz = 0.5;
constexpr double kBandHighHz = 200.0;
constexpr double kButterworthQ = 0.70710678118654752;

}  // namespace

FlutterBand::FlutterBand(double sampleRate, double topHertz)
    : rate(sampleRate), top(std::fmin(std::fmin(kBandHighHz, topHertz), 0.45 * sampleRate)) {
  const double low = Biquad::Warp(kBandLowHz, sampleRate);
  const double high = Biquad::Warp(top, sampleRate);
  const double highTop[3] = {1.0, 0.0, 0.0};
  const double highBottom[3] = {1.0, low / kButterworthQ, low * low};
  highPass = Biquad::FromAnalog(highTop, highBottom, sampleRate);
  const double lowTop[3] = {0.0, 0.0, high * high};
  const double lowBottom[3] = {1.0, high / kButterworthQ, high * high};
  lowPass = Biquad::FromAnalog(lowTop, lowBottom, sampleRate);
}

void FlutterBand::Reset() {
  highPass.Reset();
  lowPass.Reset();
}

}  // namespace wavfreq
