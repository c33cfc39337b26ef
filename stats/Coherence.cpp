#include "stats/Coherence.h"

#include <algorithm>
#include <limits>

#include "core/Lanes.h"

namespace wavfreq {

Coherence::Coherence(int window)
    : length(window < 2 ? 2 : window),
      values(2 * static_cast<std::size_t>(length), 0.0),
      usable(static_cast<std::size_t>(length), 0),
      unusable(length),
      prefix(2 * static_cast<std::size_t>(length), 0.0),
      runs(static_cast<std::size_t>(length), Run{std::numeric_limits<double>::infinity(), 0.0}) {}

void Coherence::Add(double amplitude, double step, bool isUsable) {
  const std::size_t at = static_cast<std::size_t>(added % length);
  values[2 * at] = amplitude;
  values[2 * at + 1] = step;
  unusable += static_cast<int>(usable[at]) - static_cast<int>(isUsable);
  usable[at] = static_cast<unsigned char>(isUsable);
  stale = std::min(stale, static_cast<int>(at));
  ++added;
  runs[at] = Latest();
}

Coherence::Run Coherence::Latest() {
  constexpr double kUnsteady = std::numeric_limits<double>::infinity();
  if (added < length || unusable > 0) {
    return {kUnsteady, 0.0};
  }
  // A handful of values: summed afresh each time in the ring's order, so that no rounding builds
  // up; the sums before the new value's place are those of last time. The amplitudes in the low
  // lanes, the steps in the high ones.
  const double* v = values.data();
  double* running = prefix.data();
  Pair sum = stale == 0 ? Pair(0.0) : Pair::Load(running + 2 * (stale - 1));
  for (int i = stale; i < length; ++i) {
    sum += Pair::Load(v + 2 * i);
    sum.Store(running + 2 * i);
  }
  stale = length;
  const double n = static_cast<double>(length);
  const double meanAmplitude = sum.Low() / n;
  const double meanStep = sum.High() / n;
  const Pair mean(meanAmplitude, meanStep);
  Pair spread(0.0);
  for (int i = 0; i < length; ++i) {
    const Pair d = Pair::Load(v + 2 * i) - mean;
    spread += d * d;
  }
  const double amplitudeSpread = spread.Low();
  const double stepSpread = spread.High();
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
