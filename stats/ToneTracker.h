#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dsp/Demodulator.h"
#include "stats/ToneFigures.h"

namespace wavfreq {

/// Follows one tone from where it was found: demodulates it at its carrier, decides value by
/// value of the speed series whether the tone is there (within 15 dB below and 6 dB above its
/// running level, no more than 20 dB below its loudest, and within 5 % of its frequency), and
/// feeds its figures. A gap of up to half a second (a dropout, a dip, a click) is bridged by a
/// straight line that keeps the filters going and counts in no figure; a longer one ends the
/// tone there. The first and last 50 ms of the tone count in no figure either.
class ToneTracker {
 public:
  /// The tone was found at `carrier` hertz with `power` (a quarter of its amplitude squared), and
  /// is followed from `startSeconds` into the input. `clipLevel` is the magnitude from which a
  /// sample counts as clipped.
  ToneTracker(int sampleRate, double carrier, double power, double startSeconds, double clipLevel);

  /// The next input samples, from where the tone was found on.
  template <class Sample>
  void Process(const Sample* samples, int count) {
    values.clear();
    demodulator.Process(samples, count, values);
    for (std::size_t i = 0; i < values.size(); i += 2) {
      Take(values[i], values[i + 1]);
    }
  }

  /// The tone is not there now.
  bool Missing() const { return missing > 0 || index <= warmup; }
  /// The tone has been missing for longer than a gap that is bridged.
  bool Ended() const { return ended; }
  /// Whether `hertz` lies within what the demodulator passes, so that a tone found there is this
  /// one.
  bool Covers(double hertz) const;

  /// Whether any value of the tone counted: a tone found but never measured has no block.
  bool Measured() const { return firstValid >= 0; }

  /// The tone's block of the summary: its span, its figures and its warnings. The speed error is
  /// taken against `nominal` hertz, or with 0 against the standard test frequency nearest the
  /// tone's mean (3150, 3000, 1000, 400, 315, 60 or 50 Hz) within 5 %.
  std::string Report(int number, double nominal);

 private:
  void Take(double re, double im);
  void TakeValid(double frequency, double noise);
  void TakeMissing();
  double TimeOf(std::int64_t value) const;

  double rate;  // of the speed series
  double pass;  // hertz either side of the carrier
  double start;
  Demodulator demodulator;
  ToneFigures figures;
  std::vector<double> values;
  std::int64_t index = 0;
  std::int64_t warmup = 0;
  std::int64_t trim = 0;
  std::int64_t bridge = 0;
  double previous[2] = {0.0, 0.0};
  bool previousThere = false;
  double level = 0.0;
  double loudest = 0.0;
  double reference = 0.0;    // the tone's frequency, followed slowly
  std::int64_t loudRun = 0;  // values in a row louder than the level allows
  std::int64_t missing = 0;
  bool ended = false;
  std::int64_t lastValid = -1;
  std::int64_t firstValid = -1;
  double lastFrequency = 0.0;
  double lastAmplitudePhase = 0.0;
  std::int64_t lastAmplitudeValid = -1;
  // The last `trim` valid values, not yet fed: the end of the tone is cut from here.
  struct Value {
    double frequency;
    double noise;
    bool bridged;
  };
  void Keep(const Value& value);
  /// Sets the turn that a value of the tone at `hertz` makes from the last.
  void Expect(double hertz);

  std::vector<Value> recent;  // a ring of the last `trim` values
  std::size_t oldestAt = 0;
  std::int64_t kept = 0;
  double expected[2] = {1.0, 0.0};
  double expectedOffset = 0.0;  // hertz from the carrier
  double levelStep = 0.0;
  double referenceStep = 0.0;
  double radiansToHertz = 0.0;
  std::int64_t fed = 0;
  // For the warnings: samples at full scale, and the power's sums for the signal-to-noise ratio.
  double clipped = 0.0;
  std::int64_t counted = 0;
  double sumPower = 0.0;
  double sumPowerSquares = 0.0;
};

}  // namespace wavfreq
