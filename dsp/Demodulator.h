#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "core/Lanes.h"
#include "dsp/Phasor.h"

namespace wavfreq {

/// Moves a tone down to 0 Hz and low-passes it into a complex signal at a low rate, whose angle
/// is the tone's phase less the carrier's and whose magnitude is its amplitude. The samples are
/// multiplied by e^(-j 2 pi f n / rate) and summed in blocks (a first, cheap low-pass and
/// decimation, in single precision: its rounding lies far below any tone's noise), then a
/// Kaiser-window FIR is evaluated at every third block sum. It passes `passHertz` either side of
/// the carrier, and keeps what lies 2 x `passHertz` or more from it 80 dB down; the output rate
/// is 3 x `passHertz` or a little more.
///
/// The oscillator's phase runs in exact 32-bit fractions of a turn, so the carrier the mixer
/// uses (Carrier()) is known exactly and no rounding builds up over hours.
class Demodulator {
 public:
  Demodulator(int sampleRate, double carrier, double passHertz);

  /// Values per second of the output.
  double OutputRate() const { return outputRate; }
  /// The carrier as the mixer runs it, in hertz.
  double Carrier() const { return carrier; }
  /// Input samples per output value.
  int Decimation() const { return kDecimation * blockLength; }
  /// Output values until the FIR has filled: those before hold the silence it started from.
  int FillValues() const { return static_cast<int>(taps + kDecimation - 1) / kDecimation; }
  /// Seconds from the middle of what an output value holds to the sample after which it comes.
  double Delay() const { return delay; }

  /// Takes the next `count` samples and appends each new output value to `out`, as its real and
  /// imaginary parts.
  template <class Sample>
  void Process(const Sample* samples, int count, std::vector<double>& out) {
    const int padded = static_cast<int>(cosines.size());
    int done = 0;
    while (done < count) {
      if (inBlock == 0 && count - done >= padded) {
        // A whole block at once, its lanes in registers. The tables are 0 past the block's end,
        // so the samples read there count for nothing, and each lane adds what it would one
        // sample at a time.
        const Sample* x = samples + done;
        const float* c = cosines.data();
        const float* s = sines.data();
        if constexpr (kMixesWide<Sample>) {
          if (wideVectors) {
            float re[4];
            float im[4];
            MixWide(x, c, s, padded, re, im);
            TakeBlock(Quad::Load(re).Sum(), Quad::Load(im).Sum(), out);
            done += blockLength;
            continue;
          }
        }
        Quad re0(0.0F), re1(0.0F), im0(0.0F), im1(0.0F);
        for (int i = 0; i < padded; i += 8) {
          const Quad low = Quad::From(x + i);
          const Quad high = Quad::From(x + i + 4);
          re0 += low * Quad::LoadAligned(c + i);
          re1 += high * Quad::LoadAligned(c + i + 4);
          im0 += low * Quad::LoadAligned(s + i);
          im1 += high * Quad::LoadAligned(s + i + 4);
        }
        TakeBlock((re0 + re1).Sum(), (im0 + im1).Sum(), out);
        done += blockLength;
        continue;
      }
      const int take = std::min(count - done, blockLength - inBlock);
      Accumulate(samples + done, take);
      done += take;
      inBlock += take;
      if (inBlock == blockLength) {
        EndBlock(out);
      }
    }
  }

 private:
  static constexpr int kDecimation = 3;
  static int BlockLengthFor(double rate, double tone, double passHertz);

