#include "support/WavBuilder.h"

#include <cmath>
#include <random>

namespace wavfreq::test {

Bytes Le16(std::uint16_t value) {
  return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

Bytes Le32(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>((value >> 8) & 0xFF),
          static_cast<std::uint8_t>((value >> 16) & 0xFF),
          static_cast<std::uint8_t>((value >> 24) & 0xFF)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

static Bytes Id(const std::string& id) {
  return Bytes(id.begin(), id.begin() + 4);
}

Bytes Chunk(const std::string& id, const Bytes& payload, std::optional<std::uint32_t> size,
            bool pad) {
  Bytes chunk =
      Concat({Id(id), Le32(size.value_or(static_cast<std::uint32_t>(payload.size()))), payload});
  if (pad && payload.size() % 2 == 1) {
    chunk.push_back(0);
  }
  return chunk;
}

Bytes Riff(const Bytes& body, const std::string& form, std::optional<std::uint32_t> size) {
  return Concat({Id("RIFF"), Le32(size.value_or(static_cast<std::uint32_t>(body.size() + 4))),
                 Id(form), body});
}

Bytes FmtPayload(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                 std::size_t extra, std::optional<std::uint16_t> blockAlign) {
  const std::uint16_t align =
      blockAlign.value_or(static_cast<std::uint16_t>(channels * ((bits + 7) / 8)));
  Bytes payload =
      Concat({Le16(tag), Le16(channels), Le32(rate), Le32(rate * align), Le16(align), Le16(bits)});
  payload.resize(payload.size() + extra, 0xAB);
  return payload;
}

const Bytes kPcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                             0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

Bytes ExtensibleFmtPayload(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                           const Bytes& subFormat) {
  return Concat(
      {FmtPayload(0xFFFE, channels, rate, bits), Le16(22), Le16(bits), Le32(0), subFormat});
}

Bytes PcmWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& data) {
  return Riff(Concat({Chunk("fmt ", FmtPayload(1, channels, rate, bits)), Chunk("data", data)}));
}

Bytes FramesLe(int width, const std::vector<std::vector<int>>& channels) {
  Bytes bytes;
  for (std::size_t i = 0; i < channels.front().size(); ++i) {
    for (const std::vector<int>& channel : channels) {
      const std::uint32_t value = static_cast<std::uint32_t>(channel[i]);
      for (int b = 0; b < width; ++b) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
      }
    }
  }
  return bytes;
}

Bytes Frames16(const std::vector<std::vector<int>>& channels) {
  return FramesLe(2, channels);
}

Bytes Frames8(const std::vector<std::vector<int>>& channels) {
  Bytes bytes;
  for (std::size_t i = 0; i < channels.front().size(); ++i) {
    for (const std::vector<int>& channel : channels) {
      bytes.push_back(static_cast<std::uint8_t>(channel[i]));
    }
  }
  return bytes;
}

std::vector<double> WowTone(double frequency, double amplitude, std::uint32_t rate,
                            std::size_t count, double depth, double modulation, double drift) {
  const double pi = std::acos(-1.0);
  const double duration = static_cast<double>(count) / rate;
  std::vector<double> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / rate;
    // The phase is the integral of the frequency.
    const double wow = depth * std::sin(2.0 * pi * modulation * t) / (2.0 * pi * modulation);
    const double phase = 2.0 * pi * frequency * (t + wow + drift * t * t / (2.0 * duration));
    samples[i] = amplitude * std::sin(phase);
  }
  return samples;
}

std::vector<int> WithNoise(const std::vector<double>& signal, double rms, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, rms);
  std::vector<int> samples(signal.size());
  for (std::size_t i = 0; i < signal.size(); ++i) {
    samples[i] = static_cast<int>(std::lround(signal[i] + (rms > 0.0 ? noise(random) : 0.0)));
  }
  return samples;
}

std::vector<int> Sine(double frequency, double amplitude, std::uint32_t rate, std::size_t count,
                      double phase) {
  std::vector<int> samples(count);
  const double pi = std::acos(-1.0);
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<int>(std::lround(
        amplitude * std::sin(2.0 * pi * frequency * static_cast<double>(i) / rate + phase)));
  }
  return samples;
}

}  // namespace wavfreq::test
