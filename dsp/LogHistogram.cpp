#include "dsp/LogHistogram.h"

#include <cmath>

namespace wavfreq {

LogHistogram::LogHistogram() : counts(kBins, 0), octaveCounts(kOctaves, 0) {}

double LogHistogram::Percentile(double share) const {
  if (total == 0) {
    return 0.0;
  }
  // The smallest rank that covers the share, counted from 1.
  const double wanted = std::ceil(share * static_cast<double>(total));
  const std::int64_t rank = wanted < 1.0 ? 1 : static_cast<std::int64_t>(wanted);
  // The octave that reaches the rank, then the bin within it.
  std::int64_t seen = 0;
  std::uint32_t octave = 0;
  while (octave + 1 < kOctaves && seen + octaveCounts[octave] < rank) {
    seen += octaveCounts[octave];
    ++octave;
  }
  for (std::uint32_t bin = octave * kBinsPerOctave; bin < kBins; ++bin) {
    seen += counts[bin];
    if (seen >= rank) {
      const int exponent = static_cast<int>(bin / kBinsPerOctave) + kLowestOctave;
      const double within = static_cast<double>(bin % kBinsPerOctave) + 0.5;
      return std::ldexp(1.0 + within / kBinsPerOctave, exponent);
    }
  }
  return std::ldexp(1.0, kLowestOctave + kOctaves);
}

LogHistogram::Bins LogHistogram::Linear(int bins, double top) const {
  Bins linear;
  linear.counts.assign(static_cast<std::size_t>(bins), 0.0);
  for (int k = 0; k < bins; ++k) {
    linear.edges.push_back(top * k / bins);
  }
  linear.edges.push_back(1e300);
  std::int64_t seen = 0;
  for (std::uint32_t bin = 0; bin < kBins && seen < total; ++bin) {
    if (counts[bin] == 0) {
      continue;
    }
    seen += counts[bin];
    const int octave = static_cast<int>(bin / kBinsPerOctave) + kLowestOctave;
    const double middle = std::ldexp(
        1.0 + (static_cast<double>(bin % kBinsPerOctave) + 0.5) / kBinsPerOctave, octave);
    const double at = std::floor(middle / top * bins);
    const std::size_t k =
        at < bins ? static_cast<std::size_t>(at) : static_cast<std::size_t>(bins - 1);
    linear.counts[k] += static_cast<double>(counts[bin]);
  }
  return linear;
}

}  // namespace wavfreq
