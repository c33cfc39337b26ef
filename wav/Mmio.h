#pragma once

#include <cstdint>
#include <memory>

#include "wav/IByteStream.h"

/// Buffered RIFF file I/O with the operations and results of the classic multimedia I/O calls,
/// implemented here on portable byte streams so that every platform parses files the same way.
namespace wavfreq::mmio {

using FOURCC = std::uint32_t;

constexpr FOURCC MakeFourCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<std::uint8_t>(a)) |
         static_cast<FOURCC>(static_cast<std::uint8_t>(b)) << 8 |
         static_cast<FOURCC>(static_cast<std::uint8_t>(c)) << 16 |
         static_cast<FOURCC>(static_cast<std::uint8_t>(d)) << 24;
}

constexpr FOURCC kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr FOURCC kList = MakeFourCC('L', 'I', 'S', 'T');

constexpr unsigned MMIO_READ = 0x0;
constexpr unsigned MMIO_ALLOCBUF = 0x10000;
constexpr unsigned MMIO_FINDCHUNK = 0x10;

/// Size of the read buffer: large enough that refills are rare next to the per-frame work.
constexpr std::int64_t kBufferSize = 64 * 1024;

/// A chunk descriptor. `dwDataOffset` is the file offset of the chunk's data, which for "RIFF" and
/// "LIST" starts with the 4-byte form type.
struct MMCKINFO {
  FOURCC ckid = 0;
  std::uint32_t cksize = 0;
  FOURCC fccType = 0;
  std::uint64_t dwDataOffset = 0;
  std::uint32_t dwFlags = 0;
};

/// The caller's view of the read buffer: bytes from `pchNext` up to, not including, `pchEndRead`.
struct MMIOINFO {
  const char* pchNext = nullptr;
  const char* pchEndRead = nullptr;
};

class MmioFile;
using HMMIO = MmioFile*;

/// Opens a file for buffered reading at offset 0; null on failure.
HMMIO mmioOpen(const char* path, unsigned flags);
/// The same over any byte stream; the returned handle owns the stream.
HMMIO mmioOpenStream(std::unique_ptr<IByteStream> stream);

/// Without a parent: reads the chunk header at the current position (and the form type of a
/// "RIFF" or "LIST" chunk). With a parent and MMIO_FINDCHUNK: searches forward for `ck->ckid`
/// inside the parent's data and leaves the position on the found chunk's first data byte.
/// Returns 0 on success.
int mmioDescend(HMMIO file, MMCKINFO* ck, const MMCKINFO* parent, unsigned flags);
/// Returns the count of bytes read, or -1 when reading failed before any byte was read.
std::int64_t mmioRead(HMMIO file, char* destination, std::int64_t size);
/// Moves past the chunk's data and its pad byte. Returns 0 on success.
int mmioAscend(HMMIO file, MMCKINFO* ck, unsigned flags);
/// Hands out the buffer window, which starts at the current position. Returns 0 on success.
int mmioGetInfo(HMMIO file, MMIOINFO* info, unsigned flags);
/// Refills an emptied window from the following bytes. Returns 0 with the window refilled, or
/// still empty at the end of the file; non-zero when reading failed.
int mmioAdvance(HMMIO file, MMIOINFO* info, unsigned flags);
/// Takes back the window handed out by mmioGetInfo.
int mmioSetInfo(HMMIO file, const MMIOINFO* info, unsigned flags);
int mmioClose(HMMIO file, unsigned flags);

}  // namespace wavfreq::mmio
