#pragma once

#include <cstdint>
#include <vector>

namespace wavfreq {

/// The part of a tone's speed that repeats with each turn of a platter or capstan: the
/// deviation averaged over whole turns (a synchronous average), kept as the turn's harmonics
/// below a top frequency. A turn is a set number of the tone's cycles: a record cut at the
/// nominal speed holds that many in each revolution, however fast it is played, so the average
/// stays in step with the platter through drift.
///
/// The tone's own drift is taken out of the average with its straight line over the averaged
/// values; a harmonic counts only where it stands out of how much it varies from turn to turn,
/// so that flutter which does not repeat leaves the average nearly flat. Memory is a few
/// hundred numbers on any length.
class TurnAverage {
 public:
  /// Points of the averaged turn given back, evenly over a turn.
  static constexpr int kCurvePoints = 256;
  /// Harmonics at most, whatever the top.
  static constexpr int kMostHarmonics = 32;
  /// Bins of a turn's angle that its values gather in.
  static constexpr int kBins = 256;
  /// Whole turns the average needs.
  static constexpr int kFewestTurns = 2;

  /// Turns of `cyclesPerTurn` cycles of the tone, which come `turnHertz` times a second; the
  /// harmonics of the turn below `topHertz` make the repeatable part (at least the first).
  TurnAverage(double cyclesPerTurn, double turnHertz, double topHertz);

  /// The next value of the series: the tone's cycles since the average began, its time in
  /// seconds, its deviation in hertz, and the deviation through the measuring band, whose rest
  /// once the repeatable part is out is what does not repeat. A value that does not `count` (a
  /// gap bridged) only moves the turn on.
  void Add(double cycles, double seconds, double deviation, double band, bool counts);

  struct Harmonic {
    int order;
    double re;  // amplitude of the cosine, Hz
    double im;  // amplitude of the sine, Hz
  };
  struct Result {
    int turns = 0;                    // whole turns averaged
    std::vector<Harmonic> harmonics;  // those that repeat
    /// The repeatable part over one turn, from the turn's start: kCurvePoints values, in hertz.
    std::vector<double> curve;
    double halfPeakToPeak = 0.0;  // of the curve, Hz
    /// The power of the band's deviation over the whole turns, less its part that repeats, Hz^2.
    double restPower = 0.0;
  };
  /// The average over the whole turns so far; no harmonics with fewer than two.
  Result Compute() const;

  /// Where a turn stands at `cycles`, in turns from its start (0 to 1), and which turn it is.
  double Angle(double cycles) const;
  std::int64_t Turn(double cycles) const;

 private:
  struct Sums {
    std::int64_t count = 0;
    double t = 0.0, x = 0.0, tt = 0.0, tx = 0.0, bb = 0.0;
    // Sums of x e^(-i k angle), t e^(-i k angle) and of the band's b e^(-i k angle),
    // k = 1..harmonics, re and im apart.
    std::vector<double> xRe, xIm, tRe, tIm, bRe, bIm;
  };
  void Clear(Sums& sums) const;
  /// Adds a finished turn to the whole.
  void Commit();

  double cyclesPerTurn;
  int harmonics;
  std::int64_t turnNumber = 0;  // the turn being gathered
  bool started = false;
  double firstSeconds = 0.0;  // times are taken from here, to keep their digits
  Sums turn;                  // the turn being gathered
  Sums whole;                 // the whole turns
  int turns = 0;
  // The turn being gathered: its sums of deviation, time and band in each bin
  // of its angle; the harmonics' factors at the bins' middles, and what a bin's width takes off.
  std::vector<double> bins;
  std::vector<double> twiddles;
  std::vector<double> widthLoss;
  // Each whole turn's harmonics, summed, and their squared magnitudes: how much each varies.
  std::vector<double> spreadRe, spreadIm, spreadSquares;
};

}  // namespace wavfreq
