#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
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
/// about 0.1 s. The last two seconds of samples are kept, so that a tone found, or the next one
/// after a step, is followed from before its start: its filters have settled by then, and its
/// block starts where it does.
///
/// Its text is bounded whatever the input: tones shorter than a second are counted, not shown,
/// and blocks stop before the summary reaches 200 lines.
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
      Keep(piece, take);
      if (tone != nullptr) {
        tone->Process(piece, take);
      }
      gathered += take;
      done += take;
      position += take;
      if (tone != nullptr && tone->Ended()) {
        EndTone();
      }
      if (readings) {
        Collect(false);
      }
      if (gathered == window) {
        gathered = 0;
        if (tone == nullptr || tone->Missing()) {
          Look();
        }
      }
    }
  }

  /// The end of the input: it is taken as silent after its end, so that a tone that lasts to it
  /// ends there. Report calls it.
  void Finish();

  /// The figures, one "Name: value unit" line each: the table's line count, then a block per
  /// tone. With neither lines nor a tone, one line says that nothing was measured.
  std::string Report(std::int64_t lines);

  /// A second of the input as a live display shows it: second k of the input runs from k - 1 to
  /// k seconds. Where a tone was measured in it: its mean frequency then, the speed error against
  /// the nominal frequency (NaN where none applies), and the weighted two-sigma figure over the
  /// last 10 s of the tone (NaN until the weighting has settled), in percent.
  struct Reading {
    double seconds = 0.0;
    bool tone = false;
    double hertz = 0.0;
    double speedError = 0.0;
    double flutter = 0.0;
  };
  /// Asks for a reading of every second of the input, from the summary's own measurement.
  void KeepReadings();
  /// The readings ready since the last call; another thread may take them.
  std::vector<Reading> TakeReadings();
  /// A second's reading comes once the tone's figures have passed it, or, with no tone
  /// followed, this long after it.
  static constexpr double kNoToneLag = 1.0;

  /// Averages each tone over the turns of a platter or capstan at `rpm` turns a minute.
  void KeepTurn(double rpm);
  /// Gathers what a report draws of each tone that gets a block.
  void KeepPlots();
  /// The report's plots of the tones with a block, in their order, once the input has ended.
  std::vector<std::unique_ptr<TonePlots>> TakePlots();
  /// Keeps each block as a JSON object too.
  void KeepJson();
  /// The JSON objects of the tones with a block, in their order, once the input has ended.
  const std::vector<std::string>& JsonTones();
  /// Tones measured that got no block: shorter than a second, and past the summary's length.
  std::int64_t ShortTones() const { return shortTones; }
  std::int64_t UnshownTones() const { return unshownTones; }

  /// Lines of the summary at most.
  static constexpr int kMostLines = 200;
  /// Tones shorter than a second get no block: those whose block would span less than this,
  /// which leaves room for where the edges of a tone of a second fall.
  static constexpr double kShortestTone = 0.95;

 private:
  /// Looks for a tone in the window just gathered.
  void Look();
  /// Turns the seconds the tone's figures have passed into readings; `final` at the input's end.
  void Collect(bool final);
  void Emit(const Reading& reading);
  /// Ends the tone followed; one that stepped hands on to the next.
  void EndTone();
  /// Follows a tone at `carrier` from `from` samples into the input, or from the oldest kept; it
  /// counts from `notBefore` seconds on, and starts its block there if it comes `afterStep`.
  void StartTone(double carrier, std::int64_t from, double notBefore, bool afterStep);
  template <class Sample>
  void Keep(const Sample* samples, int count) {
    // Up to the ring's end, then from its start: two plain loops the compiler converts a vector
    // at a time.
    std::size_t left = static_cast<std::size_t>(count);
    while (left > 0) {
      const std::size_t take = std::min(left, history.size() - keptAt);
      float* to = history.data() + keptAt;
      for (std::size_t i = 0; i < take; ++i) {
        to[i] = static_cast<float>(samples[i]);
      }
      samples += take;
      left -= take;
      keptAt = keptAt + take == history.size() ? 0 : keptAt + take;
    }
  }
  /// The kept samples from `from` to `to` (positions in the input) in order.
  void Kept(std::int64_t from, std::int64_t to, std::vector<float>& out) const;

  int rate;
  double fullScale;
  double sampleStep;
  double nominal;
  CarrierSearch search;
  std::unique_ptr<ToneTracker> tone;
  std::vector<float> history;  // a ring of the last samples taken
  std::size_t keptAt = 0;      // where the next goes
  std::vector<float> scratch;
  int gathered = 0;           // samples of the window being gathered
  std::int64_t position = 0;  // samples taken so far
  // Where the last tone's block ended: the next starts no earlier, and may start right there.
  double lastEnd = -std::numeric_limits<double>::infinity();
  std::string blocks;
  int blockCount = 0;
  int blockLines = 0;
  std::int64_t shortTones = 0;
  std::int64_t unshownTones = 0;
  bool finished = false;
  double rpm = 0.0;
  bool keepPlots = false;
  std::vector<std::unique_ptr<TonePlots>> plots;
  bool keepJson = false;
  std::vector<std::string> jsonTones;
  // Readings: asked for or not, the next second to give, and those ready to be taken.
  bool readings = false;
  std::int64_t nextReading = 1;
  std::mutex readingsMutex;
  std::vector<Reading> ready;
};

}  // namespace wavfreq
