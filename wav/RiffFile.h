#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

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

/// The chunk ids of the RIFF family that the walk and the WAV reader know.
namespace ChunkId {
constexpr FourCC kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr FourCC kRf64 = MakeFourCC('R', 'F', '6', '4');
constexpr FourCC kBw64 = MakeFourCC('B', 'W', '6', '4');
constexpr FourCC kList = MakeFourCC('L', 'I', 'S', 'T');
constexpr FourCC kWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr FourCC kDs64 = MakeFourCC('d', 's', '6', '4');
constexpr FourCC kFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr FourCC kData = MakeFourCC('d', 'a', 't', 'a');
}  // namespace ChunkId

/// Where a chunk lies in the file. The data of a "RIFF" or "LIST" chunk starts with a form type,
/// which is read with the header.
struct RiffChunk {
  FourCC id = 0;
  /// The data's size, without the header and the padding.
  std::uint64_t size = 0;
  /// False where a streaming writer, which cannot go back, left the size open: the data then
  /// runs to the end of the input.
  bool sizeKnown = true;
  FourCC formType = 0;
  std::uint64_t dataOffset = 0;
  /// Chunks start at multiples of this: 2 in RIFF (one pad byte after odd sizes), 8 in Wave64.
  std::uint32_t alignment = 2;

  /// Offset of the byte after the chunk's data, in 64 bits so that nothing wraps; an open size
  /// reaches the end of any file.
  std::uint64_t DataEnd() const {
    return size > UINT64_MAX - dataOffset ? UINT64_MAX : dataOffset + size;
  }
  /// Where the next chunk starts: the data padded to the alignment. The padding is not counted
  /// in the size.
  std::uint64_t PaddedEnd() const {
    const std::uint64_t padding = (alignment - size % alignment) % alignment;
    const std::uint64_t end = DataEnd();
    return end > UINT64_MAX - padding ? UINT64_MAX : end + padding;
  }
};

/// The buffered bytes from the current position on: `next` up to, not including, `end`. A reader
/// consumes bytes by moving `next` forward; the file's position follows it.
struct ByteWindow {
  const unsigned char* next = nullptr;
  const unsigned char* end = nullptr;

  std::ptrdiff_t Size() const { return end - next; }
};

/// A RIFF file read through one buffer: the chunk walk (read the file's header, read a chunk
/// header, find a chunk inside its parent, leave a chunk) and a window onto the buffered bytes for
/// reading sample data in place. Chunks are skipped by seeking, which on a pipe reads forward.
///
/// Three containers share the walk. RIFF: 4-byte ids, 32-bit sizes, chunks padded to 2 bytes.
/// RF64 and BW64 (EBU Tech 3306, ITU-R BS.2088): RIFF with a "ds64" chunk first, whose 64-bit
/// sizes stand for the 32-bit sizes of 0xFFFFFFFF. Sony Wave64: 16-byte GUIDs, 64-bit sizes that
/// count the 24-byte header, chunks padded to 8 bytes. Wave64's GUIDs of the RIFF chunks are
/// read as the RIFF ids ("riff" as "RIFF", "wave" as "WAVE", "fmt ", "data"); any other GUID
/// as an id that matches nothing.
class RiffFile {
 public:
  static constexpr std::int64_t kBufferSize = 64 * 1024;

  enum class Container { kRiff, kRf64, kWave64 };
  enum class Header { kRead, kCutShort, kMalformed };

  explicit RiffFile(std::unique_ptr<IByteStream> bytes);
  RiffFile(const RiffFile&) = delete;
  RiffFile& operator=(const RiffFile&) = delete;

  /// Reads the file's outer header at the start of the file, and for RF64 and BW64 the "ds64"
  /// chunk that must follow it. kCutShort when the file ends or fails inside them; kMalformed
  /// for an RF64 file without a well-formed "ds64" chunk first. Any other first id is read as it
  /// stands, for the caller to refuse.
  Header ReadFileHeader(RiffChunk& outer);
  Container GetContainer() const { return container; }

  /// Reads the chunk header at the current position, and the form type of a "RIFF" or "LIST"
  /// chunk. False when the file ends or fails before the header is complete.
  bool ReadChunkHeader(RiffChunk& chunk);
  /// Searches forward from the current position for a chunk with this id that starts inside the
  /// parent's data, skipping others by their padded size. On success the position is the found
  /// chunk's first data byte.
  bool FindChunk(FourCC id, const RiffChunk& parent, RiffChunk& found);
  /// Moves the position past the chunk's data and its padding.
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
  bool ReadRiffChunkHeader(RiffChunk& chunk);
  bool ReadWave64ChunkHeader(RiffChunk& chunk);
  Header ReadDs64();
  /// An RF64 size of 0xFFFFFFFF replaced by the ds64 chunk's.
  void TakeLargeSize(RiffChunk& chunk) const;

  std::unique_ptr<IByteStream> stream;
  std::unique_ptr<unsigned char[]> buffer;
  // The stream's own position is always the end of the buffered bytes, so the window can move
  // inside the buffer without touching the stream.
  std::uint64_t bufferOffset = 0;
  ByteWindow window;
  Container container = Container::kRiff;
  // RF64: the ds64 chunk's sizes of the RIFF chunk, the data chunk and of any other chunk.
  std::uint64_t riffSize = 0;
  std::uint64_t dataSize = 0;
  std::vector<std::pair<FourCC, std::uint64_t>> largeSizes;
};

}  // namespace wavfreq
