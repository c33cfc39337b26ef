#include "app/LiveDisplay.h"

#include <cmath>
#include <cstdio>

#include "core/TextFormat.h"

namespace wavfreq {

namespace {

constexpr int kMarks = 21;  // the scale's marks, the middle one at 0
constexpr double kPercentPerMark = 0.05;

}  // namespace

LiveDisplay::LiveDisplay(Console& console) : out(console), inPlace(console.IsTerminal()) {}

std::string LiveDisplay::Text(const RunSummary::Reading& reading) {
  char time[32];
  std::snprintf(time, sizeof time, "%6.1f s", reading.seconds);
  std::string text = time;
  if (!reading.tone) {
    return text + "  no tone";
  }
  text += "  " + TextFormat::Fixed(reading.hertz, 3) + " Hz  ";
  text += std::isnan(reading.speedError) ? std::string("--")
                                         : TextFormat::Signed(reading.speedError, 4) + " %";
  text += std::isnan(reading.flutter) ? std::string("  W&F --")
                                      : "  W&F " + TextFormat::Fixed(reading.flutter, 4) + " %";
  return text;
}

std::string LiveDisplay::Scale(const RunSummary::Reading& reading) {
  std::string marks(kMarks, '-');
  marks[kMarks / 2] = '|';
  if (reading.tone && !std::isnan(reading.speedError)) {
    const double at = std::floor(reading.speedError / kPercentPerMark + 0.5) + kMarks / 2;
    if (at < 0.0) {
      marks.front() = '<';
    } else if (at > kMarks - 1) {
      marks.back() = '>';
    } else {
      marks[static_cast<std::size_t>(at)] = '*';
    }
  }
  return "-0.5 % [" + marks + "] +0.5 %";
}

void LiveDisplay::Show(const RunSummary::Reading& reading) {
  const std::string text = Text(reading);
  if (!inPlace) {
    out.Print("%s\n", text.c_str());
    return;
  }
  const std::string line = text + "  " + Scale(reading);
  // Blanks over what a longer line before left.
  const std::string rest(shown > line.size() ? shown - line.size() : 0, ' ');
  out.Print("\r%s%s", line.c_str(), rest.c_str());
  shown = line.size();
}

void LiveDisplay::Close() {
  if (inPlace && shown > 0) {
    out.Print("\n");
    shown = 0;
  }
}

}  // namespace wavfreq
