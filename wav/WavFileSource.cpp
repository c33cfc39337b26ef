#include "wav/WavFileSource.h"

#include <utility>

#include "wav/FileByteStream.h"

namespace wavfreq {

WavFileSource::WavFileSource() : WavFileSource(FileByteStream::Open) {}

WavFileSource::WavFileSource(StreamOpener opener) : openStream(std::move(opener)) {}

int WavFileSource::GetBitsPerSample() {
  return readable == nullptr ? 0 : readable->Format().wBitsPerSample;
}

int WavFileSource::GetSampleRate() {
  if (readable == nullptr) {
    return 0;
  }
  // Rates of 2^31 and above come out negative, as a signed 32-bit value; callers refuse them.
  return static_cast<int>(static_cast<std::int32_t>(readable->Format().nSamplesPerSec));
}

int WavFileSource::GetChannelCount() {
  return readable == nullptr ? 0 : readable->Format().nChannels;
}

bool WavFileSource::IsEndOfData() {
  return readable != nullptr && readable->IsEndOfData();
}

bool WavFileSource::Open(const char* path) {
  return OpenWith([this, path] {
    // Our own copy: the caller's string need not outlive the opening.
    const std::string ownPath(path == nullptr ? "" : path);
    return openStream(ownPath.c_str());
  });
}

bool WavFileSource::OpenStream(std::unique_ptr<IByteStream> stream) {
  return OpenWith([&stream] { return std::move(stream); });
}

template <class MakeStream>
bool WavFileSource::OpenWith(MakeStream makeStream) {
  try {
    // The file open until now is closed before the next one is opened.
    reader.reset();
    readable = nullptr;
    reader = std::make_unique<WavFileReader>(makeStream());
    if (!reader->ErrorInfo().HasError()) {
      channelCount = reader->Format().nChannels;
      sampleSize = reader->SampleSize();
      coding = reader->Coding();
      errorInfo.ClearError();
      UpdateReadable();
      return true;
    }
    errorInfo.CopyErrorFrom(reader->ErrorInfo());
  } catch (...) {
    // Out of memory: no reader is kept, and the run reports an error instead of ending.
    errorInfo.SetErrorMessage("Error! Unknown error during file processing.");
  }
  reader.reset();
  UpdateReadable();
  return false;
}

void WavFileSource::Close() {
  reader.reset();
  UpdateReadable();
}

}  // namespace wavfreq
