#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/TempFile.h"

namespace wavfreq::test {

/// Building blocks for WAV files of any shape: arbitrary ids and sizes, pad bytes or none,
/// truncation by cutting the returned bytes.
Bytes Le16(std::uint16_t value);
Bytes Le32(std::uint32_t value);
Bytes Concat(std::initializer_list<Bytes> parts);

/// A chunk: 4-byte id, size (the payload's unless given), payload, and a pad byte after an
/// odd-sized payload unless `pad` is false.
Bytes Chunk(const std::string& id, const Bytes& payload, std::optional<std::uint32_t> size = {},
            bool pad = true);
/// The outer chunk: "RIFF", size (of form type plus body unless given), form type, body.
Bytes Riff(const Bytes& body, const std::string& form = "WAVE",
           std::optional<std::uint32_t> size = {});
/// The 16-byte format record, optionally followed by `extra` bytes of extension. The block
/// alignment is channels x whole bytes per sample unless given.
Bytes FmtPayload(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                 std::size_t extra = 0, std::optional<std::uint16_t> blockAlign = {});
/// The GUID of integer PCM in an extensible format record, as stored.
extern const Bytes kPcmSubFormat;
/// The 40-byte extensible format record (tag 0xFFFE): the 16 bytes above, then the extension's
/// size 22, valid bits, channel mask 0 and the sample format's GUID.
Bytes ExtensibleFmtPayload(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                           const Bytes& subFormat = kPcmSubFormat);
/// A complete file: RIFF/WAVE, "fmt " with PCM tag 1, "data" with `data`.
Bytes PcmWav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& data);

Bytes Le64(std::uint64_t value);
/// A "ds64" chunk: the 64-bit sizes of the RIFF chunk and of the data chunk, a sample count of 0,
/// and a table entry per (id, size).
Bytes Ds64(std::uint64_t riffSize, std::uint64_t dataSize,
           const std::vector<std::pair<std::string, std::uint64_t>>& table = {});
/// The outer chunk of RF64 or BW64: `id`, a size of 0xFFFFFFFF unless given, "WAVE", the body
/// (which should start with a ds64 chunk).
Bytes Rf64(const Bytes& body, const std::string& id = "RF64", std::uint32_t size = 0xFFFFFFFF);
/// A Wave64 chunk: the GUID of a WAV chunk id ("fmt ", "data", ... with Wave64's common tail),
/// a 64-bit size that counts the 24-byte header (that of the payload unless given), the payload,
/// and zeros up to a multiple of 8 bytes.
Bytes Wave64Chunk(const std::string& id, const Bytes& payload,
                  std::optional<std::uint64_t> size = {});
/// A Wave64 file: the "riff" GUID, its size (of everything unless given), the "wave" GUID, body.
Bytes Wave64(const Bytes& body, std::optional<std::uint64_t> size = {});
/// Interleaved 32-bit (or with `wide`, 64-bit) IEEE floating-point frames.
Bytes FramesFloat(const std::vector<std::vector<double>>& channels, bool wide = false);

/// Interleaved 16-bit frames; `channels[c][i]` is sample i of channel c.
Bytes Frames16(const std::vector<std::vector<int>>& channels);
/// Interleaved frames of signed little-endian samples of `width` bytes (2 to 4).
Bytes FramesLe(int width, const std::vector<std::vector<int>>& channels);
/// Interleaved 8-bit frames of raw byte values.
Bytes Frames8(const std::vector<std::vector<int>>& channels);
/// A tone of `amplitude` whose frequency at t seconds is
/// `frequency` x (1 + depth x cos(2 pi x modulation x t) + drift x t / duration), as a tape with
/// wow and a slowly changing speed plays it; `count` samples at `rate`, not yet rounded.
std::vector<double> WowTone(double frequency, double amplitude, std::uint32_t rate,
                            std::size_t count, double depth, double modulation, double drift = 0.0);
/// Adds white noise of the given RMS, the same for the same seed, and rounds to integers.
std::vector<int> WithNoise(const std::vector<double>& signal, double rms, std::uint32_t seed);
/// A sine of `frequency` Hz at `amplitude`, `count` samples at `rate`, rounded to integers.
std::vector<int> Sine(double frequency, double amplitude, std::uint32_t rate, std::size_t count,
                      double phase = 0.0);

}  // namespace wavfreq::test
