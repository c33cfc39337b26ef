#pragma once

#include <cstddef>
#include <string>

namespace wavfreq {

/// Numbers as the tool prints them in its summaries, the same on every platform: fixed
/// decimals with the full stop, and never a negative zero ("-0.0000" reads as a direction where
/// there is none).
class TextFormat {
 public:
  /// `value` with `decimals` digits after the point; a value that rounds to zero has no sign.
  static std::string Fixed(double value, int decimals);
  /// As Fixed, with a sign always: "+0.0134", "-0.0021", "+0.0000".
  static std::string Signed(double value, int decimals);
  /// Three significant digits, trailing zeros kept: 0.556, 1.11, 4.00, 12.5, 120.
  static std::string ThreeDigits(double value);
  /// The length of the UTF-8 sequence that starts at `at` in `text` (1 for ASCII), or 0 where
  /// the bytes there are none: a stray byte, an overlong form, a surrogate, past U+10FFFF.
  static std::size_t Utf8Length(const std::string& text, std::size_t at);
  /// printf into a string: `text` grows by the formatted line.
#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  static void
  Append(std::string& text, const char* format, ...);
};

}  // namespace wavfreq
