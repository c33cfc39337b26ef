#include "output/ResultSummary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>

namespace wavfreq {
namespace {

std::map<std::string, std::string> Figures(const std::string& report) {
  std::map<std::string, std::string> figures;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    figures[line.substr(0, line.find(": "))] = line.substr(line.find(": ") + 2);
  }
  return figures;
}

TEST(ResultSummaryTest, LinesOfTheFirstWindowDoNotCount) {
  ResultSummary summary(0.01, 200);
  summary.Add(-0.001, 5000.0);
  summary.Add(0.005, 1200.0);
  EXPECT_EQ(summary.Report(), "No frequency measured.\n");
  summary.Add(0.01, 1000.0);
  EXPECT_EQ(Figures(summary.Report())["Lines"], "1");
  EXPECT_EQ(Figures(summary.Report())["Mean frequency"], "1000.000 Hz");
}

TEST(ResultSummaryTest, SteadyDriftIsTheLineAndNoDeviation) {
  ResultSummary summary(0.0, 100);
  for (int i = 0; i <= 1000; ++i) {
    summary.Add(i * 0.01, 1000.0 + 2.0 * i * 0.01);  // 2 Hz per second for 10 s
  }
  std::map<std::string, std::string> figures = Figures(summary.Report());
  EXPECT_EQ(figures["Drift"], "2.00000 Hz/s");
  EXPECT_EQ(figures["Drift over the run"], "1.9802 %");  // 20 Hz of a mean of 1010 Hz
  EXPECT_EQ(figures["Deviation peak"], "0.00000 %");
  EXPECT_EQ(figures["Minimum frequency"], "1000.000 Hz");
  EXPECT_EQ(figures["Maximum frequency"], "1020.000 Hz");
}

TEST(ResultSummaryTest, HoursOfLinesAreThinnedWithoutLosingTheFigures) {
  // 90 minutes at 200 lines per second: a million lines, several times what the series keeps.
  ResultSummary summary(0.0, 200);
  const double pi = std::acos(-1.0);
  for (int i = 0; i < 200 * 5400; ++i) {
    const double t = i / 200.0;
    summary.Add(t, 1000.0 * (1.0 + 0.002 * std::cos(2.0 * pi * 4.0 * t)));
  }
  std::map<std::string, std::string> figures = Figures(summary.Report());
  EXPECT_EQ(figures["Lines"], "1080000");
  EXPECT_NEAR(std::stod(figures["Modulation rate"]), 4.0, 0.01);
  EXPECT_NEAR(std::stod(figures["Weighted wow and flutter (2-sigma)"]), 0.2 * 0.9969, 0.004);
  EXPECT_NEAR(std::stod(figures["Deviation peak"]), 0.2, 0.01);
}

}  // namespace
}  // namespace wavfreq
