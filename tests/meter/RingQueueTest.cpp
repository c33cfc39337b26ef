#include "meter/RingQueue.h"

#include <gtest/gtest.h>

#include <deque>

namespace wavfreq {
namespace {

TEST(RingQueueTest, KeepsQueueOrderWhenGrowingAfterAWrapAround) {
  // Pops move the head forward, so later pushes wrap to the front of the storage; growing must
  // then copy from the head on, not from storage index 0.
  RingQueue<int> queue;
  std::deque<int> reference;
  int next = 0;
  for (int round = 0; round < 6; ++round) {
    for (int i = 0; i < 11 + round * 7; ++i) {
      queue.push_back(next);
      reference.push_back(next++);
    }
    for (int i = 0; i < 9 + round * 3; ++i) {
      ASSERT_EQ(queue.front(), reference.front());
      queue.pop_front();
      reference.pop_front();
    }
    ASSERT_EQ(queue.size(), reference.size());
  }
  while (!reference.empty()) {
    ASSERT_EQ(queue.front(), reference.front());
    queue.pop_front();
    reference.pop_front();
  }
  EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace wavfreq
