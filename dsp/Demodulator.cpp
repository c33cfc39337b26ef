#include "dsp/Demodulator.h"

#include <cmath>

#include "dsp/FirDesign.h"
#include "dsp/Turns.h"

namespace wavfreq {

namespace {

constexpr double kTurnScale = 4294967296.0;  // 2^32
constexpr std::int64_t kPhaseRefresh = 256;
constexpr double kLongestBlock = 4096.0;

}  // namespace

Demodulator::Demodulator(int sampleRate, double tone, double passHertz, double clip)
    : clipLevel(clip) {
  const double rate = static_cast<double>(sampleRate);
  // Block sums at 16 x the pass band, the FIR's output at a quarter of that.
  // Blocks longer than a 384 kHz recording needs for a 20 Hz tone only serve rates no
  // recording has; there the output runs faster than it must.
  blockLength = static_cast<int>(
      std::fmin(kLongestBlock, std::fmax(1.0, std::floor(rate / (16.0 * passHertz)))));
  outputRate = rate / static_cast<double>(4 * blockLength);
  step =
      static_cast<std::uint32_t>(std::fmod(std::floor(tone / rate * kTurnScale + 0.5), kTurnScale));
  carrier = static_cast<double>(step) / kTurnScale * rate;
  blockStep = static_cast<std::uint32_t>(static_cast<std::uint64_t>(step) *
                                         static_cast<std::uint64_t>(blockLength));
  const std::size_t padded = static_cast<std::size_t>(blockLength + 1) & ~std::size_t{1};
  cosines.assign(padded, 0.0);
  sines.assign(padded, 0.0);
  for (int i = 0; i < blockLength; ++i) {
    const std::uint32_t phase = static_cast<std::uint32_t>(static_cast<std::uint64_t>(step) *
                                                           static_cast<std::uint64_t>(i));
    const Turns oscillator = Turns::Of(static_cast<double>(phase) / kTurnScale);
    cosines[static_cast<std::size_t>(i)] = oscillator.cosine;
    sines[static_cast<std::size_t>(i)] = -oscillator.sine;
  }
  const Turns blockTurn = Turns::Of(static_cast<double>(blockStep) / kTurnScale);
  turn[0] = blockTurn.cosine;
  turn[1] = blockTurn.sine;
  // Pass `passHertz`, stop from 3 x `passHertz`: half gain at 2 x, at a block rate of 16 x.
  const double blockRate = rate / static_cast<double>(blockLength);
  const std::vector<double> taps =
      FirDesign::KaiserLowPass(2.0 * passHertz / blockRate, 2.0 * passHertz / blockRate, 80.0, 255);
  double sumOfTaps = 0.0;
  for (double tap : taps) {
    sumOfTaps += tap;
  }
  // Unit gain at 0 Hz for the block sums, which add blockLength samples.
  const double scale = 1.0 / (sumOfTaps * static_cast<double>(blockLength));
  for (double tap : taps) {
    tapPairs.push_back(tap * scale);
    tapPairs.push_back(tap * scale);
  }
  history.assign(2 * tapPairs.size(), 0.0);
  // The FIR's middle tap lies (taps - 1) / 2 block sums back, and a block sum's middle half a
  // block less one sample before its end.
  const double middleTap = 0.5 * static_cast<double>(taps.size() - 1);
  delay = ((middleTap + 0.5) * blockLength + 0.5) / rate;
}

void Demodulator::EndBlock(std::vector<double>& out) {
  // The block's sum was taken against the oscillator from the block's start; turned by the
  // oscillator's phase there, it is the sum against the whole stream's oscillator.
  const double re = sum[0] + sum[1];
  const double im = sum[2] + sum[3];
  sum[0] = sum[1] = sum[2] = sum[3] = 0.0;
  inBlock = 0;
  // (re + j im) (cos - j sin) of the block's start phase.
  const double c = phasor[0];
  const double s = phasor[1];
  const double valueRe = re * c + im * s;
  const double valueIm = im * c - re * s;
  ++blocks;
  blockPhase += blockStep;
  if (blocks % kPhaseRefresh == 0) {
    const Turns exact = Turns::Of(static_cast<double>(blockPhase) / kTurnScale);
    phasor[0] = exact.cosine;
    phasor[1] = exact.sine;
  } else {
    phasor[0] = c * turn[0] - s * turn[1];
    phasor[1] = s * turn[0] + c * turn[1];
  }
  const std::size_t taps = tapPairs.size() / 2;
  history[2 * historyAt] = history[2 * (historyAt + taps)] = valueRe;
  history[2 * historyAt + 1] = history[2 * (historyAt + taps) + 1] = valueIm;
  historyAt = historyAt + 1 == taps ? 0 : historyAt + 1;
  if (++phaseOfFour < 4) {
    return;
  }
  phaseOfFour = 0;
  // The last `taps` block sums lie from historyAt on, oldest first.
  const double* values = history.data() + 2 * historyAt;
  Pair filtered(0.0);
  for (std::size_t t = 0; t < taps; ++t) {
    filtered += Pair::LoadAligned(tapPairs.data() + 2 * t) * Pair::LoadAligned(values + 2 * t);
  }
  out.push_back(filtered.Low());
  out.push_back(filtered.High());
}

}  // namespace wavfreq
