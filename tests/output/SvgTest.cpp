#include "output/Svg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/XmlCheck.h"

namespace wavfreq {
namespace {

TEST(SvgTest, NumbersAreWrittenTheSameEverywhere) {
  EXPECT_EQ(Svg::Number(12.345), "12.35");
  EXPECT_EQ(Svg::Number(-0.001), "0.00");
  EXPECT_EQ(Svg::Number(-3.5), "-3.50");
  // What no viewer reads is held within the picture's reach.
  EXPECT_EQ(Svg::Number(std::numeric_limits<double>::quiet_NaN()), "0.00");
  EXPECT_EQ(Svg::Number(std::numeric_limits<double>::infinity()), "0.00");
  EXPECT_EQ(Svg::Number(1e300), "1000000.00");
}

TEST(SvgTest, TextIsEscapedAndKeptToUtf8) {
  EXPECT_EQ(Svg::Escape("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;");
  // A file name in Latin-1, a control character, a lone continuation byte, a surrogate.
  EXPECT_EQ(Svg::Escape("caf\xe9.wav"), "caf?.wav");
  EXPECT_EQ(Svg::Escape("a\x01"
                        "b\x80"
                        "c\xed\xa0\x80"),
            "ab?c???");
  EXPECT_EQ(Svg::Escape("\xc3\xa9t\xc3\xa9 \xe2\x82\xac"), "\xc3\xa9t\xc3\xa9 \xe2\x82\xac");
}

TEST(SvgTest, PicturesAreWellFormed) {
  Svg svg(100, 50);
  Svg::Style style;
  style.stroke = "#000";
  style.dash = "2 2";
  svg.Line(0, 0, 10, 10, style);
  svg.Polyline({{0, 0}, {1, 2}}, style);
  svg.Polyline({}, style);
  svg.Rect(1, 1, -5, 3, style);
  svg.Text(5, 5, "Tone 1: <a> & b", 12, Svg::Anchor::kMiddle, "#000", true);
  svg.VerticalText(5, 5, "values (%)", 12);
  const std::string text = svg.Finish();
  EXPECT_EQ(test::XmlProblem(text), "") << text;
  EXPECT_NE(text.find("<rect x=\"1.00\" y=\"1.00\" width=\"0.00\""), std::string::npos) << text;
  // The checker itself finds what is wrong.
  EXPECT_NE(test::XmlProblem("<svg><g></svg></g>"), "");
  EXPECT_NE(test::XmlProblem("<svg>a & b</svg>"), "");
  EXPECT_NE(test::XmlProblem("<svg/><svg/>"), "");
}

}  // namespace
}  // namespace wavfreq
