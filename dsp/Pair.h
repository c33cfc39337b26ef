#pragma once

#include <cstring>

namespace wavfreq {

/// Two doubles that are added and multiplied lane by lane: a complex value's real and
/// imaginary parts, or two neighbouring samples. With GCC and Clang the two lanes are one
/// register of the target's vector unit; elsewhere they are two plain doubles. Each lane takes
/// the same IEEE operations in the same order either way, so the results are the same to the bit.
class Pair {
 public:
  Pair() = default;
  /// Both lanes `value`.
  explicit Pair(double value) : lanes{value, value} {}
  Pair(double low, double high) : lanes{low, high} {}

  /// Two doubles from memory, at any alignment.
  static Pair Load(const double* from) {
    Pair pair;
    std::memcpy(&pair.lanes, from, sizeof pair.lanes);
    return pair;
  }
  /// Two doubles from memory aligned to 16 bytes, which the vector unit may read as an operand.
  static Pair LoadAligned(const double* from) {
#if defined(__GNUC__)
    from = static_cast<const double*>(__builtin_assume_aligned(from, 16));
#endif
    return Load(from);
  }
  void Store(double* to) const {
    std::memcpy(to, &lanes, sizeof lanes);
  }

  /// The least and the greatest of four finite doubles from `four` on.
  static double MinOfFour(const double* four) {
    const Pair low = Load(four);
    const Pair high = Load(four + 2);
#if defined(__GNUC__)
    const Lanes least = low.lanes < high.lanes ? low.lanes : high.lanes;
#else
    const Lanes least = {low.lanes.low < high.lanes.low ? low.lanes.low : high.lanes.low,
                         low.lanes.high < high.lanes.high ? low.lanes.high : high.lanes.high};
#endif
    return least[0] < least[1] ? least[0] : least[1];
  }
  static double MaxOfFour(const double* four) {
    const Pair low = Load(four);
    const Pair high = Load(four + 2);
#if defined(__GNUC__)
    const Lanes most = low.lanes > high.lanes ? low.lanes : high.lanes;
#else
    const Lanes most = {low.lanes.low > high.lanes.low ? low.lanes.low : high.lanes.low,
                        low.lanes.high > high.lanes.high ? low.lanes.high : high.lanes.high};
#endif
    return most[0] > most[1] ? most[0] : most[1];
  }

  double Low() const {
    return lanes[0];
  }
  double High() const {
    return lanes[1];
  }

  Pair operator+(const Pair& other) const {
    return Pair(lanes + other.lanes);
  }
  Pair operator-(const Pair& other) const {
    return Pair(lanes - other.lanes);
  }
  Pair operator*(const Pair& other) const {
    return Pair(lanes * other.lanes);
  }
  /// Lane by lane: 1 where `a` is at least `b`, else 0.
  static Pair AtLeast(const Pair& a, const Pair& b) {
#if defined(__GNUC__)
    return Pair(a.lanes >= b.lanes ? Lanes{1.0, 1.0} : Lanes{0.0, 0.0});
#else
    return Pair(a.lanes.low >= b.lanes.low ? 1.0 : 0.0, a.lanes.high >= b.lanes.high ? 1.0 : 0.0);
#endif
  }
  /// Lane by lane: the magnitude.
  Pair Abs() const {
#if defined(__GNUC__)
    return Pair(lanes < Lanes{0.0, 0.0} ? -lanes : lanes);
#else
    return Pair(lanes.low < 0.0 ? -lanes.low : lanes.low,
                lanes.high < 0.0 ? -lanes.high : lanes.high);
#endif
  }
  Pair& operator+=(const Pair& other) {
    lanes = lanes + other.lanes;
    return *this;
  }

 private:
#if defined(__GNUC__)
  typedef double Lanes __attribute__((vector_size(16)));
  explicit Pair(Lanes values) : lanes(values) {}
  Lanes lanes;
#else
  struct Lanes {
    double low, high;
    Lanes operator+(const Lanes& o) const { return {low + o.low, high + o.high}; }
    Lanes operator-(const Lanes& o) const { return {low - o.low, high - o.high}; }
    Lanes operator*(const Lanes& o) const { return {low * o.low, high * o.high}; }
    double operator[](int i) const { return i == 0 ? low : high; }
  };
  explicit Pair(Lanes values) : lanes(values) {}
  Lanes lanes;
#endif
};

}  // namespace wavfreq
