#include "dsp/FlatTops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

namespace wavfreq {
namespace {

TEST(FlatTopsTest, CountsEqualNeighboursAtOrBeyondTheLevelAcrossPieces) {
  // Tops held at +-900 for three samples (two pairs each); equal pairs below the level (the 0s
  // and the 100s) are slopes or silence. The last 900 of the first piece pairs with the first of
  // the second.
  const std::vector<int> first = {0, 0, 100, 100, 600, 900, 900};
  const std::vector<int> second = {900, 600, -600, -900, -900, -900, -600, 899, 899};
  FlatTops tops;
  tops.SetLevel(899.5);
  tops.Count(first.data(), static_cast<int>(first.size()));
  tops.Count(second.data(), static_cast<int>(second.size()));
  EXPECT_EQ(tops.Take(), 4);
  EXPECT_EQ(tops.Take(), 0);
  EXPECT_EQ(tops.Top(), 900.0);
  // The same as floats, whose level is not rounded up.
  const std::vector<float> real = {900.0F, 900.0F, 899.0F, 899.0F, -899.6F, -899.6F};
  FlatTops floats;
  floats.SetLevel(899.5);
  floats.Count(real.data(), static_cast<int>(real.size()));
  EXPECT_EQ(floats.Take(), 2);
}

TEST(FlatTopsTest, ALevelNoSampleReachesCountsNothing) {
  const std::vector<int> extremes = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  FlatTops tops;
  tops.Count(extremes.data(), 4);
  EXPECT_EQ(tops.Take(), 0);
  tops.SetLevel(3e9);
  tops.Count(extremes.data(), 4);
  EXPECT_EQ(tops.Take(), 0);
  tops.SetLevel(2147483647.0);
  tops.Count(extremes.data(), 4);
  EXPECT_EQ(tops.Take(), 2);
}

// Counts the pairs of each piece of `every` samples after the first `first` one by one, against
// CountEach on the same samples cut into random calls.
template <class Sample>
void ExpectPiecesCountedOneByOne(const std::vector<Sample>& samples, double level, int first,
                                 int every) {
  std::vector<std::int64_t> expected;
  std::int64_t pairs = 0;
  double top = 0.0;
  int end = first;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    for (; static_cast<std::size_t>(end) <= i; end += every) {
      expected.push_back(pairs);
      pairs = 0;
    }
    const double x = static_cast<double>(samples[i]);
    const double bound = std::is_integral_v<Sample> ? std::ceil(level) : level;
    if (i > 0 && samples[i] == samples[i - 1] && (x >= bound || x <= -bound)) {
      ++pairs;
      top = std::fmax(top, std::fabs(x));
    }
  }
  for (; static_cast<std::size_t>(end) <= samples.size(); end += every) {
    expected.push_back(pairs);
    pairs = 0;
  }
  FlatTops tops;
  tops.SetLevel(level);
  std::vector<std::int64_t> taken;
  std::mt19937 random(3);
  int next = first;  // the next piece's end, counted from the call's first sample
  for (std::size_t done = 0; done < samples.size();) {
    const int count =
        static_cast<int>(std::min<std::size_t>(random() % 50 + 1, samples.size() - done));
    tops.CountEach(samples.data() + done, count, next, every, taken);
    next = (next - count) % every;
    next = next <= 0 ? next + every : next;
    done += static_cast<std::size_t>(count);
  }
  EXPECT_EQ(taken, expected);
  EXPECT_EQ(tops.Take(), pairs);
  EXPECT_EQ(tops.Top(), top);
}

TEST(FlatTopsTest, PiecesGetThePairsOfTheirSamplesHoweverTheCallsCutThem) {
  // A clipped, noisy sine: runs of equal samples at +-1000 and below, and stretches of silence.
  std::mt19937 random(9);
  std::vector<int> integers;
  for (int i = 0; i < 5000; ++i) {
    const double tone = 1400.0 * std::sin(i * 0.05) + static_cast<double>(random() % 3);
    integers.push_back(
        i % 900 < 60 ? 0 : static_cast<int>(std::fmax(-1000.0, std::fmin(1000.0, tone))));
  }
  std::vector<double> reals(integers.begin(), integers.end());
  reals[2000] = reals[2001] = std::numeric_limits<double>::quiet_NaN();
  for (const int every : {1, 7, 30}) {
    ExpectPiecesCountedOneByOne(integers, 999.5, 3 % every + 1, every);
    ExpectPiecesCountedOneByOne(reals, 999.5, 3 % every + 1, every);
    ExpectPiecesCountedOneByOne(reals, 0.0, 1, every);
  }
}

}  // namespace
}  // namespace wavfreq
