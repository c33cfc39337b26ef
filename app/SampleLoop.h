#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/Interruption.h"
#include "app/ReadAhead.h"
#include "dsp/BandPass.h"
#include "wav/SampleDecoder.h"

namespace wavfreq {

/// The loop that takes a channel's samples from the source to the measurement, a block at a time:
/// on this thread, or for a file read ahead on a second one, the samples crossing as stored and
/// the band-pass filter's two halves split between the threads.
class SampleLoop {
 public:
  /// Reads the chosen channel of every frame into the processor, block by block, until the data
  /// ends, the source fails or `stop` is set, and tells `progress(framesBefore, count)` of each
  /// block. The samples are read as `Sample`: int, or double for floating-point samples and the
  /// filter. With a band-pass filter, they go through it, and the filter's last output after the
  /// loop. With `mayReadAhead`, a source that is not a stream is read on a thread of its own.
  template <class Sample, class Source, class Processor, class Progress>
  static void Run(Source& source, Processor& processor, int channel, const StopFlag& stop,
                  BandPass* band, Progress progress, bool mayReadAhead);

  /// Frames read and measured at a time: the stop request is looked at once per block.
  static constexpr int kBlockFrames = 4096;

 private:
  /// Whether a source can say that its input is a stream; the others are read ahead on a thread.
  template <class Source, class = void>
  struct CanReadAhead : std::false_type {};
  template <class Source>
  struct CanReadAhead<Source, std::void_t<decltype(std::declval<Source&>().IsStream())>>
      : std::true_type {};
  /// Whether a source can read its samples as they are stored.
  template <class Source, class = void>
  struct CanReadStored : std::false_type {};
  template <class Source>
  struct CanReadStored<Source, std::void_t<decltype(std::declval<Source&>().StoredForm(0))>>
      : std::true_type {};
  /// Whether a processor takes samples stored as floats without their being widened.
  template <class Processor, class = void>
  struct TakesSingles : std::false_type {};
  template <class Processor>
  struct TakesSingles<Processor, std::void_t<decltype(std::declval<Processor&>().ProcessBlock(
                                     std::declval<const float*>(), 0))>> : std::true_type {};
  /// Whether a processor takes 16-bit samples as stored.
  template <class Processor, class = void>
  struct TakesWords : std::false_type {};
  template <class Processor>
  struct TakesWords<Processor, std::void_t<decltype(std::declval<Processor&>().ProcessBlock(
                                   std::declval<const std::int16_t*>(), 0))>> : std::true_type {};
  /// The form in which a source's samples can be read as stored and widened to `Sample`: bytes
  /// and words to int, floats to double.
  template <class Sample, class Source>
  static SampleDecoder::Stored StoredFormFor(Source& source, int channel) {
    if constexpr (CanReadStored<Source>::value) {
      const SampleDecoder::Stored form = source.StoredForm(channel);
      const bool widens = std::is_same_v<Sample, double> ? form == SampleDecoder::Stored::kSingles
                                                         : form != SampleDecoder::Stored::kSingles;
      return widens ? form : SampleDecoder::Stored::kNone;
    } else {
      static_cast<void>(source);
      static_cast<void>(channel);
      return SampleDecoder::Stored::kNone;
    }
  }
  /// The filter's input side on the reading thread, its output side on this one: they meet at
  /// its low-rate values, a few per block. `read(count)` tells of the frames read and says
  /// whether to go on; after a stop, what the input side took is still measured to its end, so
  /// that the filter's last output follows on from it.
  template <class Sample, class Source, class Filtered, class Read>
  static bool MeasureFilteredAhead(Source& source, int channel, BandPass& band, Filtered& filtered,
                                   Read read) {
    ReadAhead<Source, Sample> ahead(
        source, channel, [&band](const Sample* samples, int count, std::vector<double>& lowRate) {
          band.Take(samples, count);
          band.TakeLowRate(lowRate);
        });
    if (!ahead.Ready()) {
      return false;
    }
    const Sample* slot = nullptr;
    bool going = true;
    for (int count = ahead.Next(slot); count > 0; count = ahead.Next(slot)) {
      band.Emit(ahead.Values(), filtered);
      bool go = true;
      for (int at = 0; at < count; at += kBlockFrames) {
        go = read(std::min(kBlockFrames, count - at)) && go;
      }
      if (going && !go) {
        going = false;
        ahead.Stop();
      }
    }
    return true;
  }
  /// Reads ahead as stored (or as `Sample` itself), widens a block at a time and measures, until
  /// `measure` says stop. False, having read nothing, where the read-ahead's memory could not be
  /// had.
  template <class Stored, class Sample, class Source, class Measure>
  static bool MeasureStored(Source& source, int channel, Measure& measure) {
    if constexpr (std::is_same_v<Stored, Sample> ||
                  (CanReadStored<Source>::value &&
                   std::is_same_v<Sample, double> == std::is_same_v<Stored, float>)) {
      ReadAhead<Source, Stored> ahead(source, channel);
      if (!ahead.Ready()) {
        return false;
      }
      const Stored* slot = nullptr;
      Sample samples[kBlockFrames];
      bool going = true;
      for (int count = ahead.Next(slot); going && count > 0; count = ahead.Next(slot)) {
        // The same blocks as read one at a time, so that the stop is looked at as often.
        for (int at = 0; going && at < count; at += kBlockFrames) {
          const int block = std::min(kBlockFrames, count - at);
          if constexpr (std::is_same_v<Stored, Sample>) {
            going = measure(slot + at, block);
          } else {
            SampleDecoder::Widen(slot + at, block, samples);
            going = measure(samples, block);
          }
        }
      }
      return true;
    } else {
      static_cast<void>(source);
      static_cast<void>(channel);
      static_cast<void>(measure);
      return false;
    }
  }
};

template <class Sample, class Source, class Processor, class Progress>
void SampleLoop::Run(Source& source, Processor& processor, int channel, const StopFlag& stop,
                     BandPass* band, Progress progress, bool mayReadAhead) {
  // The filter's output is double: only a loop over doubles takes it.
  const auto filtered = [&processor](const double* values, int count) {
    if constexpr (std::is_same_v<Sample, double>) {
      processor.ProcessBlock(values, count);
    } else {
      static_cast<void>(processor);
      static_cast<void>(values);
      static_cast<void>(count);
    }
  };
  std::int64_t framesRead = 0;
  // One block measured: the progress told. False once the run is to stop.
  const auto told = [&](int count) {
    progress(framesRead, count);
    framesRead += count;
    return stop == 0;
  };
  const auto measure = [&](const Sample* samples, int count) {
    if (band != nullptr) {
      band->Process(samples, count, filtered);
    } else {
      processor.ProcessBlock(samples, count);
    }
    return told(count);
  };
  const auto measureWords = [&](const std::int16_t* samples, int count) {
    if constexpr (TakesWords<Processor>::value) {
      processor.ProcessBlock(samples, count);
    } else {
      static_cast<void>(samples);
    }
    return told(count);
  };
  bool readAhead = false;
  if constexpr (CanReadAhead<Source>::value) {
    // A stream's next frames may not have arrived: what has is measured before the run waits,
    // so it is read on this thread, block by block.
    readAhead = mayReadAhead && !source.IsStream();
  }
  bool done = false;
  if (readAhead && band != nullptr) {
    done = MeasureFilteredAhead<Sample>(source, channel, *band, filtered, told);
  } else if (readAhead) {
    // Samples are handed across as stored where they are bytes, words or floats, and widened
    // here a block at a time as far as the meter needs: words and floats not at all.
    switch (StoredFormFor<Sample>(source, channel)) {
      case SampleDecoder::Stored::kBytes:
        if constexpr (TakesWords<Processor>::value && CanReadStored<Source>::value) {
          // Bytes widened to words, half the stores of ints, whose signs the meter reads eight
          // to a register.
          done = MeasureStored<std::uint8_t, std::int16_t>(source, channel, measureWords);
        } else {
          done = MeasureStored<std::uint8_t, Sample>(source, channel, measure);
        }
        break;
      case SampleDecoder::Stored::kWords:
        if constexpr (TakesWords<Processor>::value && CanReadStored<Source>::value) {
          // The meter reads the words' signs as they are; only the summary widens them.
          done = MeasureStored<std::int16_t, std::int16_t>(source, channel, measureWords);
        } else {
          done = MeasureStored<std::int16_t, Sample>(source, channel, measure);
        }
        break;
      case SampleDecoder::Stored::kSingles:
        if constexpr (TakesSingles<Processor>::value && CanReadStored<Source>::value) {
          // The meter takes floats as stored: none is widened but a crossing's.
          const auto measureSingles = [&](const float* samples, int count) {
            processor.ProcessBlock(samples, count);
            return told(count);
          };
          done = MeasureStored<float, float>(source, channel, measureSingles);
        } else {
          done = MeasureStored<float, Sample>(source, channel, measure);
        }
        break;
      case SampleDecoder::Stored::kNone:
        done = MeasureStored<Sample, Sample>(source, channel, measure);
        break;
    }
  }
  if (!done) {
    Sample samples[kBlockFrames];
    while (!source.IsEndOfData()) {
      if (source.HasError()) {
        break;
      }
      const int count = source.ReadBlock(channel, samples, kBlockFrames);
      if (count == 0 || !measure(samples, count)) {
        break;
      }
    }
  }
  // Whatever ended the input, the filter's output for the samples read so far is measured.
  if (band != nullptr) {
    band->Finish(filtered);
  }
}

}  // namespace wavfreq
