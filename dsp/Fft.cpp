#include "dsp/Fft.h"

#include <utility>

#include "dsp/Turns.h"

namespace wavfreq {

Fft::Fft(std::size_t points) : size(points), twiddles(points) {
  for (std::size_t k = 0; k < size / 2; ++k) {
    const Turns turn = Turns::Of(static_cast<double>(k) / static_cast<double>(size));
    twiddles[2 * k] = turn.cosine;
    twiddles[2 * k + 1] = turn.sine;
  }
}

void Fft::Transform(double* data, bool inverse) const {
  // Into bit-reversed order, so that the butterflies work in place.
  for (std::size_t i = 1, j = 0; i < size; ++i) {
    std::size_t bit = size >> 1;
    for (; (j & bit) != 0; bit >>= 1) {
      j ^= bit;
    }
    j ^= bit;
    if (i < j) {
      std::swap(data[2 * i], data[2 * j]);
      std::swap(data[2 * i + 1], data[2 * j + 1]);
    }
  }
  // The forward transform turns by e^(-j ...): the twiddles' sines negated.
  const double sign = inverse ? 1.0 : -1.0;
  for (std::size_t length = 2; length <= size; length <<= 1) {
    const std::size_t half = length / 2;
    const std::size_t stride = size / length;
    for (std::size_t start = 0; start < size; start += length) {
      for (std::size_t k = 0; k < half; ++k) {
        const double c = twiddles[2 * k * stride];
        const double s = sign * twiddles[2 * k * stride + 1];
        double* even = data + 2 * (start + k);
        double* odd = data + 2 * (start + k + half);
        const double re = odd[0] * c - odd[1] * s;
        const double im = odd[0] * s + odd[1] * c;
        odd[0] = even[0] - re;
        odd[1] = even[1] - im;
        even[0] = even[0] + re;
        even[1] = even[1] + im;
      }
    }
  }
}

}  // namespace wavfreq
