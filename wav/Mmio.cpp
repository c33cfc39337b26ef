#include "wav/Mmio.h"

#include <cstring>
#include <vector>

#include "wav/FileByteStream.h"
#include "wav/LittleEndian.h"

namespace wavfreq::mmio {

namespace {

constexpr int kOk = 0;
constexpr int kChunkNotFound = 265;
constexpr int kCannotRead = 259;
constexpr int kCannotSeek = 261;

// RIFF pads every chunk of odd size with one byte that its size does not count.
std::uint64_t PaddedEnd(std::uint64_t dataOffset, std::uint32_t size) {
  return dataOffset + size + (size & 1u);
}

}  // namespace

/// A byte stream with a read buffer. The stream's own position is always the end of the bytes in
/// the buffer, so the window can be moved inside the buffer without touching the stream.
class MmioFile {
 public:
  explicit MmioFile(std::unique_ptr<IByteStream> source)
      : stream(std::move(source)), buffer(static_cast<std::size_t>(kBufferSize)) {}

  std::uint64_t Position() const {
    return bufferOffset + static_cast<std::uint64_t>(next - buffer.data());
  }

  bool Seek(std::uint64_t offset) {
    std::uint64_t windowEnd = bufferOffset + static_cast<std::uint64_t>(end - buffer.data());
    if (offset >= bufferOffset && offset <= windowEnd) {
      next = buffer.data() + (offset - bufferOffset);
      return true;
    }
    if (!stream->Seek(offset)) {
      return false;
    }
    bufferOffset = offset;
    next = end = buffer.data();
    return true;
  }

  /// Refills the buffer from the stream, starting at the current position. False on a fault.
  bool Fill() {
    bufferOffset = Position();
    next = end = buffer.data();
    std::int64_t count = stream->Read(buffer.data(), kBufferSize);
    if (count < 0) {
      return false;
    }
    end = buffer.data() + count;
    return true;
  }

  std::int64_t Read(char* destination, std::int64_t size) {
    std::int64_t done = 0;
    while (done < size) {
      if (next == end) {
        if (!Fill()) {
          return done > 0 ? done : -1;
        }
        if (next == end) {
          break;
        }
      }
      std::int64_t take = end - next;
      if (take > size - done) {
        take = size - done;
      }
      std::memcpy(destination + done, next, static_cast<std::size_t>(take));
      next += take;
      done += take;
    }
    return done;
  }

  std::unique_ptr<IByteStream> stream;
  std::vector<char> buffer;
  std::uint64_t bufferOffset = 0;
  char* next = buffer.data();
  char* end = buffer.data();
};

HMMIO mmioOpen(const char* path, unsigned flags) {
  (void)flags;  // always buffered reading
  std::unique_ptr<FileByteStream> stream = FileByteStream::Open(path);
  if (!stream) {
    return nullptr;
  }
  return mmioOpenStream(std::move(stream));
}

HMMIO mmioOpenStream(std::unique_ptr<IByteStream> stream) {
  if (!stream) {
    return nullptr;
  }
  return new MmioFile(std::move(stream));
}

namespace {

// Reads a chunk header at the current position. A "RIFF" or "LIST" header is followed by its
// form type, which belongs to the chunk's data.
bool ReadChunkHeader(MmioFile& file, MMCKINFO& ck) {
  unsigned char header[8];
  std::uint64_t start = file.Position();
  if (file.Read(reinterpret_cast<char*>(header), 8) != 8) {
    return false;
  }
  ck.ckid = ReadLe32(header);
  ck.cksize = ReadLe32(header + 4);
  ck.dwDataOffset = start + 8;
  ck.dwFlags = 0;
  if (ck.ckid == kRiff || ck.ckid == kList) {
    unsigned char formType[4];
    if (file.Read(reinterpret_cast<char*>(formType), 4) != 4) {
      return false;
    }
    ck.fccType = ReadLe32(formType);
  }
  return true;
}

}  // namespace

int mmioDescend(HMMIO file, MMCKINFO* ck, const MMCKINFO* parent, unsigned flags) {
  if (file == nullptr || ck == nullptr) {
    return kCannotRead;
  }
  if (parent == nullptr || (flags & MMIO_FINDCHUNK) == 0) {
    MMCKINFO found;
    if (!ReadChunkHeader(*file, found)) {
      return kChunkNotFound;
    }
    *ck = found;
    return kOk;
  }
  const FOURCC wanted = ck->ckid;
  const std::uint64_t parentEnd = parent->dwDataOffset + parent->cksize;
  for (;;) {
    if (file->Position() >= parentEnd) {
      return kChunkNotFound;
    }
    MMCKINFO found;
    if (!ReadChunkHeader(*file, found)) {
      return kChunkNotFound;
    }
    if (found.ckid == wanted) {
      // Leave the position on the first data byte, also past a form type just read.
      if (!file->Seek(found.dwDataOffset)) {
        return kCannotSeek;
      }
      *ck = found;
      return kOk;
    }
    if (!file->Seek(PaddedEnd(found.dwDataOffset, found.cksize))) {
      return kChunkNotFound;
    }
  }
}

std::int64_t mmioRead(HMMIO file, char* destination, std::int64_t size) {
  if (file == nullptr) {
    return -1;
  }
  return file->Read(destination, size);
}

int mmioAscend(HMMIO file, MMCKINFO* ck, unsigned flags) {
  (void)flags;
  if (file == nullptr || ck == nullptr) {
    return kCannotSeek;
  }
  return file->Seek(PaddedEnd(ck->dwDataOffset, ck->cksize)) ? kOk : kCannotSeek;
}

int mmioGetInfo(HMMIO file, MMIOINFO* info, unsigned flags) {
  (void)flags;
  if (file == nullptr || info == nullptr) {
    return kCannotRead;
  }
  info->pchNext = file->next;
  info->pchEndRead = file->end;
  return kOk;
}

int mmioAdvance(HMMIO file, MMIOINFO* info, unsigned flags) {
  (void)flags;
  if (file == nullptr || info == nullptr) {
    return kCannotRead;
  }
  mmioSetInfo(file, info, 0);
  bool filled = file->Fill();
  info->pchNext = file->next;
  info->pchEndRead = file->end;
  return filled ? kOk : kCannotRead;
}

int mmioSetInfo(HMMIO file, const MMIOINFO* info, unsigned flags) {
  (void)flags;
  if (file == nullptr || info == nullptr) {
    return kCannotRead;
  }
  // The caller may only have moved the window's start forward inside the window it was given.
  if (info->pchNext >= file->next && info->pchNext <= file->end) {
    file->next += info->pchNext - file->next;
  }
  return kOk;
}

int mmioClose(HMMIO file, unsigned flags) {
  (void)flags;
  delete file;
  return kOk;
}

}  // namespace wavfreq::mmio
