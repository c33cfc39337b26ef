#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Lanes.h"
#include "dsp/Fft.h"
#include "dsp/Phasor.h"

namespace wavfreq {

/// A linear-phase band-pass filter for a stream of samples, cheap enough to run ahead of the
/// meter on hours of audio. The band is moved down to 0 Hz (the samples times a complex
/// oscillator at its centre), averaged into one value per `Decimation()` samples with triangular
/// weights, low-passed at that low rate by a Kaiser-window FIR, interpolated back along straight
/// lines and moved up again. Every step is symmetric in time, so the output has no delay: output
/// sample n is the filtered signal at input sample n, and the input is taken as 0 before the
/// first sample and after the last.
///
/// The band is given by its edges in hertz, where the response is about half (-6 dB). Each edge
/// lies in the middle of a transition as wide as the band, narrower only where 0 Hz or half the
/// sample rate leave no room: the full gain is reached only near the centre, and half a band's
/// width beyond each edge the response is 80 dB down. A wide transition lets less noise through
/// between the same edges, and no tone is measured at an edge anyway. The coefficients come from
/// additions, multiplications, divisions and square roots in a fixed order: the output is the
/// same to the bit on every platform.
class BandPass {
 public:
  /// For 0 < low < high and 2 high < sampleRate (see Fits).
  BandPass(int sampleRate, int low, int high);

  /// Whether the band lies inside what the sample rate can hold: 0 < low < high < rate / 2.
  static bool Fits(int sampleRate, int low, int high) {
    return low > 0 && low < high && 2 * static_cast<std::int64_t>(high) < sampleRate;
  }

  /// Takes the next `count` samples and hands the output samples that are ready to
  /// `sink(const double* values, int count)`, in order, in one or more calls.
  template <class Sample, class Sink>
  void Process(const Sample* samples, int count, Sink&& sink) {
    Take(samples, count);
    queued.insert(queued.end(), produced.begin(), produced.end());
    produced.clear();
    Drain(sink, INT64_MAX);
    Hand(sink);
  }

  /// The filter in two halves, for two threads: Take runs the input side (the mix, the averaging
  /// and the low-rate filter) on the next samples; TakeLowRate hands out the filtered low-rate
  /// values that came of them; Emit runs the output side on those values, in the order they came,
  /// and hands the output samples to the sink. Take and TakeLowRate on one thread, then Emit on
  /// another, give what Process gives. Finish only when both have ended.
  template <class Sample>
  void Take(const Sample* samples, int count) {
    for (int done = 0; done < count;) {
      const int take = std::min(count - done, decimation - inBlock);
      Accumulate(samples + done, take);
      done += take;
      inBlock += take;
      inputCount += take;
      if (inBlock == decimation) {
        EndInputBlock();
      }
    }
  }
  void TakeLowRate(std::vector<double>& values) {
    values.swap(produced);
    produced.clear();
  }
  template <class Sink>
  void Emit(const std::vector<double>& values, Sink&& sink) {
    queued.insert(queued.end(), values.begin(), values.end());
    Drain(sink, INT64_MAX);
    Hand(sink);
  }

  /// After the last sample: hands out the rest, as if silence followed.
  template <class Sink>
  void Finish(Sink&& sink) {
    const std::int64_t total = inputCount;
    while (handedOut + static_cast<std::int64_t>(readyCount) < total) {
      // The rest of the block is silence, which adds nothing to its sums.
      inBlock = decimation;
      EndInputBlock();
      if (fft == nullptr) {
        FilterLowRate();
      }
      queued.insert(queued.end(), produced.begin(), produced.end());
      produced.clear();
      Drain(sink, total);
    }
    Hand(sink, total);
  }

  /// Keeps the output side to the baseline vector instructions (SSE2 on x86-64) where the
  /// processor has wider ones: the output is the same to the bit either way.
  void KeepToBaseline() { wideVectors = false; }

  /// Samples averaged into one value of the low rate.
  int Decimation() const { return decimation; }
  /// Taps of the FIR filter at the low rate.
  std::size_t Taps() const { return taps.size(); }

 private:
  static constexpr std::size_t kOutputBatch = 4096;
  // Low-rate values filtered together: their sums run side by side.
  static constexpr std::size_t kBatch = 4;

  // Adds the samples' products with the block's four averaging weights. Samples at even and odd
  // places go to separate sums, the two lanes of a pair, so that the additions do not wait on
  // each other; the two are added at the block's end, in a fixed order, so the output does not
  // depend on how the input is cut up.
  template <class Sample>
  void Accumulate(const Sample* samples, int count) {
    const double* w = averaging.data();
    const std::size_t stride = tableStride;
    Pair sum[4];  // kAre to kBim, each even places low and odd places high
    for (int q = 0; q < 4; ++q) {
      sum[q] = Pair::Load(sums[q]);
    }
    int i = inBlock;
    const int end = inBlock + count;
    const Sample* x = samples - inBlock;
    if (i < end && (i & 1) != 0) {
      AddOne(sum, Pair(0.0, static_cast<double>(x[i])), i - 1);
      ++i;
    }
#if defined(__GNUC__)
#pragma GCC unroll 2
#endif
    for (; i + 2 <= end; i += 2) {
      const Pair value(static_cast<double>(x[i]), static_cast<double>(x[i + 1]));
      for (int q = 0; q < 4; ++q) {
        sum[q] += value * Pair::LoadAligned(w + static_cast<std::size_t>(q) * stride +
                                            static_cast<std::size_t>(i));
      }
    }
    if (i < end) {
      AddOne(sum, Pair(static_cast<double>(x[i]), 0.0), i);
    }
    for (int q = 0; q < 4; ++q) {
      sum[q].Store(sums[q]);
    }
  }

