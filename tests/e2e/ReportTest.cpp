// -rpm and -report end to end: the turn's lines in the summary, the picture, and the refusals
// and failures of a report that cannot be.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempFile.h"
#include "support/ToolRunner.h"
#include "support/WavBuilder.h"
#include "support/XmlCheck.h"

namespace wavfreq {
namespace {

using namespace test;

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Tool().empty()) << "WAVFREQ_BINARY must name the wavfreq binary";
  }
};

// 20 s of 3150 Hz at 48 kHz with +-0.1 % of wow at 0.75 Hz: once a turn at 45 rpm.
Bytes Record() {
  return PcmWav(
      1, 48000, 16,
      Frames16({WithNoise(WowTone(3150, 16384, 48000, 20 * 48000, 0.001, 0.75), 0.0, 1)}));
}

// The number after "Name: " in the console.
double Figure(const std::string& console, const std::string& name) {
  const std::size_t at = console.find("\n" + name + ": ");
  return at == std::string::npos ? -1.0 : std::atof(console.c_str() + at + name.size() + 3);
}

TEST_F(ReportTest, TheTurnsFiguresAndItsPicture) {
  TempFile wav(".wav", Record());
  TempFile out(".txt");
  TempFile svg(".svg");
  const ToolResult run =
      RunTool({"-stats", "-rpm:45", "-report:" + svg.Path(), wav.Path(), out.Path()});
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("\nSpeed: 45.000 rpm\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\nModulation: 0.749 Hz 0.047 % (turn)\n"), std::string::npos) << run.out;
  // All the wow repeats, and nothing else is there.
  EXPECT_NEAR(Figure(run.out, "Wow repeated each turn (half peak-to-peak)"), 0.1, 0.002);
  EXPECT_NE(run.out.find(" % over 13 turns\n"), std::string::npos) << run.out;
  EXPECT_LT(Figure(run.out, "Wow and flutter not repeated (RMS, 0.5-200 Hz)"), 0.001);
  const std::string picture = ReadText(svg.Path());
  EXPECT_EQ(XmlProblem(picture), "");
  EXPECT_EQ(picture.compare(0, 5, "<?xml"), 0);
  EXPECT_NE(picture.find(">Tone 1: 0.001 s to 20.001 s, 3149.985 Hz<"), std::string::npos);
  EXPECT_NE(picture.find(">Speed: 45.000 rpm<"), std::string::npos);
  // Nothing outside the file: no script, no link, no font to fetch.
  EXPECT_EQ(picture.find("<script"), std::string::npos);
  EXPECT_EQ(picture.find("href"), std::string::npos);
  EXPECT_EQ(picture.find("url("), std::string::npos);

  // Without -stats the console is a plain run's; the picture is the same.
  TempFile again(".svg");
  const ToolResult quiet = RunTool({"-rpm:45", "-report:" + again.Path(), wav.Path(), out.Path()});
  const ToolResult plain = RunTool({wav.Path(), out.Path()});
  EXPECT_EQ(quiet.code, 0);
  EXPECT_EQ(quiet.out, plain.out);
  EXPECT_EQ(ReadText(again.Path()), picture);
}

TEST_F(ReportTest, OptionsOutsideTheirRangeAreRefused) {
  const std::string rpm =
      "Speed must be given as -rpm:R, in revolutions per minute above 0 and below 10000.\n";
  for (const char* option :
       {"-rpm:0", "-rpm:10000", "-rpm:33,3", "-rpm:", "-rpm:-45", "-rpm:1e2"}) {
    const ToolResult run = RunTool({option, "in.wav", "out.txt"});
    EXPECT_EQ(run.code, 1) << option;
    EXPECT_EQ(run.out, kBanner + rpm) << option;
  }
  EXPECT_EQ(RunTool({"-rpm:9999.9", "-stats", "missing.wav", "out.txt"}).code, 2);
  for (const char* option : {"-report:", "-report:-"}) {
    const ToolResult run = RunTool({option, "in.wav", "out.txt"});
    EXPECT_EQ(run.code, 1) << option;
    EXPECT_EQ(run.out, kBanner + "Report must be given as -report:FILE, the path of a file.\n");
  }
}

#ifndef _WIN32
TEST_F(ReportTest, AReportThatCannotBeWrittenGivesCode4) {
  TempFile wav(".wav", PcmWav(1, 8000, 16, Frames16({Sine(1000, 9000, 8000, 8000)})));
  TempFile out(".txt");
  const std::string format = kBanner + FormatLines(8000, 16, 1, 0);
  // Refused before the measurement: no dots.
  ToolResult run = RunTool({"-report:/nonexistent-dir/r.svg", wav.Path(), out.Path()});
  EXPECT_EQ(run.code, 4);
  EXPECT_EQ(run.out, format + "\nError! (2) Can not write the report file.\n");
  run = RunTool({"-report:" + wav.Path(), wav.Path(), out.Path()});
  EXPECT_EQ(run.code, 4);
  EXPECT_EQ(run.out, format + "\nError! (0) Output file must differ from input file.\n");
  run = RunTool({"-report:" + out.Path(), wav.Path(), out.Path()});
  EXPECT_EQ(run.code, 4);
  EXPECT_EQ(run.out, format + "\nError! (0) Report file must differ from the result table.\n");
  // A full disk shows when the report is written, after the measurement.
  if (std::filesystem::exists("/dev/full")) {
    run = RunTool({"-report:/dev/full", wav.Path(), out.Path()});
    EXPECT_EQ(run.code, 4);
    EXPECT_EQ(run.out, format + ".\nError! (28) Can not write the report file.\n");
  }
}
#endif

}  // namespace
}  // namespace wavfreq
