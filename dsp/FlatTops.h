#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace wavfreq {

/// Counts the marks of clipping: neighbouring samples that are equal and lie at or beyond a level
/// on either side of zero. A clipped waveform holds its extreme for several samples in a row,
/// wherever the clipping stage set it; a sine's crest does so only where it changes by less than
/// a step of the samples (low tones at low levels), which the caller allows for.
class FlatTops {
 public:
  /// Samples of at least this magnitude count; below it an equal pair is a slope or silence.
  void SetLevel(double magnitude) { level = magnitude; }

  template <class Sample>
  void Count(const Sample* samples, int count) {
    if (count <= 0) {
      return;
    }
    Sample high;
    Sample low;
    if (!Bounds(high, low)) {
      last = static_cast<double>(samples[count - 1]);
      return;
    }
    // The first sample pairs with the last of the previous call.
    std::int64_t found = 0;
    if (static_cast<double>(samples[0]) == last && (samples[0] >= high || samples[0] <= low)) {
      ++found;
      Raise(samples[0]);
    }
    int pairs = 0;
    for (int i = 1; i < count; ++i) {
      const Sample x = samples[i];
      pairs += static_cast<int>(x == samples[i - 1]) &
               (static_cast<int>(x >= high) | static_cast<int>(x <= low));
    }
    if (pairs > 0) {
      // Rare: the level of the tops, for the warning.
      for (int i = 1; i < count; ++i) {
        if (samples[i] == samples[i - 1] && (samples[i] >= high || samples[i] <= low)) {
          Raise(samples[i]);
        }
      }
    }
    total += found + pairs;
    last = static_cast<double>(samples[count - 1]);
  }

  /// Equal pairs counted since the last call.
  std::int64_t Take() {
    const std::int64_t pairs = total;
    total = 0;
    return pairs;
  }
  /// The largest magnitude of a flat top so far, 0 without one.
  double Top() const { return top; }

 private:
  // The level in the samples' own type; false when no sample can reach it.
  template <class Sample>
  bool Bounds(Sample& high, Sample& low) const {
    if constexpr (std::is_integral_v<Sample>) {
      const double ceiling = std::ceil(level);
      if (!(ceiling <= static_cast<double>(std::numeric_limits<Sample>::max()))) {
        return false;
      }
      high = static_cast<Sample>(ceiling < 1.0 ? 1.0 : ceiling);
      low = static_cast<Sample>(-high);
    } else {
      high = static_cast<Sample>(level > 0.0 ? level : 0.0);
      low = -high;
    }
    return true;
  }
  template <class Sample>
  void Raise(Sample sample) {
    top = std::fmax(top, std::fabs(static_cast<double>(sample)));
  }

  double level = std::numeric_limits<double>::infinity();
  double last = std::numeric_limits<double>::quiet_NaN();
  std::int64_t total = 0;
  double top = 0.0;
};

}  // namespace wavfreq
