#pragma once

#include <string>
#include <utility>
#include <vector>

namespace wavfreq {

/// A self-contained SVG picture built as text: lines, polylines, rectangles, circles and text
/// in user units, with no scripts, fonts or files of its own beyond the generic sans-serif.
/// Coordinates are written with two decimals and text is escaped, so that the same picture
/// gives the same bytes on every platform.
class Svg {
 public:
  Svg(double width, double height);

  struct Style {
    const char* stroke = "none";
    double strokeWidth = 1.0;
    const char* fill = "none";
    const char* dash = nullptr;  // e.g. "4 3"
    double opacity = 1.0;
  };
  enum class Anchor { kStart, kMiddle, kEnd };

  void Line(double x1, double y1, double x2, double y2, const Style& style);
  void Polyline(const std::vector<std::pair<double, double>>& points, const Style& style);
  /// A closed shape through the points.
  void Polygon(const std::vector<std::pair<double, double>>& points, const Style& style);
  void Rect(double x, double y, double width, double height, const Style& style);
  void Circle(double cx, double cy, double r, const Style& style);
  void Text(double x, double y, const std::string& text, double size,
            Anchor anchor = Anchor::kStart, const char* fill = "#000", bool bold = false);
  /// Text turned a quarter turn anticlockwise about (x, y): a vertical axis's label.
  void VerticalText(double x, double y, const std::string& text, double size);

  /// The whole document.
  std::string Finish() const;

  /// A coordinate as written: two decimals, no negative zero.
  static std::string Number(double value);
  /// Text with XML's five special characters escaped, and control characters left out.
  static std::string Escape(const std::string& text);

 private:
  void Styled(const Style& style);
  void Points(const std::vector<std::pair<double, double>>& points);

  double width;
  double height;
  std::string body;
};

}  // namespace wavfreq
