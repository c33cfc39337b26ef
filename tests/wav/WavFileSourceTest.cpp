#include "wav/WavFileSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "support/MemoryByteStream.h"
#include "support/TempFile.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

const char kCannotRead[] = "Error! Input file can not be read.";
const char kCannotReadTruncated[] = "Error! Input file can not be read.\n";

void ExpectNeutral(WavFileSource& source) {
  EXPECT_EQ(source.GetBitsPerSample(), 0);
  EXPECT_EQ(source.GetSampleRate(), 0);
  EXPECT_EQ(source.GetChannelCount(), 0);
  EXPECT_FALSE(source.ReadNextFrame());
  EXPECT_EQ(source.GetPosition(), 0);
  EXPECT_EQ(source.GetSample(0), 0);
  EXPECT_FALSE(source.IsEndOfData());
}

TEST(WavFileSourceTest, NeverOpenedSourceAnswersNeutralValues) {
  WavFileSource source;
  ExpectNeutral(source);
  EXPECT_FALSE(source.HasError());
}

TEST(WavFileSourceTest, ReadsEveryFrameThenReportsTheEnd) {
  TempFile wav(".wav", PcmWav(2, 44100, 16, Frames16({{1, 2, 3}, {-1, -2, -3}})));
  WavFileSource source;
  ASSERT_TRUE(source.Open(wav.c_str()));
  EXPECT_EQ(source.GetSampleRate(), 44100);
  EXPECT_EQ(source.GetBitsPerSample(), 16);
  EXPECT_EQ(source.GetChannelCount(), 2);
  EXPECT_EQ(source.GetPosition(), -1);
  EXPECT_FALSE(source.IsEndOfData());
  EXPECT_EQ(source.GetSample(1), 0);  // no frame read yet
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(source.ReadNextFrame());
    EXPECT_EQ(source.GetPosition(), i);
    EXPECT_EQ(source.GetSample(0), i + 1);
    EXPECT_EQ(source.GetSample(1), -(i + 1));
  }
  EXPECT_FALSE(source.ReadNextFrame());
  EXPECT_TRUE(source.IsEndOfData());
  EXPECT_FALSE(source.HasError());
  EXPECT_EQ(source.GetPosition(), 3);
  EXPECT_EQ(source.GetSample(1), -3);  // the last frame stays readable
  EXPECT_FALSE(source.ReadNextFrame());
  EXPECT_EQ(source.GetPosition(), 4);
}

TEST(WavFileSourceTest, DecodesEightAndSixteenBitSamples) {
  TempFile wav8(".wav", PcmWav(4, 8000, 8, {0, 127, 128, 255}));
  WavFileSource source;
  ASSERT_TRUE(source.Open(wav8.c_str()));
  ASSERT_TRUE(source.ReadNextFrame());
  EXPECT_EQ(source.GetSample(0), -127);
  EXPECT_EQ(source.GetSample(1), 0);
  EXPECT_EQ(source.GetSample(2), 1);
  EXPECT_EQ(source.GetSample(3), 128);
  EXPECT_EQ(source.GetSample(-1), 0);
  EXPECT_EQ(source.GetSample(4), 0);

  TempFile wav16(".wav", PcmWav(3, 8000, 16, {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF}));
  ASSERT_TRUE(source.Open(wav16.c_str()));
  ASSERT_TRUE(source.ReadNextFrame());
  EXPECT_EQ(source.GetSample(0), -32768);
  EXPECT_EQ(source.GetSample(1), 32767);
  EXPECT_EQ(source.GetSample(2), -1);
  EXPECT_EQ(source.GetSample(3), 0);
}

// The samples of one frame of `channels` samples of `bits`, block alignment as given.
std::vector<int> DecodeFrame(std::uint16_t channels, std::uint16_t bits, const Bytes& frame,
                             std::optional<std::uint16_t> blockAlign = {}) {
  TempFile wav(".wav",
               Riff(Concat({Chunk("fmt ", FmtPayload(1, channels, 8000, bits, 0, blockAlign)),
                            Chunk("data", frame)})));
  WavFileSource source;
  EXPECT_TRUE(source.Open(wav.c_str()));
  EXPECT_EQ(source.GetBitsPerSample(), bits);
  EXPECT_TRUE(source.ReadNextFrame());
  std::vector<int> samples;
  for (int channel = 0; channel < channels; ++channel) {
    samples.push_back(source.GetSample(channel));
  }
  return samples;
}

