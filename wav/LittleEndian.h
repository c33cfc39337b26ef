#pragma once

#include <cstdint>

namespace wavfreq {

/// RIFF numbers are little-endian. They are assembled from bytes, never by copying memory into an
/// integer, so the result is the same on any host.
inline std::uint16_t ReadLe16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t ReadLe32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

/// A two's complement 16-bit sample.
inline int ReadLeSigned16(const unsigned char* bytes) {
  const int value = ReadLe16(bytes);
  return value >= 0x8000 ? value - 0x10000 : value;
}

}  // namespace wavfreq
