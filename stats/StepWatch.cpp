#include "stats/StepWatch.h"

#include <algorithm>
#include <cmath>

namespace wavfreq {

namespace {

// A step stands this many times clear of the sides' mean spread (standard deviation).
constexpr double kClearOfSpread = 8.0;
// Blocks kept: the two after, the one between and the two before, with one to spare.
constexpr std::size_t kBlocksKept = 6;
// The two before may lie this many blocks back, across a gap that was bridged.
constexpr std::int64_t kFurthestBack = 30;

}  // namespace

StepWatch::StepWatch(double valuesPerSecond)
    : blockLength(std::max<std::int64_t>(
          1, static_cast<std::int64_t>(kBlockSeconds * valuesPerSecond + 0.5))) {}

bool StepWatch::Add(std::int64_t index, double frequency) {
  if (!started) {
    started = true;
    offset = frequency;
    current.number = index / blockLength;
  }
  bool found = false;
  const std::int64_t number = index / blockLength;
  if (number != current.number) {
    found = Close();
    current = Block{number, 0, 0.0, 0.0};
  }
  const double value = frequency - offset;
  ++current.count;
  current.sum += value;
  current.squares += value * value;
  return found;
}

StepWatch::Side StepWatch::Join(const Block& a, const Block& b) {
  Side side;
  side.count = a.count + b.count;
  const double n = static_cast<double>(side.count);
  side.mean = (a.sum + b.sum) / n;
  const double variance = (a.squares + b.squares) / n - side.mean * side.mean;
  side.spread = std::sqrt(variance > 0.0 ? variance : 0.0);
  return side;
}

bool StepWatch::Close() {
  if (current.count == 0) {
    return false;
  }
  if (closed.size() == kBlocksKept) {
    closed.erase(closed.begin());
  }
  closed.push_back(current);
  const std::int64_t last = current.number;
  // The two blocks after: the one just closed and the one before it, both there.
  const std::size_t kept = closed.size();
  if (kept < 4 || closed[kept - 2].number != last - 1) {
    return false;
  }
  // The two before: the last two that ended before the block between.
  std::size_t earlier = kept - 2;
  while (earlier > 0 && closed[earlier - 1].number > last - 3) {
    --earlier;
  }
  if (earlier < 2 || closed[earlier - 2].number < last - kFurthestBack) {
    return false;
  }
  const Side afterSide = Join(closed[kept - 2], closed[kept - 1]);
  const Side beforeSide = Join(closed[earlier - 2], closed[earlier - 1]);
  if (afterSide.count < blockLength || beforeSide.count < blockLength) {
    return false;
  }
  const double change = std::fabs(afterSide.mean - beforeSide.mean);
  const double base = offset + beforeSide.mean;
  if (!(change >= kSmallestStep * base) ||
      !(change >= kClearOfSpread * 0.5 * (afterSide.spread + beforeSide.spread))) {
    return false;
  }
  before = base;
  after = offset + afterSide.mean;
  from = (closed[earlier - 1].number + 1) * blockLength;
  return true;
}

}  // namespace wavfreq
