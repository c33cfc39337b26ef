#pragma once

#include <cstdint>
#include <vector>

namespace wavfreq {

/// Decides whether a tone is there, value by value of its demodulated series: a tone's amplitude
/// and the steps of its phase stay steady from value to value, as noise's never do, whatever its
/// level. Over a run of `window` values, with a tone at a signal-to-noise ratio s in the
/// demodulator's band, the amplitude's variance over its mean squared comes to about 1 / (2 s)
/// and the phase steps' variance to about 1 / s; for noise alone they come to 0.27 and to 1 or
/// more. Their mean, halved for the steps (the noise's share), is the run's unsteadiness.
///
/// A value is there when the run that ends with it or the run that starts with it is steady: so
/// a tone's first value after silence and its last value before it are there, and a value of
/// noise, inside both of its runs, is not. The decision comes `window - 1` values late.
class Coherence {
 public:
  /// Unsteadiness below which a run holds a tone: a signal-to-noise ratio of about 7 dB.
  static constexpr double kSteady = 0.1;

  explicit Coherence(int window);

  /// The next value: its amplitude and its phase step (radians, less the turn expected of the
  /// tone); `usable` false for a value that holds no signal yet (a filter still filling).
  void Add(double amplitude, double step, bool usable);
  /// Values added so far.
  std::int64_t Count() const { return added; }
  /// Whether the value `Delay()` before the last added is there; false until that many were added.
  bool There() const;
  int Delay() const { return length - 1; }
  /// The mean amplitude of the steadier of that value's two runs.
  double Amplitude() const;

 private:
  struct Run {
    double unsteadiness;
    double amplitude;
  };
  Run Latest();

  int length;
  // The last `length` values, a ring: each one's amplitude and step side by side, so that the
  // two sums run in the two lanes of a pair; and whether it holds a signal, with a count of
  // those that do not.
  std::vector<double> values;
  std::vector<unsigned char> usable;
  int unusable;
  // The running sums of `values` in the ring's order, as pairs, valid below `stale`: a new value
  // changes only those from its place on.
  std::vector<double> prefix;
  int stale = 0;
  std::vector<Run> runs;  // the run that ends with each of the last `length` values
  std::int64_t added = 0;
};

}  // namespace wavfreq
