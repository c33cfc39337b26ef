#include "stats/CarrierSearch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "dsp/Turns.h"

namespace wavfreq {
namespace {

// A window of 44.1 kHz samples: tones of (hertz, amplitude), each from `from` seconds on.
struct Tone {
  double hertz;
  double amplitude;
  double from;
};
std::vector<double> Window(int length, const std::vector<Tone>& tones) {
  std::vector<double> samples(static_cast<std::size_t>(length), 0.0);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    for (const Tone& tone : tones) {
      const double since = t - tone.from;
      samples[i] +=
          since >= 0.0 ? tone.amplitude * std::sin(2.0 * Turns::kPi * tone.hertz * since) : 0.0;
    }
  }
  return samples;
}

TEST(CarrierSearchTest, ANeighbourIsASecondSteadyToneWithinTheDemodulatorsReach) {
  CarrierSearch search(44100, 32768.0);
  const int length = search.WindowLength();
  const std::vector<double> pair = Window(length, {{1000.0, 10000.0, 0.0}, {1150.0, 5000.0, 0.0}});
  EXPECT_NEAR(search.Find(pair.data()), 1000.0, 1.0);
  EXPECT_NEAR(search.Neighbour(), 1150.0, 2.0);
  EXPECT_NEAR(search.NeighbourDb(), -6.0, 0.5);
  // A tone that starts inside the window spreads its onset over the spectrum: no neighbour.
  for (const double from : {0.02, 0.045, 0.06, 0.066, 0.071, 0.075, 0.08}) {
    std::vector<double> onset = Window(length, {{1006.0, 16384.0, from}});
    for (std::size_t i = 0; i < onset.size(); ++i) {
      onset[i] += static_cast<double>(static_cast<int>(i * 2654435761u % 73u) - 36);  // hiss
    }
    ASSERT_GT(search.Find(onset.data()), 0.0) << from;
    EXPECT_EQ(search.Neighbour(), 0.0) << from;
  }
}

}  // namespace
}  // namespace wavfreq
