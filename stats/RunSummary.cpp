#include "stats/RunSummary.h"

#include <cstdio>

namespace wavfreq {

RunSummary::RunSummary(int sampleRate, const SampleFormat& format, double nominalHertz)
    : rate(sampleRate),
      // Integer samples clip at their largest magnitude, floating-point ones at full scale.
      clipLevel(format.coding == SampleFormat::Coding::kFloat ? format.fullScale
                                                              : format.fullScale - 1.0),
      nominal(nominalHertz),
      search(sampleRate, format.fullScale) {
  pending.assign(2 * static_cast<std::size_t>(search.WindowLength()), 0.0);
}

void RunSummary::Look() {
  const int window = search.WindowLength();
  const double found = search.Find(pending.data() + window);
  if (found > 0.0 && (tone == nullptr || !tone->Covers(found))) {
    // Another tone, or the first: the one followed until now ends where it went missing.
    if (tone != nullptr) {
      EndTone();
    }
    // The window before, where it is whole: not before the input's start.
    const std::int64_t from =
        std::max<std::int64_t>(0, position - (previousWhole ? 2 : 1) * window);
    const int preroll = static_cast<int>(position - from);
    tone = std::make_unique<ToneTracker>(rate, found, search.FoundPower(),
                                         static_cast<double>(from) / rate, clipLevel);
    tone->Process(pending.data() + 2 * window - preroll, preroll);
  }
}

void RunSummary::EndTone() {
  if (tone->Measured()) {
    reports.push_back(tone->Report(static_cast<int>(reports.size()) + 1, nominal));
  }
  tone.reset();
}

std::string RunSummary::Report(std::int64_t lines) {
  if (tone != nullptr) {
    EndTone();
  }
  if (lines == 0 && reports.empty()) {
    return "No frequency measured.\n";
  }
  char text[64];
  std::snprintf(text, sizeof text, "Lines: %lld\n", static_cast<long long>(lines));
  std::string report = text;
  if (reports.empty()) {
    return report + "No tone measured.\n";
  }
  for (const std::string& block : reports) {
    report += block;
  }
  return report;
}

}  // namespace wavfreq
