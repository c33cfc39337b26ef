#include "output/Svg.h"

#include <cmath>

#include "core/TextFormat.h"

namespace wavfreq {

Svg::Svg(double w, double h) : width(w), height(h) {}

std::string Svg::Number(double value) {
  // A point far outside any picture (a NaN, or a value a plot could not scale) is held at its
  // edge rather than written as "nan" or "inf", which no viewer reads.
  if (!std::isfinite(value)) {
    value = 0.0;
  }
  value = std::fmax(-1e6, std::fmin(1e6, value));
  return TextFormat::Fixed(value, 2);
}

std::string Svg::Escape(const std::string& text) {
  std::string escaped;
  for (std::size_t at = 0; at < text.size();) {
    // A file name need not be UTF-8; a byte that starts no sequence shows as '?'.
    const std::size_t length = TextFormat::Utf8Length(text, at);
    if (length == 0) {
      escaped += '?';
      ++at;
      continue;
    }
    if (length > 1) {
      escaped.append(text, at, length);
      at += length;
      continue;
    }
    const char c = text[at++];
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        // XML 1.0 allows no control character but tab and line ends.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') {
          escaped += c;
        }
    }
  }
  return escaped;
}

void Svg::Styled(const Style& style) {
  body += " stroke=\"";
  body += style.stroke;
  body += "\"";
  if (style.stroke[0] != 'n') {
    body += " stroke-width=\"" + Number(style.strokeWidth) + "\"";
  }
  body += " fill=\"";
  body += style.fill;
  body += "\"";
  if (style.dash != nullptr) {
    body += " stroke-dasharray=\"";
    body += style.dash;
    body += "\"";
  }
  if (style.opacity < 1.0) {
    body += " opacity=\"" + Number(style.opacity) + "\"";
  }
}

void Svg::Points(const std::vector<std::pair<double, double>>& points) {
  body += " points=\"";
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) {
      body += ' ';
    }
    body += Number(points[i].first) + "," + Number(points[i].second);
  }
  body += "\"";
}

void Svg::Line(double x1, double y1, double x2, double y2, const Style& style) {
  body += "<line x1=\"" + Number(x1) + "\" y1=\"" + Number(y1) + "\" x2=\"" + Number(x2) +
          "\" y2=\"" + Number(y2) + "\"";
  Styled(style);
  body += "/>\n";
}

void Svg::Polyline(const std::vector<std::pair<double, double>>& points, const Style& style) {
  if (points.empty()) {
    return;
  }
  body += "<polyline";
  Points(points);
  Styled(style);
  body += "/>\n";
}

void Svg::Polygon(const std::vector<std::pair<double, double>>& points, const Style& style) {
  if (points.empty()) {
    return;
  }
  body += "<polygon";
  Points(points);
  Styled(style);
  body += "/>\n";
}

void Svg::Rect(double x, double y, double w, double h, const Style& style) {
  body += "<rect x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" width=\"" +
          Number(std::fmax(0.0, w)) + "\" height=\"" + Number(std::fmax(0.0, h)) + "\"";
  Styled(style);
  body += "/>\n";
}

void Svg::Circle(double cx, double cy, double r, const Style& style) {
  body += "<circle cx=\"" + Number(cx) + "\" cy=\"" + Number(cy) + "\" r=\"" +
          Number(std::fmax(0.0, r)) + "\"";
  Styled(style);
  body += "/>\n";
}

void Svg::Text(double x, double y, const std::string& text, double size, Anchor anchor,
               const char* fill, bool bold) {
  body +=
      "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" font-size=\"" + Number(size) + "\"";
  if (anchor != Anchor::kStart) {
    body += anchor == Anchor::kMiddle ? " text-anchor=\"middle\"" : " text-anchor=\"end\"";
  }
  body += " fill=\"";
  body += fill;
  body += "\"";
  if (bold) {
    body += " font-weight=\"bold\"";
  }
  body += ">" + Escape(text) + "</text>\n";
}

void Svg::VerticalText(double x, double y, const std::string& text, double size) {
  body += "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" font-size=\"" + Number(size) +
          "\" text-anchor=\"middle\" transform=\"rotate(-90 " + Number(x) + " " + Number(y) +
          ")\">" + Escape(text) + "</text>\n";
}

std::string Svg::Finish() const {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         Number(width) + "\" height=\"" + Number(height) + "\" viewBox=\"0 0 " + Number(width) +
         " " + Number(height) + "\" font-family=\"sans-serif\">\n<rect width=\"100%\" " +
         "height=\"100%\" fill=\"#fff\"/>\n" + body + "</svg>\n";
}

}  // namespace wavfreq
