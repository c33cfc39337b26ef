#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include "wav/IByteStream.h"

namespace wavfreq {

/// Unbuffered binary reading of a named file, or of standard input, through the C library. The
/// RIFF layer above keeps its own buffer, so the stream's buffer would only add a copy. A stream
/// (a pipe, a terminal, a socket) gives what has arrived, up to the size asked for, rather than
/// waiting to fill it; and before a read that would have to wait, it calls the hook set with
/// SetBeforeWait, so that what the run holds can be handed on first.
class FileByteStream final : public IByteStream {
 public:
  /// Opens the file for reading. Returns nothing when the file cannot be opened.
  static std::unique_ptr<FileByteStream> Open(const char* path);
  /// The process's standard input, in binary, which the stream does not close.
  static std::unique_ptr<FileByteStream> StandardInput();
  ~FileByteStream() override;
  FileByteStream(const FileByteStream&) = delete;
  FileByteStream& operator=(const FileByteStream&) = delete;

  std::int64_t Read(unsigned char* destination, std::int64_t size) override;
  bool Seek(std::uint64_t offset) override;
  bool IsSeekable() const override { return seekable; }
  /// The operating system's descriptor of the open file.
  int Descriptor() const;
  /// Called before a read of a stream that would have to wait for its writer.
  void SetBeforeWait(std::function<void()> hook) { beforeWait = std::move(hook); }

 private:
  FileByteStream(std::FILE* openFile, bool owned);
  /// Moves the C stream itself; false where the file cannot seek (a pipe) or the offset is out
  /// of the platform's range.
  bool SeekFile(std::uint64_t offset);
  /// Whether a read of the stream would return without waiting.
  bool Ready() const;
  /// One read of what a stream has, at least a byte unless it ended: -1 on a failure.
  std::int64_t ReadArrived(unsigned char* destination, std::int64_t size);

  std::FILE* file;
  // Standard input belongs to the process, not to this stream: it is not closed here.
  bool ownsFile;
  bool seekable;
  std::uint64_t position = 0;
  std::function<void()> beforeWait;
};

}  // namespace wavfreq
