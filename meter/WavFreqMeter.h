#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/IDataProcessor.h"
#include "core/IDataWriter.h"
#include "core/IWavMean.h"
#include "core/Lanes.h"
#include "core/SignMasks.h"
#include "meter/AddOnes.h"
#include "meter/RingQueue.h"

namespace wavfreq {

/// Whether a level provider hands out its level for a block of samples at once (AddSamples): one
/// whose level is constant and whose count never lags.
template <class Mean, class = void>
struct TakesBlocks : std::false_type {};
template <class Mean>
struct TakesBlocks<Mean, std::enable_if_t<Mean::kTakesBlocks>> : std::true_type {};

/// Zero-crossing frequency meter. Each crossing of the reference level is located between two
/// samples by linear interpolation; the distance between successive crossings is half a period.
/// The distances inside a window of `windowLength` samples give the frequency reported after
/// each crossing.
///
/// `Mean` and `Writer` are the types through which the meter reaches its level provider and its
/// result sink: the interfaces for `WavFreqMeter`, or final classes, whose calls then inline
/// into the per-sample path. The arithmetic is the same for every choice.
///
/// The floating-point operations are written out in the order that defines the results; the
/// build forbids contraction, so every report is reproducible to the last bit.
template <class Mean, class Writer>
class BasicWavFreqMeter final : public IDataProcessor {
 public:
  /// Writes the result table's header line through the writer.
  BasicWavFreqMeter(Writer& dataWriter, Mean& levelProvider, int window, int rate)
      : mean(levelProvider),
        writer(dataWriter),
        windowLength(window),
        sampleRate(static_cast<double>(rate)) {
    writer.WriteText("Time:  \tFreq:\n");
  }
  ~BasicWavFreqMeter() override = default;
  BasicWavFreqMeter(const BasicWavFreqMeter&) = delete;
  BasicWavFreqMeter& operator=(const BasicWavFreqMeter&) = delete;

  void ProcessSample(int sample) override { Receive<false>(static_cast<double>(sample)); }

  /// A block of samples. With a provider that takes blocks, the level is taken once for the
  /// block; at the level 0.0 the crossing tests become integer tests of the same outcome, and
  /// the 1.0 steps between crossings are added in one go with the same rounding (AddOnes). The
  /// floating-point operations that reach a report are those of ProcessSample, in its order.
  void ProcessBlock(const int* samples, int count) override { ProcessIntegers(samples, count); }

  /// A block of 16-bit samples as stored: measured as the int block measures the same values, the
  /// signs read from the words themselves.
  void ProcessBlock(const std::int16_t* samples, int count) { ProcessIntegers(samples, count); }

  /// A block of real-valued samples, in the units of the integer ones, not rounded: a filter's
  /// output, or samples stored as floating point. They must be finite. A real sample lies on the
  /// level only when it equals it, and crosses it when it reaches it or changes side: a sample
  /// within a hair's breadth of the level is a sample like any other, so that no crossing is
  /// lost to it. At the level 0.0 integer values give the bits of the integer path.
  void ProcessBlock(const double* samples, int count) override {
    if constexpr (TakesBlocks<Mean>::value) {
      const double level = mean.AddSamples(count);
      if (level == 0.0 && !gated) {
        ProcessAtZeroBySigns(samples, count, samplesReceived);
      } else {
        ProcessReals(samples, count, samplesReceived, level);
      }
      samplesReceived += count;
    } else {
      for (int i = 0; i < count; ++i) {
        Receive<true>(samples[i]);
      }
    }
  }

  /// A block of samples stored as 32-bit floats, which must be finite: measured as the double
  /// block measures their values times `scale`, a power of two (so that each product is exact and
  /// keeps its sample's sign). At the level 0.0 without a gate their signs are read as stored and
  /// only a crossing's two samples are widened; otherwise they are widened a piece at a time.
  void ProcessBlock(const float* samples, int count, double scale) {
    singleScale = scale;
    if constexpr (TakesBlocks<Mean>::value) {
      const double level = mean.AddSamples(count);
      if (level == 0.0 && !gated) {
        ProcessAtZeroBySigns(samples, count, samplesReceived);
      } else {
        constexpr int kPiece = 256;
        double widened[kPiece];
        for (int done = 0; done < count; done += kPiece) {
          const int piece = std::min(kPiece, count - done);
          for (int i = 0; i < piece; ++i) {
            widened[i] = static_cast<double>(samples[done + i]) * scale;
          }
          // The steps between crossings are added with the same rounding however the block is
          // cut, and the gate's side carries over: the pieces measure as the whole would.
          ProcessReals(widened, piece, samplesReceived + done, level);
        }
      }
      samplesReceived += count;
    } else {
      for (int i = 0; i < count; ++i) {
        Receive<true>(static_cast<double>(samples[i]) * scale);
      }
    }
  }

