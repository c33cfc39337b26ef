#include "app/ReportPage.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/TextFormat.h"
#include "dsp/Turns.h"

namespace wavfreq {

namespace {

using Points = std::vector<std::pair<double, double>>;

constexpr const char* kInk = "#222";
constexpr const char* kGrid = "#ddd";
constexpr const char* kTrace = "#1f5fa8";
constexpr const char* kAverage = "#c0262d";
constexpr double kTickSize = 11.0;
constexpr double kLabelSize = 12.0;
// The spectrum from the slowest modulation looked for to the band's top.
constexpr double kSlowestHertz = 0.1;
constexpr double kLogTicks[] = {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0};
// The polar plot: the ring of no deviation, and how far the largest goes either side of it.
constexpr double kRing = 62.0;
constexpr double kReach = 40.0;
// The figures' column: characters a line holds at their size, and the spacing of lines.
constexpr std::size_t kFigureChars = 76;
constexpr double kFigureLine = 15.0;
constexpr double kFiguresTop = 330.0;

// The natural logarithm and the exponential from additions, multiplications, divisions and exact
// scaling by powers of two alone: the C library's log and exp differ in the last bit from one
// platform to the next, and so would the picture's coordinates. Accurate to a few units in the
// last place, far finer than a plot needs.
double Log(double value) {
  int exponent = 0;
  const double mantissa = std::frexp(value, &exponent);  // in [0.5, 1)
  // ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| <= 1/3.
  const double s = (mantissa - 1.0) / (mantissa + 1.0);
  const double square = s * s;
  double sum = 0.0;
  for (int k = 41; k >= 1; k -= 2) {
    sum = sum * square + 1.0 / k;
  }
  return exponent * 0.69314718055994531 + 2.0 * s * sum;
}

double Exp(double value) {
  // e^x = 2^k e^r with |r| <= ln 2 / 2.
  const double k = std::floor(value / 0.69314718055994531 + 0.5);
  const double r = value - k * 0.69314718055994531;
  double sum = 1.0;
  for (int n = 20; n >= 1; --n) {
    sum = 1.0 + sum * r / n;
  }
  return std::ldexp(sum, static_cast<int>(k));
}

// The power of ten at or below `value` > 0, by exact steps of ten up or down from 1.
double TenBelow(double value) {
  double power = 1.0;
  while (power * 10.0 <= value) {
    power *= 10.0;
  }
  while (power > value) {
    power /= 10.0;
  }
  return power;
}

// The smallest round value (a tick step) that `magnitude` fits within.
double RoundUp(double magnitude) {
  const std::vector<double> ticks = ReportPage::Ticks(0.0, magnitude, 4);
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : magnitude;
  return std::ceil(magnitude / step - 1e-9) * step;
}

}  // namespace

std::vector<double> ReportPage::Ticks(double low, double high, int count) {
  std::vector<double> ticks;
  if (!(high > low) || count < 1 || !std::isfinite(high - low)) {
    return ticks;
  }
  const double raw = (high - low) / count;
  const double magnitude = TenBelow(raw);
  double step = 10.0 * magnitude;
  for (const double multiple : {1.0, 2.0, 5.0}) {
    if (multiple * magnitude >= raw * (1.0 - 1e-9)) {
      step = multiple * magnitude;
      break;
    }
  }
  for (double k = std::ceil(low / step - 1e-9); k * step <= high + 1e-9 * step; k += 1.0) {
    // A multiple of the step, so that 0 is exactly 0.
    ticks.push_back(k * step);
  }
  return ticks;
}

std::string ReportPage::TickLabel(double value, double step) {
  // As many decimals as the step's first digit needs: 0.05 two, 2 none.
  int decimals = 0;
  for (double place = 1.0; place > step * (1.0 + 1e-9) && decimals < 12; place /= 10.0) {
    ++decimals;
  }
  return TextFormat::Fixed(value, decimals);
}

double ReportPage::Area::X(double value) const {
  if (logX) {
    return x + Log(value / xLow) / Log(xHigh / xLow) * width;
  }
  return x + (value - xLow) / (xHigh - xLow) * width;
}

double ReportPage::Area::Y(double value) const {
  return y + height - (value - yLow) / (yHigh - yLow) * height;
}

void ReportPage::Frame(Svg& svg, const Area& area, const std::string& title,
                       const std::string& xName, const std::string& yName) {
  Svg::Style grid;
  grid.stroke = kGrid;
  std::vector<double> xTicks;
  if (area.logX) {
    for (const double tick : kLogTicks) {
      if (tick >= area.xLow * (1 - 1e-9) && tick <= area.xHigh * (1 + 1e-9)) {
        xTicks.push_back(tick);
      }
    }
  } else {
    xTicks = Ticks(area.xLow, area.xHigh, 6);
  }
  const double xStep = xTicks.size() > 1 ? xTicks[1] - xTicks[0] : 1.0;
  for (const double tick : xTicks) {
    const double at = area.X(tick);
    svg.Line(at, area.y, at, area.y + area.height, grid);
    svg.Text(at, area.y + area.height + 14,
             area.logX ? TickLabel(tick, tick) : TickLabel(tick, xStep), kTickSize,
             Svg::Anchor::kMiddle);
  }
  const std::vector<double> yTicks = Ticks(area.yLow, area.yHigh, 4);
  const double yStep = yTicks.size() > 1 ? yTicks[1] - yTicks[0] : 1.0;
  for (const double tick : yTicks) {
    const double at = area.Y(tick);
    svg.Line(area.x, at, area.x + area.width, at, grid);
    svg.Text(area.x - 5, at + 4, TickLabel(tick, yStep), kTickSize, Svg::Anchor::kEnd);
  }
  Svg::Style box;
  box.stroke = kInk;
  svg.Rect(area.x, area.y, area.width, area.height, box);
  svg.Text(area.x, area.y - 8, title, 13.0, Svg::Anchor::kStart, kInk, true);
  svg.Text(area.x + area.width / 2, area.y + area.height + 30, xName, kLabelSize,
           Svg::Anchor::kMiddle);
  svg.VerticalText(area.x - 52, area.y + area.height / 2, yName, kLabelSize);
}

void ReportPage::Deviation(Svg& svg, Area area, const TonePlots& tone, const MinMaxColumns& columns,
                           double seconds, const std::string& title) {
  const TonePlots::Finished& f = tone.finished;
  const double percent = f.mean > 0.0 ? 100.0 / f.mean : 0.0;
  const double zero = f.mean - f.origin;
  const double perColumn = static_cast<double>(columns.PerColumn()) / f.seriesRate;
  const std::size_t count = columns.Low().size();
  double largest = 0.0;
  for (std::size_t j = 0; j < count; ++j) {
    largest = std::max({largest, std::fabs((columns.Low()[j] - zero) * percent),
                        std::fabs((columns.High()[j] - zero) * percent)});
  }
  const double top = RoundUp(largest > 0.0 ? largest : 0.01);
  area.xLow = f.startSeconds;
  area.xHigh = f.startSeconds + std::max(std::min(seconds, perColumn * static_cast<double>(count)),
                                         1.0 / f.seriesRate);
  area.yLow = -top;
  area.yHigh = top;
  Frame(svg, area, title, "seconds of the input", "deviation (%)");
  Points band;
  for (std::size_t j = 0; j < count; ++j) {
    const double t = f.startSeconds + (static_cast<double>(j) + 0.5) * perColumn;
    band.emplace_back(area.X(std::min(t, area.xHigh)),
                      area.Y((columns.High()[j] - zero) * percent));
  }
  for (std::size_t j = count; j-- > 0;) {
    const double t = f.startSeconds + (static_cast<double>(j) + 0.5) * perColumn;
    band.emplace_back(area.X(std::min(t, area.xHigh)), area.Y((columns.Low()[j] - zero) * percent));
  }
  Svg::Style trace;
  trace.stroke = kTrace;
  trace.fill = kTrace;
  trace.strokeWidth = 0.8;
  svg.Polygon(band, trace);
}

void ReportPage::SpectrumPlot(Svg& svg, Area area, const TonePlots& tone) {
  const TonePlots::Finished& f = tone.finished;
  const double step = f.spectrumStep;
  const std::size_t bins = f.spectrum.size();
  area.logX = true;
  area.xLow = kSlowestHertz;
  area.xHigh = std::min(200.0, step * static_cast<double>(bins > 2 ? bins - 2 : 0));
  if (!(step > 0.0) || area.xHigh <= area.xLow * 2.0) {
    area.xHigh = 200.0;
    area.yLow = 0.0;
    area.yHigh = 1.0;
    Frame(svg, area, "Weighted deviation spectrum", "hertz", "amplitude (%)");
    svg.Text(area.x + area.width / 2, area.y + area.height / 2, "none (the tone is too short)",
             kLabelSize, Svg::Anchor::kMiddle);
    return;
  }
  // Each pixel column shows the largest bin it covers, or where bins are wider than a column,
  // the spectrum between its two nearest.
  std::vector<double> column(static_cast<std::size_t>(area.width));
  double largest = 0.0;
  for (std::size_t px = 0; px < column.size(); ++px) {
    const double from =
        area.xLow * Exp(Log(area.xHigh / area.xLow) * static_cast<double>(px) / area.width);
    const double to =
        area.xLow * Exp(Log(area.xHigh / area.xLow) * static_cast<double>(px + 1) / area.width);
    const std::size_t first = static_cast<std::size_t>(std::ceil(from / step));
    const std::size_t last = std::min(bins - 1, static_cast<std::size_t>(std::floor(to / step)));
    double value = 0.0;
    if (first <= last) {
      for (std::size_t k = first; k <= last; ++k) {
        value = std::max(value, f.spectrum[k]);
      }
    } else {
      const double at = 0.5 * (from + to) / step;
      const std::size_t below = std::min(bins - 2, static_cast<std::size_t>(at));
      const double share = at - static_cast<double>(below);
      value = f.spectrum[below] + (f.spectrum[below + 1] - f.spectrum[below]) * share;
    }
    column[px] = value;
    largest = std::max(largest, value);
  }
  for (const TonePlots::Peak& peak : f.peaks) {
    largest = std::max(largest, peak.percent);
  }
  area.yLow = 0.0;
  area.yHigh = RoundUp(largest > 0.0 ? 1.25 * largest : 0.01);
  Frame(svg, area, "Weighted deviation spectrum", "hertz", "amplitude (%)");
  Points line;
  for (std::size_t px = 0; px < column.size(); ++px) {
    line.emplace_back(area.x + static_cast<double>(px) + 0.5, area.Y(column[px]));
  }
  Svg::Style trace;
  trace.stroke = kTrace;
  trace.strokeWidth = 1.2;
  svg.Polyline(line, trace);
  // The components the block names, their labels raised where they would meet.
  std::vector<TonePlots::Peak> peaks = f.peaks;
  std::sort(peaks.begin(), peaks.end(),
            [](const TonePlots::Peak& a, const TonePlots::Peak& b) { return a.hertz < b.hertz; });
  double lastX = -1e9;
  double lastY = 0.0;
  Svg::Style mark;
  mark.stroke = kAverage;
  mark.strokeWidth = 1.5;
  for (const TonePlots::Peak& peak : peaks) {
    if (peak.hertz < area.xLow || peak.hertz > area.xHigh) {
      continue;
    }
    const double x = area.X(peak.hertz);
    const double y = area.Y(peak.percent);
    svg.Circle(x, y, 3.5, mark);
    // A label that would meet the one before goes above it.
    double labelY = y - 8.0;
    if (x - lastX < 170.0) {
      labelY = std::min(labelY, lastY - 14.0);
    }
    labelY = std::max(area.y + 12.0, labelY);
    lastX = x;
    lastY = labelY;
    std::string label =
        TextFormat::ThreeDigits(peak.hertz) + " Hz " + TextFormat::Fixed(peak.percent, 3) + " %";
    if (!peak.name.empty()) {
      label += " (" + peak.name + ")";
    }
    const double labelX = std::clamp(x, area.x + 85.0, area.x + area.width - 85.0);
    svg.Text(labelX, labelY, label, kTickSize, Svg::Anchor::kMiddle, kAverage);
  }
}

void ReportPage::HistogramPlot(Svg& svg, Area area, const TonePlots& tone) {
  const TonePlots::Finished& f = tone.finished;
  const double percent = f.mean > 0.0 ? 100.0 / f.mean : 0.0;
  const std::vector<std::int64_t>& counts = tone.Histogram().Counts();
  const double width = tone.Histogram().Width() * percent;
  std::int64_t total = 0;
  std::int64_t most = 0;
  double reach = f.unweighted2Sigma;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    total += counts[i];
    most = std::max(most, counts[i]);
    if (counts[i] > 0) {
      const double low = (static_cast<double>(i) - SpreadHistogram::kSide) * width;
      reach = std::max({reach, std::fabs(low), std::fabs(low + width)});
    }
  }
  area.xLow = -RoundUp(reach > 0.0 ? reach : 0.01);
  area.xHigh = -area.xLow;
  area.yLow = 0.0;
  area.yHigh =
      total > 0 ? RoundUp(100.0 * static_cast<double>(most) / static_cast<double>(total)) : 1.0;
  Frame(svg, area, "Histogram, 0.5-200 Hz", "deviation (%)", "values (%)");
  if (total == 0 || !f.flutterMeasured) {
    svg.Text(area.x + area.width / 2, area.y + area.height / 2, "none (the tone is too short)",
             kLabelSize, Svg::Anchor::kMiddle);
    return;
  }
  Svg::Style bar;
  bar.fill = kTrace;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] == 0) {
      continue;
    }
    const double low = (static_cast<double>(i) - SpreadHistogram::kSide) * width;
    const double share = 100.0 * static_cast<double>(counts[i]) / static_cast<double>(total);
    svg.Rect(area.X(low), area.Y(share), area.X(low + width) - area.X(low),
             area.Y(0.0) - area.Y(share), bar);
  }
  Svg::Style sigma;
  sigma.stroke = kAverage;
  sigma.dash = "4 3";
  for (const double at : {-f.unweighted2Sigma, f.unweighted2Sigma}) {
    svg.Line(area.X(at), area.y, area.X(at), area.y + area.height, sigma);
  }
  svg.Text(area.X(f.unweighted2Sigma) + 3, area.y + 12, "2-sigma", kTickSize, Svg::Anchor::kStart,
           kAverage);
}

