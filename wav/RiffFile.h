#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wav/IByteStream.h"

namespace wavfreq {

/// A chunk id: four ASCII characters, stored in file order.
using FourCC = std::uint32_t;

constexpr FourCC MakeFourCC(char a, char b, char c, char d) {
  return static_cast<FourCC>(static_cast<unsigned char>(a)) |
         static_cast<FourCC>(static_cast<unsigned char>(b)) << 8 |
         static_cast<FourCC>(static_cast<unsigned char>(c)) << 16 |
         static_cast<FourCC>(static_cast<unsigned char>(d)) << 24;
}

/// Where a chunk lies in the file. The data of a "RIFF" or "LIST" chunk starts with a form type,
/// which is read with the header.
struct RiffChunk {
  FourCC id = 0;
  std::uint32_t size = 0;
  FourCC formType = 0;
  std::uint64_t dataOffset = 0;

  /// Offset of the byte after the chunk's data. Offsets are 64-bit: a 32-bit size added to an
  /// offset near 4 GiB must not wrap.
  std::uint64_t DataEnd() const { return dataOffset + size; }
  /// Where the next chunk starts: RIFF pads every chunk of odd size with one byte that its size
  /// does not count.
  std::uint64_t PaddedEnd() const { return DataEnd() + (size & 1u); }
};

/// The buffered bytes from the current position on: `next` up to, not including, `end`. A reader
/// consumes bytes by moving `next` forward; the file's position follows it.
struct ByteWindow {
  const unsigned char* next = nullptr;
  const unsigned char* end = nullptr;

  std::ptrdiff_t Size() const { return end - next; }
};

/// A RIFF file read through one buffer: the chunk walk (read a header, find a chunk inside its
/// parent, leave a chunk) and a window onto the buffered bytes for reading sample data in place.
/// Chunks are skipped by seeking, which on a pipe reads forward instead.
class RiffFile {
 public:
  static constexpr std::int64_t kBufferSize = 64 * 1024;

  explicit RiffFile(std::unique_ptr<IByteStream> bytes);
  RiffFile(const RiffFile&) = delete;
  RiffFile& operator=(const RiffFile&) = delete;

  /// Reads the chunk header at the current position, and the form type of a "RIFF" or "LIST"
  /// chunk. False when the file ends or fails before the header is complete.
  bool ReadChunkHeader(RiffChunk& chunk);
  /// Searches forward from the current position for a chunk with this id that starts inside the
  /// parent's data, skipping others by their padded size. On success the position is the found
  /// chunk's first data byte.
  bool FindChunk(FourCC id, const RiffChunk& parent, RiffChunk& found);
  /// Moves the position past the chunk's data and its pad byte.
  bool LeaveChunk(const RiffChunk& chunk);
  /// Reads up to `size` bytes. Returns the count read, fewer at the end of the file, or -1 when
  /// reading failed before any byte was read.
  std::int64_t Read(unsigned char* destination, std::int64_t size);

  /// False when the bytes come from a pipe or the like, which ends where its writer stopped.
  bool IsSeekable() const { return stream->IsSeekable(); }

  /// The unread buffered bytes, starting at the current position.
  ByteWindow& Window() { return window; }
  /// Replaces an emptied window with the bytes that follow it. True with the window refilled, or
  /// still empty at the end of the file; false when reading failed.
  bool RefillWindow();

 private:
  std::uint64_t Position() const {
    return bufferOffset + static_cast<std::uint64_t>(window.next - buffer.get());
  }
  bool Seek(std::uint64_t offset);

  std::unique_ptr<IByteStream> stream;
  std::unique_ptr<unsigned char[]> buffer;
  // The stream's own position is always the end of the buffered bytes, so the window can move
  // inside the buffer without touching the stream.
  std::uint64_t bufferOffset = 0;
  ByteWindow window;
};

}  // namespace wavfreq
