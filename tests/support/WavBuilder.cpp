#include "support/WavBuilder.h"

#include <cmath>

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
                 std::size_t extra) {
  const std::uint16_t align = static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
  Bytes payload =
      Concat({Le16(tag), Le16(channels), Le32(rate), Le32(rate * align), Le16(align), Le16(bits)});
  payload.resize(payload.size() + extra, 0xAB);
  return payload;
}

Bytes PcmWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& data) {
  return Riff(Concat({Chunk("fmt ", FmtPayload(1, channels, rate, bits)), Chunk("data", data)}));
}

Bytes Frames16(const std::vector<std::vector<int>>& channels) {
  Bytes bytes;
  for (std::size_t i = 0; i < channels.front().size(); ++i) {
    for (const std::vector<int>& channel : channels) {
      Bytes sample = Le16(static_cast<std::uint16_t>(channel[i] & 0xFFFF));
      bytes.insert(bytes.end(), sample.begin(), sample.end());
    }
  }
  return bytes;
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
