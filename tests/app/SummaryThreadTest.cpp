#include "app/SummaryThread.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace wavfreq