TEST(WavFileSourceTest, DecodesWiderSamplesAsSignedIntegersOfTheirContainer) {
  EXPECT_EQ(DecodeFrame(4, 24, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 1, 2, 3}),
            (std::vector<int>{-8388608, 8388607, -1, 0x030201}));
  EXPECT_EQ(DecodeFrame(3, 32, {0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0xFE, 0xFF, 0xFF, 0xFF}),
            (std::vector<int>{-2147483647 - 1, 2147483647, -2}));
  // 12 and 20 bits stand left-justified in their containers and are read as they stand.
  EXPECT_EQ(DecodeFrame(2, 12, {0xF0, 0x7F, 0x10, 0x80}), (std::vector<int>{32752, -32752}));
  EXPECT_EQ(DecodeFrame(1, 20, {0x10, 0x00, 0x80}), (std::vector<int>{-8388592}));
  // 24 bits in the low three bytes of four-byte words: the top byte is ignored, zero or sign.
  EXPECT_EQ(DecodeFrame(3, 24, {1, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0xFF, 0xFF, 0xFF, 0x5A}, 12),
            (std::vector<int>{-8388607, 8388607, -1}));
}

struct Reading {
  std::vector<int> samples;
  bool atEnd;
  bool failed;
  std::string message;
  std::int64_t position;
};

Reading ReadAll(const Bytes& file, bool pipe, int channel, int blockCapacity) {
  WavFileSource source;
  Reading reading{};
  if (!source.OpenStream(std::make_unique<MemoryByteStream>(file, UINT64_MAX, pipe))) {
    return reading;
  }
  if (blockCapacity == 0) {
    while (source.ReadNextFrame()) {
      reading.samples.push_back(source.GetSample(channel));
    }
  } else {
    std::vector<int> block(static_cast<std::size_t>(blockCapacity));
    std::vector<double> reals(static_cast<std::size_t>(blockCapacity));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(blockCapacity));
    std::vector<std::int16_t> words(static_cast<std::size_t>(blockCapacity));
    // As the driver reads: until the end or an error is recorded; as integers, as reals and as
    // stored by turns.
    for (int turn = 0; !source.IsEndOfData() && !source.HasError(); turn = (turn + 1) % 3) {
      const SampleDecoder::Stored form = source.StoredForm(channel);
      int count = 0;
      if (turn == 1) {
        count = source.ReadBlock(channel, reals.data(), blockCapacity);
        for (int i = 0; i < count; ++i) {
          block[static_cast<std::size_t>(i)] = static_cast<int>(reals[static_cast<std::size_t>(i)]);
          EXPECT_EQ(static_cast<double>(block[static_cast<std::size_t>(i)]),
                    reals[static_cast<std::size_t>(i)]);
        }
      } else if (turn == 2 && form == SampleDecoder::Stored::kBytes) {
        count = source.ReadBlock(channel, bytes.data(), blockCapacity);
        SampleDecoder::Widen(bytes.data(), count, block.data());
        // Widened to words, the same values.
        SampleDecoder::Widen(bytes.data(), count, words.data());
        EXPECT_TRUE(std::equal(words.begin(), words.begin() + count, block.begin()));
      } else if (turn == 2 && form == SampleDecoder::Stored::kWords) {
        count = source.ReadBlock(channel, words.data(), blockCapacity);
        SampleDecoder::Widen(words.data(), count, block.data());
      } else {
        count = source.ReadBlock(channel, block.data(), blockCapacity);
      }
      reading.samples.insert(reading.samples.end(), block.begin(), block.begin() + count);
      if (!source.HasError() && count > 0) {
        EXPECT_EQ(source.GetSample(channel), reading.samples.back());  // the last frame is current
      }
    }
  }
  reading.atEnd = source.IsEndOfData();
  reading.failed = source.HasError();
  reading.message = source.GetErrorMessage();
  reading.position = source.GetPosition();
  return reading;
}

