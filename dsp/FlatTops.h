#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    Scan(samples, count, [](int) {});
  }

  /// Count, with a Take after the first `first` samples and after every `every` samples from
  /// there on, appended to `taken`: the pairs of each piece, however the samples are cut up.
  template <class Sample>
  void CountEach(const Sample* samples, int count, int first, int every,
                 std::vector<std::int64_t>& taken) {
    int end = first;
    Scan(samples, count, [&](int at) {
      for (; end <= at; end += every) {
        taken.push_back(Take());
      }
    });
    for (; end <= count; end += every) {
      taken.push_back(Take());
    }
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
  // Counts each pair, after `before(i)` with i the index of its second sample. Equal neighbours
  // are rare in a recording: with SSE2, the x86-64 baseline, samples are compared for equality
  // eight integers or four reals at a time, and only a group with an equal pair is looked at
  // closely.
  template <class Sample, class BeforePair>
  void Scan(const Sample* samples, int count, BeforePair before) {
    if (count <= 0) {
      return;
    }
    Sample high;
    Sample low;
    if (Bounds(high, low)) {
      const auto counts = [&](int i, Sample previous) {
        const Sample x = samples[i];
        if (x == previous && (x >= high || x <= low)) {
          before(i);
          ++total;
          Raise(x);
        }
      };
      // The first sample pairs with the last of the previous call.
      if (static_cast<double>(samples[0]) == last) {
        counts(0, samples[0]);
      }
      int i = 1;
#if defined(__SSE2__)
      if constexpr (std::is_same_v<Sample, int>) {
        const auto load = [samples](int at) {
          return _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + at));
        };
        for (; i + 8 <= count; i += 8) {
          const __m128i equal = _mm_or_si128(_mm_cmpeq_epi32(load(i), load(i - 1)),
                                             _mm_cmpeq_epi32(load(i + 4), load(i + 3)));
          if (_mm_movemask_epi8(equal) != 0) {
            for (int k = i; k < i + 8; ++k) {
              counts(k, samples[k - 1]);
            }
          }
        }
      } else if constexpr (std::is_same_v<Sample, double>) {
        // Ordered comparisons, as ==: a NaN equals nothing.
        for (; i + 4 <= count; i += 4) {
          const __m128d equal =
              _mm_or_pd(_mm_cmpeq_pd(_mm_loadu_pd(samples + i), _mm_loadu_pd(samples + i - 1)),
                        _mm_cmpeq_pd(_mm_loadu_pd(samples + i + 2), _mm_loadu_pd(samples + i + 1)));
          if (_mm_movemask_pd(equal) != 0) {
            for (int k = i; k < i + 4; ++k) {
              counts(k, samples[k - 1]);
            }
          }
        }
      }
#endif
      for (; i < count; ++i) {
        counts(i, samples[i - 1]);
      }
    }
    last = static_cast<double>(samples[count - 1]);
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
