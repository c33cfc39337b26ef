#include "wav/RiffFile.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "wav/LittleEndian.h"

namespace wavfreq {

namespace {

// RIFF's size of a chunk too long for 32 bits (RF64), or of unknown length (streaming writers).
constexpr std::uint32_t kLargeSize = 0xFFFFFFFF;

// ds64: the RIFF size, the data size, the sample count (8 bytes each) and the table's length;
// then per table entry a chunk id and its 64-bit size.
constexpr std::int64_t kDs64FixedSize = 28;
constexpr std::int64_t kDs64EntrySize = 12;
// Table entries kept; a table of more is malformed or of no use here, and is skipped.
constexpr std::size_t kMostLargeSizes = 64;

// Wave64: a 16-byte GUID and a 64-bit size that counts the 24 bytes of both.
constexpr std::int64_t kWave64HeaderSize = 24;
constexpr unsigned char kWave64Riff[16] = {'r',  'i',  'f',  'f',  0x2E, 0x91, 0xCF, 0x11,
                                           0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr unsigned char kWave64List[16] = {'l',  'i',  's',  't',  0x2F, 0x91, 0xCF, 0x11,
                                           0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
// "wave", "fmt ", "data", "fact" and the other WAV chunks: their RIFF id, then these 12 bytes.
constexpr unsigned char kWave64Tail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1,
                                           0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

bool SameBytes(const unsigned char* bytes, const unsigned char* expected, std::size_t count) {
  return std::memcmp(bytes, expected, count) == 0;
}

// The RIFF id that a Wave64 GUID stands for, or 0 for one that stands for none.
FourCC Wave64Id(const unsigned char* guid) {
  if (SameBytes(guid, kWave64Riff, sizeof kWave64Riff)) {
    return ChunkId::kRiff;
  }
  if (SameBytes(guid, kWave64List, sizeof kWave64List)) {
    return ChunkId::kList;
  }
  if (SameBytes(guid + 4, kWave64Tail, sizeof kWave64Tail)) {
    const FourCC id = ReadLe32(guid);
    return id == MakeFourCC('w', 'a', 'v', 'e') ? ChunkId::kWave : id;
  }
  return 0;
}

}  // namespace

RiffFile::RiffFile(std::unique_ptr<IByteStream> bytes)
    : stream(std::move(bytes)), buffer(new unsigned char[kBufferSize]) {
  window.next = window.end = buffer.get();
}

RiffFile::Header RiffFile::ReadFileHeader(RiffChunk& outer) {
  unsigned char first[4];
  if (Read(first, 4) != 4) {
    return Header::kCutShort;
  }
  if (first[0] == 'r' && first[1] == 'i' && first[2] == 'f' && first[3] == 'f') {
    // Wave64: the rest of the "riff" GUID, the size, and the form's GUID.
    unsigned char rest[12 + 8 + 16];
    if (Read(rest, sizeof rest) != static_cast<std::int64_t>(sizeof rest)) {
      return Header::kCutShort;
    }
    unsigned char guid[16];
    std::memcpy(guid, first, 4);
    std::memcpy(guid + 4, rest, 12);
    outer.id = Wave64Id(guid);
    if (outer.id != ChunkId::kRiff) {
      outer.id = ReadLe32(first);
      return Header::kRead;
    }
    container = Container::kWave64;
    const std::uint64_t size = ReadLe64(rest + 12);
    outer.sizeKnown = size >= static_cast<std::uint64_t>(kWave64HeaderSize);
    outer.size = outer.sizeKnown ? size - kWave64HeaderSize : UINT64_MAX;
    outer.formType = Wave64Id(rest + 20);
    outer.dataOffset = kWave64HeaderSize;
    outer.alignment = 8;
    return Header::kRead;
  }
  // The RIFF family: the header again from its start (still in the buffer), and the form type.
  if (!Seek(0) || !ReadRiffChunkHeader(outer)) {
    return Header::kCutShort;
  }
  if (outer.id != ChunkId::kRiff && outer.id != ChunkId::kRf64 && outer.id != ChunkId::kBw64) {
    return Header::kRead;
  }
  unsigned char form[4];
  if (Read(form, 4) != 4) {
    return Header::kCutShort;
  }
  outer.formType = ReadLe32(form);
  if (outer.id == ChunkId::kRiff) {
    return Header::kRead;
  }
  container = Container::kRf64;
  const Header ds64 = ReadDs64();
  if (ds64 == Header::kRead && outer.size == kLargeSize) {
    // A streaming writer leaves the ds64 sizes at 0: the file runs to the end of the input.
    outer.sizeKnown = riffSize != 0;
    outer.size = outer.sizeKnown ? riffSize : UINT64_MAX;
  }
  return ds64;
}

RiffFile::Header RiffFile::ReadDs64() {
  RiffChunk ds64;
  if (!ReadRiffChunkHeader(ds64)) {
    return Header::kCutShort;
  }
  // It must come first: the sizes of the chunks before it could not be known.
  if (ds64.id != ChunkId::kDs64 || ds64.size < kDs64FixedSize) {
    return Header::kMalformed;
  }
  unsigned char fixed[kDs64FixedSize];
  if (Read(fixed, kDs64FixedSize) != kDs64FixedSize) {
    return Header::kCutShort;
  }
  riffSize = ReadLe64(fixed);
  dataSize = ReadLe64(fixed + 8);
  const std::uint64_t room = (ds64.size - kDs64FixedSize) / kDs64EntrySize;
  const std::uint64_t entries = std::min<std::uint64_t>(ReadLe32(fixed + 24), room);
  for (std::uint64_t i = 0; i < entries && largeSizes.size() < kMostLargeSizes; ++i) {
    unsigned char entry[kDs64EntrySize];
    if (Read(entry, kDs64EntrySize) != kDs64EntrySize) {
      return Header::kCutShort;
    }
    largeSizes.emplace_back(ReadLe32(entry), ReadLe64(entry + 4));
  }
  return LeaveChunk(ds64) ? Header::kRead : Header::kCutShort;
}

bool RiffFile::ReadChunkHeader(RiffChunk& chunk) {
  if (container == Container::kWave64) {
    return ReadWave64ChunkHeader(chunk);
  }
  if (!ReadRiffChunkHeader(chunk)) {
    return false;
  }
  if (chunk.id == ChunkId::kRiff || chunk.id == ChunkId::kList) {
    unsigned char formType[4];
    if (Read(formType, 4) != 4) {
      return false;
    }
    chunk.formType = ReadLe32(formType);
  }
  if (container == Container::kRf64) {
    TakeLargeSize(chunk);
  } else if (chunk.size == kLargeSize) {
    // Streaming writers, which cannot know the length yet, declare the largest size.
    chunk.sizeKnown = false;
  }
  return true;
}

bool RiffFile::ReadRiffChunkHeader(RiffChunk& chunk) {
  unsigned char header[8];
  const std::uint64_t start = Position();
  if (Read(header, 8) != 8) {
    return false;
  }
  chunk.id = ReadLe32(header);
  chunk.size = ReadLe32(header + 4);
  chunk.sizeKnown = true;
  chunk.dataOffset = start + 8;
  chunk.formType = 0;
  chunk.alignment = 2;
  return true;
}

bool RiffFile::ReadWave64ChunkHeader(RiffChunk& chunk) {
  unsigned char header[kWave64HeaderSize];
  const std::uint64_t start = Position();
  if (Read(header, kWave64HeaderSize) != kWave64HeaderSize) {
    return false;
  }
  chunk.id = Wave64Id(header);
  const std::uint64_t size = ReadLe64(header + 16);
  // A size that does not even count the header is a streaming writer's: the length is open.
  chunk.sizeKnown = size >= static_cast<std::uint64_t>(kWave64HeaderSize);
  chunk.size = chunk.sizeKnown ? size - kWave64HeaderSize : UINT64_MAX;
  chunk.dataOffset = start + kWave64HeaderSize;
  chunk.formType = 0;
  chunk.alignment = 8;
  return true;
}

void RiffFile::TakeLargeSize(RiffChunk& chunk) const {
  if (chunk.size != kLargeSize) {
    return;
  }
  if (chunk.id == ChunkId::kData) {
    // A streaming writer leaves the ds64 sizes at 0: the data runs to the end of the input.
    chunk.sizeKnown = dataSize != 0 && dataSize != UINT64_MAX;
    chunk.size = chunk.sizeKnown ? dataSize : UINT64_MAX;
    return;
  }
  const auto entry = std::find_if(largeSizes.begin(), largeSizes.end(),
                                  [&chunk](const auto& large) { return large.first == chunk.id; });
  if (entry != largeSizes.end()) {
    chunk.size = entry->second;
  }
}

bool RiffFile::FindChunk(FourCC id, const RiffChunk& parent, RiffChunk& found) {
  for (;;) {
    if (Position() >= parent.DataEnd()) {
      return false;
    }
    RiffChunk chunk;
    if (!ReadChunkHeader(chunk)) {
      return false;
    }
    if (chunk.id == id) {
      // Back to the first data byte, also past a form type just read.
      if (!Seek(chunk.dataOffset)) {
        return false;
      }
      found = chunk;
      return true;
    }
    if (!Seek(chunk.PaddedEnd())) {
      return false;
    }
  }
}

bool RiffFile::LeaveChunk(const RiffChunk& chunk) {
  return Seek(chunk.PaddedEnd());
}

std::int64_t RiffFile::Read(unsigned char* destination, std::int64_t size) {
  std::int64_t done = 0;
  while (done < size) {
    if (window.Size() == 0) {
      if (!RefillWindow()) {
        return done > 0 ? done : -1;
      }
      if (window.Size() == 0) {
        break;
      }
    }
    std::int64_t take = window.Size();
    if (take > size - done) {
      take = size - done;
    }
    std::memcpy(destination + done, window.next, static_cast<std::size_t>(take));
    window.next += take;
    done += take;
  }
  return done;
}

bool RiffFile::RefillWindow() {
  bufferOffset = Position();
  window.next = window.end = buffer.get();
  const std::int64_t count = stream->Read(buffer.get(), kBufferSize);
  if (count < 0) {
    return false;
  }
  window.end = buffer.get() + count;
  return true;
}

bool RiffFile::Seek(std::uint64_t offset) {
  const std::uint64_t bufferedEnd =
      bufferOffset + static_cast<std::uint64_t>(window.end - buffer.get());
  if (offset >= bufferOffset && offset <= bufferedEnd) {
    window.next = buffer.get() + (offset - bufferOffset);
    return true;
  }
  if (!stream->Seek(offset)) {
    return false;
  }
  bufferOffset = offset;
  window.next = window.end = buffer.get();
  return true;
}

}  // namespace wavfreq