  // One sample in one lane of the pair of places from `even` on, 0.0 in the other: adding 0.0 x
  // the weight leaves that lane's sum as it is.
  void AddOne(Pair* sum, const Pair& value, int even) const {
    for (int q = 0; q < 4; ++q) {
      sum[q] +=
          value * Pair::LoadAligned(averaging.data() + static_cast<std::size_t>(q) * tableStride +
                                    static_cast<std::size_t>(even));
    }
  }

  /// Turns the filtered low-rate values that are ready into output samples, handing them out a
  /// batch at a time, until `limit` output samples in all are ready.
  template <class Sink>
  void Drain(Sink& sink, std::int64_t limit) {
    for (; queuedAt < queued.size(); queuedAt += 2) {
      if (handedOut + static_cast<std::int64_t>(readyCount) >= limit) {
        break;
      }
      const double* next = queued.data() + queuedAt;
      if (filteredCount++ > 0) {
        EmitOutputBlock(next);
        if (readyCount + static_cast<std::size_t>(decimation) > kOutputBatch) {
          Hand(sink, limit);
        }
      }
      filtered[0] = next[0];
      filtered[1] = next[1];
    }
    if (queuedAt == queued.size()) {
      queued.clear();
      queuedAt = 0;
    }
  }

  /// Hands out what is ready, up to `limit` samples of output in all.
  template <class Sink>
  void Hand(Sink&& sink, std::int64_t limit = INT64_MAX) {
    std::size_t count = readyCount;
    if (static_cast<std::int64_t>(count) > limit - handedOut) {
      count = static_cast<std::size_t>(limit - handedOut);
    }
    if (count > 0) {
      sink(ready.data(), static_cast<int>(count));
      handedOut += static_cast<std::int64_t>(count);
    }
    readyCount = 0;
  }

  void EndInputBlock();
  void PushLowRate(double re, double im);
  /// Filters the low-rate values pushed since the last time, oldest first.
  void FilterLowRate();
  /// A long FIR's share: the low-rate values are filtered a segment at a time, by multiplying
  /// spectra (overlap-save), which costs a few operations per value instead of one per tap.
  void PushLowRateToSegment(double re, double im);
  /// The filtered low-rate value centred on low-rate value `index` is ready: it joins those the
  /// output side has yet to take.
  void TakeFiltered(std::int64_t index, double re, double im) {
    if (index >= 0) {
      produced.push_back(re);
      produced.push_back(im);
    }
  }
  void EmitOutputBlock(const double* next);
  /// The oscillator's phase at sample `blockIndex` x the decimation, as a fraction of a turn:
  /// exact integer arithmetic on the centre frequency in half hertz.
  double BlockTurns(std::int64_t blockIndex) const;

  // What a sample adds to the value of its block (A) and of the next (B), real and imaginary,
  // in `averaging`; and the interpolation's tables in `interpolation`. Each table is
  // `decimation` long, padded with 0.0 to `tableStride`, so that each starts at an even place
  // (16-byte aligned).
  enum Averaging { kAre, kAim, kBre, kBim };
  enum Interpolation { kPre, kPim, kQre, kQim, kTables };

  bool wideVectors = false;  // the output side four samples to a register (AVX)
  int decimation = 1;
  std::size_t tableStride = 2;        // decimation rounded up to even
  std::uint64_t centreHalfHertz = 0;  // low + high: the centre in units of 0.5 Hz
  std::uint64_t turnDivisor = 1;      // 2 x the sample rate: half hertz per turn and sample
  std::vector<double> averaging;
  std::vector<double> interpolation;
  std::vector<double> taps;      // symmetric, odd in number
  std::vector<double> tapPairs;  // each tap twice, for a real and an imaginary part at once

  // Input side: the block being filled, its sums and what the previous block left for this one.
  int inBlock = 0;
  std::int64_t inputCount = 0;
  double sums[4][2] = {};  // kAre to kBim, by place in the block modulo 2
  double carry[2] = {0.0, 0.0};
  Phasor inputPhase;  // the oscillator at the block's start

  // The low-rate values, real and imaginary parts side by side, twice over so that the last
  // `taps` of them lie in one piece.
  std::vector<double> lowRate;
  std::size_t lowAt = 0;
  std::int64_t lowCount = 0;
  std::size_t unfiltered = 0;  // values pushed and not yet filtered

  // A long FIR's overlap-save: the transform, the taps' spectrum, and the segment of low-rate
  // values (complex, side by side) whose first taps - 1 are the end of the last segment.
  std::unique_ptr<Fft> fft;
  std::vector<double> tapSpectrum;
  std::vector<double> segment;
  std::vector<double> work;
  std::size_t segmentFill = 0;

  // Between the two: the filtered low-rate values of the input side, not yet handed over.
  std::vector<double> produced;

  // Output side: the filtered low-rate values not yet turned into output (real and imaginary
  // parts side by side), and the one at the start of the next output block.
  std::vector<double> queued;
  std::size_t queuedAt = 0;
  std::int64_t filteredCount = 0;
  double filtered[2] = {0.0, 0.0};
  Phasor outputPhase;
  std::vector<double> ready;
  std::size_t readyCount = 0;
  std::int64_t handedOut = 0;
};

}  // namespace wavfreq
