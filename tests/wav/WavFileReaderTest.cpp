#include "wav/WavFileReader.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <utility>

#include "support/MemoryByteStream.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

const char kCannotRead[] = "Error! Input file can not be read.";
const char kNotPcm[] = "Error! Input file must be in PCM format.";
const char kNotPcmTag[] = "Error! Input file must be in PCM mono 8-bit format.";
const char kUnsupportedSize[] = "Error! Input file has an unsupported sample size.";

std::unique_ptr<WavFileReader> Open(const Bytes& bytes) {
  return std::make_unique<WavFileReader>(
      std::make_unique<MemoryByteStream>(bytes.data(), bytes.size()));
}

std::string Refusal(const Bytes& bytes) {
  auto reader = Open(bytes);
  EXPECT_EQ(reader->ErrorInfo().GetErrorCode(), 0);
  return reader->ErrorInfo().HasError() ? reader->ErrorInfo().GetErrorMessage() : "accepted";
}

const Bytes kFmt = Chunk("fmt ", FmtPayload(1, 1, 8000, 8));
const Bytes kData = Chunk("data", {1, 2, 3});

TEST(WavFileReaderTest, RefusesFilesThatAreNotRiffWave) {
  EXPECT_EQ(Refusal({}), kCannotRead);
  EXPECT_EQ(Refusal({'R', 'I', 'F', 'F', 4, 0, 0}), kCannotRead);
  EXPECT_EQ(Refusal({'R', 'I', 'F', 'F', 4, 0, 0, 0}), kCannotRead);  // no form type
  EXPECT_EQ(Refusal({'R', 'I', 'F', 'X', 4, 0, 0, 0}), kNotPcm);      // big-endian RIFX
  EXPECT_EQ(Refusal(Riff(Concat({kFmt, kData}), "AVI ")), kNotPcm);
}

TEST(WavFileReaderTest, RefusesMissingOrMalformedFormatChunks) {
  EXPECT_EQ(Refusal(Riff(kData)), kNotPcm);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", Bytes(14)), kData}))), kNotPcm);
  // A "fmt " chunk whose size is fine but whose file ends inside it.
  Bytes cut = Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 8))}));
  cut.resize(cut.size() - 4);
  EXPECT_EQ(Refusal(cut), kCannotRead);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(2, 1, 8000, 4)), kData}))), kNotPcmTag);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(0xFFFE, 2, 48000, 24)), kData}))),
            kNotPcmTag);
  // The data chunk must follow the format chunk.
  EXPECT_EQ(Refusal(Riff(Concat({kData, kFmt}))), kNotPcm);
  EXPECT_EQ(Refusal(Riff(kFmt)), kNotPcm);
}

TEST(WavFileReaderTest, RefusesFramesOfNoBytes) {
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(1, 0, 8000, 16)), kData}))), kNotPcm);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(1, 2, 8000, 7)), kData}))), kNotPcm);
}

TEST(WavFileReaderTest, SkipsOtherChunksAndExtendedFormatBytes) {
  for (std::size_t extra : {2u, 3u, 24u}) {
    Bytes file = Riff(Concat({Chunk("LIST", {'I', 'N', 'F', 'O'}), Chunk("junk", {9}),
                              Chunk("fmt ", FmtPayload(1, 2, 44100, 16, extra)),
                              Chunk("fact", {1, 2, 3, 4, 5}), Chunk("data", {1, 2, 3, 4})}));
    auto reader = Open(file);
    ASSERT_FALSE(reader->ErrorInfo().HasError()) << extra;
    EXPECT_EQ(reader->Format().channels, 2);
    EXPECT_EQ(reader->Format().sampleRate, 44100);
    ASSERT_TRUE(reader->ReadFrame());
    EXPECT_EQ(reader->Frame()[0], 1);
    EXPECT_EQ(reader->Frame()[3], 4);
  }
}

