#pragma once

#include <cstddef>
#include <vector>

#include "core/IWavMean.h"

namespace wavfreq::test {

/// A level provider whose count is scripted per sample: `counts[i]` is what GetSampleCount
/// answers after the (i+1)-th AddSample, so it can lag behind and catch up again.
class ScriptedMean final : public IWavMean {
 public:
  ScriptedMean(std::vector<double> countsAfterEachSample, double fixedLevel)
      : counts(std::move(countsAfterEachSample)), level(fixedLevel) {}

  double AddSample(double sample) override {
    added.push_back(sample);
    return level;
  }
  double GetSampleCount() override {
    ++countQueries;
    return added.empty() ? 0.0 : counts[added.size() - 1];
  }
  double GetMean() override { return level; }
  double GetTotalSampleCount() override { return static_cast<double>(added.size()); }

  std::vector<double> counts;
  double level;
  std::vector<double> added;
  std::size_t countQueries = 0;
};

}  // namespace wavfreq::test
