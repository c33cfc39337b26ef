#include "stats/TonePlots.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wavfreq {

TonePlots::TonePlots(double seriesRate, double seconds)
    : firstSeconds(seconds),
      firstValues(static_cast<std::int64_t>(std::ceil(seconds * seriesRate))),
      first(kColumns, std::max<std::int64_t>(1, firstValues / static_cast<std::int64_t>(kColumns))),
      whole(kColumns),
      polarSums(static_cast<std::size_t>(kPolarTurns * kPolarPoints), 0.0),
      polarCounts(polarSums.size(), 0) {}

void TonePlots::Add(double deviation) {
  if (seen < firstValues) {
    first.Add(deviation);
  }
  ++seen;
  whole.Add(deviation);
}

void TonePlots::AddUnweighted(double deviation) {
  histogram.Add(deviation);
}

void TonePlots::AddTurn(std::int64_t turn, double angle, double deviation) {
  if (turn < 0 || turn >= kPolarTurns) {
    return;
  }
  polarTurns = std::max(polarTurns, static_cast<int>(turn) + 1);
  const int point = std::min(kPolarPoints - 1, static_cast<int>(angle * kPolarPoints));
  const std::size_t at = static_cast<std::size_t>(turn * kPolarPoints + point);
  polarSums[at] += deviation;
  ++polarCounts[at];
}

std::vector<double> TonePlots::Polar() const {
  std::vector<double> means(static_cast<std::size_t>(polarTurns * kPolarPoints),
                            std::numeric_limits<double>::quiet_NaN());
  for (std::size_t i = 0; i < means.size(); ++i) {
    if (polarCounts[i] > 0) {
      means[i] = polarSums[i] / static_cast<double>(polarCounts[i]);
    }
  }
  return means;
}

}  // namespace wavfreq