TEST(WavFileReaderTest, FramesHoldWholeBytesPerSample) {
  struct Case {
    std::uint16_t channels, bits;
    std::optional<std::uint16_t> blockAlign;
    std::uint32_t dataSize;
    std::int32_t frameSize;
    std::int64_t frameCount;
    SampleCoding coding;
  };
  using C = SampleCoding;
  for (const Case& c : {
           Case{2, 16, {}, 10, 4, 2, C::kSigned16},
           Case{1, 8, {}, 0, 1, 0, C::kUnsigned8},
           Case{2, 24, {}, 12, 6, 2, C::kSigned24},
           Case{3, 12, {}, 13, 6, 2, C::kSigned16},
           Case{1, 20, {}, 7, 3, 2, C::kSigned24},
           Case{2, 32, {}, 17, 8, 2, C::kSigned32},
           // 24 bits in four-byte words (arecord's S24_LE), told apart by the block alignment.
           Case{2, 24, 8, 17, 8, 2, C::kSigned24InWord},
           Case{1, 20, 4, 8, 4, 2, C::kSigned24InWord},
           Case{1, 17, 4, 8, 4, 2, C::kSigned24InWord},
           // Any other block alignment is not used.
           Case{1, 16, 4, 8, 2, 4, C::kSigned16},
           Case{1, 32, 8, 8, 4, 2, C::kSigned32},
       }) {
    Bytes file =
        Riff(Concat({Chunk("fmt ", FmtPayload(1, c.channels, 8000, c.bits, 0, c.blockAlign)),
                     Chunk("data", {}, c.dataSize)}));
    auto reader = Open(file);
    ASSERT_FALSE(reader->ErrorInfo().HasError()) << c.bits;
    EXPECT_EQ(reader->FrameSize(), c.frameSize) << c.bits;
    EXPECT_EQ(reader->FrameCount(), c.frameCount) << c.bits;
    EXPECT_EQ(reader->Coding(), c.coding) << c.bits;
    EXPECT_EQ(reader->FrameIndex(), -1);
  }
}

TEST(WavFileReaderTest, ReadsTheExtensibleFormatWhenItsSamplesArePcm) {
  const Bytes data = Chunk("data", Bytes(12, 1));
  auto reader = Open(Riff(Concat({Chunk("fmt ", ExtensibleFmtPayload(2, 48000, 24)), data})));
  ASSERT_FALSE(reader->ErrorInfo().HasError());
  EXPECT_EQ(reader->Format().channels, 2);
  EXPECT_EQ(reader->Format().sampleRate, 48000);
  EXPECT_EQ(reader->FrameSize(), 6);

  Bytes otherGuid = kPcmSubFormat;
  otherGuid[15] ^= 1;
  Bytes adpcmGuid = kPcmSubFormat;
  adpcmGuid[0] = 2;
  Bytes cut = ExtensibleFmtPayload(1, 48000, 16);
  cut.pop_back();
  for (const Bytes& fmt : {ExtensibleFmtPayload(1, 48000, 16, otherGuid),
                           ExtensibleFmtPayload(1, 48000, 4, adpcmGuid), cut}) {
    EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", fmt), data}))), kNotPcmTag);
  }
}

TEST(WavFileReaderTest, ReadsFloatingPointSamplesAndSettlesEachFormatsFullScale) {
  Bytes floatGuid = kPcmSubFormat;
  floatGuid[0] = 3;
  struct Case {
    Bytes fmt;
    SampleCoding coding;
    int frameSize;
    double fullScale;
  };
  using C = SampleCoding;
  for (const Case& c : {Case{FmtPayload(3, 2, 48000, 32), C::kFloat32, 8, 0x1p31},
                        Case{FmtPayload(3, 1, 48000, 64, 2), C::kFloat64, 8, 0x1p31},
                        Case{ExtensibleFmtPayload(1, 48000, 32, floatGuid), C::kFloat32, 4, 0x1p31},
                        Case{FmtPayload(1, 1, 8000, 8), C::kUnsigned8, 1, 128.0},
                        Case{FmtPayload(1, 1, 8000, 12), C::kSigned16, 2, 32768.0},
                        Case{FmtPayload(1, 1, 8000, 24, 0, 4), C::kSigned24InWord, 4, 0x1p23},
                        Case{FmtPayload(1, 1, 8000, 32), C::kSigned32, 4, 0x1p31}}) {
    auto reader = Open(Riff(Concat({Chunk("fmt ", c.fmt), Chunk("data", Bytes(16, 0))})));
    ASSERT_FALSE(reader->ErrorInfo().HasError()) << c.frameSize;
    EXPECT_EQ(reader->Coding(), c.coding);
    EXPECT_EQ(reader->Format().frameSize, c.frameSize);
    EXPECT_EQ(reader->Format().fullScale, c.fullScale);
    EXPECT_EQ(reader->Format().coding == SampleFormat::Coding::kFloat,
              c.coding == C::kFloat32 || c.coding == C::kFloat64);
  }
  // Floating point comes in 32 and 64 bits only.
  for (int bits : {16, 24}) {
    EXPECT_EQ(
        Refusal(Riff(Concat(
            {Chunk("fmt ", FmtPayload(3, 1, 8000, static_cast<std::uint16_t>(bits))), kData}))),
        kUnsupportedSize);
  }
}

