#include "dsp/SineInNoise.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dsp/Turns.h"

namespace wavfreq {

namespace {

// Phases of the sine, a quarter period in steps: by symmetry it holds every value |sin| takes.
constexpr int kPhases = 32;
constexpr int kFitSteps = 30;
constexpr double kShare = 0.95;

struct Sines {
  double values[kPhases];
  Sines() {
    for (int j = 0; j < kPhases; ++j) {
      values[j] = Turns::Of(0.25 * (j + 0.5) / kPhases).sine;
    }
  }
};

// P(|a sin(t) + noise| <= v), the noise of standard deviation sigma > 0: each phase's two
// probabilities taken together, as a pair, and added in the phases' order.
double Within(double v, double a, double sigma) {
  static const Sines sines;
  double sum = 0.0;
  for (const double sine : sines.values) {
    const double s = a * sine;
    const double z[2] = {(v - s) / sigma, (-v - s) / sigma};
    double p[2];
    SineInNoise::NormalCdfs(z, p);
    sum += p[0] - p[1];
  }
  return sum / kPhases;
}

#if defined(__SSE2__)
__m128d Select(__m128d mask, __m128d ifSet, __m128d otherwise) {
  return _mm_or_pd(_mm_and_pd(mask, ifSet), _mm_andnot_pd(mask, otherwise));
}

// NormalCdf in the two lanes, operation by operation; false where a lane's power of two would
// fall outside the normal numbers, which the polynomial's range never reaches.
bool NormalCdfPair(__m128d z, __m128d& result) {
  const __m128d signBit = _mm_set1_pd(-0.0);
  const __m128d one = _mm_set1_pd(1.0);
  const __m128d x = _mm_mul_pd(_mm_xor_pd(z, signBit), _mm_set1_pd(0.70710678118654752440));
  const __m128d t =
      _mm_div_pd(one, _mm_add_pd(one, _mm_mul_pd(_mm_set1_pd(0.5), _mm_andnot_pd(signBit, x))));
  constexpr double kFit[] = {1.00002368,  0.37409196, 0.09678418,  -0.18628806, 0.27886807,
                             -1.13520398, 1.48851587, -0.82215223, 0.17087277};
  __m128d poly = _mm_set1_pd(kFit[8]);
  for (int k = 7; k >= 0; --k) {
    poly = _mm_add_pd(_mm_set1_pd(kFit[k]), _mm_mul_pd(t, poly));
  }
  const __m128d fit =
      _mm_add_pd(_mm_sub_pd(_mm_mul_pd(_mm_xor_pd(x, signBit), x), _mm_set1_pd(1.26551223)),
                 _mm_mul_pd(t, poly));
  // Exp(fit): 0 below -700; else n = floor(fit log2 e + 0.5), the rest's series, times 2^n.
  const __m128d tooLow = _mm_cmplt_pd(fit, _mm_set1_pd(-700.0));
  const __m128d scaled =
      _mm_add_pd(_mm_mul_pd(fit, _mm_set1_pd(1.4426950408889634)), _mm_set1_pd(0.5));
  const __m128d truncated = _mm_cvtepi32_pd(_mm_cvttpd_epi32(scaled));
  const __m128d n = _mm_sub_pd(truncated, _mm_and_pd(_mm_cmpgt_pd(truncated, scaled), one));
  const __m128d r = _mm_sub_pd(_mm_sub_pd(fit, _mm_mul_pd(n, _mm_set1_pd(0.693147180369123816490))),
                               _mm_mul_pd(n, _mm_set1_pd(1.90821492927058770002e-10)));
  __m128d series = one;
  for (int k = 13; k >= 1; --k) {
    series = _mm_add_pd(one, _mm_div_pd(_mm_mul_pd(series, r), _mm_set1_pd(k)));
  }
  const __m128d outside =
      _mm_or_pd(_mm_cmplt_pd(n, _mm_set1_pd(-1022.0)), _mm_cmpgt_pd(n, _mm_set1_pd(1023.0)));
  if (_mm_movemask_pd(_mm_andnot_pd(tooLow, outside)) != 0) {
    return false;
  }
  // 2^n: n + 1023 in the low bits of 2^52 + n + 1023, moved up to the exponent's place.
  const __m128d biased = _mm_add_pd(n, _mm_set1_pd(4503599627370496.0 + 1023.0));
  const __m128d power = _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(biased), 52));
  const __m128d exp = _mm_andnot_pd(tooLow, _mm_mul_pd(series, power));
  const __m128d erfc = _mm_mul_pd(t, exp);
  const __m128d chosen =
      Select(_mm_cmpge_pd(x, _mm_setzero_pd()), erfc, _mm_sub_pd(_mm_set1_pd(2.0), erfc));
  result = _mm_mul_pd(_mm_set1_pd(0.5), chosen);
  return true;
}
#endif

}  // namespace