void ReportPage::PolarPlot(Svg& svg, double cx, double cy, const TonePlots& tone) {
  const TonePlots::Finished& f = tone.finished;
  const double percent = f.mean > 0.0 ? 100.0 / f.mean : 0.0;
  std::vector<double> turns = tone.Polar();
  // The first turns about their own mean: what the circle shows is how the speed goes round.
  double sum = 0.0;
  std::size_t counted = 0;
  for (const double value : turns) {
    if (std::isfinite(value)) {
      sum += value;
      ++counted;
    }
  }
  const double centre = counted > 0 ? sum / static_cast<double>(counted) : 0.0;
  double largest = 0.0;
  for (double& value : turns) {
    value = (value - centre) * percent;
    if (std::isfinite(value)) {
      largest = std::max(largest, std::fabs(value));
    }
  }
  for (const double value : f.turnCurve) {
    largest = std::max(largest, std::fabs(value));
  }
  const double top = RoundUp(largest > 0.0 ? largest : 0.01);
  const double scale = kReach / top;
  const auto at = [&](double angle, double value) {
    // From the top, clockwise, as a platter seen from above turns under the stylus.
    const Turns turn = Turns::Of(angle);
    const double r = kRing + value * scale;
    return std::make_pair(cx + r * turn.sine, cy - r * turn.cosine);
  };
  svg.Text(cx, cy - kRing - kReach - 12, "The first turns, around a circle", 13.0,
           Svg::Anchor::kMiddle, kInk, true);
  Svg::Style ring;
  ring.stroke = kGrid;
  svg.Circle(cx, cy, kRing - kReach, ring);
  svg.Circle(cx, cy, kRing + kReach, ring);
  ring.stroke = "#999";
  ring.dash = "3 3";
  svg.Circle(cx, cy, kRing, ring);
  // Each ring's deviation, just inside its top.
  svg.Text(cx, cy - kRing - kReach + 12, "+" + TextFormat::Fixed(top, 3) + " %", kTickSize,
           Svg::Anchor::kMiddle, "#777");
  svg.Text(cx, cy - kRing + 12, "0 %", kTickSize, Svg::Anchor::kMiddle, "#777");
  svg.Text(cx, cy - kRing + kReach + 12, "-" + TextFormat::Fixed(top, 3) + " %", kTickSize,
           Svg::Anchor::kMiddle, "#777");
  Svg::Style trace;
  trace.stroke = kTrace;
  trace.strokeWidth = 1.0;
  trace.opacity = 0.7;
  const int points = TonePlots::kPolarPoints;
  for (int t = 0; t < tone.PolarTurns(); ++t) {
    Points line;
    for (int k = 0; k <= points; ++k) {
      const double value = turns[static_cast<std::size_t>(t * points + k % points)];
      if (!std::isfinite(value) || (k == points && t + 1 < tone.PolarTurns())) {
        svg.Polyline(line, trace);
        line.clear();
        continue;
      }
      line.push_back(at((k + 0.5) / points, value));
    }
    svg.Polyline(line, trace);
  }
  const std::size_t curvePoints = f.turnCurve.size();
  if (f.turns >= 2 && curvePoints > 0) {
    Points curve;
    for (std::size_t j = 0; j < curvePoints; ++j) {
      curve.push_back(
          at(static_cast<double>(j) / static_cast<double>(curvePoints), f.turnCurve[j]));
    }
    Svg::Style average;
    average.stroke = kAverage;
    average.strokeWidth = 2.0;
    svg.Polygon(curve, average);
  }
  const std::string drawn = tone.PolarTurns() > 1
                                ? "blue: turns 1-" + std::to_string(tone.PolarTurns())
                                : std::string("blue: turn 1");
  const std::string legend =
      f.turns >= 2 ? drawn + "; red: the average of " + std::to_string(f.turns) + " turns" : drawn;
  svg.Text(cx, cy + kRing + kReach + 16, legend, kTickSize, Svg::Anchor::kMiddle);
}