TEST(WavFileReaderTest, SamplesWiderThan32BitsAreRefusedLast) {
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 40)), kData}))),
            kUnsupportedSize);
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 64)), kData}))),
            kUnsupportedSize);
  // Every other refusal comes first.
  EXPECT_EQ(Refusal(Riff(Concat({Chunk("fmt ", FmtPayload(1, 0, 8000, 40)), kData}))), kNotPcm);
  EXPECT_EQ(Refusal(Riff(Chunk("fmt ", FmtPayload(1, 1, 8000, 40)))), kNotPcm);
}

// Reads frames to the end; returns their count and whether the end came without an error.
std::pair<int, bool> ReadAll(WavFileReader& reader) {
  int frames = 0;
  while (reader.ReadFrame()) {
    ++frames;
  }
  return {frames, reader.IsEndOfData() && !reader.ErrorInfo().HasError()};
}

TEST(WavFileReaderTest, StreamsEndTheirDataWhereTheInputEnds) {
  // Five frames and one byte of a sixth, under sizes that claim more.
  const Bytes samples = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6};
  const auto file = [&samples](std::uint32_t size) {
    return Riff(
        Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 16)), Chunk("data", samples, size, false)}),
        "WAVE", 0xFFFFFFFF);
  };
  // Length unknown: the data runs to the end of the input, in a file as in a pipe.
  auto unknown = Open(file(0xFFFFFFFF));
  EXPECT_EQ(unknown->FrameCount(), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ReadAll(*unknown), std::make_pair(5, true));
  EXPECT_EQ(unknown->FrameIndex(), 5);
  EXPECT_FALSE(unknown->ReadFrame());
  // A pipe ends wherever its writer stopped, whatever the header said.
  WavFileReader pipe(std::make_unique<MemoryByteStream>(file(0x7FFFF000), UINT64_MAX, true));
  EXPECT_EQ(ReadAll(pipe), std::make_pair(5, true));
  // A regular file of a known size that ends early was cut short.
  auto cut = Open(file(0x7FFFF000));
  EXPECT_EQ(ReadAll(*cut), std::make_pair(5, false));
  EXPECT_EQ(cut->ErrorInfo().GetErrorMessage(), "Error! Input file can not be read.\n");
}

TEST(WavFileReaderTest, ChunksAfterTheDataAreNotReadAsFrames) {
  // Metadata often follows the samples, and lies in the same buffer window as the last frames.
  Bytes file = Riff(Concat({Chunk("fmt ", FmtPayload(1, 1, 8000, 8)),
                            Chunk("data", {1, 2, 3, 4, 5}), Chunk("LIST", Bytes(200, 9))}));
  auto reader = Open(file);
  int frames = 0;
  while (reader->ReadFrame()) {
    EXPECT_EQ(reader->Frame()[0], ++frames);
  }
  EXPECT_EQ(frames, 5);
  EXPECT_TRUE(reader->IsEndOfData());
}

TEST(WavFileReaderTest, ReadsFramesAcrossBufferRefillsByteForByte) {
  // Frames of 3 bytes do not divide the buffer size, so some frames straddle a refill.
  Bytes data(static_cast<std::size_t>(RiffFile::kBufferSize) * 3 + 9);
  for (std::size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<std::uint8_t>(i % 251);
  }
  auto reader = Open(PcmWav(3, 8000, 8, data));
  ASSERT_FALSE(reader->ErrorInfo().HasError());
  std::size_t offset = 0;
  while (reader->ReadFrame()) {
    for (std::size_t b = 0; b < 3; ++b) {
      ASSERT_EQ(reader->Frame()[b], data[offset + b]) << offset;
    }
    offset += 3;
  }
  EXPECT_EQ(offset, data.size());
  EXPECT_TRUE(reader->IsEndOfData());
  EXPECT_FALSE(reader->ErrorInfo().HasError());
}

}  // namespace
}  // namespace wavfreq
