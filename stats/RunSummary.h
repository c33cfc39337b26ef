#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/SampleFormat.h"
#include "stats/CarrierSearch.h"
#include "stats/ToneTracker.h"

namespace wavfreq {

/// The summary of a run, a measurement of its own beside the table: it reads the samples that
/// the meter reads, finds the tones in them (a test tape's tones one after the other, with their
/// gaps) and gives each its figures: mean, speed error, drift, and the wow and flutter of the
/// standards. Whatever -rate, -out and -gate are, it reads the same.
///
/// Where no tone is followed, or the one followed is missing, it looks for one in windows of
/// about 0.1 s; a tone is followed from the window before the one where it was found.
class RunSummary {
 public:
  /// `nominal` hertz for the speed error, or 0 for the nearest standard test frequency.
  RunSummary(int sampleRate, const SampleFormat& format, double nominal);

  /// The next samples of the measured channel, as the meter takes them.
  template <class Sample>
  void ProcessBlock(const Sample* samples, int count) {
    const int window = search.WindowLength();
    for (int done = 0; done < count;) {
      const int take = std::min<int>(count - done, window - gathered);
      const Sample* piece = samples + done;
      if (tone != nullptr) {
        tone->Process(piece, take);
      }
      // While a tone is there, the samples are not looked at again: a window gathered then is
      // not a whole one.
      if (tone == nullptr || tone->Missing()) {
        std::copy(piece, piece + take, pending.begin() + window + gathered);
      } else {
        whole = false;
      }
      gathered += take;
      done += take;
      position += take;
      if (gathered == window) {
        if (whole && (tone == nullptr || tone->Missing())) {
          Look();
        }
        // The window just gathered becomes the one before the next.
        if (whole) {
          std::copy(pending.begin() + window, pending.end(), pending.begin());
        }
        previousWhole = whole;
        whole = true;
        gathered = 0;
      }
      if (tone != nullptr && tone->Ended()) {
        EndTone();
      }
    }
  }

  /// The figures, one "Name: value unit" line each: the table's line count, then a block per
  /// tone. With neither lines nor a tone, one line says that nothing was measured.
  std::string Report(std::int64_t lines);

 private:
  /// Looks for a tone in the window just gathered.
  void Look();
  void EndTone();

  int rate;
  double clipLevel;
  double nominal;
  CarrierSearch search;
  std::unique_ptr<ToneTracker> tone;
  // The window before the one being gathered, then that one: a tone found in a window is
  // followed from the one before, so that the demodulator has settled by its onset.
  std::vector<double> pending;
  int gathered = 0;
  bool whole = true;           // every sample of the window being gathered is in it
  bool previousWhole = false;  // and of the one before
  std::int64_t position = 0;   // samples taken so far
  std::vector<std::string> reports;
};

}  // namespace wavfreq
