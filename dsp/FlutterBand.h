#pragma once

#include "dsp/Biquad.h"

namespace wavfreq {

/// The unweighted measuring band of wow and flutter, 0.5 to 200 Hz: second-order Butterworth
/// high-pass and low-pass sections. Corners above 0.45 of the rate are held there.
class FlutterBand {
 public:
  /// `topHertz` lower than 200 Hz where the series carries less.
  FlutterBand(double sampleRate, double topHertz = 200.0);

  double Process(double value) { return lowPass.Process(highPass.Process(value)); }
  void Reset();
  /// The upper corner, lower where the speed is sampled too slowly for 200 Hz.
  double TopHertz() const { return top; }
  /// The response's magnitude at `hertz`.
  double Gain(double hertz) const { return highPass.Gain(hertz, rate) * lowPass.Gain(hertz, rate); }

 private:
  double rate;
  double top;
  Biquad highPass;
  Biquad lowPass;
};

}  // namespace wavfreq
