#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace wavfreq::fixed_point {

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;

// The magnitude times kScale, rounded to an integer half to even, exactly: the binary value
// m / 2^shift is scaled in 128-bit integers.
template <std::uint64_t kScale>
inline std::uint64_t ScaleExactly(double magnitude) {
  // The value's 53-bit significand and binary exponent, read from its bits.
  std::uint64_t bits = 0;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const int biased = static_cast<int>(bits >> 52);
  const std::uint64_t fractionBits = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = biased == 0 ? fractionBits : fractionBits | std::uint64_t{1} << 52;
  const int shift = biased == 0 ? 1074 : 1075 - biased;  // >= 21 below 2^32
  // m * scale < 2^73; from 75 bits down the quotient rounds to 0.
  if (m == 0 || shift >= 75) {
    return 0;
  }
  const Wide product = static_cast<Wide>(m) * kScale;
  std::uint64_t scaled = static_cast<std::uint64_t>(product >> shift);
  const Wide rest = product - (static_cast<Wide>(scaled) << shift);
  const Wide half = static_cast<Wide>(1) << (shift - 1);
  if (rest > half || (rest == half && (scaled & 1u) != 0)) {
    ++scaled;
  }
  return scaled;
}

// The four decimal digits of every number below 10000, "0000" to "9999", read as little-endian
// words: the first digit is the lowest byte, so a shift right drops leading digits.
struct FourDigits {
  std::uint32_t words[10000] = {};
  constexpr FourDigits() {
    for (std::uint32_t n = 0; n < 10000; ++n) {
      words[n] = (0x30u + n / 1000) | (0x30u + n / 100 % 10) << 8 | (0x30u + n / 10 % 10) << 16 |
                 (0x30u + n % 10) << 24;
    }
  }
};
inline constexpr FourDigits kFourDigits;

// Stores the low `count` bytes of `bytes`, the lowest first; the eight bytes at `out` must be
// writable.
inline char* StoreBytes(char* out, std::uint64_t bytes, int count) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(out, &bytes, 8);
#else
  for (int i = 0; i < 8; ++i) {
    out[i] = static_cast<char>(bytes >> (8 * i) & 0xFF);
  }
#endif
  return out + count;
}

// The digits of n < 10000 without leading zeros.
inline char* AppendShort(char* out, std::uint32_t n) {
  const int leading = (n < 10) + (n < 100) + (n < 1000);
  return StoreBytes(out, kFourDigits.words[n] >> (8 * leading), 4 - leading);
}

// Fixed-point digits of a finite value below 2^32 in magnitude, rounded to `Decimals` places
// exactly as printf rounds: half to even on the exact binary value. Much cheaper than the general
// conversion, and it covers every time and frequency the meter produces. Returns nullptr for
// values it does not cover. It may store up to eight bytes past the end that it returns.
template <int Decimals>
inline char* AppendFixedFast(char* out, double value) {
  static_assert(Decimals >= 1 && Decimals <= 6, "the scale must fit the 128-bit product");
  constexpr std::uint64_t kScale = Decimals == 1   ? 10
                                   : Decimals == 2 ? 100
                                   : Decimals == 3 ? 1000
                                   : Decimals == 4 ? 10000
                                   : Decimals == 5 ? 100000
                                                   : 1000000;
  const double magnitude = std::fabs(value);
  if (!(magnitude < 4294967296.0)) {
    return nullptr;
  }
  // The whole part and the rest are exact. The rest times the scale, below 2^20, is rounded once
  // in doubles, by at most 2^-34: its rounding to an integer is that of the exact product unless
  // it lies that near a half, where the integers decide.
  std::uint64_t whole = static_cast<std::uint64_t>(magnitude);
  const double scaledPart = (magnitude - static_cast<double>(whole)) * static_cast<double>(kScale);
  std::uint32_t fraction = static_cast<std::uint32_t>(scaledPart);
  const double below = scaledPart - static_cast<double>(fraction);
  if (std::fabs(below - 0.5) > 0x1p-30) {
    // Rounding up or down is a coin toss from line to line: add the comparison rather than branch.
    fraction += static_cast<std::uint32_t>(below > 0.5);
    if (fraction == kScale) {
      fraction = 0;
      ++whole;
    }
  } else {
    const std::uint64_t scaled = ScaleExactly<kScale>(magnitude);
    whole = scaled / kScale;
    fraction = static_cast<std::uint32_t>(scaled % kScale);
  }
  if (std::signbit(value)) {
    *out++ = '-';
  }
  // Times below 10000 s and every audible frequency take the first branch.
  if (whole < 10000) {
    out = AppendShort(out, static_cast<std::uint32_t>(whole));
  } else if (whole < 100000000) {
    out = AppendShort(out, static_cast<std::uint32_t>(whole / 10000));
    out = StoreBytes(out, kFourDigits.words[whole % 10000], 4);
  } else {
    out = std::to_chars(out, out + 24, whole).ptr;
  }
  *out++ = '.';
  if constexpr (Decimals <= 4) {
    return StoreBytes(out, kFourDigits.words[fraction] >> (8 * (4 - Decimals)), Decimals);
  } else {
    // The first Decimals - 4 digits, then four.
    const std::uint64_t high = kFourDigits.words[fraction / 10000] >> (8 * (8 - Decimals));
    const std::uint64_t low = kFourDigits.words[fraction % 10000];
    return StoreBytes(out, high | low << (8 * (Decimals - 4)), Decimals);
  }
}
#else
template <int Decimals>
inline char* AppendFixedFast(char*, double) {
  return nullptr;
}
#endif

// Fixed-point text with `Decimals` decimals, the digits printf's "%.*f" gives (both round the
// exact binary value correctly). Non-finite values are spelled the same on every platform.
template <int Decimals>
inline char* AppendFixed(char* out, char* limit, double value) {
  if (char* end = AppendFixedFast<Decimals>(out, value)) {
    return end;
  }
  if (std::isnan(value)) {
    std::memcpy(out, "nan", 3);
    return out + 3;
  }
  if (std::isinf(value)) {
    if (value < 0) {
      *out++ = '-';
    }
    std::memcpy(out, "inf", 3);
    return out + 3;
  }
  return std::to_chars(out, limit, value, std::chars_format::fixed, Decimals).ptr;
}

}  // namespace wavfreq::fixed_point

namespace wavfreq {

/// Fixed-point text of doubles with a given number of decimals: the digits that printf's "%.*f"
/// gives, the same on every platform (non-finite values are spelled "nan", "inf" and "-inf").
/// Fast for the values of a result table, below 2^32 in magnitude, which it formats from the
/// binary value directly; others go through std::to_chars.
class FixedPoint {
 public:
  /// Writes `value` from `out` on and returns the end; there must be room up to `limit`, and
  /// eight bytes past the end may be overwritten.
  template <int Decimals>
  static char* Append(char* out, char* limit, double value) {
    return fixed_point::AppendFixed<Decimals>(out, limit, value);
  }
};

}  // namespace wavfreq
