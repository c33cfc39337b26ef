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

}  // namespace wavfreq
