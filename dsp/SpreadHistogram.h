#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace wavfreq {

/// A histogram of signed values around 0 whose range is not known in advance: bins of equal
/// width, 2 x kSide of them from -kSide to kSide widths, and the width doubled (neighbouring
/// bins joined) whenever a value falls outside. The values' spread then covers between a
/// quarter and all of the bins, in fixed memory.
class SpreadHistogram {
 public:
  static constexpr int kSide = 64;

  explicit SpreadHistogram(double firstWidth = 1e-6) : width(firstWidth), counts(2 * kSide, 0) {}

  void Add(double value) {
    if (!std::isfinite(value)) {
      return;
    }
    double bin = std::floor(value / width);
    while (bin < -kSide || bin >= kSide) {
      Widen();
      bin = std::floor(value / width);
    }
    ++counts[static_cast<std::size_t>(static_cast<int>(bin) + kSide)];
  }

  /// Bin i, from 0, counts the values from (i - kSide) x Width() up to the next bin.
  double Width() const { return width; }
  const std::vector<std::int64_t>& Counts() const { return counts; }

 private:
  void Widen() {
    // Bin j of the new width holds bins 2j and 2j + 1 of the old, j from -kSide / 2.
    std::vector<std::int64_t> joined(counts.size(), 0);
    for (int j = -kSide / 2; j < kSide / 2; ++j) {
      joined[static_cast<std::size_t>(j + kSide)] =
          counts[static_cast<std::size_t>(2 * j + kSide)] +
          counts[static_cast<std::size_t>(2 * j + 1 + kSide)];
    }
    counts.swap(joined);
    width *= 2.0;
  }

  double width;
  std::vector<std::int64_t> counts;
};

}  // namespace wavfreq
