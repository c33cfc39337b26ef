#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/Demodulator.h"
#include "dsp/FlatTops.h"
#include "stats/Coherence.h"
#include "stats/StepWatch.h"
#include "stats/ToneBlock.h"
#include "stats/ToneFigures.h"

namespace wavfreq {

/// Follows one tone from where it was found: demodulates it at its carrier and decides value by
/// value of the speed series whether the tone is there (its amplitude and phase steady over a few
/// values, whatever its level, and its frequency in the demodulator's pass band), and feeds its
/// figures. A gap of
/// up to a second (a dropout, a dip into the noise, a click) is bridged by a straight line that
/// keeps the filters going and counts in no figure; a longer one ends the tone there, and so does
/// a step in its frequency. The first and last 50 ms of the tone count in no figure either.
class ToneTracker {
 public:
  /// What the carrier search found, and what the samples are.
  struct Start {
    int sampleRate = 0;
    double carrier = 0.0;
    double power = 0.0;           // a quarter of the tone's amplitude squared
    double neighbour = 0.0;       // a second tone close by, in hertz, or 0
    double neighbourDb = 0.0;     // its power against the tone's
    double sampleStep = 1.0;      // the samples' resolution, in their units
    double fullScale = 1.0;       // a full-scale sample's magnitude
    double seconds = 0.0;         // of the input, where the first sample given lies
    bool fromInputStart = false;  // the first sample given is the input's first
    double notBefore = -1e300;    // no value of the tone before this time of the input
    bool afterStep = false;       // the tone follows a step at `notBefore`: its block starts there
    double foundSeconds = 0.0;    // of the input, where the search found the tone
  };
  explicit ToneTracker(const Start& start);

  /// Input samples to give a tracker of this start before the first instant it should measure:
  /// its filter fills and its decisions settle.
  static int PrerollSamples(const Start& start);

  /// The next input samples.
  template <class Sample>
  void Process(const Sample* samples, int count) {
    values.clear();
    demodulator.Process(samples, count, values);
    // Each value comes after its own Decimation() samples: their flat tops go with it, however
    // the samples were handed in.
    flats.clear();
    const int decimation = demodulator.Decimation();
    flatTops.CountEach(samples, count, decimation - inValue, decimation, flats);
    inValue = static_cast<int>((inValue + static_cast<std::int64_t>(count)) % decimation);
    for (std::size_t i = 0; i < flats.size(); ++i) {
      Take(values[2 * i], values[2 * i + 1], flats[i]);
    }
  }

  /// After the input's last sample: silence as long as the filters need to give the tone's end.
  void Finish();
  /// Ends the tone where it is, if it has not ended: its last values, which may hold a click or
  /// a cut, count in no figure.
  void Close();

  /// The tone is not there now.
  bool Missing() const { return missing > 0 || decided == 0; }
  /// The tone has ended: missing for longer than a gap that is bridged, or stepped to another
  /// frequency.
  bool Ended() const { return ended; }
  /// The tone ended in a step: where the next one starts (seconds of the input) and its
  /// frequency.
  bool Stepped() const { return stepped; }
  double StepSeconds() const { return stepSeconds; }
  double StepFrequency() const { return stepFrequency; }
  /// Whether `hertz` lies within what the demodulator passes, so that a tone found there is this
  /// one.
  bool Covers(double hertz) const;
  /// Seconds of the input where the tone's block ends: its last value that counted, or the step
  /// it ended in; for a tone never measured, where it could first have been.
  double EndSeconds() const;

  /// Whether any value of the tone counted: a tone found but never measured has no block.
  bool Measured() const { return firstValid >= 0; }
  /// Seconds of the input where the tone's block starts: its first value that counted, or the
  /// step it began at.
  double StartSeconds() const;
  /// Seconds from the block's start to its end.
  double Seconds() const;

  /// The tone's block of the summary: its span, its figures and its warnings. The speed error is
  /// taken against `nominal` hertz, or with 0 against the standard test frequency nearest the
  /// tone's mean (3150, 3000, 1000, 400, 315, 60 or 50 Hz) within 5 %.
  /// With `json`, the block as a JSON object too.
  std::string Report(int number, double nominal, std::string* json = nullptr);
  /// Indents of a tone's JSON object within the document: in the run's "tones" list.
  static constexpr int kJsonDepth = 2;

  /// A second of the input (second k runs from k - 1 to k) as far as the tone measured it: how
  /// many of its values counted, their mean, and the weighted two-sigma figure over the last
  /// 10 s of the tone then (NaN until the weighting has settled), in percent.
  struct Second {
    std::int64_t second = 0;
    std::int64_t values = 0;
    double hertz = 0.0;
    double flutter = 0.0;
  };
  /// The seconds that the tone's figures have passed since the last call, once readings were
  /// asked for: a live display's.
  std::vector<Second> TakeSeconds();
  void KeepReadings() {
    readings = true;
    figures.KeepRecent();
  }

  /// Averages the tone over the turns of a platter or capstan at `rpm` turns a minute, a turn
  /// being what the tone's nominal frequency (`nominal`, or with 0 the nearest standard, or else
  /// its own mean) fills in one; the block gains the speed in rpm and the turn's figures, and
  /// names the components that fall on the turn's harmonics.
  void KeepTurn(double rpm, double nominal);
  /// Gathers what a report draws of the tone.
  void KeepPlots();
  /// The report's plots of the tone, after its Report; null unless kept.
  std::unique_ptr<TonePlots> TakePlots();