double SineInNoise::Exp(double x) {
  if (x < -700.0) {
    return 0.0;
  }
  // x = n ln 2 + r with |r| <= ln 2 / 2, ln 2 in two parts so that n ln 2 is exact; then the
  // series of e^r to the 13th power, whose rest lies below 2^-60.
  constexpr double kLog2e = 1.4426950408889634;
  constexpr double kLn2High = 0.693147180369123816490;
  constexpr double kLn2Low = 1.90821492927058770002e-10;
  const double n = std::floor(x * kLog2e + 0.5);
  const double r = (x - n * kLn2High) - n * kLn2Low;
  double series = 1.0;
  for (int k = 13; k >= 1; --k) {
    series = 1.0 + series * r / k;
  }
  // Times 2^n, its bits made directly where 2^n is a normal number: the same exact scaling as
  // ldexp, without the library call that the noise model's many evaluations would pay for.
  if (n >= -1022.0 && n <= 1023.0) {
    const std::uint64_t bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(n) + 1023)
                               << 52;
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return series * scale;
  }
  return std::ldexp(series, static_cast<int>(n));
}

double SineInNoise::NormalCdf(double z) {
  // erfc(x) with x = -z / sqrt(2), by its Chebyshev fit (relative error below 1.2e-7).
  const double x = -z * 0.70710678118654752440;
  const double t = 1.0 / (1.0 + 0.5 * std::fabs(x));
  const double fit =
      -x * x - 1.26551223 +
      t * (1.00002368 +
           t * (0.37409196 +
                t * (0.09678418 +
                     t * (-0.18628806 +
                          t * (0.27886807 +
                               t * (-1.13520398 +
                                    t * (1.48851587 + t * (-0.82215223 + t * 0.17087277))))))));
  const double erfc = t * Exp(fit);
  return 0.5 * (x >= 0.0 ? erfc : 2.0 - erfc);
}

void SineInNoise::NormalCdfs(const double z[2], double p[2]) {
#if defined(__SSE2__)
  __m128d both;
  if (NormalCdfPair(_mm_loadu_pd(z), both)) {
    _mm_storeu_pd(p, both);
    return;
  }
#endif
  p[0] = NormalCdf(z[0]);
  p[1] = NormalCdf(z[1]);
}

double SineInNoise::Percentile(double a, double sigma, double share, int halvings) {
  if (!(sigma > 0.0)) {
    // |sin| is below sin(share x pi / 2) for `share` of a period.
    return a * Turns::Of(0.25 * share).sine;
  }
  double low = 0.0;
  double high = a + 10.0 * sigma;
  for (int i = 0; i < halvings; ++i) {
    const double middle = 0.5 * (low + high);
    (Within(middle, a, sigma) < share ? low : high) = middle;
  }
  return 0.5 * (low + high);
}

double SineInNoise::SineShare(const std::vector<double>& edges, const std::vector<double>& counts,
                              double power, double most) {
  // The log-likelihood of the counts when the sine holds `sine` of the power and noise the rest:
  // the model's probability of each bin, from its edges.
  const auto likelihood = [&](double sine) {
    const double a = std::sqrt(2.0 * sine);
    const double sigma = std::sqrt(std::fmax(power - sine, 0.0));
    double sum = 0.0;
    double below = 0.0;
    for (std::size_t b = 0; b < counts.size(); ++b) {
      const double upTo =
          sigma > 0.0 ? Within(edges[b + 1], a, sigma) : (edges[b + 1] >= a ? 1.0 : 0.0);
      if (counts[b] > 0.0) {
        sum += counts[b] * std::log(std::fmax(upTo - below, 1e-300));
      }
      below = upTo;
    }
    return sum;
  };
  // Golden-section search: the likelihood has one peak over the share.
  constexpr double kGolden = 0.61803398874989485;
  double low = 0.0;
  double high = std::fmax(0.0, std::fmin(most, power));
  double left = high - kGolden * (high - low);
  double right = low + kGolden * (high - low);
  double leftValue = likelihood(left);
  double rightValue = likelihood(right);
  for (int i = 0; i < kFitSteps; ++i) {
    if (leftValue < rightValue) {
      low = left;
      left = right;
      leftValue = rightValue;
      right = low + kGolden * (high - low);
      rightValue = likelihood(right);
    } else {
      high = right;
      right = left;
      rightValue = leftValue;
      left = high - kGolden * (high - low);
      leftValue = likelihood(left);
    }
  }
  return 0.5 * (low + high);
}

double SineInNoise::NoiseCorrection(double power, double sine, double noisePower, int halvings) {
  if (!(noisePower > 0.0) || !(power > 0.0)) {
    return 1.0;
  }
  const double clean = power - noisePower;
  if (!(clean > 0.0)) {
    return 0.0;
  }
  sine = std::fmin(sine, clean);
  const double a = std::sqrt(2.0 * sine);
  const double without = Percentile(a, std::sqrt(clean - sine), kShare, halvings);
  const double with = Percentile(a, std::sqrt(power - sine), kShare, halvings);
  return with > 0.0 ? without / with : 1.0;
}

}  // namespace wavfreq
