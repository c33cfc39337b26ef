// Writes a streaming WAV to standard output, much faster than real time: 16-bit mono, a 1 kHz
// tone at half of full scale with 0.1 % of 4 Hz wow, for the given seconds at the given rate.
//   ToneStream SECONDS RATE
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Le(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<unsigned char>(value >> (8 * i)));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ToneStream SECONDS RATE\n");
    return 2;
  }
  const long long seconds = std::atoll(argv[1]);
  const std::uint32_t rate = static_cast<std::uint32_t>(std::atol(argv[2]));
  std::vector<unsigned char> header;
  for (const char c : {'R', 'I', 'F', 'F'})
    header.push_back(static_cast<unsigned char>(c));
  Le(header, 0xFFFFFFFF, 4);
  for (const char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) {
    header.push_back(static_cast<unsigned char>(c));
  }
  Le(header, 16, 4);
  Le(header, 1, 2);
  Le(header, 1, 2);
  Le(header, rate, 4);
  Le(header, 2 * rate, 4);
  Le(header, 2, 2);
  Le(header, 16, 2);
  for (const char c : {'d', 'a', 't', 'a'})
    header.push_back(static_cast<unsigned char>(c));
  Le(header, 0xFFFFFFFF, 4);
  std::fwrite(header.data(), 1, header.size(), stdout);
  // The tone's phasor turned sample by sample; the wow repeats every second, so its turns are
  // a second's table.
  const double pi = 3.14159265358979323846;
  std::vector<double> cosines(rate);
  std::vector<double> sines(rate);
  for (std::uint32_t i = 0; i < rate; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double turn = 2.0 * pi * 1000.0 * (1.0 + 0.001 * std::sin(2.0 * pi * 4.0 * t)) / rate;
    cosines[i] = std::cos(turn);
    sines[i] = std::sin(turn);
  }
  double re = 1.0;
  double im = 0.0;
  std::vector<short> second(rate);
  for (long long s = 0; s < seconds; ++s) {
    for (std::uint32_t i = 0; i < rate; ++i) {
      const double c = cosines[i];
      const double n = sines[i];
      const double nextRe = re * c - im * n;
      im = im * c + re * n;
      re = nextRe;
      second[i] = static_cast<short>(16384.0 * im);
    }
    const double length = std::sqrt(re * re + im * im);
    re /= length;
    im /= length;
    if (std::fwrite(second.data(), 2, rate, stdout) != rate) {
      return 1;
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
