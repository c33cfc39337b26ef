#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dsp/Pair.h"

namespace wavfreq {

/// Moves a tone down to 0 Hz and low-passes it into a complex signal at a low rate, whose angle
/// is the tone's phase less the carrier's and whose magnitude is its amplitude. The samples are
/// multiplied by e^(-j 2 pi f n / rate) and summed in blocks (a first, cheap low-pass and
/// decimation), then a Kaiser-window FIR is evaluated at every fourth block sum. It passes
/// `passHertz` either side of the carrier, and keeps what lies 3 x `passHertz` or more from it
/// 80 dB down; the output rate is 4 x `passHertz` or a little more.
///
/// The oscillator's phase runs in exact 32-bit fractions of a turn, so the carrier the mixer
/// uses (Carrier()) is known exactly and no rounding builds up over hours.
class Demodulator {
 public:
  /// A sample of magnitude `clipLevel` or more counts as being at full scale.
  Demodulator(int sampleRate, double carrier, double passHertz, double clipLevel);

  /// Values per second of the output.
  double OutputRate() const { return outputRate; }
  /// The carrier as the mixer runs it, in hertz.
  double Carrier() const { return carrier; }
  /// Input samples per output value.
  int Decimation() const { return 4 * blockLength; }
  /// Seconds from the middle of what an output value holds to the sample after which it comes.
  double Delay() const { return delay; }
  /// How many samples since the last call were at full scale (at `clipLevel` or beyond).
  double TakeAtFullScale() {
    const double count = atFullScale[0] + atFullScale[1];
    atFullScale[0] = atFullScale[1] = 0.0;
    return count;
  }

  /// Takes the next `count` samples and appends each new output value to `out`, as its real and
  /// imaginary parts.
  template <class Sample>
  void Process(const Sample* samples, int count, std::vector<double>& out) {
    int done = 0;
    while (done < count) {
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
  // Adds the samples times the oscillator; even and odd places in the lanes of a pair, so that
  // the additions do not wait on each other.
  template <class Sample>
  void Accumulate(const Sample* samples, int count) {
    const double* c = cosines.data();
    const double* s = sines.data();
    Pair re = Pair::Load(sum);
    Pair im = Pair::Load(sum + 2);
    Pair full = Pair::Load(atFullScale);
    const Pair clip(clipLevel);
    int i = inBlock;
    const int end = inBlock + count;
    const Sample* x = samples - inBlock;
    if (i < end && (i & 1) != 0) {
      const Pair value(0.0, static_cast<double>(x[i]));
      re += value * Pair::LoadAligned(c + i - 1);
      im += value * Pair::LoadAligned(s + i - 1);
      full += Pair::AtLeast(value.Abs(), clip);
      ++i;
    }
    for (; i + 2 <= end; i += 2) {
      const Pair value(static_cast<double>(x[i]), static_cast<double>(x[i + 1]));
      re += value * Pair::LoadAligned(c + i);
      im += value * Pair::LoadAligned(s + i);
      full += Pair::AtLeast(value.Abs(), clip);
    }
    if (i < end) {
      const Pair value(static_cast<double>(x[i]), 0.0);
      re += value * Pair::LoadAligned(c + i);
      im += value * Pair::LoadAligned(s + i);
      full += Pair::AtLeast(value.Abs(), clip);
    }
    re.Store(sum);
    im.Store(sum + 2);
    full.Store(atFullScale);
  }

  void EndBlock(std::vector<double>& out);

  int blockLength = 1;
  double outputRate = 0.0;
  double delay = 0.0;
  double carrier = 0.0;
  std::uint32_t step = 0;  // the oscillator's turn per sample, in 2^-32 turns
  // e^(-j 2 pi f i / rate) within a block: cosines and (negated) sines, padded to even length.
  std::vector<double> cosines;
  std::vector<double> sines;
  double sum[4] = {};  // real parts (even, odd places), imaginary parts (even, odd)
  double clipLevel = 0.0;
  double atFullScale[2] = {};  // samples at full scale (even, odd places)
  int inBlock = 0;
  // The oscillator's phase at the current block's start, exact, and turned to a phasor: turned
  // on from block to block and set afresh from the exact phase every so often.
  std::uint32_t blockPhase = 0;
  std::uint32_t blockStep = 0;
  double phasor[2] = {1.0, 0.0};
  double turn[2] = {1.0, 0.0};
  std::int64_t blocks = 0;
  // The FIR: its taps twice each (for a real and an imaginary part at once), and the block sums
  // twice over so that the last taps of them lie in one piece.
  std::vector<double> tapPairs;
  std::vector<double> history;
  std::size_t historyAt = 0;
  int phaseOfFour = 0;
};

}  // namespace wavfreq
