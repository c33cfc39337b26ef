#include "app/ReportPage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "support/XmlCheck.h"

namespace wavfreq {
namespace {

TEST(ReportPageTest, TicksAreRoundStepsWithinTheRange) {
  EXPECT_EQ(ReportPage::Ticks(-0.1, 0.1, 4), (std::vector<double>{-0.1, -0.05, 0.0, 0.05, 0.1}));
  EXPECT_EQ(ReportPage::Ticks(0.0, 7.2, 6), (std::vector<double>{0, 2, 4, 6}));
  EXPECT_EQ(ReportPage::Ticks(12.5, 61.0, 6), (std::vector<double>{20, 30, 40, 50, 60}));
  EXPECT_TRUE(ReportPage::Ticks(1.0, 1.0, 4).empty());
  EXPECT_EQ(ReportPage::TickLabel(0.05, 0.05), "0.05");
  EXPECT_EQ(ReportPage::TickLabel(-0.0, 0.05), "0.00");
  EXPECT_EQ(ReportPage::TickLabel(20.0, 10.0), "20");
}

// A tone's plots as a 20 s tone of 3150 Hz with wow once a turn at 45 rpm leaves them.
std::unique_ptr<TonePlots> Plotted(double rpm) {
  auto plots = std::make_unique<TonePlots>(600.0, rpm > 0.0 ? 4 * 60.0 / rpm : 10.0);
  for (int i = 0; i < 12000; ++i) {
    const double deviation = 3.15 * std::sin(2.0 * 3.14159265 * 0.75 * i / 600.0);
    plots->Add(deviation);
    plots->AddUnweighted(deviation);
    plots->AddTurn(i / 800, (i % 800) / 800.0, deviation);
  }
  TonePlots::Finished& f = plots->finished;
  f.mean = 3150.0;
  f.origin = 3150.0;
  f.seriesRate = 600.0;
  f.spectrumStep = 1.0 / 16.0;
  f.spectrum.assign(2400, 0.001);
  f.spectrum[12] = 0.1;
  f.peaks = {{0.75, 0.1, "turn"}, {0.8, 0.01, ""}};
  f.flutterMeasured = true;
  f.unweighted2Sigma = 0.0997;
  f.turnCurve.assign(256, 0.0);
  f.turns = rpm > 0.0 ? 14 : 0;
  f.rpm = rpm;
  f.title = "Tone 1: 0.001 s to 20.001 s, 3150.000 Hz";
  f.figures = {"Mean frequency: 3150.000 Hz",
               "Warning: a second tone at 3300 Hz, 20 dB below this one, narrows the measured "
               "band to 0.5 to 75.0 Hz"};
  return plots;
}

TEST(ReportPageTest, APanelPerToneWellFormed) {
  std::vector<std::unique_ptr<TonePlots>> tones;
  tones.push_back(Plotted(45.0));
  tones.push_back(Plotted(0.0));
  const std::string page = ReportPage::Render("side <A> & B.wav", tones);
  EXPECT_EQ(test::XmlProblem(page), "");
  EXPECT_NE(page.find("wavfreq report: side &lt;A&gt; &amp; B.wav"), std::string::npos);
  EXPECT_NE(page.find("height=\"1580.00\""), std::string::npos);
  EXPECT_NE(page.find("0.750 Hz 0.100 % (turn)"), std::string::npos);
  EXPECT_NE(page.find("The first turns, around a circle"), std::string::npos);
  // The warning wraps rather than running out of the picture.
  EXPECT_NE(page.find(">Warning: a second tone at 3300 Hz, 20 dB below this one, narrows the<"),
            std::string::npos);
  EXPECT_EQ(test::XmlProblem(ReportPage::Render("x.wav", {})), "");
}

TEST(ReportPageTest, AShortTonesLongBlockMakesItsPanelTaller) {
  std::vector<std::unique_ptr<TonePlots>> tones;
  tones.push_back(Plotted(0.0));
  tones[0]->finished.flutterMeasured = false;
  tones[0]->finished.figures.assign(40, "Weighted wow and flutter (RMS): none");
  const std::string page = ReportPage::Render("x.wav", tones);
  // The header, the figures' top and 40 lines of 15 with room below: 60 + 330 + 600 + 20.
  EXPECT_NE(page.find("height=\"1010.00\""), std::string::npos);
  EXPECT_NE(page.find(">none (the tone is too short)<"), std::string::npos);
}

}  // namespace
}  // namespace wavfreq
