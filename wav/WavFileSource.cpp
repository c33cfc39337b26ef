#include "wav/WavFileSource.h"

#include <algorithm>
#include <utility>

#include "wav/FileByteStream.h"

namespace wavfreq {

namespace {

const char kNotANumber[] = "Error! Input file holds a sample that is not a number.";

// The decoders' calls of the chosen sample type.
std::int64_t Decode(const SampleDecoder& decoder, const unsigned char* first, std::int64_t count,
                    std::ptrdiff_t frameSize, int* samples) {
  return decoder.Integers(first, count, frameSize, samples);
}

std::int64_t Decode(const SampleDecoder& decoder, const unsigned char* first, std::int64_t count,
                    std::ptrdiff_t frameSize, double* samples) {
  return decoder.Reals(first, count, frameSize, samples);
}

template <class Stored>
std::int64_t Decode(const SampleDecoder& decoder, const unsigned char* first, std::int64_t count,
                    std::ptrdiff_t frameSize, Stored* samples) {
  return decoder.StoredSamples(first, count, frameSize, samples);
}

}  // namespace

WavFileSource::WavFileSource() : WavFileSource(FileByteStream::Open) {}

int WavFileSource::ReadBlock(int channel, int* samples, int capacity) {
  return ReadChannel(channel, samples, capacity);
}

int WavFileSource::ReadBlock(int channel, double* samples, int capacity) {
  return ReadChannel(channel, samples, capacity);
}

int WavFileSource::ReadBlock(int channel, std::uint8_t* samples, int capacity) {
  return ReadChannel(channel, samples, capacity);
}

int WavFileSource::ReadBlock(int channel, std::int16_t* samples, int capacity) {
  return ReadChannel(channel, samples, capacity);
}

int WavFileSource::ReadBlock(int channel, float* samples, int capacity) {
  return ReadChannel(channel, samples, capacity);
}

template <class Sample>
int WavFileSource::ReadChannel(int channel, Sample* samples, int capacity) {
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
    Sample* out = samples + done;
    if (!inFrame) {
      std::fill(out, out + count, Sample{0});
      done += static_cast<int>(count);
      continue;
    }
    const std::int64_t decoded =
        Decode(decoder, frames + static_cast<std::ptrdiff_t>(channel) * sampleSize, count,
               readable->FrameSize(), out);
    done += static_cast<int>(decoded);
    if (decoded < count) {
      // What came before the sample that is not a number was measured; the rest is not.
      errorInfo.SetErrorMessage(kNotANumber);
      UpdateReadable();
      break;
    }
    // A stream's next frames may not have arrived: what has, goes to be measured first.
    if (readable->IsStream()) {
      break;
    }
  }
  return done;
}

WavFileSource::WavFileSource(StreamOpener opener) : openStream(std::move(opener)) {}

int WavFileSource::GetBitsPerSample() {
  return readable == nullptr ? 0 : readable->Format().bitsPerSample;
}

int WavFileSource::GetSampleRate() {
  return readable == nullptr ? 0 : readable->Format().sampleRate;
}

int WavFileSource::GetChannelCount() {
  return readable == nullptr ? 0 : readable->Format().channels;
}

const SampleFormat& WavFileSource::GetFormat() {
  static const SampleFormat kNothingOpen;
  return readable == nullptr ? kNothingOpen : readable->Format();
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
      channelCount = reader->Format().channels;
      sampleSize = reader->Format().containerBytes;
      decoder = SampleDecoder(reader->Coding());
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