std::vector<ReportPage::FigureLine> ReportPage::WrappedFigures(const TonePlots& tone) {
  std::vector<FigureLine> lines;
  for (const std::string& line : tone.finished.figures) {
    // Long lines (warnings, reasons) wrap at a space, their rest indented.
    const bool warning = line.compare(0, 8, "Warning:") == 0;
    std::string rest = line;
    bool first = true;
    while (!rest.empty()) {
      std::string piece = rest;
      const std::size_t room = first ? kFigureChars : kFigureChars - 4;
      if (piece.size() > room) {
        const std::size_t cut = piece.rfind(' ', room);
        piece = rest.substr(0, cut == std::string::npos || cut == 0 ? room : cut);
      }
      rest.erase(0, piece.size());
      while (!rest.empty() && rest[0] == ' ') {
        rest.erase(0, 1);
      }
      lines.push_back({piece, !first, warning});
      first = false;
    }
  }
  return lines;
}

double ReportPage::PanelHeight(const TonePlots& tone) {
  return std::max(
      kPanelHeight,
      kFiguresTop + kFigureLine * static_cast<double>(WrappedFigures(tone).size()) + 20);
}

void ReportPage::Figures(Svg& svg, double x, double y, const TonePlots& tone) {
  double at = y;
  for (const FigureLine& line : WrappedFigures(tone)) {
    svg.Text(line.indented ? x + 24 : x, at, line.text, kLabelSize, Svg::Anchor::kStart,
             line.warning ? kAverage : kInk);
    at += kFigureLine;
  }
}

