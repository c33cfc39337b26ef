#include "meter/WavFreqMeter.h"

namespace wavfreq {

WavFreqMeter::WavFreqMeter(IDataWriter& dataWriter, IWavMean& levelProvider, int window, int rate)
    : mean(levelProvider),
      writer(dataWriter),
      windowLength(window),
      sampleRate(static_cast<double>(rate)) {
  writer.WriteText("Time:  \tFreq:\n");
}

void WavFreqMeter::CountCrossing(int current, std::int64_t position, double level) {
  // The difference is taken in 64 bits so that no pair of int samples can overflow it.
  const std::int64_t step = static_cast<std::int64_t>(current) - previousSample;
  const double d = static_cast<double>(step);
  // The crossing's place between the previous sample (0) and the current one (1).
  const double fraction = std::fabs(d) > 0.1 ? (level - previousSample) / d : 0.5;
  sinceCrossing = sinceCrossing + fraction;
  if (sinceCrossing > 1.0) {
    intervals.push_back(sinceCrossing);
    intervalSum = intervalSum + sinceCrossing;
    sinceCrossing = 1.0 - fraction;
  }
  // One trim per crossing at most keeps the work per sample constant.
  if (intervalSum > static_cast<double>(windowLength) && !intervals.empty()) {
    intervalSum = intervalSum - intervals.front();
    intervals.pop_front();
  }
  if (!intervals.empty()) {
    const double n = static_cast<double>(intervals.size());
    const double time = (static_cast<double>(position) - intervalSum * 0.5 - fraction) / sampleRate;
    const double frequency = sampleRate / ((intervalSum + intervalSum) / n);
    writer.WriteValue(time, frequency);
  }
}

void WavFreqMeter::WorkOffBacklog(int sample, double level) {
  // The provider has caught up: work off the held-back samples oldest first, each at its own
  // stream position, for as long as the provider's count covers them.
  std::int64_t position = samplesReceived - static_cast<std::int64_t>(pendingSamples.size());
  pendingSamples.push_back(sample);
  do {
    const int current = pendingSamples.front();
    pendingSamples.pop_front();
    Process(current, position, level);
    ++position;
  } while (!pendingSamples.empty() && !(mean.GetSampleCount() < static_cast<double>(position)));
}

}  // namespace wavfreq
