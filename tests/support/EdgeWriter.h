#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "core/IDataWriter.h"

namespace wavfreq::test {

/// Expects the values of `all` one after the other, and says it drops everything up to the
/// double just below the next one: a meter that leaves out a value above that, by however
/// little, fails to offer the expected value.
class EdgeWriter final : public IDataWriter {
 public:
  explicit EdgeWriter(const std::vector<std::pair<double, double>>& all) : expected(all) {}
  void WriteValue(double time, double frequency) override { got.emplace_back(time, frequency); }
  double DropsUpTo() const override {
    return got.size() < expected.size() ? std::nextafter(expected[got.size()].first,
                                                         -std::numeric_limits<double>::infinity())
                                        : std::numeric_limits<double>::infinity();
  }
  void WriteText(const char*) override {}
  void Flush() override {}

  const std::vector<std::pair<double, double>>& expected;
  std::vector<std::pair<double, double>> got;
};

}  // namespace wavfreq::test
