#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/FlutterWeighting.h"

namespace wavfreq {

/// The figures that tape, turntable and oscillator people read off a result table: mean, range,
/// drift (the least-squares line through time and frequency), the deviation from that line, the
/// strongest modulation rate, and the weighted wow and flutter of IEC 60386 (two sigma).
///
/// It takes the result lines as they are written. Lines before `from` seconds (the first full
/// window) are left out. The lines are resampled evenly at `rate` per second, and the figures come
/// from that series. A long run keeps it thinned, so that work and memory stay bounded on inputs
/// of any length: every n-th value for the deviation (which keeps its distribution), and means of
/// n values for the spectrum (which keeps faster wobbles from folding down onto slow ones).
class ResultSummary {
 public:
  ResultSummary(double from, double rate);

  void Add(double time, double frequency);

  /// One "Name: value unit" line per figure, or "No frequency measured." when no line counted.
  std::string Report() const;

 private:
  void Resample(double time, double frequency);
  void Keep(double value);

  const double from;
  const double step;  // seconds between resampled values
  FlutterWeighting weighting;

  std::int64_t count = 0;
  double firstTime = 0.0;
  double firstFrequency = 0.0;
  double lastTime = 0.0;
  double lastFrequency = 0.0;
  double minimum = 0.0;
  double maximum = 0.0;
  // Sums for the mean and the least-squares line, relative to the first line for precision.
  double sumT = 0.0, sumF = 0.0, sumTT = 0.0, sumTF = 0.0;

  std::int64_t resampled = 0;  // values of the even series so far
  // Every `pickStride`-th value of the even series, from the first.
  std::vector<double> picked;
  std::int64_t pickStride = 1;
  // The even series in means of `meanStride` consecutive values.
  std::vector<double> means;
  std::int64_t meanStride = 1;
  double pendingSum = 0.0;
  std::int64_t pendingCount = 0;
  // Magnitudes of the weighted series, every `weightedStride`-th kept.
  std::vector<double> weighted;
  std::int64_t weightedStride = 1;
};

}  // namespace wavfreq