TEST(WavFileSourceTest, FloatSamplesComeScaledExactlyUntilOneIsNotANumber) {
  // Full scale is +-1.0, read as +-2^31; beyond it nothing is clipped, and nothing is rounded.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Two groups of four and more, the NaN in the second group; a subnormal float among them.
  const std::vector<double> values = {0.5, -1.0, 2.5, 1e-30, -0.75, 1e-40, nan, 0.25, 0.5};
  for (bool wide : {false, true}) {
    TempFile wav(".wav", Riff(Concat({Chunk("fmt ", FmtPayload(3, 1, 8000, wide ? 64 : 32)),
                                      Chunk("data", FramesFloat({values}, wide))})));
    WavFileSource frames;
    ASSERT_TRUE(frames.Open(wav.c_str()));
    std::vector<int> integers;
    while (frames.ReadNextFrame()) {
      integers.push_back(frames.GetSample(0));
    }
    // One by one, as integers: rounded, held within the int range, and 0 for the NaN.
    EXPECT_EQ(integers, (std::vector<int>{1 << 30, INT_MIN, INT_MAX, 0, -1610612736, 0, 0, 1 << 29,
                                          1 << 30}));
    WavFileSource blocks;
    ASSERT_TRUE(blocks.Open(wav.c_str()));
    double real[16];
    ASSERT_EQ(blocks.ReadBlock(0, real, 16), 6);
    for (int i = 0; i < 6; ++i) {
      const double stored =
          wide ? values[static_cast<std::size_t>(i)]
               : static_cast<double>(static_cast<float>(values[static_cast<std::size_t>(i)]));
      EXPECT_EQ(real[i], stored * 0x1p31) << i;
    }
    EXPECT_NE(real[5], 0.0);
    EXPECT_TRUE(blocks.HasError());
    EXPECT_EQ(blocks.GetErrorMessage(), "Error! Input file holds a sample that is not a number.");
    EXPECT_EQ(blocks.GetErrorCode(), 0);
    EXPECT_EQ(blocks.ReadBlock(0, real, 16), 0);
    // 32-bit floats also as stored, scaled afterwards to the same values, ending alike.
    WavFileSource singles;
    ASSERT_TRUE(singles.Open(wav.c_str()));
    ASSERT_EQ(singles.StoredForm(0),
              wide ? SampleDecoder::Stored::kNone : SampleDecoder::Stored::kSingles);
    EXPECT_EQ(singles.StoredForm(1), SampleDecoder::Stored::kNone);
    if (!wide) {
      float stored[16];
      ASSERT_EQ(singles.ReadBlock(0, stored, 16), 6);
      double scaled[6];
      SampleDecoder::Widen(stored, 6, scaled);
      EXPECT_EQ(std::memcmp(scaled, real, sizeof scaled), 0);
      EXPECT_EQ(singles.GetErrorMessage(), blocks.GetErrorMessage());
      EXPECT_EQ(singles.GetPosition(), blocks.GetPosition());
    }
  }
  // A 64-bit value that the scaling takes to infinity is no number either.
  TempFile huge(".wav", Riff(Concat({Chunk("fmt ", FmtPayload(3, 1, 8000, 64)),
                                     Chunk("data", FramesFloat({{1.0, 1e300}}, true))})));
  WavFileSource source;
  ASSERT_TRUE(source.Open(huge.c_str()));
  double real[2];
  EXPECT_EQ(source.ReadBlock(0, real, 2), 1);
  EXPECT_TRUE(source.HasError());
}

TEST(WavFileSourceTest, BlocksReadWhatFramesOneByOneRead) {
  // Frames that straddle buffer refills (3 x 3 bytes against 64 KiB), every width, a file cut
  // short and a pipe that ends inside a frame.
  const std::size_t frames = static_cast<std::size_t>(RiffFile::kBufferSize) / 4;
  std::vector<int> a(frames), b(frames), c(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    a[i] = static_cast<int>(i * 2654435761u);
    b[i] = -a[i];
    c[i] = static_cast<int>(i % 256);
  }
  const auto wav = [](std::uint16_t channels, std::uint16_t bits, const Bytes& data,
                      std::optional<std::uint16_t> align = {}) {
    return Riff(Concat({Chunk("fmt ", FmtPayload(1, channels, 8000, bits, 0, align)),
                        Chunk("data", data, static_cast<std::uint32_t>(data.size() + 7), false)}));
  };
  struct Case {
    Bytes file;
    bool pipe;
  };
  const Bytes words = FramesLe(4, {a, b});
  std::vector<Case> cases = {
      {wav(3, 8, Frames8({c, c, c})), false},  {wav(2, 16, Frames16({a, b})), false},
      {wav(1, 16, Frames16({b})), true},       {wav(3, 24, FramesLe(3, {a, b, c})), true},
      {wav(2, 32, FramesLe(4, {a, b})), true}, {wav(2, 24, words, 8), false}};
  for (const Case& c0 : cases) {
    for (int channel = -1; channel <= 3; ++channel) {
      const Reading byFrame = ReadAll(c0.file, c0.pipe, channel, 0);
      ASSERT_EQ(byFrame.samples.size(), frames);
      for (int capacity : {1, 7, 4096, 100000}) {
        const Reading byBlock = ReadAll(c0.file, c0.pipe, channel, capacity);
        EXPECT_EQ(byBlock.samples, byFrame.samples) << channel << " " << capacity;
        EXPECT_EQ(byBlock.atEnd, byFrame.atEnd);
        EXPECT_EQ(byBlock.failed, byFrame.failed);
        EXPECT_EQ(byBlock.message, byFrame.message);
        EXPECT_EQ(byBlock.position, byFrame.position);
      }
    }
  }
}

