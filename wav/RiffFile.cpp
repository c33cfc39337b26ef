#include "wav/RiffFile.h"

#include <cstring>

#include "wav/LittleEndian.h"

namespace wavfreq {

namespace {

constexpr FourCC kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr FourCC kList = MakeFourCC('L', 'I', 'S', 'T');

}  // namespace

RiffFile::RiffFile(std::unique_ptr<IByteStream> bytes)
    : stream(std::move(bytes)), buffer(new unsigned char[kBufferSize]) {
  window.next = window.end = buffer.get();
}

bool RiffFile::ReadChunkHeader(RiffChunk& chunk) {
  unsigned char header[8];
  const std::uint64_t start = Position();
  if (Read(header, 8) != 8) {
    return false;
  }
  chunk.id = ReadLe32(header);
  chunk.size = ReadLe32(header + 4);
  chunk.dataOffset = start + 8;
  chunk.formType = 0;
  if (chunk.id == kRiff || chunk.id == kList) {
    unsigned char formType[4];
    if (Read(formType, 4) != 4) {
      return false;
    }
    chunk.formType = ReadLe32(formType);
  }
  return true;
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
