#pragma once

#include <cmath>
#include <cstdint>

#include "core/IDataProcessor.h"
#include "core/IDataWriter.h"
#include "core/IWavMean.h"
#include "meter/RingQueue.h"

namespace wavfreq {

/// Zero-crossing frequency meter. Each crossing of the reference level is located between two
/// samples by linear interpolation; the distance between successive crossings is half a period.
/// The distances inside a window of `windowLength` samples give the frequency reported after
/// each crossing.
///
/// The floating-point operations are written out in the order that defines the results; the
/// build forbids contraction, so every report is reproducible to the last bit.
class WavFreqMeter final : public IDataProcessor {
 public:
  /// Writes the result table's header line through the writer.
  WavFreqMeter(IDataWriter& writer, IWavMean& mean, int windowLength, int sampleRate);
  ~WavFreqMeter() override = default;
  WavFreqMeter(const WavFreqMeter&) = delete;
  WavFreqMeter& operator=(const WavFreqMeter&) = delete;

  void ProcessSample(int sample) override {
    const double level = mean.AddSample(static_cast<double>(sample));
    const std::int64_t passedOn =
        samplesReceived - static_cast<std::int64_t>(pendingSamples.size());
    if (mean.GetSampleCount() < static_cast<double>(passedOn)) {
      pendingSamples.push_back(sample);
    } else if (pendingSamples.empty()) {
      Process(sample, samplesReceived, level);
    } else {
      WorkOffBacklog(sample, level);
    }
    ++samplesReceived;
  }

  double GetTime() override { return static_cast<double>(samplesReceived) / sampleRate; }

 private:
  void Process(int current, std::int64_t position, double level) {
    const double dp = previousSample - level;
    const double dc = current - level;
    if (dc * dp <= 0.0 && std::fabs(dp) > 0.0001) {
      CountCrossing(current, position, level);
    } else if (std::fabs(dp) > 0.0001 || std::fabs(dc) > 0.0001) {
      // Steps spent on the level do not count towards the distance.
      sinceCrossing = sinceCrossing + 1.0;
    }
    previousSample = current;
  }

  void CountCrossing(int current, std::int64_t position, double level);
  void WorkOffBacklog(int sample, double level);

  IWavMean& mean;
  IDataWriter& writer;
  const int windowLength;
  int previousSample = 0;
  const double sampleRate;
  std::int64_t samplesReceived = 0;
  double sinceCrossing = 0.0;
  double intervalSum = 0.0;
  RingQueue<double> intervals;
  RingQueue<int> pendingSamples;
};

}  // namespace wavfreq