TEST(WavFileSourceTest, DataChunkLongerThanTheFileEndsInAReadError) {
  Bytes file = Riff(Concat(
      {Chunk("fmt ", FmtPayload(1, 1, 8000, 16)), Chunk("data", {1, 0, 2, 0, 3}, 100, false)}));
  TempFile wav(".wav", file);
  WavFileSource source;
  ASSERT_TRUE(source.Open(wav.c_str()));
  EXPECT_TRUE(source.ReadNextFrame());
  EXPECT_TRUE(source.ReadNextFrame());
  EXPECT_FALSE(source.ReadNextFrame());  // one byte of the third frame is there
  EXPECT_TRUE(source.HasError());
  EXPECT_EQ(source.GetErrorCode(), 0);
  EXPECT_EQ(source.GetErrorMessage(), kCannotReadTruncated);
  ExpectNeutral(source);
}

TEST(WavFileSourceTest, FailingRefillIsAReadErrorWithoutLineFeed) {
  Bytes data(static_cast<std::size_t>(RiffFile::kBufferSize) * 2, 0x10);
  Bytes file = PcmWav(1, 8000, 16, data);
  WavFileSource source;
  ASSERT_TRUE(source.OpenStream(std::make_unique<MemoryByteStream>(file, file.size() / 2)));
  std::int64_t frames = 0;
  while (source.ReadNextFrame()) {
    ++frames;
  }
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, static_cast<std::int64_t>(data.size() / 2));
  EXPECT_EQ(source.GetErrorMessage(), kCannotRead);
  EXPECT_FALSE(source.IsEndOfData());
}

TEST(WavFileSourceTest, OpenReplacesTheFileAndItsError) {
  TempFile good(".wav", PcmWav(1, 8000, 8, {200, 201}));
  WavFileSource source;
  ASSERT_TRUE(source.Open(good.c_str()));
  ASSERT_TRUE(source.ReadNextFrame());

  EXPECT_FALSE(source.Open("/nonexistent/input.wav"));
  EXPECT_TRUE(source.HasError());
  EXPECT_EQ(source.GetErrorMessage(), kCannotRead);
  ExpectNeutral(source);

  ASSERT_TRUE(source.Open(good.c_str()));
  EXPECT_FALSE(source.HasError());
  EXPECT_EQ(source.GetPosition(), -1);
  source.Close();
  ExpectNeutral(source);
  EXPECT_FALSE(source.HasError());
}

TEST(WavFileSourceTest, MemoryRunningOutWhileOpeningIsARefusal) {
  WavFileSource source([](const char*) -> std::unique_ptr<IByteStream> { throw std::bad_alloc(); });
  EXPECT_FALSE(source.Open("any.wav"));
  EXPECT_TRUE(source.HasError());
  EXPECT_EQ(source.GetErrorMessage(), "Error! Unknown error during file processing.");
  ExpectNeutral(source);
}

TEST(WavFileSourceTest, CloseKeepsARecordedError) {
  WavFileSource source;
  EXPECT_FALSE(source.Open("/nonexistent/input.wav"));
  source.Close();
  EXPECT_TRUE(source.HasError());
  EXPECT_EQ(source.GetErrorMessage(), kCannotRead);
}

TEST(WavFileSourceTest, EveryTruncationFailsCleanly) {
  const std::vector<std::vector<int>> frames = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  const Bytes plain =
      Riff(Concat({Chunk("LIST", {'I', 'N', 'F', 'O', 1}),
                   Chunk("fmt ", FmtPayload(1, 2, 8000, 16, 2)), Chunk("data", Frames16(frames))}));
  const Bytes extensible = Riff(Concat(
      {Chunk("fmt ", ExtensibleFmtPayload(2, 8000, 24)), Chunk("data", FramesLe(3, frames))}));
  for (const Bytes& file : {plain, extensible}) {
    for (std::size_t length = 0; length < file.size(); ++length) {
      WavFileSource source;
      if (!source.OpenStream(std::make_unique<MemoryByteStream>(file.data(), length))) {
        EXPECT_TRUE(source.HasError()) << length;
        EXPECT_FALSE(source.GetErrorMessage().empty());
        continue;
      }
      int read = 0;
      while (source.ReadNextFrame()) {
        ++read;
      }
      // A cut inside the sample data surfaces as the read error, never as a clean end.
      EXPECT_LT(read, 4) << length;
      EXPECT_EQ(source.GetErrorMessage(), kCannotReadTruncated) << length;
    }
  }
}

TEST(WavFileSourceTest, ErrorsReadThroughTheInterfaceAreTheRecord) {
  std::unique_ptr<IErrorInfoProvider> source = std::make_unique<WavFileSource>();
  EXPECT_FALSE(source->HasError());
  auto* asSource = dynamic_cast<WavFileSource*>(source.get());
  ASSERT_NE(asSource, nullptr);
  asSource->Open("/nonexistent/input.wav");
  EXPECT_TRUE(source->HasError());
  EXPECT_EQ(source->GetErrorMessage(), kCannotRead);
}

}  // namespace
}  // namespace wavfreq
