#include "tags/Zlib.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "rtl/Exception.h"

namespace {

// One inflate state, ended whatever happens.
class TInflater {
 public:
  TInflater() { FReady = inflateInit(&FStream) == Z_OK; }
  ~TInflater()
  {
    if (FReady) {
      inflateEnd(&FStream);
    }
  }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  bool Ready() const noexcept { return FReady; }
  z_stream& Stream() noexcept { return FStream; }

 private:
  z_stream FStream{};
  bool FReady = false;
};

class TDeflater {
 public:
  TDeflater()
  {
    if (deflateInit(&FStream, Z_DEFAULT_COMPRESSION) != Z_OK) {
      throw EOutOfResources("Cannot start compression");
    }
  }
  ~TDeflater() { deflateEnd(&FStream); }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  z_stream& Stream() noexcept { return FStream; }

 private:
  z_stream FStream{};
};

// zlib counts in uInt; frames are far below that, but the types must agree.
constexpr std::size_t MaxChunk = std::numeric_limits<uInt>::max() / 2;

}  // namespace

bool ZlibInflate(std::span<const std::uint8_t> data, std::size_t limit, std::vector<std::uint8_t>& output)
{
  output.clear();
  if (data.size() > MaxChunk) {
    return false;
  }
  TInflater inflater;
  if (!inflater.Ready()) {
    return false;
  }
  z_stream& stream = inflater.Stream();
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  std::uint8_t chunk[16384];
  for (;;) {
    stream.next_out = chunk;
    stream.avail_out = sizeof chunk;
    const int result = inflate(&stream, Z_NO_FLUSH);
    const std::size_t produced = sizeof chunk - stream.avail_out;
    if (output.size() + produced > limit) {
      return false;
    }
    output.insert(output.end(), chunk, chunk + produced);
    if (result == Z_STREAM_END) {
      return true;
    }
    if (result != Z_OK || (produced == 0 && stream.avail_in == 0)) {
      return false;
    }
  }
}

std::vector<std::uint8_t> ZlibDeflate(std::span<const std::uint8_t> data)
{
  if (data.size() > MaxChunk) {
    throw EWriteError("Frame too large to compress");
  }
  TDeflater deflater;
  z_stream& stream = deflater.Stream();
  std::vector<std::uint8_t> output(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = output.data();
  stream.avail_out = static_cast<uInt>(output.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
    throw EWriteError("Compression failed");
  }
  output.resize(stream.total_out);
  return output;
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) noexcept
{
  uLong crc = crc32(0L, Z_NULL, 0);
  std::size_t done = 0;
  while (done < data.size()) {
    const std::size_t part = std::min(data.size() - done, MaxChunk);
    crc = crc32(crc, data.data() + done, static_cast<uInt>(part));
    done += part;
  }
  return static_cast<std::uint32_t>(crc);
}
