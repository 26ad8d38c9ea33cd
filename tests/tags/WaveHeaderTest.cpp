#include "tags/WaveHeader.h"

#include <gtest/gtest.h>

#include <string_view>

#include "tests/support/Mp3Builder.h"

namespace {

using mp3::TBytes;

void PutLittleEndian32(TBytes& to, std::uint32_t value)
{
  for (int shift = 0; shift < 32; shift += 8) {
    to.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

TBytes Chunk(std::string_view id, const TBytes& data, std::uint32_t declared = 0xFFFFFFFF)
{
  TBytes chunk(id.begin(), id.end());
  PutLittleEndian32(chunk, declared != 0xFFFFFFFF ? declared : static_cast<std::uint32_t>(data.size()));
  mp3::Append(chunk, data);
  if (data.size() % 2 != 0 && declared == 0xFFFFFFFF) {
    chunk.push_back(0);
  }
  return chunk;
}

// "fmt " of PCM: format, channels, sample rate, byte rate, block align, bits.
TBytes Format(std::uint32_t byteRate, std::size_t size = 16)
{
  TBytes data = {1, 0, 2, 0};
  PutLittleEndian32(data, 44100);
  PutLittleEndian32(data, byteRate);
  data.insert(data.end(), {4, 0, 16, 0});
  data.resize(size, 0);
  return data;
}

TBytes Riff(std::initializer_list<TBytes> chunks, std::string_view form = "WAVE")
{
  TBytes body(form.begin(), form.end());
  for (const TBytes& chunk : chunks) {
    mp3::Append(body, chunk);
  }
  TBytes file = mp3::Text("RIFF");
  PutLittleEndian32(file, static_cast<std::uint32_t>(body.size()));
  mp3::Append(file, body);
  return file;
}

TEST(WaveHeader, PlayingTimeAndBitRateComeFromTheByteRateAndTheDataSize)
{
  TBytes manyChunks63;
  TBytes manyChunks64;
  // Chunks before the data: "fmt " and 62 others reach it (63 looked at, the data the 64th).
  for (int i = 0; i < 62; ++i) {
    mp3::Append(manyChunks63, Chunk("junk", {1, 2}));
  }
  manyChunks64 = manyChunks63;
  mp3::Append(manyChunks64, Chunk("junk", {1, 2}));
  const TBytes data(176400 * 2 + 100, 0x55);
  struct TCase {
    const char* What;
    TBytes File;
    int Duration, Bitrate;
  };
  const TCase cases[] = {
      {"pcm", Riff({Chunk("fmt ", Format(176400)), Chunk("data", data)}), 2, 1411},
      {"one byte short of two seconds",
       Riff({Chunk("fmt ", Format(176400)), Chunk("data", TBytes(352799, 1))}), 1, 1411},
      {"an odd chunk is padded",
       Riff({Chunk("fmt ", Format(8000)), Chunk("LIST", {'a', 'b', 'c'}), Chunk("data", TBytes(16000, 1))}),
       2, 64},
      {"a longer fmt chunk", Riff({Chunk("fmt ", Format(8000, 18)), Chunk("data", TBytes(8000, 1))}), 1, 64},
      {"fmt too short for its byte rate",
       Riff({Chunk("fmt ", Format(8000, 11)), Chunk("data", TBytes(8000, 1))}), 0, 0},
      {"fmt just long enough", Riff({Chunk("fmt ", Format(8000, 12)), Chunk("data", TBytes(8000, 1))}), 1,
       64},
      {"data size beyond the end",
       Riff({Chunk("fmt ", Format(8000)), Chunk("data", TBytes(8000, 1), 0xFFFFFFF0)}), 1, 64},
      {"no fmt", Riff({Chunk("data", data)}), 0, 0},
      {"no data", Riff({Chunk("fmt ", Format(176400))}), 0, 0},
      {"byte rate 0", Riff({Chunk("fmt ", Format(0)), Chunk("data", data)}), 0, 0},
      {"not WAVE", Riff({Chunk("fmt ", Format(176400)), Chunk("data", data)}, "AVI "), 0, 0},
      {"64 chunks looked at",
       [&] {
         TBytes c = Chunk("fmt ", Format(8000));
         mp3::Append(c, manyChunks63);
         mp3::Append(c, Chunk("data", TBytes(8000, 1)));
         return Riff({c});
       }(),
       1, 64},
      {"65 chunks are too many",
       [&] {
         TBytes c = Chunk("fmt ", Format(8000));
         mp3::Append(c, manyChunks64);
         mp3::Append(c, Chunk("data", TBytes(8000, 1)));
         return Riff({c});
       }(),
       0, 0},
      {"empty", {}, 0, 0},
  };
  for (const TCase& c : cases) {
    TMemoryStream stream;
    if (!c.File.empty()) {
      stream.WriteBuffer(c.File.data(), static_cast<std::int64_t>(c.File.size()));
    }
    TWaveHeader header;
    header.Analyse(stream);
    EXPECT_EQ(header.Duration(), c.Duration) << c.What;
    EXPECT_EQ(header.Bitrate(), c.Bitrate) << c.What;
  }
}

}  // namespace
