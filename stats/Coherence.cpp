#include "stats/Coherence.h"

#include <limits>

namespace wavfreq {

Coherence::Coherence(int window)
    : length(window < 2 ? 2 : window),
      amplitudes(static_cast<std::size_t>(length), 0.0),
      steps(static_cast<std::size_t>(length), 0.0),
      usable(static_cast<std::size_t>(length), false),
      runs(static_cast<std::size_t>(length), Run{std::numeric_limits<double>::infinity(), 0.0}) {}

void Coherence::Add(double amplitude, double step, bool isUsable) {
  const std::size_t at = static_cast<std::size_t>(added % length);
  amplitudes[at] = amplitude;
  steps[at] = step;
  usable[at] = isUsable;
  ++added;
  runs[at] = Latest();
}

Coherence::Run Coherence::Latest() const {
  constexpr double kUnsteady = std::numeric_limits<double>::infinity();
  if (added < length) {
    return {kUnsteady, 0.0};
  }
  // A handful of values: summed afresh each time, so that no rounding builds up.
  double sumAmplitude = 0.0;
  double sumStep = 0.0;
  for (int i = 0; i < length; ++i) {
    if (!usable[static_cast<std::size_t>(i)]) {
      return {kUnsteady, 0.0};
    }
    sumAmplitude += amplitudes[static_cast<std::size_t>(i)];
    sumStep += steps[static_cast<std::size_t>(i)];
  }
  const double n = static_cast<double>(length);
  const double meanAmplitude = sumAmplitude / n;
  const double meanStep = sumStep / n;
  double amplitudeSpread = 0.0;
  double stepSpread = 0.0;
  for (int i = 0; i < length; ++i) {
    const double a = amplitudes[static_cast<std::size_t>(i)] - meanAmplitude;
    const double s = steps[static_cast<std::size_t>(i)] - meanStep;
    amplitudeSpread += a * a;
    stepSpread += s * s;
  }
  if (!(meanAmplitude > 0.0)) {
    return {kUnsteady, 0.0};
  }
  const double relative = amplitudeSpread / n / (meanAmplitude * meanAmplitude);
  return {0.5 * (relative + 0.5 * stepSpread / n), meanAmplitude};
}

bool Coherence::There() const {
  if (added < length) {
    return false;
  }
  const Run& starting = runs[static_cast<std::size_t>((added - 1) % length)];
  const Run& ending = runs[static_cast<std::size_t>(added % length)];
  return starting.unsteadiness < kSteady || ending.unsteadiness < kSteady;
}

double Coherence::Amplitude() const {
  if (added < length) {
    return 0.0;
  }
  const Run& starting = runs[static_cast<std::size_t>((added - 1) % length)];
  const Run& ending = runs[static_cast<std::size_t>(added % length)];
  return starting.unsteadiness <= ending.unsteadiness ? starting.amplitude : ending.amplitude;
}

}  // namespace wavfreq
