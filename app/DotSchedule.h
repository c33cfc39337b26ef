#pragma once

#include <cstdint>
#include <limits>

namespace wavfreq {

/// Decides when a progress dot is due: after each frame whose 0-based position is a whole
/// multiple of the sample rate, that is one dot per started second of audio. The remainder is
/// computed only when a position leaves the gap between two multiples, not once per frame.
class DotSchedule {
 public:
  /// `framesPerDot` must be positive.
  explicit DotSchedule(std::int64_t framesPerDot) : step(framesPerDot) {}

  bool IsDue(std::int64_t position) {
    if (position > gapStart && position < gapEnd) {
      return false;
    }
    const std::int64_t remainder = position % step;
    const std::int64_t multiple = position - remainder;
    // The multiples below and above the position bound the next stretch without dots.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    if (position >= 0) {
      gapStart = multiple;
      gapEnd = multiple > kMax - step ? kMax : multiple + step;
    } else {
      gapEnd = multiple;
      gapStart = multiple < kMin + step ? kMin : multiple - step;
    }
    return remainder == 0;
  }

 private:
  const std::int64_t step;
  std::int64_t gapStart = 0;
  std::int64_t gapEnd = 0;
};

}  // namespace wavfreq
