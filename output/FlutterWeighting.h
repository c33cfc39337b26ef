#pragma once

namespace wavfreq {

/// The weighting of wow and flutter meters (IEC 60386, DIN 45507, AES6-2008): a band-pass with
/// 0 dB at 4 Hz that falls about 6 dB per octave on either side, and faster below 0.5 Hz, where
/// slow drift is not heard as wow. It filters a speed deviation sampled evenly at `sampleRate`.
class FlutterWeighting {
 public:
  explicit FlutterWeighting(double sampleRate);

  /// Takes the next value and returns the weighted one.
  double Process(double value) { return lowCut.Process(band.Process(value)); }

 private:
  struct Biquad {
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

    double Process(double x) {
      const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = y;
      return y;
    }
  };

  Biquad band;    // first-order high-pass and first-order low-pass around 4 Hz
  Biquad lowCut;  // second-order high-pass below 0.5 Hz
};

}  // namespace wavfreq
