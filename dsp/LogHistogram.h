#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace wavfreq {

/// Counts of positive values in bins of a 1024th of an octave, for percentiles of series of any
/// length in a fixed 224 KiB: a percentile is known to within 0.05 % of its value. Values from
/// 2^-40 to 2^16 are binned as they are; smaller ones (and 0) count in the lowest bin, larger
/// ones in the highest. A bin is found from the value's bits, the same on every platform.
class LogHistogram {
 public:
  LogHistogram();

  void Add(double value) {
    const std::uint32_t bin = Bin(value);
    ++counts[bin];
    ++octaveCounts[bin / kBinsPerOctave];
    ++total;
  }
  std::int64_t Count() const { return total; }
  /// The value that a share (0 to 1) of the values added lie at or below: the middle of the bin
  /// where the count reaches it. 0 with no values.
  double Percentile(double share) const;

  /// The values in `bins` bins of equal width from 0 to `top`, the last one open above: the
  /// counts, and the edges (one more), each bin's values counted by their bin's middle.
  struct Bins {
    std::vector<double> edges;
    std::vector<double> counts;
  };
  Bins Linear(int bins, double top) const;

  static constexpr int kBinsPerOctave = 1024;
  static constexpr int kLowestOctave = -40;
  static constexpr int kOctaves = 56;

 private:
  static constexpr std::uint32_t kBins = kOctaves * kBinsPerOctave;
  // The exponent field of 2^kLowestOctave.
  static constexpr std::int64_t kLowestExponent = 1023 + kLowestOctave;

  static std::uint32_t Bin(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    // The exponent picks the octave, the top 10 bits of the fraction the bin within it; negative
    // values and 0 fall below the lowest octave.
    const std::int64_t exponent = static_cast<std::int64_t>(bits >> 52) - kLowestExponent;
    if (value <= 0.0 || exponent < 0) {
      return 0;
    }
    if (exponent >= kOctaves || !(value == value)) {
      return kBins - 1;
    }
    const std::uint64_t within = (bits >> 42) & (kBinsPerOctave - 1);
    return static_cast<std::uint32_t>(exponent) * kBinsPerOctave +
           static_cast<std::uint32_t>(within);
  }

  std::vector<std::uint32_t> counts;
  std::vector<std::int64_t> octaveCounts;  // the counts of each octave's bins together
  std::int64_t total = 0;
};

}  // namespace wavfreq
