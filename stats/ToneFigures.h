#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dsp/BandSplit.h"
#include "dsp/Fft.h"
#include "dsp/FlutterBand.h"
#include "dsp/FlutterWeighting.h"
#include "dsp/LogHistogram.h"
#include "dsp/ThreeTap.h"
#include "stats/TonePlots.h"
#include "stats/TurnAverage.h"

namespace wavfreq {

/// The figures of one tone, from its speed series: the frequency sampled evenly at
/// `seriesRate`. Weighted and unweighted wow and flutter come from the series through the
/// standards' weighting and their 0.5 to 200 Hz band; their two-sigma values from streaming
/// percentiles, their modulation from an averaged spectrum; the mean and the drift from sums.
/// Memory stays the same however long the tone: about 1 MiB.
class ToneFigures {
 public:
  /// `bandTop` is the highest modulation the series carries, which a low carrier limits.
  ToneFigures(double seriesRate, double bandTop);

  /// The next value of the series, in hertz, with the tone's amplitude noise at that value turned
  /// into hertz the same way (0 where there is none). A `bridged` value stands in for a stretch
  /// where the tone dropped out: it keeps the filters going but counts in no figure. A value
  /// `nearLevelStep` counts in every figure but the peak-to-peak, which one value can make.
  void Add(double frequency, double noise, bool bridged, bool nearLevelStep = false);

  /// Seconds of series after which the filters have settled and the flutter figures count.
  static constexpr double kSettleSeconds = 2.5;
  /// Seconds of settled series the flutter figures need.
  static constexpr double kShortestSeconds = 2.0;
  /// Seconds until drift's filters have settled, and the seconds of it the drift figure needs.
  static constexpr double kDriftSettleSeconds = 10.0;
  static constexpr double kDriftShortestSeconds = 20.0;

  struct Component {
    double hertz;
    double share;  // amplitude in percent of the mean
  };
  struct Figures {
    std::int64_t values = 0;       // of the series, not bridged
    double mean = 0.0;             // Hz
    double drift = 0.0;            // Hz per second
    double span = 0.0;             // seconds from the first to the last value
    bool flutterMeasured = false;  // enough settled series for the flutter figures
    double settledSeconds = 0.0;
    double weighted2Sigma = 0.0;    // percent
    double unweighted2Sigma = 0.0;  // percent
    double weightedRms = 0.0;       // percent
    // RMS figures of the bands, in percent: unweighted 0.5 to 200 Hz; weighted and unweighted
    // wow (below 6 Hz) and flutter (above 6 Hz), whose powers add up to the whole's; drift, 0.05
    // to 0.5 Hz, where the tone is long enough; and the peak-to-peak of the unweighted deviation.
    double unweightedRms = 0.0;
    double weightedWowRms = 0.0;
    double weightedFlutterRms = 0.0;
    double unweightedWowRms = 0.0;
    double unweightedFlutterRms = 0.0;
    bool driftMeasured = false;
    double driftRms = 0.0;
    double peakToPeak = 0.0;
    // With a turn: the whole turns averaged, the half peak-to-peak of the part of the deviation
    // that repeats with each, and the unweighted RMS of the rest, in percent.
    int turns = 0;
    double repeatedHalfPeakToPeak = 0.0;
    double notRepeatedRms = 0.0;
    // The spacing of the spectrum that gives the modulation, in hertz.
    double spectrumStep = 0.0;
    // The two-sigma figures as the series gives them, before the noise is taken out, and the
    // share of their power that the noise made.
    double weightedRaw = 0.0;
    double unweightedRaw = 0.0;
    double weightedNoiseShare = 0.0;
    double unweightedNoiseShare = 0.0;
    /// The tone against the noise in the demodulator's band, from the amplitude's steps: for a
    /// ratio s their variance is 1 / s, whatever the tone's level does slowly.
    double signalToNoiseDb = 0.0;
    std::vector<Component> modulation;
  };
  /// The figures so far. Once per tone: the noise's last second is taken into them.
  Figures Compute();

  /// Keeps the weighted deviation of the last 10 s, for RecentWeighted2Sigma.
  void KeepRecent();
  /// The weighted two-sigma figure over the last 10 s of values that counted, in percent of the
  /// mean so far, with the noise measured so far taken out; NaN until the weighting has settled
  /// and 2 s of them are there.
  /// The noise model's sine is fitted afresh every kRefitSeconds; in between its share of the
  /// power stands, and the noise's factor is worked out anew only when the noise's share of the
  /// power has moved by more than kRefitShare of itself, so that a reading a second costs little
  /// beside the measurement.
  double RecentWeighted2Sigma();
  static constexpr double kRefitShare = 0.01;
  static constexpr double kRefitSeconds = 30.0;
  static constexpr double kRecentSeconds = 10.0;

  /// Whether the flutter figures' filters have settled.
  bool Settled() const { return seen >= settleValues; }
  /// The mean of the values so far, in hertz.
  double RunningMean() const;
  /// Averages the deviation over turns of `cyclesPerTurn` of the tone's cycles from the next
  /// value on; `turnHertz` is about how often they come.
  void StartTurn(double cyclesPerTurn, double turnHertz);
  bool TurnStarted() const { return turn != nullptr; }

  /// Gathers what a report draws, the first plot over `firstSeconds`; Compute completes it.
  void KeepPlots(double firstSeconds);
  /// The report's plots, once; null unless kept.
  std::unique_ptr<TonePlots> TakePlots() { return std::move(plots); }
  TonePlots* Plots() { return plots.get(); }

