#include "app/SummaryThread.h"

#include <gtest/gtest.h>

#include <new>
#include <numeric>
#include <vector>

namespace wavfreq {
namespace {

// Keeps what it is given, in order.
struct Keeper {
  std::vector<int> kept;
  void ProcessBlock(const int* samples, int count) {
    kept.insert(kept.end(), samples, samples + count);
  }
};

TEST(SummaryThreadTest, SummaryTakesEverySampleInOrder) {
  // Pieces of every size, more than the slots hold at once.
  std::vector<int> samples(1000003);
  std::iota(samples.begin(), samples.end(), -500000);
  Keeper keeper;
  SummaryThread<Keeper, int> thread(keeper);
  std::size_t at = 0;
  for (int piece = 1; at < samples.size(); piece = piece * 7 % 70001 + 1) {
    const int count = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(piece), samples.size() - at));
    thread.ProcessBlock(samples.data() + at, count);
    at += static_cast<std::size_t>(count);
  }
  thread.Finish();
  EXPECT_EQ(keeper.kept, samples);
}

// Runs out of memory once it has taken `limit` samples.
struct Greedy {
  std::size_t taken = 0;
  std::size_t limit;
  void ProcessBlock(const int*, int count) {
    taken += static_cast<std::size_t>(count);
    if (taken > limit) {
      throw std::bad_alloc();
    }
  }
};

TEST(SummaryThreadTest, MemoryRunningOutLosesTheSummaryNotTheRun) {
  // Far more samples than the slots hold: the caller must never wait on a thread that is gone.
  const std::vector<int> block(4096, 1);
  Greedy greedy{0, 100000};
  SummaryThread<Greedy, int> thread(greedy);
  for (int i = 0; i < 1000; ++i) {
    thread.ProcessBlock(block.data(), static_cast<int>(block.size()));
  }
  thread.Finish();
  EXPECT_TRUE(thread.Lost());
  EXPECT_LT(greedy.taken, 400000u);
  Keeper keeper;
  SummaryThread<Keeper, int> fine(keeper);
  fine.ProcessBlock(block.data(), 10);
  fine.Finish();
  EXPECT_FALSE(fine.Lost());
}

}  // namespace
}  // namespace wavfreq