void ReportPage::Panel(Svg& svg, double top, const TonePlots& tone) {
  const TonePlots::Finished& f = tone.finished;
  svg.Text(40, top + 30, f.title, 16.0, Svg::Anchor::kStart, kInk, true);
  Area area{90, top + 70, 560, 170, 0, 1, 0, 1};
  const std::string first =
      f.rpm > 0.0 ? "Deviation over the first " + TextFormat::Fixed(tone.FirstSeconds(), 1) +
                        " s (four turns at " + TextFormat::Fixed(f.rpm, 2) + " rpm)"
                  : "Deviation over the first " + TextFormat::Fixed(tone.FirstSeconds(), 0) + " s";
  Deviation(svg, area, tone, tone.First(), tone.FirstSeconds(), first);
  area.y = top + 310;
  Deviation(svg, area, tone, tone.Whole(), std::numeric_limits<double>::infinity(),
            "Deviation over the whole tone (lowest and highest in each column)");
  area.y = top + 550;
  SpectrumPlot(svg, area, tone);
  Area histogram{750, top + 70, 190, 170, 0, 1, 0, 1};
  HistogramPlot(svg, histogram, tone);
  if (f.rpm > 0.0 && tone.PolarTurns() > 0) {
    PolarPlot(svg, 1100, top + 165, tone);
  }
  Figures(svg, 720, top + kFiguresTop, tone);
}

std::string ReportPage::Render(const std::string& input,
                               const std::vector<std::unique_ptr<TonePlots>>& tones) {
  // Each panel as tall as its figures need, at least the plots' height.
  double height = kHeaderHeight + (tones.empty() ? kPanelHeight : 0.0);
  for (const std::unique_ptr<TonePlots>& tone : tones) {
    height += PanelHeight(*tone);
  }
  Svg svg(kWidth, height);
  svg.Text(40, 34, "wavfreq report: " + input, 18.0, Svg::Anchor::kStart, kInk, true);
  svg.Text(40, 54,
           "Deviation in percent of each tone's mean frequency; figures as the summary gives them.",
           kLabelSize, Svg::Anchor::kStart, "#555");
  if (tones.empty()) {
    svg.Text(40, kHeaderHeight + 40, "No tone measured.", 16.0);
  }
  double top = kHeaderHeight;
  for (const std::unique_ptr<TonePlots>& tone : tones) {
    Panel(svg, top, *tone);
    top += PanelHeight(*tone);
  }
  return svg.Finish();
}

}  // namespace wavfreq
