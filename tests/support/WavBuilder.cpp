#include "support/WavBuilder.h"

#include <cmath>
#include <cstring>
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

Bytes Le64(std::uint64_t value) {
  return Concat(
      {Le32(static_cast<std::uint32_t>(value)), Le32(static_cast<std::uint32_t>(value >> 32))});
}

Bytes Ds64(std::uint64_t riffSize, std::uint64_t dataSize,
           const std::vector<std::pair<std::string, std::uint64_t>>& table) {
  Bytes payload = Concat(
      {Le64(riffSize), Le64(dataSize), Le64(0), Le32(static_cast<std::uint32_t>(table.size()))});
  for (const auto& entry : table) {
    payload = Concat({payload, Id(entry.first), Le64(entry.second)});
  }
  return Chunk("ds64", payload);
}

Bytes Rf64(const Bytes& body, const std::string& id, std::uint32_t size) {
  return Concat({Id(id), Le32(size), Id("WAVE"), body});
}

static const Bytes kWave64Tail = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1,
                                  0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

Bytes Wave64Chunk(const std::string& id, const Bytes& payload, std::optional<std::uint64_t> size) {
  Bytes chunk = Concat({Id(id), kWave64Tail, Le64(size.value_or(24 + payload.size())), payload});
  chunk.resize((chunk.size() + 7) / 8 * 8, 0);
  return chunk;
}

Bytes Wave64(const Bytes& body, std::optional<std::uint64_t> size) {
  const Bytes riff = {'r',  'i',  'f',  'f',  0x2E, 0x91, 0xCF, 0x11,
                      0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
  return Concat({riff, Le64(size.value_or(40 + body.size())), Id("wave"), kWave64Tail, body});
}

Bytes FramesFloat(const std::vector<std::vector<double>>& channels, bool wide) {
  Bytes bytes;
  for (std::size_t i = 0; i < channels.front().size(); ++i) {
    for (const std::vector<double>& channel : channels) {
      const Bytes sample = wide ? Le64([&] {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &channel[i], sizeof bits);
        return bits;
      }())
                                : Le32([&] {
                                    const float value = static_cast<float>(channel[i]);
                                    std::uint32_t bits = 0;
                                    std::memcpy(&bits, &value, sizeof bits);
                                    return bits;
                                  }());
      bytes.insert(bytes.end(), sample.begin(), sample.end());
    }
  }
  return bytes;
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