 private:
  struct Peak {
    std::size_t bin;
    double lobe;
  };
  void AddToSpectrum(double weighted);
  /// The factor that takes noise of `noisePower` out of a two-sigma figure of these magnitudes.
  static double HistogramCorrection(const LogHistogram& magnitudes, double power,
                                    double noisePower);
  /// The same for magnitudes whose linear histogram is `bins`, where the noise is worth it.
  static double NoiseCorrection(const LogHistogram::Bins& bins, double power, double noisePower);
  void TransformSegment();
  /// The averaged turn's figures and what the report draws of it.
  void TurnFigures(Figures& figures, double percent);
  /// The plots' spectrum, peaks and figures.
  void CompletePlots(const Figures& figures, double percent) const;
  /// The two-sigma and RMS figures, with the noise the amplitude shows taken out.
  void FlutterFigures(Figures& figures, double percent) const;
  /// The local maxima of the averaged spectrum that stand out of its median, strongest first;
  /// `half` is the bins either side of a peak that its lobe spans.
  std::vector<Peak> SpectrumPeaks(std::size_t half) const;
  /// The strongest components among the peaks, none the skirt of another, in percent.
  std::vector<Component> ChooseComponents(const std::vector<Peak>& peaks, std::size_t half,
                                          double percent) const;

  double rate;
  FlutterWeighting weighting;
  FlutterBand band;
  // Undoes the series' own averaging, to within 0.3 % below a fifth of its rate: each value is
  // the mean frequency over one period of the series, which takes 6.5 % off 200 Hz at 1000
  // values per second.
  ThreeTap correction;
  // The tone's amplitude noise, taken as frequency, goes the same way: noise added to a tone moves
  // its amplitude as much as its phase, so this is how much of the figures the noise makes.
  ThreeTap noiseCorrection;
  static constexpr std::int64_t kNoiseEvery = 4;
  std::int64_t noiseSpan = 1;  // values in a second
  std::int64_t noiseAt = 0;    // where the noise's sampling is within its cycle
  std::int64_t noiseSettle = 0;
  std::int64_t noiseWholeValues = 0;  // the first values, whose noise is measured all through
  std::int64_t settleValues = 0;
  double interval = 0.0;  // seconds between values
  Biquad noiseCut;
  FlutterWeighting noiseWeighting;
  FlutterBand noiseBand;
  std::int64_t seen = 0;
  double origin = 0.0;  // the first value: the filters take the deviation from it, without a step

  std::int64_t count = 0;  // values that count (not bridged)
  double sumT = 0.0, sumF = 0.0, sumTT = 0.0, sumTF = 0.0;
  std::int64_t settled = 0;
  LogHistogram weightedMagnitudes;
  LogHistogram unweightedMagnitudes;
  // The figures' bands: weighted and unweighted, and each split into wow and flutter at 6 Hz,
  // with their filters, their noise's, and the sums of their squares.
  enum Band {
    kWeighted,
    kUnweighted,
    kWeightedWow,
    kWeightedFlutter,
    kUnweightedWow,
    kUnweightedFlutter,
    kBands
  };
  BandSplit weightedSplit;
  BandSplit unweightedSplit;
  BandSplit noiseWeightedSplit;
  BandSplit noiseUnweightedSplit;
  double squares[kBands] = {};
  double lowest = std::numeric_limits<double>::infinity();  // of the unweighted deviation
  double highest = -std::numeric_limits<double>::infinity();
  // Drift, 0.05 to 0.5 Hz, counted once its filters have settled.
  Biquad driftAbove;
  Biquad driftBelow;
  std::int64_t driftSettleValues = 0;
  std::int64_t driftShortestValues = 0;
  std::int64_t driftCount = 0;
  double driftSquares = 0.0;
  // The last kRecentSeconds of weighted magnitudes that counted, a ring, when kept.
  std::vector<double> recent;
  std::size_t recentAt = 0;
  std::size_t recentCount = 0;
  // The recent figure's noise model: the sine's share of the power at the last fit and the values
  // seen then (`fittedAt` < 0 before the first); the noise's share and the factor last worked
  // out from it.
  double fittedSine = 0.0;
  std::int64_t fittedAt = -1;
  double factorShare = 0.0;
  double factor = 1.0;
  // The noise's magnitudes in the seconds being measured: through the figures' filters, and
  // the amplitude's steps as they come, for the signal-to-noise ratio; the seconds of the tone
  // they stand for.
  struct Second {
    std::vector<double> bands[kBands];
    std::vector<double> steps;
    double weight = 0.0;
    int count = 0;
    /// The power of Gaussian noise of these magnitudes (which it reorders).
    static double Power(std::vector<double>& magnitudes);
  };
  Second second;
  // The seconds' noise powers, each weighted by the seconds it stands for.
  struct NoiseSums {
    double bands[kBands] = {};
    double seconds = 0.0;
    double steps = 0.0;
    double stepSeconds = 0.0;
  };
  NoiseSums noiseSums;
  /// Adds the seconds measured to the sums.
  void CloseSecond();

  // Welch's average of the weighted series' power spectrum, at half the series rate (pairs of
  // values averaged): Hann-weighted segments of `segmentLength`, one after the other.
  std::size_t segmentLength = 0;
  Fft fft;
  std::vector<double> window;
  std::vector<double> segment;  // the values since the last transform
  std::size_t segmentFill = 0;
  std::size_t sinceTransform = 0;
  std::vector<double> work;
  std::vector<double> splitTwiddles;
  std::vector<double> spectrum;
  // The turn's average, and the tone's cycles since it began.
  std::unique_ptr<TurnAverage> turn;
  double cycles = 0.0;
  std::unique_ptr<TonePlots> plots;
  std::vector<double> powerSum;
  std::int64_t segments = 0;
  std::size_t transformedLength = 0;  // values in the last segment transformed
  double pairSum = 0.0;
  int pairCount = 0;
};

}  // namespace wavfreq
