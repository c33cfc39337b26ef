#include "wav/RiffFile.h"

#include <gtest/gtest.h>

#include "support/MemoryByteStream.h"
#include "support/WavBuilder.h"

namespace wavfreq {
namespace {

using namespace test;

RiffFile Open(const Bytes& bytes) {
  return RiffFile(std::make_unique<MemoryByteStream>(bytes));
}

TEST(RiffFileTest, FindsAChunkPastOddSizedOnesByTheirPadByte) {
  RiffFile file = Open(Riff(Concat(
      {Chunk("odd ", {1, 2, 3}), Chunk("LIST", {'I', 'N', 'F', 'O', 9}), Chunk("data", {5, 6})})));
  RiffChunk riff;
  ASSERT_TRUE(file.ReadChunkHeader(riff));
  EXPECT_EQ(riff.id, MakeFourCC('R', 'I', 'F', 'F'));
  EXPECT_EQ(riff.formType, MakeFourCC('W', 'A', 'V', 'E'));
  RiffChunk data;
  ASSERT_TRUE(file.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, data));
  EXPECT_EQ(data.size, 2u);
  ASSERT_EQ(file.Window().Size(), 2);
  EXPECT_EQ(file.Window().next[0], 5);
}

TEST(RiffFileTest, SearchStopsAtTheEndOfTheParentsData) {
  // The RIFF size leaves "data" outside the parent: it is not found although the bytes are there.
  RiffFile file =
      Open(Riff(Concat({Chunk("junk", {1, 2}), Chunk("data", {7, 7})}), "WAVE", 4 + 10));
  RiffChunk riff;
  ASSERT_TRUE(file.ReadChunkHeader(riff));
  RiffChunk data;
  EXPECT_FALSE(file.FindChunk(MakeFourCC('d', 'a', 't', 'a'), riff, data));
}

constexpr FourCC kData = MakeFourCC('d', 'a', 't', 'a');

TEST(RiffFileTest, Rf64SizesOf0xFFFFFFFFAreTheDs64Sizes) {
  // The RIFF and data sizes from the ds64 chunk, and the size of "junk" from its table: 3, so
  // that the walk finds "data" right behind it.
  for (const char* id : {"RF64", "BW64"}) {
    RiffFile file = Open(Rf64(
        Concat({Ds64(5ull << 32, 6ull << 32, {{"junk", 3}}), Chunk("junk", {9, 9, 9}, 0xFFFFFFFF),
                Chunk("data", {1, 2, 3, 4}, 0xFFFFFFFF, false)}),
        id));
    RiffChunk outer;
    ASSERT_EQ(file.ReadFileHeader(outer), RiffFile::Header::kRead) << id;
    EXPECT_EQ(outer.id, MakeFourCC(id[0], id[1], id[2], id[3]));
    EXPECT_EQ(outer.formType, MakeFourCC('W', 'A', 'V', 'E'));
    EXPECT_EQ(outer.size, 5ull << 32);
    RiffChunk data;
    ASSERT_TRUE(file.FindChunk(kData, outer, data)) << id;
    EXPECT_EQ(data.size, 6ull << 32);
    EXPECT_TRUE(data.sizeKnown);
    EXPECT_EQ(file.Window().next[0], 1);
  }
  // Without a ds64 chunk to stand for it, 0xFFFFFFFF is a streaming writer's open length; so is
  // a ds64 size of 0, which a streaming RF64 writer leaves, and one of all ones.
  for (const Bytes& bytes :
       {Riff(Chunk("data", {1, 2}, 0xFFFFFFFF, false)),
        Rf64(Concat({Ds64(0, 0), Chunk("data", {1, 2}, 0xFFFFFFFF, false)})),
        Rf64(Concat({Ds64(0, ~0ull), Chunk("data", {1, 2}, 0xFFFFFFFF, false)}))}) {
    RiffFile file = Open(bytes);
    RiffChunk outer;
    ASSERT_EQ(file.ReadFileHeader(outer), RiffFile::Header::kRead);
    RiffChunk data;
    ASSERT_TRUE(file.FindChunk(kData, outer, data));
    EXPECT_FALSE(data.sizeKnown);
  }
}

TEST(RiffFileTest, Ds64TableIsReadNoFurtherThanItsChunk) {
  // A table that claims 2^32 - 1 entries in a chunk that holds one: the walk goes on behind it.
  Bytes ds64 = Ds64(100, 4, {{"junk", 3}});
  ds64[8 + 24] = ds64[8 + 25] = ds64[8 + 26] = ds64[8 + 27] = 0xFF;
  RiffFile file = Open(Rf64(Concat({ds64, Chunk("junk", {9, 9, 9}, 0xFFFFFFFF),
                                    Chunk("data", {1, 2, 3, 4}, 0xFFFFFFFF, false)})));
  RiffChunk outer;
  ASSERT_EQ(file.ReadFileHeader(outer), RiffFile::Header::kRead);
  RiffChunk data;
  ASSERT_TRUE(file.FindChunk(kData, outer, data));
  EXPECT_EQ(data.size, 4u);
  EXPECT_EQ(file.Window().next[0], 1);
}

TEST(RiffFileTest, Rf64WithoutItsDs64FirstIsMalformed) {
  const Bytes data = Chunk("data", {1, 2}, 0xFFFFFFFF, false);
  const auto header = [](const Bytes& bytes) {
    RiffFile file = Open(bytes);
    RiffChunk outer;
    return file.ReadFileHeader(outer);
  };
  EXPECT_EQ(header(Rf64(data)), RiffFile::Header::kMalformed);
  EXPECT_EQ(header(Rf64(Concat({Chunk("junk", {1, 2}), Ds64(100, 2), data}))),
            RiffFile::Header::kMalformed);  // too late: the sizes before it are unknown
  const Bytes shortDs64 = Chunk("ds64", Bytes(20, 0));
  EXPECT_EQ(header(Rf64(Concat({shortDs64, data}))), RiffFile::Header::kMalformed);
  Bytes cut = Rf64(Ds64(100, 2));
  cut.resize(cut.size() - 5);
  EXPECT_EQ(header(cut), RiffFile::Header::kCutShort);
  EXPECT_EQ(header(Rf64(Concat({Ds64(100, 2), data}))), RiffFile::Header::kRead);
}

TEST(RiffFileTest, Wave64ChunksCountTheirHeaderAndStartAtMultiplesOf8) {
  // "junk" of 5 bytes ends at 40 + 29 and is padded to 40 + 32; "data" of 3 bytes follows.
  RiffFile file = Open(Wave64(Concat({Wave64Chunk("junk", {1, 2, 3, 4, 5}),
                                      Wave64Chunk("data", {7, 8, 9}), Wave64Chunk("fact", {1})})));
  RiffChunk outer;
  ASSERT_EQ(file.ReadFileHeader(outer), RiffFile::Header::kRead);
  EXPECT_EQ(file.GetContainer(), RiffFile::Container::kWave64);
  EXPECT_EQ(outer.id, MakeFourCC('R', 'I', 'F', 'F'));
  EXPECT_EQ(outer.formType, MakeFourCC('W', 'A', 'V', 'E'));
  EXPECT_EQ(outer.size, 16u + 32u + 32u + 32u);  // the form's GUID and the chunks
  RiffChunk data;
  ASSERT_TRUE(file.FindChunk(kData, outer, data));
  EXPECT_EQ(data.dataOffset, 40u + 32u + 24u);
  EXPECT_EQ(data.size, 3u);
  EXPECT_EQ(file.Window().next[0], 7);
  EXPECT_EQ(data.PaddedEnd(), 40u + 32u + 32u);
  // A size that does not even count the header is a streaming writer's: the length is open.
  RiffFile streamed = Open(Wave64(Wave64Chunk("data", {7, 8}, 0), 0));
  ASSERT_EQ(streamed.ReadFileHeader(outer), RiffFile::Header::kRead);
  EXPECT_FALSE(outer.sizeKnown);
  ASSERT_TRUE(streamed.FindChunk(kData, outer, data));
  EXPECT_FALSE(data.sizeKnown);
}

TEST(RiffFileTest, RefillsTheWindowAcrossTheBufferAndEndsWithAnEmptyWindow) {
  Bytes payload(static_cast<std::size_t>(RiffFile::kBufferSize) * 2 + 5);
  for (std::size_t i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<std::uint8_t>(i * 7);
  }
  RiffFile file = Open(payload);
  ByteWindow& window = file.Window();
  std::size_t seen = 0;
  for (;;) {
    if (window.Size() == 0) {
      ASSERT_TRUE(file.RefillWindow());
      if (window.Size() == 0) {
        break;
      }
    }
    ASSERT_EQ(*window.next, payload[seen]);
    ++window.next;
    ++seen;
  }
  EXPECT_EQ(seen, payload.size());
}

}  // namespace
}  // namespace wavfreq
