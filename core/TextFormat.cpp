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

std::size_t TextFormat::Utf8Length(const std::string& text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (at + length > text.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
      return 0;
    }
  }
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
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
