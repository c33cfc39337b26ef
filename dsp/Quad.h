#pragma once

#include <cstring>

namespace wavfreq {

/// Four floats that are added and multiplied lane by lane: four neighbouring samples. With GCC
/// and Clang the four lanes are one register of the target's vector unit; elsewhere they are four
/// plain floats. Each lane takes the same IEEE single-precision operations in the same order
/// either way, so the results are the same to the bit.
class Quad {
 public:
  Quad() = default;
  explicit Quad(float value) : lanes{value, value, value, value} {}

  /// Four samples from memory, converted to float: ints exactly up to 2^24 in magnitude, doubles
  /// rounded once.
  static Quad From(const int* four) {
#if defined(__GNUC__)
    Ints ints;
    std::memcpy(&ints, four, sizeof ints);
    return Quad(__builtin_convertvector(ints, Lanes));
#else
    return Quad(Lanes{static_cast<float>(four[0]), static_cast<float>(four[1]),
                      static_cast<float>(four[2]), static_cast<float>(four[3])});
#endif
  }
  static Quad From(const double* four) {
    return Quad(Lanes{static_cast<float>(four[0]), static_cast<float>(four[1]),
                      static_cast<float>(four[2]), static_cast<float>(four[3])});
  }
  static Quad From(const float* four) {
    return Load(four);
  }
  /// Four floats from memory, at any alignment.
  static Quad Load(const float* from) {
    Quad quad;
    std::memcpy(&quad.lanes, from, sizeof quad.lanes);
    return quad;
  }
  /// Four floats from memory aligned to 16 bytes.
  static Quad LoadAligned(const float* from) {
#if defined(__GNUC__)
    from = static_cast<const float*>(__builtin_assume_aligned(from, 16));
#endif
    Quad quad;
    std::memcpy(&quad.lanes, from, sizeof quad.lanes);
    return quad;
  }
  void Store(float* to) const {
    std::memcpy(to, &lanes, sizeof lanes);
  }

  Quad operator+(const Quad& other) const {
    return Quad(lanes + other.lanes);
  }
  Quad operator*(const Quad& other) const {
    return Quad(lanes * other.lanes);
  }
  /// The four lanes added, in pairs first.
  float Sum() const {
    float four[4];
    std::memcpy(four, &lanes, sizeof four);
    return (four[0] + four[2]) + (four[1] + four[3]);
  }
  Quad& operator+=(const Quad& other) {
    lanes = lanes + other.lanes;
    return *this;
  }

 private:
#if defined(__GNUC__)
  typedef float Lanes __attribute__((vector_size(16)));
  typedef int Ints __attribute__((vector_size(16)));
#else
  struct Lanes {
    float v[4];
    Lanes operator+(const Lanes& o) const {
      return {{v[0] + o.v[0], v[1] + o.v[1], v[2] + o.v[2], v[3] + o.v[3]}};
    }
    Lanes operator*(const Lanes& o) const {
      return {{v[0] * o.v[0], v[1] * o.v[1], v[2] * o.v[2], v[3] * o.v[3]}};
    }
  };
#endif
  explicit Quad(Lanes values) : lanes(values) {}
  Lanes lanes;
};

}  // namespace wavfreq
