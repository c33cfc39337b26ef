#include "app/ReadAhead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace wavfreq {
namespace {

using Ahead = ReadAhead<class CountingSource, int>;

// Hands out the numbers 0, 1, 2, ... in reads of uneven sizes, and fails after `failAt` of them.
class CountingSource {
 public:
  CountingSource(int total, int fail) : length(total), failAt(fail) {}

  bool IsEndOfData() const { return next >= length; }
  bool HasError() const { return failed; }
  int ReadBlock(int channel, int* samples, int capacity) {
    EXPECT_EQ(channel, 1);
    ++reads;
    // A read that fails gives what came before the fault.
    int count = std::min({capacity, 1000 + reads % 3000, length - next});
    if (next + count > failAt) {
      count = std::max(0, failAt - next);
      failed = true;
    }
    for (int i = 0; i < count; ++i) {
      samples[i] = next + i;
    }
    next += count;
    return count;
  }

  int next = 0;
  int reads = 0;

 private:
  const int length;
  const int failAt;
  bool failed = false;
};

std::vector<int> ReadAll(CountingSource& source) {
  Ahead ahead(source, 1);
  std::vector<int> got;
  const int* samples = nullptr;
  for (int count = ahead.Next(samples); count > 0; count = ahead.Next(samples)) {
    // Whole slots until the last.
    const bool last =
        got.size() + static_cast<std::size_t>(count) == static_cast<std::size_t>(source.next);
    EXPECT_TRUE(count == Ahead::kSlotFrames || last);
    got.insert(got.end(), samples, samples + count);
  }
  EXPECT_EQ(ahead.Next(samples), 0);
  return got;
}

TEST(ReadAheadTest, GivesEverySampleInOrderUpToTheEnd) {
  for (int length : {0, 1, 16384, 16385, 100000, 16384 * 7}) {
    CountingSource source(length, length + 1);
    const std::vector<int> got = ReadAll(source);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
      ASSERT_EQ(got[static_cast<std::size_t>(i)], i);
    }
    EXPECT_FALSE(source.HasError());
  }
}

TEST(ReadAheadTest, AFaultEndsTheReadingAfterWhatCameBeforeIt) {
  CountingSource source(100000, 40000);
  const std::vector<int> got = ReadAll(source);
  EXPECT_EQ(got.size(), 40000u);
  EXPECT_EQ(got.back(), 39999);
  EXPECT_TRUE(source.HasError());
}

TEST(ReadAheadTest, StoppingEarlyLeavesTheReadingWithinAFewSlots) {
  CountingSource source(10000000, 10000001);
  {
    Ahead ahead(source, 1);
    const int* samples = nullptr;
    ASSERT_EQ(ahead.Next(samples), Ahead::kSlotFrames);
    EXPECT_EQ(samples[0], 0);
  }
  // The thread is gone: the source is ours again, read no further than the slots hold.
  EXPECT_LE(source.next, (Ahead::kSlots + 1) * Ahead::kSlotFrames);
}

TEST(ReadAheadTest, AStopStillHandsOutEverySlotTheStageTook) {
  // The stage sums each slot on the reading thread; after a stop, every slot it took comes out,
  // so that what it took and what the caller measures end at the same sample.
  CountingSource source(10000000, 10000001);
  std::int64_t staged = 0;
  std::int64_t handed = 0;
  {
    Ahead ahead(source, 1, [&staged](const int* samples, int count, std::vector<double>& values) {
      values.assign(1, static_cast<double>(samples[0]) + static_cast<double>(count));
      staged += count;
    });
    const int* samples = nullptr;
    int count = ahead.Next(samples);
    ASSERT_GT(count, 0);
    ahead.Stop();
    for (; count > 0; count = ahead.Next(samples)) {
      EXPECT_EQ(ahead.Values().at(0), static_cast<double>(samples[0]) + count);
      EXPECT_EQ(samples[0], handed);
      handed += count;
    }
  }
  EXPECT_EQ(handed, staged);
  EXPECT_EQ(handed, source.next);
  EXPECT_LT(handed, 10000000);
}

}  // namespace
}  // namespace wavfreq
