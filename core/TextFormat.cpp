#include "core/TextFormat.h"

#include <cstdarg>
#include <cstdio>

namespace wavfreq {

std::string TextFormat::Fixed(double value, int decimals) {
  char text[352];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  if (text[0] == '-') {
    bool zero = true;
    for (const char* c = text + 1; *c != '\0'; ++c) {
      zero = zero && (*c == '0' || *c == '.');
    }
    if (zero) {
      return text + 1;
    }
  }
  return text;
}

std::string TextFormat::Signed(double value, int decimals) {
  const std::string text = Fixed(value, decimals);
  return text[0] == '-' ? text : "+" + text;
}

std::string TextFormat::ThreeDigits(double value) {
  int decimals = 2;
  double limit = 1.0;
  while (value >= 10.0 * limit && decimals > 0) {
    limit *= 10.0;
    --decimals;
  }
  while (value < limit && decimals < 6) {
    limit /= 10.0;
    ++decimals;
  }
  return Fixed(value, decimals);
}

void TextFormat::Append(std::string& text, const char* format, ...) {
  char line[512];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  text += line;
}

}  // namespace wavfreq