  double GetTime() override { return static_cast<double>(samplesReceived) / sampleRate; }

  /// Turns the crossing test into a Schmitt trigger: a crossing counts only when the signal has
  /// been at least `threshold` beyond the level on the side it leaves since the last counted
  /// crossing. Noise around the level and silence then count no crossings.
  void SetGate(double threshold) {
    gated = true;
    gateThreshold = threshold;
    // For integer samples above the level 0.0, "sample >= threshold" is "sample >= ceil".
    armingSample = threshold > 0.0 && threshold < 0x1p62
                       ? static_cast<std::int64_t>(std::ceil(threshold))
                       : INT64_MAX;
  }
  /// The gate at `levelDb` below `fullScale`, in the units of the samples.
  void SetGateLevel(double fullScale, int levelDb) {
    SetGate(fullScale * std::pow(10.0, levelDb / 20.0));
  }

 private:
  /// An integer sample lies on the level when it is no further from it than this.
  static constexpr double kOnLevel = 0.0001;

  template <class Sample>
  static bool IsStorable(double value) {
    return value >= static_cast<double>(std::numeric_limits<Sample>::min()) &&
           value <= static_cast<double>(std::numeric_limits<Sample>::max()) &&
           static_cast<double>(static_cast<Sample>(value)) == value;
  }

  // Integer samples, as int or as stored in 16 bits.
  template <class Sample>
  void ProcessIntegers(const Sample* samples, int count) {
    if constexpr (TakesBlocks<Mean>::value) {
      const double level = mean.AddSamples(count);
      int start = 0;
      // The integer path keeps the previous sample as one of its own; after real samples it may
      // be none.
      if (count > 0 && !IsStorable<Sample>(previousSample)) {
        Process<false>(samples[0], samplesReceived, level);
        start = 1;
      }
      if (level == 0.0 && !gated) {
        ProcessAtZeroBySigns(samples + start, count - start, samplesReceived + start);
      } else if (level == 0.0 && gateThreshold > 0.0) {
        ProcessAtZero<true>(samples + start, count - start, samplesReceived + start);
      } else {
        for (int i = start; i < count; ++i) {
          Process<false>(samples[i], samplesReceived + i, level);
        }
      }
      samplesReceived += count;
    } else {
      // A provider may lag: sample by sample, under the backlog rule.
      for (int i = 0; i < count; ++i) {
        Receive<false>(static_cast<double>(samples[i]));
      }
    }
  }

  // A sample's value as the crossing arithmetic takes it, and back: floats are scaled, exactly.
  template <class Sample>
  double ValueOf(Sample sample) const {
    if constexpr (std::is_same_v<Sample, float>) {
      return static_cast<double>(sample) * singleScale;
    } else {
      return static_cast<double>(sample);
    }
  }
  template <class Sample>
  Sample StoredAs(double value) const {
    if constexpr (std::is_same_v<Sample, float>) {
      return static_cast<float>(value / singleScale);
    } else {
      return static_cast<Sample>(value);
    }
  }

  // Real samples at a level from the provider, other than 0.0 without a gate.
  void ProcessReals(const double* samples, int count, std::int64_t firstPosition, double level) {
    if (level == 0.0 && gateThreshold > 0.0) {
      ProcessAtZero<true>(samples, count, firstPosition);
    } else {
      for (int i = 0; i < count; ++i) {
        Process<true>(samples[i], firstPosition + i, level);
      }
    }
  }

  // One sample, through the level provider: held back while the provider lags.
  template <bool kReal>
  void Receive(double sample) {
    const double level = mean.AddSample(sample);
    const std::int64_t passedOn =
        samplesReceived - static_cast<std::int64_t>(pendingSamples.size());
    if (mean.GetSampleCount() < static_cast<double>(passedOn)) {
      pendingSamples.push_back(sample);
    } else if (pendingSamples.empty()) {
      Process<kReal>(sample, samplesReceived, level);
    } else {
      WorkOffBacklog<kReal>(sample, level);
    }
    ++samplesReceived;
  }

  // The crossing test, with the integer samples' tolerance or the real samples' exact level.
  template <bool kReal>
  static bool OffLevel(double d) {
    return kReal ? d != 0.0 : std::fabs(d) > kOnLevel;
  }
  template <bool kReal>
  static bool Crosses(double dp, double dc) {
    // Real samples are compared by sign: their product may round to 0.
    return kReal ? dp != 0.0 && (dp > 0.0 ? dc <= 0.0 : dc >= 0.0)
                 : dc * dp <= 0.0 && std::fabs(dp) > kOnLevel;
  }

