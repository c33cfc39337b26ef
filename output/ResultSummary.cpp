#include "output/ResultSummary.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdarg>
#include <cstdio>

namespace wavfreq {

namespace {

// Values kept of each series before it is thinned to half: 1 MiB each.
constexpr std::size_t kCapacity = std::size_t{1} << 17;
// The spectrum is searched for modulation from here up to a quarter of the line rate.
constexpr double kSlowestModulation = 0.05;

// The value below which the given share of the values lie, interpolated between neighbours.
double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  const double at = share * static_cast<double>(values.size() - 1);
  const std::size_t below = static_cast<std::size_t>(at);
  if (below + 1 >= values.size()) {
    return values.back();
  }
  const double fraction = at - static_cast<double>(below);
  return values[below] + (values[below + 1] - values[below]) * fraction;
}

// In-place radix-2 transform; the size is a power of two.
void Transform(std::vector<std::complex<double>>& data) {
  const std::size_t n = data.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; (j & bit) != 0; bit >>= 1) {
      j ^= bit;
    }
    j ^= bit;
    if (i < j) {
      std::swap(data[i], data[j]);
    }
  }
  const double kPi = 3.14159265358979323846;
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> turn = std::polar(1.0, -2.0 * kPi / static_cast<double>(length));
    for (std::size_t start = 0; start < n; start += length) {
      std::complex<double> w = 1.0;
      for (std::size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> even = data[start + k];
        const std::complex<double> odd = data[start + k + length / 2] * w;
        data[start + k] = even + odd;
        data[start + k + length / 2] = even - odd;
        w *= turn;
      }
    }
  }
}

// The frequency of the largest peak of the spectrum of `values` (sampled at `sampleRate`)
// between `lowest` and `highest`, or a negative value when there is none. A Hann window and
// the parabola through the peak's neighbours (in decibels) place it between bins.
double StrongestRate(const std::vector<double>& values, double sampleRate, double lowest,
                     double highest) {
  const std::size_t n = values.size();
  if (n < 4) {
    return -1.0;
  }
  std::size_t size = 1;
  while (size < 2 * n) {
    size <<= 1;
  }
  const double kPi = 3.14159265358979323846;
  std::vector<std::complex<double>> spectrum(size);
  for (std::size_t i = 0; i < n; ++i) {
    const double window =
        0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(n - 1));
    spectrum[i] = values[i] * window;
  }
  Transform(spectrum);
  const double binWidth = sampleRate / static_cast<double>(size);
  const std::size_t first = static_cast<std::size_t>(std::ceil(lowest / binWidth));
  const std::size_t last =
      std::min(size / 2 - 1, static_cast<std::size_t>(std::floor(highest / binWidth)));
  std::size_t peak = 0;
  double peakPower = 0.0;
  for (std::size_t k = std::max<std::size_t>(first, 1); k <= last; ++k) {
    const double power = std::norm(spectrum[k]);
    if (power > peakPower) {
      peakPower = power;
      peak = k;
    }
  }
  if (peak == 0) {
    return -1.0;
  }
  const double left = std::log(std::norm(spectrum[peak - 1]) + 1e-300);
  const double centre = std::log(peakPower);
  const double right = std::log(std::norm(spectrum[peak + 1]) + 1e-300);
  const double curvature = left - 2.0 * centre + right;
  const double offset = curvature < 0.0 ? 0.5 * (left - right) / curvature : 0.0;
  return (static_cast<double>(peak) + offset) * binWidth;
}

// Appends to a series that holds every `stride`-th value; a full one keeps every other.
void KeepEvery(std::vector<double>& values, double value, std::int64_t& stride) {
  values.push_back(value);
  if (values.size() == kCapacity) {
    for (std::size_t i = 0; i < kCapacity / 2; ++i) {
      values[i] = values[2 * i];
    }
    values.resize(kCapacity / 2);
    stride *= 2;
  }
}

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void AppendLine(std::string& text, const char* format, ...) {
  char line[96];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  text += line;
}

}  // namespace

ResultSummary::ResultSummary(double fromTime, double rate)
    : from(fromTime), step(1.0 / rate), weighting(rate) {}

void ResultSummary::Add(double time, double frequency) {
  if (!(time >= from)) {
    return;
  }
  if (count == 0) {
    firstTime = time;
    firstFrequency = frequency;
    minimum = maximum = frequency;
  } else {
    Resample(time, frequency);
  }
  const double t = time - firstTime;
  const double f = frequency - firstFrequency;
  sumT += t;
  sumF += f;
  sumTT += t * t;
  sumTF += t * f;
  minimum = std::fmin(minimum, frequency);
  maximum = std::fmax(maximum, frequency);
  lastTime = time;
  lastFrequency = frequency;
  ++count;
}

