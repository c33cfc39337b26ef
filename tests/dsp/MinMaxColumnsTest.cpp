#include "dsp/MinMaxColumns.h"

#include <gtest/gtest.h>

namespace wavfreq {
namespace {

TEST(MinMaxColumnsTest, ALongSeriesKeepsEachColumnsLowestAndHighest) {
  MinMaxColumns columns(100);
  for (int i = 0; i < 1000; ++i) {
    columns.Add(i % 2 == 0 ? i : -i);
  }
  // 1000 values: columns of 8 after merging from 1, 2 and 4; 125 of them.
  ASSERT_EQ(columns.PerColumn(), 8);
  ASSERT_EQ(columns.Low().size(), 125u);
  for (std::size_t j = 0; j < 125; ++j) {
    const double first = 8.0 * static_cast<double>(j);
    EXPECT_EQ(columns.Low()[j], -(first + 7.0)) << j;
    EXPECT_EQ(columns.High()[j], first + 6.0) << j;
  }
}

TEST(MinMaxColumnsTest, AFixedColumnWidthHoldsThatManyValues) {
  MinMaxColumns columns(4, 3);
  for (int i = 0; i < 7; ++i) {
    columns.Add(i);
  }
  EXPECT_EQ(columns.Low(), (std::vector<double>{0, 3, 6}));
  EXPECT_EQ(columns.High(), (std::vector<double>{2, 5, 6}));
}

}  // namespace
}  // namespace wavfreq
