#include "dsp/LogHistogram.h"

#include <cmath>

namespace wavfreq {

LogHistogram::LogHistogram() : counts(kBins, 0) {}

double LogHistogram::Percentile(double share) const {
  if (total == 0) {
    return 0.0;
  }
  // The smallest rank that covers the share, counted from 1.
  const double wanted = std::ceil(share * static_cast<double>(total));
  const std::int64_t rank = wanted < 1.0 ? 1 : static_cast<std::int64_t>(wanted);
  std::int64_t seen = 0;
  for (std::uint32_t bin = 0; bin < kBins; ++bin) {
    seen += counts[bin];
    if (seen >= rank) {
      const int octave = static_cast<int>(bin / kBinsPerOctave) + kLowestOctave;
      const double within = static_cast<double>(bin % kBinsPerOctave) + 0.5;
      return std::ldexp(1.0 + within / kBinsPerOctave, octave);
    }
  }
  return std::ldexp(1.0, kLowestOctave + kOctaves);
}

}  // namespace wavfreq