  /// "turn" or "Nx turn" for a component at `hertz` that lies on one of the first harmonics of a
  /// turn at `turnHertz`, within half the spectrum's spacing `step`; empty for one on none.
  static std::string TurnName(double hertz, double turnHertz, double step);

  /// The standard test frequency nearest `mean` within 5 % (3150, 3000, 1000, 400, 315, 60 or
  /// 50 Hz), or 0.
  static double NearestStandard(double mean);

  /// Whether noise that made `noiseShare` of a two-sigma figure's power makes it read high, the
  /// figure `raw` before the noise was taken out and `figure` after: not where the figure lies
  /// at the measuring floor.
  static bool ReadsHigh(double raw, double figure, double noiseShare);

 private:
  // A value of the series on its way: computed as it comes, decided `coherence.Delay()` later.
  struct Pending {
    double frequency = 0.0;
    double amplitude = 0.0;
    std::int64_t flatPairs = 0;
  };
  // A decided value, held back until it is sure to belong to the tone.
  struct Value {
    std::int64_t index;
    double frequency;
    double noise;
    bool bridged;
    // Near an abrupt change of the tone's level (a dropout's edges), where the demodulator's
    // view of the phase jumps for a few values: left out of the peak-to-peak.
    bool nearLevelStep = false;
  };

  void Take(double re, double im, std::int64_t pairs);
  void Decide(std::int64_t index, const Pending& value, double localAmplitude);
  void TakeValid(const Value& value);
  void TakeMissing(std::int64_t index);
  void Hold(const Value& value);
  /// Gives the figures a value, and its second a share of it.
  void Feed(const Value& value);
  void CloseSecond();
  /// The `k`th held value, oldest first.
  Value& HeldAt(std::size_t k);
  /// Feeds the held values up to index `last` less the end's trim, and drops the rest.
  void End(std::int64_t last);
  /// Ends the tone at the step the step watch found, with `value` the one that completed it.
  void EndAtStep(std::int64_t value);
  double TimeOf(std::int64_t value) const;
  /// Sets the turn that a value of the tone at `hertz` makes from the last.
  void Expect(double hertz);
  /// The turns from the value `from` to (re, im), less `turn`: a small angle.
  static double Turn(double re, double im, const double* from, const double* turn);
  /// The warnings of the block.
  void Warn(ToneBlock& block, const ToneFigures::Figures& f) const;

  double rate;      // of the speed series
  double pass;      // hertz either side of the carrier
  double bandPass;  // what the carrier allows, before a neighbour narrows it
  double start;
  double notBefore;
  bool afterStep;
  double inputRate;
  double sampleStep;
  double fullScale;
  double neighbour;
  double neighbourDb;
  Demodulator demodulator;
  FlatTops flatTops;
  ToneFigures figures;
  Coherence coherence;
  StepWatch steps;
  std::vector<double> values;
  std::vector<std::int64_t> flats;
  int inValue = 0;               // samples taken towards the next value
  std::vector<Pending> pending;  // a ring of the values not yet decided
  std::int64_t index = 0;        // values taken
  std::int64_t decided = 0;      // values decided
  std::int64_t warmup = 0;
  std::int64_t trim = 0;
  std::int64_t bridge = 0;
  double foundAt =
      0.0;  // The last `lag` values, a ring: the one before, and the one `lag` values before.
  std::int64_t lag = 1;
  std::vector<double> recentValues;
  double reference = 0.0;  // the tone's frequency, followed slowly
  double referenceStep = 0.0;
  double radiansToHertz = 0.0;
  double expected[2] = {1.0, 0.0};
  double expectedOverLag[2] = {1.0, 0.0};
  double expectedOffset = 0.0;  // hertz from the carrier
  std::int64_t missing = 0;
  bool ended = false;
  bool stepped = false;
  double stepSeconds = 0.0;
  double stepFrequency = 0.0;
  std::int64_t lastValid = -1;
  std::int64_t firstValid = -1;
  double lastAmplitude = 0.0;
  // Across a gap: the last value before its edge, and where the edge after it ends.
  bool bridging = false;
  Value anchor{-1, 0.0, 0.0, true};
  std::int64_t edgeUntil = 0;
  std::int64_t levelStepUntil = 0;

  std::vector<Value> resuming;   // valid values after a gap, until there are enough in a row
  std::size_t resumeValues = 1;  // half the coherence's run
  std::vector<Value> held;       // a ring of the last values decided
  // The second of the input whose values the figures are taking, and the seconds done.
  struct SecondSums {
    std::int64_t second = 0;
    double sum = 0.0;
    std::int64_t values = 0;
  };
  SecondSums currentSecond;
  std::vector<Second> seconds;
  bool readings = false;
  // The turn, when asked for: turns a minute and the nominal frequency that fills one.
  double turnRpm = 0.0;
  double turnNominal = 0.0;
  std::int64_t firstFed = -1;  // the first value the figures took
  /// The block's lines of the turn.
  void ReportTurn(ToneBlock& block, const ToneFigures::Figures& f) const;
  /// The turn's rate as the tone's speed has it, in hertz; 0 without a turn.
  double TurnHertz(const ToneFigures::Figures& f, double nominal) const;
  std::size_t oldestAt = 0;
  std::size_t heldCount = 0;

  // For the warnings: equal neighbouring samples at the tone's crests, the tone's amplitude.
  std::int64_t counted = 0;
  std::int64_t flatPairs = 0;
  double sumAmplitude = 0.0;
};

}  // namespace wavfreq