  template <bool kReal>
  void Process(double current, std::int64_t position, double level) {
    const double dp = previousSample - level;
    const double dc = current - level;
    const bool crosses = Crosses<kReal>(dp, dc);
    // Gated, a crossing counts only from the side that is armed; from the other it is a step.
    if (crosses && (!gated || armedSide == (dp > 0.0 ? 1 : -1))) {
      CountCrossing(current, position, level);
      armedSide = 0;
    } else if (OffLevel<kReal>(dp) || OffLevel<kReal>(dc)) {
      // Steps spent on the level do not count towards the distance; a crossing that does not
      // count is a step.
      sinceCrossing = sinceCrossing + 1.0;
    }
    if (gated) {
      Arm(dc);
    }
    previousSample = current;
  }

  // The same sample may arm the other side right after it crossed.
  void Arm(double dc) {
    if (dc >= gateThreshold) {
      armedSide = 1;
    } else if (dc <= -gateThreshold) {
      armedSide = -1;
    }
  }

  // Process at the level 0.0, for integer and real samples alike. With integer samples, dp =
  // previous and dc = current exactly, and an integer within 0.0001 of 0 is 0, so both tests of
  // Process read "previous is not 0, and current is 0 or of the other sign", and a step counts 1.0
  // unless both samples are 0. Between crossings the signal stays on one side: such runs are
  // skipped four samples at a time and counted as steps.
  //
  // Gated (with a threshold above 0), a run on one side can only arm that side, which it does
  // when one of its samples reaches the threshold; a crossing from a side that is not armed is an
  // ordinary step, and the crossing sample may arm the other side, as in Process.
  template <bool kGated, class Sample>
  void ProcessAtZero(const Sample* samples, int count, std::int64_t firstPosition) {
    Sample previous = StoredAs<Sample>(previousSample);
    std::int64_t steps = 0;  // 1.0 steps not yet added to sinceCrossing
    int i = 0;
    while (i < count) {
      const int runStart = i;
      if (previous > 0) {
        i = EndOfRun(samples, i, count, AllAbove<Sample>, [](Sample s) { return s > 0; });
        if (kGated && armedSide != 1 && Reaches(samples, runStart, i, GateBound<Sample>())) {
          armedSide = 1;
        }
      } else if (previous < 0) {
        i = EndOfRun(samples, i, count, AllBelow<Sample>, [](Sample s) { return s < 0; });
        if (kGated && armedSide != -1 && Reaches(samples, runStart, i, -GateBound<Sample>())) {
          armedSide = -1;
        }
      }
      if (i > runStart) {
        steps += i - runStart;
        previous = samples[i - 1];
      }
      if (i == count) {
        break;
      }
      // Past a run, the current sample is 0 or on the other side: a crossing, unless there was
      // no run because the previous sample lay on the level.
      const Sample current = samples[i];
      if (previous != 0 && (!kGated || armedSide == (previous > 0 ? 1 : -1))) {
        sinceCrossing = AddOnes(sinceCrossing, steps);
        steps = 0;
        previousSample = ValueOf(previous);
        CountCrossing(ValueOf(current), firstPosition + i, 0.0);
        if (kGated) {
          armedSide = 0;
        }
      } else if (previous != 0 || current != 0) {
        // Gated, a crossing from the side that is not armed is an ordinary step.
        ++steps;
      }
      if (kGated) {
        Arm(ValueOf(current));
      }
      previous = current;
      ++i;
    }
    sinceCrossing = AddOnes(sinceCrossing, steps);
    previousSample = ValueOf(previous);
  }