  // Adds the samples times the oscillator: eight places, in the lanes of two quads each for the
  // real and the imaginary parts, so that the additions do not wait on each other.
  template <class Sample>
  void Accumulate(const Sample* samples, int count) {
    const float* c = cosines.data();
    const float* s = sines.data();
    int i = inBlock;
    const int end = inBlock + count;
    const Sample* x = samples - inBlock;
    // One sample at a time up to a place of eight, eight at a time, then one at a time again.
    for (; i < end && (i & 7) != 0; ++i) {
      const float value = static_cast<float>(x[i]);
      sum[i & 7] += value * c[i];
      sum[8 + (i & 7)] += value * s[i];
    }
    Quad re0 = Quad::LoadAligned(sum);
    Quad re1 = Quad::LoadAligned(sum + 4);
    Quad im0 = Quad::LoadAligned(sum + 8);
    Quad im1 = Quad::LoadAligned(sum + 12);
    for (; i + 8 <= end; i += 8) {
      const Quad low = Quad::From(x + i);
      const Quad high = Quad::From(x + i + 4);
      re0 += low * Quad::LoadAligned(c + i);
      re1 += high * Quad::LoadAligned(c + i + 4);
      im0 += low * Quad::LoadAligned(s + i);
      im1 += high * Quad::LoadAligned(s + i + 4);
    }
    re0.Store(sum);
    re1.Store(sum + 4);
    im0.Store(sum + 8);
    im1.Store(sum + 12);
    for (; i < end; ++i) {
      const float value = static_cast<float>(x[i]);
      sum[i & 7] += value * c[i];
      sum[8 + (i & 7)] += value * s[i];
    }
  }

  // The whole-block mix with the eight places in the lanes of one AVX register each for the
  // real and the imaginary parts: each lane takes the operations of the two quads' lanes, and
  // `re` and `im` get what re0 + re1 and im0 + im1 hold there.
  template <class Sample>
  static constexpr bool kMixesWide =
      std::is_same_v<Sample, int> || std::is_same_v<Sample, double> ||
      std::is_same_v<Sample, float>;
  static void MixWide(const int* x, const float* c, const float* s, int padded, float* re,
                      float* im);
  static void MixWide(const double* x, const float* c, const float* s, int padded, float* re,
                      float* im);
  static void MixWide(const float* x, const float* c, const float* s, int padded, float* re,
                      float* im);

  void EndBlock(std::vector<double>& out);
  /// The sum of a whole block against the oscillator from the block's start.
  void TakeBlock(double re, double im, std::vector<double>& out) {
    // Turned by the oscillator's phase at the block's start, it is the sum against the whole
    // stream's oscillator: (re + j im) (cos - j sin).
    const double c = oscillator.Cosine();
    const double s = oscillator.Sine();
    const float valueRe = static_cast<float>(re * c + im * s);
    const float valueIm = static_cast<float>(im * c - re * s);
    blockPhase += blockStep;
    oscillator.Advance([this](std::int64_t) { return static_cast<double>(blockPhase) * 0x1p-32; });
    history[2 * historyAt] = history[2 * (historyAt + taps)] = valueRe;
    history[2 * historyAt + 1] = history[2 * (historyAt + taps) + 1] = valueIm;
    historyAt = historyAt + 1 == taps ? 0 : historyAt + 1;
    if (++phaseOfDecimation == kDecimation) {
      phaseOfDecimation = 0;
      Filter(out);
    }
  }
  /// The FIR's output from the last `taps` block sums.
  void Filter(std::vector<double>& out);

  bool wideVectors = false;  // the whole-block mix with AVX
  int blockLength = 1;
  double outputRate = 0.0;
  double delay = 0.0;
  double carrier = 0.0;
  std::uint32_t step = 0;  // the oscillator's turn per sample, in 2^-32 turns
  // e^(-j 2 pi f i / rate) within a block: cosines and (negated) sines, padded to a multiple of
  // eight.
  std::vector<float> cosines;
  std::vector<float> sines;
  // The block's sums: real parts at places 0 to 7 modulo eight, then imaginary parts.
  alignas(16) float sum[16] = {};
  int inBlock = 0;
  // The oscillator's phase at the current block's start, exact, and as cosine and sine.
  std::uint32_t blockPhase = 0;
  std::uint32_t blockStep = 0;
  Phasor oscillator;
  // The FIR, in single precision, which its 80 dB need no more than: its taps twice each for a
  // real and an imaginary part at once, and the block sums twice over so that the last taps of
  // them lie in one piece.
  std::vector<float> tapQuads;
  std::size_t taps = 0;  // an even number: the last may be 0
  std::vector<float> history;
  std::size_t historyAt = 0;
  int phaseOfDecimation = 0;
};

}  // namespace wavfreq
