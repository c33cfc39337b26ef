#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavfreq {

/// A series of any length reduced for a plot: the lowest and highest value of each column of
/// `PerColumn()` values. Columns start one value each; when their number reaches twice
/// `columns`, neighbours merge and each holds twice as many values, so that there are always
/// between `columns` and twice as many once the series is long enough, in bounded memory.
class MinMaxColumns {
 public:
  explicit MinMaxColumns(std::size_t columns = 512, std::int64_t perColumn = 1)
      : most(2 * columns), per(perColumn) {}

  void Add(double value) {
    if (inColumn == 0) {
      if (low.size() == most) {
        Merge();
      }
      low.push_back(value);
      high.push_back(value);
    } else {
      low.back() = std::min(low.back(), value);
      high.back() = std::max(high.back(), value);
    }
    inColumn = inColumn + 1 == per ? 0 : inColumn + 1;
  }

  std::int64_t PerColumn() const { return per; }
  const std::vector<double>& Low() const { return low; }
  const std::vector<double>& High() const { return high; }

 private:
  void Merge() {
    for (std::size_t i = 0; 2 * i < low.size(); ++i) {
      const std::size_t next = std::min(2 * i + 1, low.size() - 1);
      low[i] = std::min(low[2 * i], low[next]);
      high[i] = std::max(high[2 * i], high[next]);
    }
    low.resize((low.size() + 1) / 2);
    high.resize(low.size());
    per *= 2;
  }

  std::size_t most;
  std::int64_t per;
  std::int64_t inColumn = 0;
  std::vector<double> low;
  std::vector<double> high;
};

}  // namespace wavfreq
