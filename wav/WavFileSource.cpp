#include "wav/WavFileSource.h"

#include <exception>

namespace wavfreq {

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
  return OpenGuarded([this, path] {
    // Our own copy: the caller's string need not outlive the open sequence.
    const std::string ownPath(path == nullptr ? "" : path);
    return OpenReader(ownPath.c_str());
  });
}

bool WavFileSource::OpenStream(std::unique_ptr<IByteStream> stream) {
  return OpenGuarded([this, &stream] { return OpenReader(std::move(stream)); });
}

template <class OpenStep>
bool WavFileSource::OpenGuarded(OpenStep open) {
  try {
    return open();
  } catch (...) {
    // Out of memory: no reader is kept, and the run reports an error instead of ending.
    reader.reset();
    errorInfo.SetErrorMessage("Error! Unknown error during file processing.");
    UpdateReadable();
    return false;
  }
}

template <class Argument>
bool WavFileSource::OpenReader(Argument&& argument) {
  reader.reset();
  readable = nullptr;
  reader = std::make_unique<WavFileReader>(std::forward<Argument>(argument));
  if (!reader->ErrorInfo().HasError()) {
    channelCount = reader->Format().nChannels;
    bytesPerSample = reader->Format().wBitsPerSample / 8;
    errorInfo.ClearError();
    UpdateReadable();
    return true;
  }
  errorInfo.CopyErrorFrom(reader->ErrorInfo());
  reader.reset();
  UpdateReadable();
  return false;
}

void WavFileSource::Close() {
  reader.reset();
  UpdateReadable();
}

}  // namespace wavfreq
