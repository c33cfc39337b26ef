#include "wav/WavFileSource.h"

#include <algorithm>
#include <utility>

#include "wav/FileByteStream.h"

namespace wavfreq {

namespace {

// One loop per container width, so that each is a plain strided load the compiler can unroll.
template <class Decode>
void DecodeChannel(const unsigned char* frames, std::int64_t count, std::ptrdiff_t frameSize,
                   int* samples, Decode decode) {
  std::int64_t i = 0;
  for (; i + 4 <= count; i += 4) {
    samples[i] = decode(frames);
    samples[i + 1] = decode(frames + frameSize);
    samples[i + 2] = decode(frames + 2 * frameSize);
    samples[i + 3] = decode(frames + 3 * frameSize);
    frames += 4 * frameSize;
  }
  for (; i < count; ++i) {
    samples[i] = decode(frames);
    frames += frameSize;
  }
}

}  // namespace

WavFileSource::WavFileSource() : WavFileSource(FileByteStream::Open) {}

int WavFileSource::ReadBlock(int channel, int* samples, int capacity) {
  const bool inFrame = static_cast<unsigned>(channel) < static_cast<unsigned>(channelCount);
  int done = 0;
  while (done < capacity && readable != nullptr) {
    std::int64_t count = 0;
    const unsigned char* frames = readable->ReadFrames(capacity - done, count);
    if (count == 0) {
      errorInfo.CopyErrorFrom(readable->ErrorInfo());
      UpdateReadable();
      break;
    }
    int* out = samples + done;
    const std::ptrdiff_t size = readable->FrameSize();
    if (!inFrame) {
      std::fill(out, out + count, 0);
    } else {
      const unsigned char* first = frames + static_cast<std::ptrdiff_t>(channel) * sampleSize;
      switch (coding) {
        case SampleCoding::kSigned16:
          DecodeChannel(first, count, size, out, ReadLeSigned16);
          break;
        case SampleCoding::kUnsigned8:
          DecodeChannel(first, count, size, out, ReadUnsigned8);
          break;
        case SampleCoding::kSigned24:
        case SampleCoding::kSigned24InWord:
          DecodeChannel(first, count, size, out, ReadLeSigned24);
          break;
        case SampleCoding::kSigned32:
          DecodeChannel(first, count, size, out, ReadLeSigned32);
          break;
      }
    }
    done += static_cast<int>(count);
  }
  return done;
}

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
