#include "dsp/LogHistogram.h"

#include <cmath>
#include <cstring>

namespace wavfreq {

namespace {

constexpr std::uint32_t kBins = LogHistogram::kOctaves * LogHistogram::kBinsPerOctave;
// The exponent field of 2^kLowestOctave.
constexpr std::int64_t kLowestExponent = 1023 + LogHistogram::kLowestOctave;

}  // namespace

LogHistogram::LogHistogram() : counts(kBins, 0) {}

std::uint32_t LogHistogram::Bin(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  // The exponent picks the octave, the top 10 bits of the fraction the bin within it; negative
  // values and 0 fall below the lowest octave.
  const std::int64_t exponent = static_cast<std::int64_t>(bits >> 52) - kLowestExponent;
  if (value <= 0.0 || exponent < 0) {
    return 0;
  }
  if (exponent >= LogHistogram::kOctaves || !(value == value)) {
    return kBins - 1;
  }
  const std::uint64_t within = (bits >> 42) & (LogHistogram::kBinsPerOctave - 1);
  return static_cast<std::uint32_t>(exponent) * LogHistogram::kBinsPerOctave +
         static_cast<std::uint32_t>(within);
}

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
