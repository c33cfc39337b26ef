#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dsp/MinMaxColumns.h"
#include "dsp/SpreadHistogram.h"

namespace wavfreq {

/// What a report draws of one tone, gathered as its series goes by, in bounded memory: its
/// deviation over the first seconds and over the whole tone (lowest and highest per column),
/// the histogram of its unweighted deviation, its first turns around a circle, and, once the
/// tone has ended, its weighted spectrum, its averaged turn and its figures. Deviations are in
/// hertz from the tone's first value until the tone's mean is known; the mean turns them into
/// percent.
class TonePlots {
 public:
  /// Columns of the plots over time, at least.
  static constexpr std::size_t kColumns = 400;
  /// Turns drawn around the circle, and points per turn.
  static constexpr int kPolarTurns = 4;
  static constexpr int kPolarPoints = 180;

  /// A series of `seriesRate` values a second; the first plot spans `firstSeconds`.
  TonePlots(double seriesRate, double firstSeconds);

  /// Each value of the series: its deviation from the first, in hertz.
  void Add(double deviation);
  /// Each settled value that counts: the unweighted deviation, in hertz.
  void AddUnweighted(double deviation);
  /// Values of the first turns: the turn (from 0), where in it (0 to 1), the deviation.
  void AddTurn(std::int64_t turn, double angle, double deviation);

  /// What the tone's end gives.
  struct Peak {
    double hertz;
    double percent;
    std::string name;  // "turn", "2x turn", or empty
  };
  struct Finished {
    double mean = 0.0;          // Hz: the deviations' zero is origin - mean
    double origin = 0.0;        // the first value, Hz
    double startSeconds = 0.0;  // where the first value lies in the input
    double seriesRate = 0.0;
    // The weighted spectrum as a component's amplitude, in percent, from bin 0 at this spacing.
    double spectrumStep = 0.0;
    std::vector<double> spectrum;
    std::vector<Peak> peaks;
    bool flutterMeasured = false;  // the tone was long enough for the flutter figures
    double weighted2Sigma = 0.0;   // percent
    double unweighted2Sigma = 0.0;
    // The repeatable part over a turn, in percent, and the turns averaged; empty without a turn.
    std::vector<double> turnCurve;
    int turns = 0;
    double rpm = 0.0;
    std::string title;                 // "Tone 1: 10.002 s to 30.001 s, 3170.474 Hz"
    std::vector<std::string> figures;  // the block's lines
  };
  Finished finished;

  const MinMaxColumns& First() const { return first; }
  const MinMaxColumns& Whole() const { return whole; }
  const SpreadHistogram& Histogram() const { return histogram; }
  /// The first turns' mean deviation at kPolarPoints angles each, in hertz; NaN where no value
  /// fell.
  std::vector<double> Polar() const;
  int PolarTurns() const { return polarTurns; }
  /// Seconds the first plot spans.
  double FirstSeconds() const { return firstSeconds; }

 private:
  double firstSeconds;
  std::int64_t firstValues;
  std::int64_t seen = 0;
  MinMaxColumns first;
  MinMaxColumns whole;
  SpreadHistogram histogram;
  std::vector<double> polarSums;
  std::vector<std::int64_t> polarCounts;
  int polarTurns = 0;
};

}  // namespace wavfreq
