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
