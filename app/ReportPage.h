#pragma once

#include <memory>
#include <string>
#include <vector>

#include "output/Svg.h"
#include "stats/TonePlots.h"

namespace wavfreq {

/// The report of a run as one SVG picture: a panel per tone with a block in the summary, each
/// with the deviation over its first turns (or seconds) and over the whole tone, the weighted
/// spectrum with its components named, the histogram of the unweighted deviation, with a turn
/// the first turns around a circle with the averaged turn, and the block's figures beside them.
class ReportPage {
 public:
  static constexpr double kWidth = 1240.0;
  /// A panel's height at least: a long block makes it taller.
  static constexpr double kPanelHeight = 760.0;
  static constexpr double kHeaderHeight = 60.0;

  /// The picture of these tones of the input named `input`.
  static std::string Render(const std::string& input,
                            const std::vector<std::unique_ptr<TonePlots>>& tones);

  /// About `count` round steps (1, 2 or 5 times a power of ten) from `low` to `high`: the
  /// values of the ticks, all within the range.
  static std::vector<double> Ticks(double low, double high, int count);
  /// A tick's label: as many decimals as its step needs, no negative zero.
  static std::string TickLabel(double value, double step);

 private:
  struct Area {
    double x, y, width, height;  // the plot's frame
    double xLow, xHigh, yLow, yHigh;
    bool logX = false;
    double X(double value) const;
    double Y(double value) const;
  };
  static void Frame(Svg& svg, const Area& area, const std::string& title, const std::string& xName,
                    const std::string& yName);
  static void Deviation(Svg& svg, Area area, const TonePlots& tone, const MinMaxColumns& columns,
                        double seconds, const std::string& title);
  static void SpectrumPlot(Svg& svg, Area area, const TonePlots& tone);
  static void HistogramPlot(Svg& svg, Area area, const TonePlots& tone);
  static void PolarPlot(Svg& svg, double cx, double cy, const TonePlots& tone);
  struct FigureLine {
    std::string text;
    bool indented;
    bool warning;
  };
  /// The block's lines as the column beside the plots holds them.
  static std::vector<FigureLine> WrappedFigures(const TonePlots& tone);
  static double PanelHeight(const TonePlots& tone);
  static void Figures(Svg& svg, double x, double y, const TonePlots& tone);
  static void Panel(Svg& svg, double top, const TonePlots& tone);
};

}  // namespace wavfreq
