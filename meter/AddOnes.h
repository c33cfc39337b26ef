#pragma once

#include <cstdint>
#include <cstring>

namespace wavfreq {

/// The place of the highest set bit of a word that is not 0.
inline int HighestBit(std::uint64_t word) {
#if defined(__GNUC__)
  return 63 - __builtin_clzll(word);
#else
  int bit = 0;
  while (word >>= 1) {
    ++bit;
  }
  return bit;
#endif
}

/// `value` + 1.0 + 1.0 + ... with `count` additions, each rounded as IEEE double addition rounds
/// it, for a value of 0 or more: the same bits as the additions one at a time, in a few
/// operations per power of two passed instead of one per addition.
///
/// Why it is exact: below 2^52 the doubles in [2^e, 2^(e+1)) with e >= 0 are spaced 2^(e-52) <= 1
/// apart, so 1.0 and every integer are multiples of that spacing, and an addition whose sum stays
/// below 2^(e+1) is exact: n such additions give value + n, computed exactly in one. Only the
/// addition that reaches the next power of two can round, and it rounds value + n - 1 + 1 = value
/// + n, once, as the lone addition does. Values below 1 have finer spacing, and each addition
/// there is made as it is. At 2^52 and above, where 1.0 is below the spacing, so is each addition.
///
/// From a value in [0, 1], the start of each distance between crossings, the additions that can
/// round are known without looking at the bits: after the first, which makes x1 in [1, 2], the
/// sum x(2^j) lies in [2^j, 2^j + 1], so the next 2^j - 1 additions stay within [2^j, 2^(j+1)]
/// and are exact, and only the one that makes x(2^(j+1)) rounds: x(2^(j+1)) = x(2^j) + 2^j, one
/// rounding. A count of n then takes about log2(n) additions, one after the other.
/// 2^k for k from 0 to 51.
struct PowersOfTwo {
  double values[52];
  constexpr PowersOfTwo() : values() {
    double power = 1.0;
    for (double& each : values) {
      each = power;
      power = power + power;
    }
  }
  constexpr double operator[](int k) const { return values[k]; }
};
inline constexpr PowersOfTwo kPowersOfTwo;

inline double AddOnes(double value, std::int64_t count) {
  if (value >= 0.0 && value <= 1.0 && count > 0 && count < (std::int64_t{1} << 52)) {
    // j: the greatest power of two in the count is 2^j.
    const int powers = HighestBit(static_cast<std::uint64_t>(count));
    value = value + 1.0;
    for (int k = 0; k < powers; ++k) {
      value = value + kPowersOfTwo[k];
    }
    // Exact: x(2^j) + (n - 2^j) <= 2^j + 1 + 2^j - 1.
    return value + static_cast<double>(count - (std::int64_t{1} << powers));
  }
  // Short runs are cheaper added one at a time.
  if (count <= 32) {
    std::int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
      value = value + 1.0;
      value = value + 1.0;
      value = value + 1.0;
      value = value + 1.0;
    }
    for (; i < count; ++i) {
      value = value + 1.0;
    }
    return value;
  }
  constexpr double kExactLimit = 4503599627370496.0;  // 2^52
  while (count > 0) {
    if (!(value >= 1.0 && value < kExactLimit)) {
      value = value + 1.0;
      --count;
      continue;
    }
    // The power of two above the value: its exponent plus one, with an empty fraction.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint64_t nextBits = (bits & 0x7FF0000000000000u) + 0x0010000000000000u;
    double next = 0.0;
    std::memcpy(&next, &nextBits, sizeof next);
    // Exact: both lie in [value, 2 value]. The additions below `next` are those of n < room.
    const double room = next - value;
    std::int64_t exact = static_cast<std::int64_t>(room);
    if (static_cast<double>(exact) == room) {
      --exact;
    }
    if (exact >= count) {
      return value + static_cast<double>(count);
    }
    value = value + static_cast<double>(exact);
    // The addition that reaches the next power of two, rounded once.
    value = value + 1.0;
    count -= exact + 1;
  }
  return value;
}

}  // namespace wavfreq
