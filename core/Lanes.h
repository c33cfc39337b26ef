#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace wavfreq {

/// N values of type T that are added and multiplied lane by lane: neighbouring samples, or a
/// complex value's real and imaginary parts. With GCC and Clang the lanes are one register of the
/// target's vector unit; elsewhere they are an array of plain values. Each lane takes the same IEEE
/// operations in the same order either way, so the results are the same to the bit.
template <class T, std::size_t N>
class Lanes {
  static_assert(std::is_floating_point_v<T> && N >= 2 && (N & (N - 1)) == 0,
                "lanes of floating-point values, a power of two of them");

 public:
  Lanes() = default;
  /// Every lane `value`.
  explicit Lanes(T value) {
    T values[N];
    for (T& each : values) {
      each = value;
    }
    std::memcpy(&lanes, values, sizeof lanes);
  }
  /// Two lanes, low and high.
  Lanes(T low, T high) {
    static_assert(N == 2, "two values for two lanes");
    const T values[N] = {low, high};
    std::memcpy(&lanes, values, sizeof lanes);
  }

  /// N values from memory, at any alignment.
  static Lanes Load(const T* from) {
    Lanes values;
    std::memcpy(&values.lanes, from, sizeof values.lanes);
    return values;
  }
  /// N values from memory aligned to their whole size, which the vector unit may read as an
  /// operand.
  static Lanes LoadAligned(const T* from) {
#if defined(__GNUC__)
    from = static_cast<const T*>(__builtin_assume_aligned(from, sizeof(T) * N));
#endif
    return Load(from);
  }
  /// N values of another type from memory, each converted as a cast converts it: integers
  /// exactly while they fit the fraction, wider floating-point values rounded once.
  template <class Source>
  static Lanes From(const Source* from) {
    if constexpr (std::is_same_v<Source, T>) {
      return Load(from);
    } else {
#if defined(__GNUC__)
      if constexpr (std::is_integral_v<Source> && sizeof(Source) == sizeof(T)) {
        typedef Source Whole __attribute__((vector_size(sizeof(T) * N)));
        Whole whole;
        std::memcpy(&whole, from, sizeof whole);
        return Wrap(__builtin_convertvector(whole, Vector));
      }
#endif
      T values[N];
      for (std::size_t i = 0; i < N; ++i) {
        values[i] = static_cast<T>(from[i]);
      }
      return Load(values);
    }
  }
  void Store(T* to) const {
    std::memcpy(to, &lanes, sizeof lanes);
  }

  T Low() const {
    return Lane(0);
  }
  T High() const {
    return Lane(N - 1);
  }

  Lanes operator+(const Lanes& other) const {
    return Wrap(lanes + other.lanes);
  }
  Lanes operator-(const Lanes& other) const {
    return Wrap(lanes - other.lanes);
  }
  Lanes operator*(const Lanes& other) const {
    return Wrap(lanes * other.lanes);
  }
  Lanes& operator+=(const Lanes& other) {
    lanes = lanes + other.lanes;
    return *this;
  }

  /// Lane by lane: 1 where `a` is at least `b`, else 0.
  static Lanes AtLeast(const Lanes& a, const Lanes& b) {
#if defined(__GNUC__)
    return Wrap(a.lanes >= b.lanes ? Lanes(T{1}).lanes : Lanes(T{0}).lanes);
#else
    return Each(a, b, [](T x, T y) { return x >= y ? T{1} : T{0}; });
#endif
  }
  /// Lane by lane: the magnitude.
  Lanes Abs() const {
#if defined(__GNUC__)
    return Wrap(lanes < Lanes(T{0}).lanes ? -lanes : lanes);
#else
    return Each(*this, *this, [](T x, T) { return x < T{0} ? -x : x; });
#endif
  }
  /// Lane by lane: the lesser and the greater, of finite values.
  static Lanes Min(const Lanes& a, const Lanes& b) {
#if defined(__GNUC__)
    return Wrap(a.lanes < b.lanes ? a.lanes : b.lanes);
#else
    return Each(a, b, [](T x, T y) { return x < y ? x : y; });
#endif
  }
  static Lanes Max(const Lanes& a, const Lanes& b) {
#if defined(__GNUC__)
    return Wrap(a.lanes > b.lanes ? a.lanes : b.lanes);
#else
    return Each(a, b, [](T x, T y) { return x > y ? x : y; });
#endif
  }

  /// The lanes added, the upper half onto the lower until one is left: for four,
  /// (v0 + v2) + (v1 + v3).
  T Sum() const {
    return Fold([](T a, T b) { return a + b; });
  }
  /// The least and the greatest lane, of finite values.
  T Least() const {
    return Fold([](T a, T b) { return a < b ? a : b; });
  }
  T Most() const {
    return Fold([](T a, T b) { return a > b ? a : b; });
  }

 private:
#if defined(__GNUC__)
  typedef T Vector __attribute__((vector_size(sizeof(T) * N)));
#else
  struct Vector {
    T v[N];
    template <class Op>
    Vector Each(const Vector& o, Op op) const {
      Vector r;
      for (std::size_t i = 0; i < N; ++i) {
        r.v[i] = op(v[i], o.v[i]);
      }
      return r;
    }
    Vector operator+(const Vector& o) const {
      return Each(o, [](T a, T b) { return a + b; });
    }
    Vector operator-(const Vector& o) const {
      return Each(o, [](T a, T b) { return a - b; });
    }
    Vector operator*(const Vector& o) const {
      return Each(o, [](T a, T b) { return a * b; });
    }
  };
#endif
  static Lanes Wrap(Vector values) {
    Lanes wrapped;
    wrapped.lanes = values;
    return wrapped;
  }

  template <class Op>
  static Lanes Each(const Lanes& a, const Lanes& b, Op op) {
    T x[N], y[N];
    std::memcpy(x, &a.lanes, sizeof x);
    std::memcpy(y, &b.lanes, sizeof y);
    for (std::size_t i = 0; i < N; ++i) {
      x[i] = op(x[i], y[i]);
    }
    return Load(x);
  }
  T Lane(std::size_t lane) const {
    T values[N];
    std::memcpy(values, &lanes, sizeof values);
    return values[lane];
  }
  template <class Op>
  T Fold(Op op) const {
    T values[N];
    std::memcpy(values, &lanes, sizeof values);
    for (std::size_t half = N / 2; half >= 1; half /= 2) {
      for (std::size_t i = 0; i < half; ++i) {
        values[i] = op(values[i], values[i + half]);
      }
    }
    return values[0];
  }

  Vector lanes;
};

/// Two doubles: a complex value, or two neighbouring samples.
using Pair = Lanes<double, 2>;
/// Four floats: four neighbouring samples.
using Quad = Lanes<float, 4>;

}  // namespace wavfreq
