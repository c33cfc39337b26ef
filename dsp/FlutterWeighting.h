#pragma once

#include "dsp/Biquad.h"
#include "dsp/ThreeTap.h"

namespace wavfreq {

/// The weighting of wow and flutter meters (IEC 60386, DIN 45507, AES6-2008, JIS C 5551): 0 dB
/// at 4 Hz, falling about 6 dB per octave on either side, faster below 0.5 Hz, where slow drift
/// is not heard as wow, and flattening toward 200 Hz. It filters a speed deviation sampled evenly
/// at `sampleRate`. Corners above 0.45 of the rate are held there.
///
/// The analog prototype is fitted to the standards' whole curve, 0.1 to 200 Hz (within 0.36 dB
/// at every point of its table, 0.14 dB RMS), with the published readings of the test tones
/// held exactly: a sinusoidal deviation reads 100 % at 4 Hz, 50.05 % at 0.8 Hz, 50.75 % at
/// 20 Hz and 3.0 % at 0.2 Hz of its amplitude (times the two-sigma factor 0.99692).
class FlutterWeighting {
 public:
  explicit FlutterWeighting(double sampleRate);

  double Process(double value) {
    return shelf.Process(lowCut.Process(band.Process(correction.Next(value))));
  }
  void Reset();
  /// The digital response's magnitude at `hertz`, 1 at 4 Hz.
  double Gain(double hertz) const;

  /// The prototype's analog gain at `hertz`, 1 at 4 Hz: the curve the standards draw.
  static double AnalogGain(double hertz);

 private:
  double rate;
  Biquad band;          // first-order high-pass and first-order low-pass around 4 Hz
  Biquad lowCut;        // second-order high-pass below 0.5 Hz
  Biquad shelf;         // a zero and a pole near 50 Hz: the curve's flattening toward 200 Hz
  ThreeTap correction;  // what is left toward 200 Hz, one value late
};

}  // namespace wavfreq