void ResultSummary::Resample(double time, double frequency) {
  if (!(time > lastTime)) {
    return;  // only a rising time gives an even series
  }
  // Values at firstTime + k * step, on the straight line between the last two lines.
  for (;;) {
    const double at = firstTime + static_cast<double>(resampled) * step;
    if (at > time) {
      break;
    }
    Keep(lastFrequency + (frequency - lastFrequency) * ((at - lastTime) / (time - lastTime)));
  }
}

void ResultSummary::Keep(double value) {
  // The weighting removes the constant part; starting from the first value spares it a step.
  const double weightedValue = std::fabs(weighting.Process(value - firstFrequency));
  if (resampled % weightedStride == 0) {
    KeepEvery(weighted, weightedValue, weightedStride);
  }
  if (resampled % pickStride == 0) {
    KeepEvery(picked, value, pickStride);
  }
  ++resampled;
  pendingSum += value;
  if (++pendingCount == meanStride) {
    means.push_back(pendingSum / static_cast<double>(meanStride));
    pendingSum = 0.0;
    pendingCount = 0;
    if (means.size() == kCapacity) {
      for (std::size_t i = 0; i < kCapacity / 2; ++i) {
        means[i] = 0.5 * (means[2 * i] + means[2 * i + 1]);
      }
      means.resize(kCapacity / 2);
      meanStride *= 2;
    }
  }
}

std::string ResultSummary::Report() const {
  if (count == 0) {
    return "No frequency measured.\n";
  }
  const double n = static_cast<double>(count);
  const double mean = firstFrequency + sumF / n;
  const double spread = n * sumTT - sumT * sumT;
  const double slope = spread > 0.0 ? (n * sumTF - sumT * sumF) / spread : 0.0;
  const double intercept = (sumF - slope * sumT) / n;  // relative to the first line

  std::string text;
  AppendLine(text, "Lines: %.0f\n", n);
  AppendLine(text, "Mean frequency: %.3f Hz\n", mean);
  AppendLine(text, "Minimum frequency: %.3f Hz\n", minimum);
  AppendLine(text, "Maximum frequency: %.3f Hz\n", maximum);
  AppendLine(text, "Drift: %.5f Hz/s\n", slope);
  AppendLine(text, "Drift over the run: %.4f %%\n", 100.0 * slope * (lastTime - firstTime) / mean);

  // The line at `index` (fractional) values of the even series after the first line.
  const auto line = [&](double index) { return firstFrequency + intercept + slope * index * step; };
  std::vector<double> relative(picked.size());
  double sumSquares = 0.0;
  for (std::size_t i = 0; i < picked.size(); ++i) {
    const double at = static_cast<double>(i) * static_cast<double>(pickStride);
    relative[i] = 100.0 * std::fabs(picked[i] - line(at)) / mean;
    sumSquares += relative[i] * relative[i];
  }
  if (relative.empty()) {
    relative.push_back(100.0 * std::fabs(lastFrequency - line(0.0)) / mean);
    sumSquares = relative[0] * relative[0];
  }
  AppendLine(text, "Deviation peak: %.5f %%\n",
             *std::max_element(relative.begin(), relative.end()));
  AppendLine(text, "Deviation 2-sigma: %.5f %%\n", Percentile(relative, 0.95));
  AppendLine(text, "Deviation RMS: %.5f %%\n",
             std::sqrt(sumSquares / static_cast<double>(relative.size())));

  // Each mean stands for the middle of the values it took.
  std::vector<double> deviation(means.size());
  for (std::size_t i = 0; i < means.size(); ++i) {
    const double stride = static_cast<double>(meanStride);
    deviation[i] = means[i] - line(static_cast<double>(i) * stride + 0.5 * (stride - 1.0));
  }
  const double rate = StrongestRate(deviation, 1.0 / (step * static_cast<double>(meanStride)),
                                    kSlowestModulation, 0.25 / step);
  if (rate > 0.0) {
    AppendLine(text, "Modulation rate: %.3f Hz\n", rate);
  } else {
    text += "Modulation rate: none\n";
  }
  const double flutter = weighted.empty() ? 0.0 : 100.0 * Percentile(weighted, 0.95) / mean;
  AppendLine(text, "Weighted wow and flutter (2-sigma): %.5f %%\n", flutter);
  return text;
}

}  // namespace wavfreq
