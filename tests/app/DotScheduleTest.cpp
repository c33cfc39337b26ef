#include "app/DotSchedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace wavfreq {
namespace {

// The schedule must give exactly the dots of "position % rate == 0", whatever the positions.
void ExpectSameAsRemainder(std::int64_t rate, const std::vector<std::int64_t>& positions) {
  DotSchedule dots(rate);
  for (std::int64_t position : positions) {
    EXPECT_EQ(dots.IsDue(position), position % rate == 0) << rate << " at " << position;
  }
}

TEST(DotScheduleTest, MatchesTheRemainderOnSequentialPositions) {
  for (std::int64_t rate : {1, 2, 3, 7, 8000, 44100}) {
    std::vector<std::int64_t> positions;
    for (std::int64_t p = 0; p < 100000; ++p) {
      positions.push_back(p);
    }
    ExpectSameAsRemainder(rate, positions);
  }
}

TEST(DotScheduleTest, MatchesTheRemainderOnJumpsAndNegativePositions) {
  const std::int64_t max = std::numeric_limits<std::int64_t>::max();
  const std::int64_t min = std::numeric_limits<std::int64_t>::min();
  ExpectSameAsRemainder(5, {-1, 0, 4, 5, 6, 3, -5, -6, -4, 10, 10, 9, 100, 1});
  ExpectSameAsRemainder(2147483647, {max, max - 1, 0, min, min + 1, 2147483647, 4294967294});
  ExpectSameAsRemainder(3, {max, max - 1, min, min + 1, -3, 0});
}

}  // namespace
}  // namespace wavfreq
