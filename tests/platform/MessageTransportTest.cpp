#include "platform/windows/MessageTransport.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <vector>

#include "platform/files/FileDescriptor.h"

namespace {

// A connected datagram pair whose reading end is given the senders' credentials, as the
// transport's sockets are.
struct TDatagramPair {
  TFileDescriptor Reader;
  TFileDescriptor Writer;
  TDatagramPair()
  {
    int ends[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, ends) == 0) {
      Reader.Reset(ends[0]);
      Writer.Reset(ends[1]);
      const int on = 1;
      setsockopt(Reader.Get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof(on));
    }
  }
  void Send(const void* bytes, std::size_t size) const
  {
    ASSERT_EQ(send(Writer.Get(), bytes, size, 0), ssize_t(size));
  }
};

std::vector<std::uint32_t> Received(int socket)
{
  std::vector<std::uint32_t> messages;
  TMessageTransport::ReceiveWaiting(
      socket, [&](const TMessageRecord& record) { messages.push_back(record.Message); });
  return messages;
}

// Records are taken several to a system call: every count around the batch size arrives whole
// and in order, and the socket is left empty.
TEST(MessageTransport, EveryWaitingRecordIsTakenInOrder)
{
  for (const std::uint32_t count : {0u, 1u, 15u, 16u, 17u, 32u, 33u, 100u}) {
    SCOPED_TRACE(count);
    TDatagramPair pair;
    ASSERT_TRUE(pair.Reader.Valid());
    std::vector<std::uint32_t> sent;
    for (std::uint32_t i = 0; i < count; ++i) {
      TMessageRecord record;
      record.Message = 1000 + i;
      const TRecordBytes bytes = EncodeMessageRecord(record);
      pair.Send(bytes.data(), bytes.size());
      sent.push_back(record.Message);
    }
    EXPECT_EQ(Received(pair.Reader.Get()), sent);
    EXPECT_TRUE(Received(pair.Reader.Get()).empty());
  }
}

// Datagrams that are not exactly one record are dropped, one by one, without losing the
// records around them, wherever they fall in a batch.
TEST(MessageTransport, MalformedDatagramsAmongRecordsAreDropped)
{
  for (const std::uint32_t at : {0u, 15u, 16u}) {
    SCOPED_TRACE(at);
    TDatagramPair pair;
    std::vector<std::uint32_t> sent;
    for (std::uint32_t i = 0; i < 20; ++i) {
      TMessageRecord record;
      record.Message = i;
      const TRecordBytes bytes = EncodeMessageRecord(record);
      if (i == at) {
        std::vector<std::byte> longer(bytes.begin(), bytes.end());
        longer.resize(bytes.size() + 8);  // one record and more: cut on receipt
        pair.Send(longer.data(), longer.size());
        pair.Send(bytes.data(), bytes.size() - 1);  // one byte short
        continue;
      }
      pair.Send(bytes.data(), bytes.size());
      sent.push_back(i);
    }
    EXPECT_EQ(Received(pair.Reader.Get()), sent);
  }
}

}  // namespace