  // ProcessAtZero without a gate, 64 samples at a time from their signs. Sample i crosses where
  // sample i - 1 lies above 0 and sample i does not, or below 0 and sample i does not; every other
  // sample is a step unless both are 0. The crossings are then taken in order, each with the steps
  // before it, exactly as ProcessAtZero takes them; the samples that are left over go to it.
  template <class Sample>
  void ProcessAtZeroBySigns(const Sample* samples, int count, std::int64_t firstPosition) {
    constexpr int kWidth = SignMasks::kWidth;
    Sample previous = StoredAs<Sample>(previousSample);
    std::int64_t steps = 0;  // 1.0 steps not yet added to sinceCrossing
    // The distance and the window's sum stay in registers between crossings.
    double since = sinceCrossing;
    double sum = intervalSum;
    int i = 0;
    for (; i + kWidth <= count; i += kWidth) {
      const SignMasks signs = SignMasks::Of(samples + i);
      const std::uint64_t aboveBefore = (signs.above << 1) | (previous > 0 ? 1u : 0u);
      const std::uint64_t belowBefore = (signs.below << 1) | (previous < 0 ? 1u : 0u);
      std::uint64_t crossings = (aboveBefore & ~signs.above) | (belowBefore & ~signs.below);
      // Samples that are 0 after a 0: no step.
      const std::uint64_t zeros = ~(signs.above | signs.below);
      const std::uint64_t still = zeros & ((zeros << 1) | (previous == 0 ? 1u : 0u));
      int next = 0;  // the first sample of the word not yet counted
      while (crossings != 0) {
        const int at = LowestBit(crossings);
        steps += (at - next) - OnesBetween(still, next, at);
        since = AddOnes(since, steps);
        steps = 0;
        Cross<false>(ValueOf(samples[i + at]), ValueOf(at == 0 ? previous : samples[i + at - 1]),
                     firstPosition + i + at, 0.0, since, sum);
        next = at + 1;
        crossings &= crossings - 1;
      }
      steps += (kWidth - next) - OnesBetween(still, next, kWidth);
      previous = samples[i + kWidth - 1];
    }
    sinceCrossing = AddOnes(since, steps);
    intervalSum = sum;
    previousSample = ValueOf(previous);
    ProcessAtZero<false>(samples + i, count - i, firstPosition + i);
  }

  static int LowestBit(std::uint64_t word) {
#if defined(__GNUC__)
    return __builtin_ctzll(word);
#else
    int bit = 0;
    while ((word & 1u) == 0) {
      word >>= 1;
      ++bit;
    }
    return bit;
#endif
  }

  // The set bits of `word` from bit `from` up to bit `to`, not including it.
  static int OnesBetween(std::uint64_t word, int from, int to) {
    if (word == 0 || from >= to) {
      return 0;
    }
    const std::uint64_t range = (to == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << to) - 1) &
                                ~((std::uint64_t{1} << from) - 1);
    word &= range;
    int ones = 0;
    for (; word != 0; word &= word - 1) {
      ++ones;
    }
    return ones;
  }

  // Whether all four samples from `four` on lie above the level 0, or all below it.
  template <class Sample>
  static bool AllAbove(const Sample* four) {
    if constexpr (std::is_same_v<Sample, int>) {
      // All four at least 1: no difference below 0 (in 64 bits, where none overflows).
      return ((static_cast<std::int64_t>(four[0]) - 1) | (static_cast<std::int64_t>(four[1]) - 1) |
              (static_cast<std::int64_t>(four[2]) - 1) |
              (static_cast<std::int64_t>(four[3]) - 1)) >= 0;
    } else if constexpr (std::is_same_v<Sample, double>) {
      return Pair::Min(Pair::Load(four), Pair::Load(four + 2)).Least() > 0.0;
    } else {
      return four[0] > 0 && four[1] > 0 && four[2] > 0 && four[3] > 0;
    }
  }
  template <class Sample>
  static bool AllBelow(const Sample* four) {
    if constexpr (std::is_same_v<Sample, int>) {
      return (four[0] & four[1] & four[2] & four[3]) < 0;
    } else if constexpr (std::is_same_v<Sample, double>) {
      return Pair::Max(Pair::Load(four), Pair::Load(four + 2)).Most() < 0.0;
    } else {
      return four[0] < 0 && four[1] < 0 && four[2] < 0 && four[3] < 0;
    }
  }

  // The index of the first sample from `from` on that is not on the run's side.
  template <class Sample, class AllFour, class OnSide>
  static int EndOfRun(const Sample* samples, int from, int count, AllFour allFour, OnSide onSide) {
    int i = from;
    while (i + 4 <= count && allFour(samples + i)) {
      i += 4;
    }
    while (i < count && onSide(samples[i])) {
      ++i;
    }
    return i;
  }

  // The gate's threshold as samples of this type compare with it: for integers, the least one at
  // or above it.
  template <class Sample>
  auto GateBound() const {
    if constexpr (std::is_same_v<Sample, int>) {
      return armingSample;
    } else {
      return gateThreshold;
    }
  }

  // Whether a sample of samples[from, to), all on the side of `bound`'s sign, lies at `bound` or
  // beyond it.
  template <class Sample, class Bound>
  static bool Reaches(const Sample* samples, int from, int to, Bound bound) {
    for (int k = from; k < to; ++k) {
      if (bound > 0 ? samples[k] >= bound : samples[k] <= bound) {
        return true;
      }
    }
    return false;
  }

