#pragma once

#include <cstddef>
#include <vector>

namespace wavfreq {

/// The discrete Fourier transform of one size, a power of two, by the radix-2 Cooley-Tukey
/// butterflies. The twiddle factors come from Turns, so the same input gives the same bits on
/// every platform.
class Fft {
 public:
  explicit Fft(std::size_t size);

  std::size_t Size() const { return size; }

  /// Transforms `Size()` complex values in place, each stored as its real and its imaginary part
  /// side by side: the forward transform (e^(-j 2 pi k n / N)), or with `inverse` the inverse
  /// without the division by the size.
  void Transform(double* data, bool inverse) const;

 private:
  std::size_t size;
  std::vector<double> twiddles;  // cosine and sine of 2 pi k / size, k below size / 2
};

}  // namespace wavfreq
