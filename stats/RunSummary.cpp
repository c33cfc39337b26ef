#include "stats/RunSummary.h"

#include <cmath>
#include <limits>

#include "core/TextFormat.h"

namespace wavfreq {

namespace {

// Enough for a 50 Hz tone's filter to fill before where it was found or where it stepped; at
// most 2^19 samples (2 MiB, 2.7 s at 192 kHz), whatever rate a header states.
constexpr double kHistorySeconds = 2.0;
constexpr double kMostHistory = 524288.0;
// The summary's first line and the two that count the tones without a block.
constexpr int kLinesBesideBlocks = 3;

int LinesOf(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

RunSummary::RunSummary(int sampleRate, const SampleFormat& format, double nominalHertz)
    : rate(sampleRate),
      fullScale(format.fullScale),
      // Floating-point samples come scaled to 2^31 and hold 24 bits.
      sampleStep(format.coding == SampleFormat::Coding::kFloat ? format.fullScale * 0x1p-23 : 1.0),
      nominal(nominalHertz),
      search(sampleRate, format.fullScale) {
  const std::size_t window = static_cast<std::size_t>(search.WindowLength());
  history.assign(
      static_cast<std::size_t>(std::fmin(kHistorySeconds * sampleRate, kMostHistory)) + 2 * window,
      0.0F);
  scratch.reserve(history.size());
}

void RunSummary::Kept(std::int64_t from, std::int64_t to, std::vector<float>& out) const {
  out.clear();
  const std::int64_t size = static_cast<std::int64_t>(history.size());
  for (std::int64_t at = from; at < to; ++at) {
    // keptAt holds position's place; `at` lies (position - at) samples before it.
    const std::int64_t back = position - at;
    const std::int64_t index = (static_cast<std::int64_t>(keptAt) - back % size + size) % size;
    out.push_back(history[static_cast<std::size_t>(index)]);
  }
}

void RunSummary::Look() {
  const int window = search.WindowLength();
  Kept(position - window, position, scratch);
  const double found = search.Find(scratch.data());
  if (found > 0.0 && (tone == nullptr || !tone->Covers(found))) {
    // Another tone, or the first: the one followed until now ends where it went missing, and
    // the new one is followed from before the window where it was found.
    // It may have begun right where the last tone went missing.
    if (tone != nullptr) {
      EndTone();
    }
    std::int64_t from = position - 2 * window;
    if (lastEnd > -std::numeric_limits<double>::infinity()) {
      from = std::min(from, static_cast<std::int64_t>(std::floor(lastEnd * rate)));
    }
    StartTone(found, from, lastEnd, false);
  }
}

void RunSummary::StartTone(double carrier, std::int64_t from, double notBefore, bool afterStep) {
  ToneTracker::Start start;
  start.sampleRate = rate;
  start.carrier = carrier;
  start.power = search.FoundPower();
  start.neighbour = search.Neighbour();
  start.neighbourDb = search.NeighbourDb();
  start.sampleStep = sampleStep;
  start.fullScale = fullScale;
  start.notBefore = notBefore;
  start.afterStep = afterStep;
  start.foundSeconds = static_cast<double>(position) / rate;
  const std::int64_t oldest =
      std::max<std::int64_t>(0, position - static_cast<std::int64_t>(history.size()));
  const std::int64_t first = std::max(oldest, from - ToneTracker::PrerollSamples(start));
  start.seconds = static_cast<double>(first) / rate;
  start.fromInputStart = first == 0;
  tone = std::make_unique<ToneTracker>(start);
  if (readings) {
    tone->KeepReadings();
  }
  if (rpm > 0.0) {
    tone->KeepTurn(rpm, nominal);
  }
  if (keepPlots) {
    tone->KeepPlots();
  }
  Kept(first, position, scratch);
  tone->Process(scratch.data(), static_cast<int>(scratch.size()));
  if (tone->Ended()) {
    EndTone();
  }
}

void RunSummary::EndTone() {
  tone->Close();
  if (readings) {
    Collect(false);
  }
  if (tone->Measured()) {
    lastEnd = std::fmax(lastEnd, tone->EndSeconds());
    if (tone->Seconds() < kShortestTone) {
      ++shortTones;
    } else if (blockLines < kMostLines - kLinesBesideBlocks) {
      std::string json;
      const std::string block = tone->Report(blockCount + 1, nominal, keepJson ? &json : nullptr);
      const int lines = LinesOf(block);
      if (blockLines + lines <= kMostLines - kLinesBesideBlocks) {
        blocks += block;
        blockLines += lines;
        ++blockCount;
        if (std::unique_ptr<TonePlots> drawn = tone->TakePlots()) {
          plots.push_back(std::move(drawn));
        }
        if (keepJson) {
          jsonTones.push_back(std::move(json));
        }
      } else {
        blockLines = kMostLines;
        ++unshownTones;
      }
    } else {
      ++unshownTones;
    }
  }
  const bool stepped = tone->Stepped();
  const double stepSeconds = tone->StepSeconds();
  const double stepFrequency = tone->StepFrequency();
  tone.reset();
  if (stepped) {
    // The next tone: followed from before the step, and measured from it on.
    const int window = search.WindowLength();
    Kept(position - window, position, scratch);
    search.Find(scratch.data());
    const std::int64_t at = static_cast<std::int64_t>(std::floor(stepSeconds * rate));
    StartTone(stepFrequency, at, stepSeconds, true);
  }
}

void RunSummary::Finish() {
  if (finished) {
    return;
  }
  finished = true;
  while (tone != nullptr) {
    tone->Finish();
    EndTone();
  }
  if (readings) {
    Collect(true);
  }
}

void RunSummary::KeepReadings() {
  readings = true;
  if (tone != nullptr) {
    tone->KeepReadings();
  }
}

std::vector<RunSummary::Reading> RunSummary::TakeReadings() {
  std::vector<Reading> taken;
  std::lock_guard<std::mutex> lock(readingsMutex);
  taken.swap(ready);
  return taken;
}

void RunSummary::Emit(const Reading& reading) {
  std::lock_guard<std::mutex> lock(readingsMutex);
  ready.push_back(reading);
}

void RunSummary::Collect(bool final) {
  const auto noTone = [this](std::int64_t second) {
    Reading reading;
    reading.seconds = static_cast<double>(second);
    Emit(reading);
  };
  if (tone != nullptr) {
    for (const ToneTracker::Second& second : tone->TakeSeconds()) {
      if (second.second < nextReading) {
        continue;
      }
      for (; nextReading < second.second; ++nextReading) {
        noTone(nextReading);
      }
      Reading reading;
      reading.seconds = static_cast<double>(second.second);
      reading.tone = second.values > 0;
      reading.hertz = second.hertz;
      reading.flutter = second.flutter;
      const double against = nominal > 0.0 ? nominal : ToneTracker::NearestStandard(second.hertz);
      reading.speedError = against > 0.0 ? 100.0 * (second.hertz - against) / against
                                         : std::numeric_limits<double>::quiet_NaN();
      Emit(reading);
      nextReading = second.second + 1;
    }
  }
  // Seconds no tone will speak for: with none followed, a while after them; at the end, all.
  if (tone == nullptr || !tone->Measured()) {
    const double now = static_cast<double>(position) / rate;
    const double until = final ? now : now - kNoToneLag;
    for (; static_cast<double>(nextReading) <= until; ++nextReading) {
      noTone(nextReading);
    }
  }
}

void RunSummary::KeepTurn(double turnsPerMinute) {
  rpm = turnsPerMinute;
}

void RunSummary::KeepPlots() {
  keepPlots = true;
}

std::vector<std::unique_ptr<TonePlots>> RunSummary::TakePlots() {
  Finish();
  return std::move(plots);
}

void RunSummary::KeepJson() {
  keepJson = true;
}

const std::vector<std::string>& RunSummary::JsonTones() {
  Finish();
  return jsonTones;
}

std::string RunSummary::Report(std::int64_t lines) {
  Finish();
  if (lines == 0 && blockCount == 0 && shortTones == 0 && unshownTones == 0) {
    return "No frequency measured.\n";
  }
  std::string report;
  TextFormat::Append(report, "Lines: %lld\n", static_cast<long long>(lines));
  if (blockCount == 0 && shortTones == 0 && unshownTones == 0) {
    return report + "No tone measured.\n";
  }
  report += blocks;
  if (shortTones > 0) {
    TextFormat::Append(report, "Tones under 1 s: %lld (no block)\n",
                       static_cast<long long>(shortTones));
  }
  if (unshownTones > 0) {
    TextFormat::Append(report, "Tones not shown: %lld (the first %d have a block)\n",
                       static_cast<long long>(unshownTones), blockCount);
  }
  return report;
}

}  // namespace wavfreq