  // Out of line: it runs about twice per period, against once per sample for the rest.
#if defined(__GNUC__)
  __attribute__((noinline))
#endif
  void
  CountCrossing(double current, std::int64_t position, double level) {
    Cross<true>(current, previousSample, position, level, sinceCrossing, intervalSum);
  }

  // A crossing between `previous` and `current`, with the distance since the last crossing and
  // the window's sum held by the caller. `kMayGate`: whether the gate can be on.
  template <bool kMayGate>
  void Cross(double current, double previous, std::int64_t position, double level, double& since,
             double& sum) {
    // Exact for integer samples, whose differences need at most 33 bits.
    const double d = current - previous;
    // The crossing's place between the previous sample (0) and the current one (1).
    const double fraction = std::fabs(d) > 0.1 ? (level - previous) / d : 0.5;
    since = since + fraction;
    if (since > 1.0) {
      if (kMayGate && gated && IsGap(since, sum)) {
        // A gap, a dropout or a dip below the gate: no half period of the tone. The window
        // starts again from this crossing and reports nothing until it holds a distance.
        intervals.clear();
        sum = 0.0;
        since = 1.0 - fraction;
        return;
      }
      intervals.push_back(since);
      sum = sum + since;
      since = 1.0 - fraction;
    }
    // One trim per crossing at most keeps the work per sample constant.
    if (sum > static_cast<double>(windowLength) && !intervals.empty()) {
      sum = sum - intervals.front();
      intervals.pop_front();
    }
    if (!intervals.empty()) {
      const double beforeRate = static_cast<double>(position) - sum * 0.5 - fraction;
      // Most values are thinned away by the writer: those are not worked out.
      if (beforeRate < BeforeRateDropped()) {
        return;
      }
      const double n = static_cast<double>(intervals.size());
      const double time = beforeRate / sampleRate;
      const double frequency = sampleRate / ((sum + sum) / n);
      writer.WriteValue(time, frequency);
    }
  }

  // A value of the time's dividend below this is one whose time the writer drops: it lies below
  // the writer's DropsUpTo() times the rate by a margin wider than the roundings of that product
  // and of the division, so the time, rounded, is at most DropsUpTo().
  double BeforeRateDropped() {
    const double dropsUpTo = writer.DropsUpTo();
    if (!(dropsUpTo == droppedFor)) {
      droppedFor = dropsUpTo;
      const double product = dropsUpTo * sampleRate;
      beforeRateDropped = product - std::fabs(product) * 0x1p-40 - 0x1p-1070;
    }
    return beforeRateDropped;
  }

  // Gated, a distance longer than the window, or more than twice the mean of the distances the
  // window holds, is a gap in the tone: a steady tone's half periods never come near either.
  bool IsGap(double distance, double sum) const {
    if (distance > static_cast<double>(windowLength)) {
      return true;
    }
    return !intervals.empty() && distance > (sum + sum) / static_cast<double>(intervals.size());
  }

  template <bool kReal>
  void WorkOffBacklog(double sample, double level) {
    // The provider has caught up: work off the held-back samples oldest first, each at its own
    // stream position, for as long as the provider's count covers them.
    std::int64_t position = samplesReceived - static_cast<std::int64_t>(pendingSamples.size());
    pendingSamples.push_back(sample);
    do {
      const double current = pendingSamples.front();
      pendingSamples.pop_front();
      Process<kReal>(current, position, level);
      ++position;
    } while (!pendingSamples.empty() && !(mean.GetSampleCount() < static_cast<double>(position)));
  }

  Mean& mean;
  Writer& writer;
  const int windowLength;
  double previousSample = 0.0;
  const double sampleRate;
  std::int64_t samplesReceived = 0;
  double sinceCrossing = 0.0;
  double intervalSum = 0.0;
  RingQueue<double> intervals;
  double droppedFor = -std::numeric_limits<double>::infinity();
  double beforeRateDropped = -std::numeric_limits<double>::infinity();
  RingQueue<double> pendingSamples;
  bool gated = false;
  double gateThreshold = 0.0;
  double singleScale = 1.0;  // what a float sample stands for, in the units of the others
  std::int64_t armingSample = INT64_MAX;  // the least integer sample at or above gateThreshold
  // The side (+1 above, -1 below the level) from which the next crossing may come; 0 for none.
  int armedSide = 0;
};

/// The meter as the other components see it: through the level provider and writer interfaces.
using WavFreqMeter = BasicWavFreqMeter<IWavMean, IDataWriter>;

}  // namespace wavfreq
