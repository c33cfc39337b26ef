#pragma once

#include <cstdint>
#include <vector>

namespace wavfreq {

/// Watches a tone's frequency for a step: a test tape's next tone, or a tape restarted at another
/// speed after a dropout. The series is cut into blocks of 50 ms; when a block ends, the mean over
/// the last two is set against the mean over the two before the block before them (across a gap,
/// the last two that came). A step is a change of 1.75 % or more that also stands clear of the
/// spread within each side, which wow and flutter do not do: sinusoidal wow of +-1 % moves the
/// means by up to 1.9 %, but where it does, it spreads each side by an eighth of that or more.
class StepWatch {
 public:
  static constexpr double kBlockSeconds = 0.05;
  static constexpr double kSmallestStep = 0.0175;

  explicit StepWatch(double valuesPerSecond);

  /// A value of the series at `index` (rising from call to call). True when it completes the
  /// evidence of a step; then Before(), After() and From() describe it.
  bool Add(std::int64_t index, double frequency);

  double Before() const { return before; }
  double After() const { return after; }
  /// The earliest index at which the step may lie: the one after the blocks before it.
  std::int64_t From() const { return from; }
  /// Values from the step's earliest index until it is found: how long values must wait before
  /// they are sure to belong to the tone.
  std::int64_t Latency() const { return 5 * blockLength; }

 private:
  struct Block {
    std::int64_t number = 0;
    std::int64_t count = 0;
    double sum = 0.0;
    double squares = 0.0;
  };
  struct Side {
    std::int64_t count = 0;
    double mean = 0.0;
    double spread = 0.0;
  };
  bool Close();
  static Side Join(const Block& a, const Block& b);

  std::int64_t blockLength;
  double offset = 0.0;  // the first value, taken out of the sums to keep their digits
  bool started = false;
  Block current;
  std::vector<Block> closed;  // the last few blocks that held values, oldest first
  double before = 0.0;
  double after = 0.0;
  std::int64_t from = 0;
};

}  // namespace wavfreq
