#pragma once

#include <cmath>

namespace wavfreq {

/// Sine and cosine of an angle given in turns (1 turn = 2 pi), from additions, multiplications
/// and rounding alone. The C library's sin and cos differ in the last bit from one platform to
/// the next; filters designed with these give the same coefficients, and so the same result
/// bytes, on every platform. Accurate to a few units in the last place.
struct Turns {
  double sine = 0.0;
  double cosine = 1.0;

  static Turns Of(double turns) {
    // To the quadrant nearest the angle, exactly: scaling by 4 and subtracting a nearby integer
    // lose nothing. What is left lies within an eighth of a turn: |angle| <= pi / 4.
    const double quarters = std::fmod(turns, 1.0) * 4.0;
    const double quadrant = std::floor(quarters + 0.5);
    const double angle = (quarters - quadrant) * (kPi * 0.5);
    const double square = angle * angle;
    // Taylor series to the 17th and 18th power: the first term left out is below 2^-60.
    double s = 1.0 / 355687428096000.0;   // 1/17!
    double c = 1.0 / 6402373705728000.0;  // 1/18!
    for (int k = 15; k >= 1; k -= 2) {
      s = s * square * -1.0 + kInverseFactorials[k];
      c = c * square * -1.0 + kInverseFactorials[k + 1];
    }
    s = s * angle;
    c = c * square * -1.0 + 1.0;
    Turns result;
    switch ((static_cast<int>(quadrant) % 4 + 4) % 4) {
      case 0:
        result.sine = s;
        result.cosine = c;
        break;
      case 1:
        result.sine = c;
        result.cosine = -s;
        break;
      case 2:
        result.sine = -s;
        result.cosine = -c;
        break;
      default:
        result.sine = -c;
        result.cosine = s;
        break;
    }
    return result;
  }

  static constexpr double kPi = 3.14159265358979323846;

  /// The angle of the point (x, y) in turns, in (-0.5, 0.5]: atan2 from square roots and the
  /// four basic operations. 0 for the origin.
  static double AngleOf(double y, double x) {
    const double ay = std::fabs(y);
    const double ax = std::fabs(x);
    if (ay == 0.0 && ax == 0.0) {
      return 0.0;
    }
    // Within the first octant, then, unless the tangent is small already, twice to the half
    // angle: the series is taken at |t| <= tan(pi / 16) < 0.2 to the 21st power, or at
    // |t| <= 1/16 to the 13th, and leaves out less than 2^-55 of the angle either way.
    const bool steep = ay > ax;
    double t = steep ? ax / ay : ay / ax;
    double radians;
    if (t <= kSmallTangent) {
      // The seven terms in three tiers (Estrin's scheme), which wait on each other less than
      // one term after the other would.
      const double u = t * t;
      const double u2 = u * u;
      const double u4 = u2 * u2;
      const double low =
          (kOddInverses[0] - kOddInverses[1] * u) + u2 * (kOddInverses[2] - kOddInverses[3] * u);
      const double high = (kOddInverses[4] - kOddInverses[5] * u) + u2 * kOddInverses[6];
      radians = (low + u4 * high) * t;
    } else {
      for (int halving = 0; halving < 2; ++halving) {
        t = t / (1.0 + std::sqrt(1.0 + t * t));
      }
      const double square = t * t;
      double series = kOddInverses[kAtanTerms - 1];
      for (int k = kAtanTerms - 2; k >= 0; --k) {
        series = series * square * -1.0 + kOddInverses[k];
      }
      radians = 4.0 * series * t;
    }
    double turns = radians * kTurnsPerRadian;
    if (steep) {
      turns = 0.25 - turns;
    }
    if (x < 0.0) {
      turns = 0.5 - turns;
    }
    return y < 0.0 ? -turns : turns;
  }

 private:
  static constexpr double kSmallTangent = 0.0625;
  static constexpr int kAtanTerms = 11;
  static constexpr double kTurnsPerRadian = 0.15915494309189533577;  // 1 / (2 pi)
  // 1/(2k + 1) for k = 0 to 10, each rounded once: the series of atan.
  static constexpr double kOddInverses[kAtanTerms] = {
      1.0,        1.0 / 3.0,  1.0 / 5.0,  1.0 / 7.0,  1.0 / 9.0, 1.0 / 11.0,
      1.0 / 13.0, 1.0 / 15.0, 1.0 / 17.0, 1.0 / 19.0, 1.0 / 21.0};
  // 1/k! for k = 0 to 16, each rounded once from its exact value.
  static constexpr double kInverseFactorials[17] = {1.0,
                                                    1.0,
                                                    1.0 / 2.0,
                                                    1.0 / 6.0,
                                                    1.0 / 24.0,
                                                    1.0 / 120.0,
                                                    1.0 / 720.0,
                                                    1.0 / 5040.0,
                                                    1.0 / 40320.0,
                                                    1.0 / 362880.0,
                                                    1.0 / 3628800.0,
                                                    1.0 / 39916800.0,
                                                    1.0 / 479001600.0,
                                                    1.0 / 6227020800.0,
                                                    1.0 / 87178291200.0,
                                                    1.0 / 1307674368000.0,
                                                    1.0 / 20922789888000.0};
};

}  // namespace wavfreq
