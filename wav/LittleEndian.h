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

inline std::uint64_t ReadLe64(const unsigned char* bytes) {
  return static_cast<std::uint64_t>(ReadLe32(bytes)) |
         static_cast<std::uint64_t>(ReadLe32(bytes + 4)) << 32;
}

/// An 8-bit sample: unsigned, offset by 127, not 128: byte 128 is +1 and the range is -127 to 128.
inline int ReadUnsigned8(const unsigned char* bytes) {
  return static_cast<int>(bytes[0]) - 127;
}

/// Two's complement samples of 16, 24 and 32 bits.
inline int ReadLeSigned16(const unsigned char* bytes) {
  // Two's complement by conversion, which every compiler this builds with defines (and C++20
  // requires); compilers then read the sample with one sign-extending load.
  return static_cast<std::int16_t>(ReadLe16(bytes));
}

inline int ReadLeSigned24(const unsigned char* bytes) {
  const std::int32_t value = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                                       static_cast<std::uint32_t>(bytes[1]) << 8 |
                                                       static_cast<std::uint32_t>(bytes[2]) << 16);
  return value >= 0x800000 ? value - 0x1000000 : value;
}

inline int ReadLeSigned32(const unsigned char* bytes) {
  const std::uint32_t value = ReadLe32(bytes);
  // Converted without relying on how the compiler wraps unsigned values into int.
  return value >= 0x80000000u ? static_cast<int>(value - 0x80000000u) - 0x7FFFFFFF - 1
                              : static_cast<int>(value);
}

}  // namespace wavfreq
