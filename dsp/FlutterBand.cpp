#include "dsp/FlutterBand.h"

#include <cmath>

namespace wavfreq {

namespace {

constexpr double kBandLowHz = 0.5;
constexpr double kBandHighHz = 200.0;

}  // namespace

FlutterBand::FlutterBand(double sampleRate, double topHertz)
    : rate(sampleRate), top(std::fmin(std::fmin(kBandHighHz, topHertz), 0.45 * sampleRate)) {
  highPass = Biquad::HighPass(kBandLowHz, sampleRate);
  lowPass = Biquad::LowPass(top, sampleRate);
}

void FlutterBand::Reset() {
  highPass.Reset();
  lowPass.Reset();
}

}  // namespace wavfreq
