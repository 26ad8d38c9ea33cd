#include "platform/windows/MessageTransport.h"

#include <errno.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/core/ByteOrder.h"
#include "platform/core/LastError.h"
#include "platform/core/PollUntil.h"

namespace {

constexpr std::uint32_t RecordMagic = 0x314D584FU;  // "OXM1"
constexpr std::uint32_t FirstNumber = 1;
constexpr std::uint32_t LastNumber = 0xFFFE;
constexpr int SendTimeoutMilliseconds = 1000;

// Field offsets of the record.
enum : std::size_t {
  AtMagic = 0,
  AtKind = 4,
  AtWindow = 8,
  AtMessage = 12,
  AtFlags = 16,
  AtStatus = 20,
  AtWParam = 24,
  AtLParam = 32,
  AtResult = 40,
  AtCallId = 48,
  AtSenderProcess = 56,
  AtSenderQueue = 60,
  AtTime = 64,
  AtSpare = 68,
};
static_assert(AtSpare + 4 == MessageRecordSize);

// The user the process runs as: names the sockets and tells whose datagrams are taken. Asked on
// every record, so asked of the system once.
uid_t User() noexcept
{
  static const uid_t user = getuid();
  return user;
}

sockaddr_un AddressOf(std::uint32_t number, socklen_t& length, std::uint32_t queueId = 0)
{
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract namespace: a leading zero byte, no terminator (the one written here lies past the
  // length). Written in place, as every record sent pays for it.
  char* const name = address.sun_path + 1;
  const std::size_t room = sizeof(address.sun_path) - 1;
  const unsigned user = User();
  const int written = queueId != 0 ? std::snprintf(name, room, "oxa-msg-%u-%u.q%u", user, number, queueId)
                                   : std::snprintf(name, room, "oxa-msg-%u-%u", user, number);
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(written));
  return address;
}

std::mutex instanceLock;  // guards the transport's creation

// The process's transport. A function-local static, first touched by the window manager after
// its own state exists, so at exit it (and its reader thread) goes before that state.
std::unique_ptr<TMessageTransport>& Transport()
{
  static std::unique_ptr<TMessageTransport> transport;
  return transport;
}

}  // namespace

TRecordBytes EncodeMessageRecord(const TMessageRecord& record) noexcept
{
  TRecordBytes bytes{};
  std::byte* at = bytes.data();
  ByteOrder::StoreLE32(at + AtMagic, RecordMagic);
  ByteOrder::StoreLE32(at + AtKind, static_cast<std::uint32_t>(record.Kind));
  ByteOrder::StoreLE32(at + AtWindow, record.Window);
  ByteOrder::StoreLE32(at + AtMessage, record.Message);
  ByteOrder::StoreLE32(at + AtFlags, record.Flags);
  ByteOrder::StoreLE32(at + AtStatus, static_cast<std::uint32_t>(record.Status));
  ByteOrder::StoreLE64(at + AtWParam, record.WParam);
  ByteOrder::StoreLE64(at + AtLParam, static_cast<std::uint64_t>(record.LParam));
  ByteOrder::StoreLE64(at + AtResult, static_cast<std::uint64_t>(record.Result));
  ByteOrder::StoreLE64(at + AtCallId, record.CallId);
  ByteOrder::StoreLE32(at + AtSenderProcess, record.SenderProcess);
  ByteOrder::StoreLE32(at + AtSenderQueue, record.SenderQueue);
  ByteOrder::StoreLE32(at + AtTime, record.Time);
  return bytes;
}

std::optional<TMessageRecord> DecodeMessageRecord(std::span<const std::byte> bytes) noexcept
{
  if (bytes.size() != MessageRecordSize) {
    return std::nullopt;
  }
  const std::byte* at = bytes.data();
  if (ByteOrder::LoadLE32(at + AtMagic) != RecordMagic || ByteOrder::LoadLE32(at + AtSpare) != 0) {
    return std::nullopt;
  }
  const std::uint32_t kind = ByteOrder::LoadLE32(at + AtKind);
  const std::uint32_t status = ByteOrder::LoadLE32(at + AtStatus);
  if (kind < static_cast<std::uint32_t>(TRecordKind::Post) ||
      kind > static_cast<std::uint32_t>(TRecordKind::Ping) ||
      status > static_cast<std::uint32_t>(TReplyStatus::WindowFound)) {
    return std::nullopt;
  }
  TMessageRecord record;
  record.Kind = static_cast<TRecordKind>(kind);
  record.Window = ByteOrder::LoadLE32(at + AtWindow);
  record.Message = ByteOrder::LoadLE32(at + AtMessage);
  record.Flags = ByteOrder::LoadLE32(at + AtFlags);
  record.Status = static_cast<TReplyStatus>(status);
  record.WParam = ByteOrder::LoadLE64(at + AtWParam);
  record.LParam = static_cast<std::int64_t>(ByteOrder::LoadLE64(at + AtLParam));
  record.Result = static_cast<std::int64_t>(ByteOrder::LoadLE64(at + AtResult));
  record.CallId = ByteOrder::LoadLE64(at + AtCallId);
  record.SenderProcess = ByteOrder::LoadLE32(at + AtSenderProcess);
  record.SenderQueue = ByteOrder::LoadLE32(at + AtSenderQueue);
  record.Time = ByteOrder::LoadLE32(at + AtTime);
  if (record.SenderProcess > LastNumber) {
    return std::nullopt;
  }
  return record;
}

TMessageTransport* TMessageTransport::Instance(const TReceiver& receiver)
{
  const std::lock_guard guard(instanceLock);
  auto& instance = Transport();
  if (instance) {
    return instance.get();
  }
  TFileDescriptor fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  const int on = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof(on));
  const timeval sendTimeout{SendTimeoutMilliseconds / 1000,
                            static_cast<suseconds_t>(SendTimeoutMilliseconds % 1000) * 1000};
  setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
  // Spread the starting points so that processes rarely probe each other's numbers.
  const std::uint32_t span = LastNumber - FirstNumber + 1;
  const std::uint32_t start = static_cast<std::uint32_t>(getpid()) % span;
  for (std::uint32_t i = 0; i < span; ++i) {
    const std::uint32_t number = FirstNumber + (start + i) % span;
    socklen_t length = 0;
    const sockaddr_un address = AddressOf(number, length);
    if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0) {
      instance = std::make_unique<TMessageTransport>(std::move(fd), number, receiver);
      return instance.get();
    }
    if (errno != EADDRINUSE) {
      break;
    }
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

TMessageTransport* TMessageTransport::Existing() noexcept
{
  const std::lock_guard guard(instanceLock);
  return Transport().get();
}

TMessageTransport::TMessageTransport(TFileDescriptor socket, std::uint32_t number, TReceiver receiver)
    : FSocket(std::move(socket)),
      FStopEvent(eventfd(0, EFD_CLOEXEC)),
      FNumber(number),
      FReceiver(std::move(receiver))
{
  FReader = std::thread([this] { ReadLoop(); });
}

TMessageTransport::~TMessageTransport()
{
  const std::uint64_t one = 1;
  if (write(FStopEvent.Get(), &one, sizeof(one)) == sizeof(one)) {
    FReader.join();
  } else {
    FReader.detach();
  }
}

TFileDescriptor TMessageTransport::OpenQueueSocket(std::uint32_t queueId) const
{
  TFileDescriptor fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.Valid()) {
    return fd;
  }
  const int on = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof(on));
  socklen_t length = 0;
  const sockaddr_un address = AddressOf(FNumber, length, queueId);
  if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    return TFileDescriptor();
  }
  return fd;
}

bool TMessageTransport::SendToQueue(std::uint32_t number, std::uint32_t queueId,
                                    const TMessageRecord& record) const
{
  if (number < FirstNumber || number > LastNumber || queueId == 0) {
    return false;
  }
  socklen_t length = 0;
  const sockaddr_un address = AddressOf(number, length, queueId);
  const TRecordBytes bytes = EncodeMessageRecord(record);
  // Never waits: a thread that does not read its socket is reached through the process's.
  ssize_t sent = 0;
  do {
    sent = sendto(FSocket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                  reinterpret_cast<const sockaddr*>(&address), length);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(bytes.size());
}

bool TMessageTransport::Send(std::uint32_t number, const TMessageRecord& record) const
{
  if (number < FirstNumber || number > LastNumber) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  socklen_t length = 0;
  const sockaddr_un address = AddressOf(number, length);
  const TRecordBytes bytes = EncodeMessageRecord(record);
  for (;;) {
    const ssize_t sent = sendto(FSocket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), length);
    if (sent == static_cast<ssize_t>(bytes.size())) {
      return true;
    }
    if (sent < 0 && errno == EINTR) {
      continue;
    }
    SetLastError(sent < 0 && (errno == EAGAIN || errno == ENOBUFS) ? ERROR_NOT_ENOUGH_QUOTA
                                                                   : ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
}

void TMessageTransport::ReadLoop()
{
  for (;;) {
    pollfd ready[2] = {{FSocket.Get(), POLLIN, 0}, {FStopEvent.Get(), POLLIN, 0}};
    if (PollUntil(ready, NoDeadline) < 0) {
      return;
    }
    if ((ready[1].revents & POLLIN) != 0) {
      return;
    }
    ReceiveWaiting(FSocket.Get(), FReceiver);
  }
}

void TMessageTransport::ReceiveWaiting(int socket, const TReceiver& receiver)
{
  // Several records per system call; a short batch means the socket was empty, so the usual lone
  // record costs one call and not a second one that only finds nothing.
  constexpr unsigned BatchRecords = 16;
  struct TControl {
    alignas(cmsghdr) char Bytes[CMSG_SPACE(sizeof(ucred))];
  };
  const uid_t self = User();
  std::array<std::array<std::byte, MessageRecordSize + 1>, BatchRecords> buffers;
  std::array<TControl, BatchRecords> controls;
  std::array<iovec, BatchRecords> vectors;
  std::array<mmsghdr, BatchRecords> headers;
  for (;;) {
    for (unsigned i = 0; i < BatchRecords; ++i) {
      vectors[i] = iovec{buffers[i].data(), buffers[i].size()};
      headers[i] = mmsghdr{};
      headers[i].msg_hdr.msg_iov = &vectors[i];
      headers[i].msg_hdr.msg_iovlen = 1;
      headers[i].msg_hdr.msg_control = controls[i].Bytes;
      headers[i].msg_hdr.msg_controllen = sizeof(controls[i].Bytes);
    }
    const int received = recvmmsg(socket, headers.data(), BatchRecords, MSG_DONTWAIT, nullptr);
    if (received < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    for (int i = 0; i < received; ++i) {
      msghdr& header = headers[static_cast<std::size_t>(i)].msg_hdr;
      bool sameUser = false;
      for (cmsghdr* item = CMSG_FIRSTHDR(&header); item != nullptr; item = CMSG_NXTHDR(&header, item)) {
        if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_CREDENTIALS) {
          ucred credentials{};
          std::memcpy(&credentials, CMSG_DATA(item), sizeof(credentials));
          sameUser = credentials.uid == self;
        }
      }
      if (!sameUser || (header.msg_flags & MSG_TRUNC) != 0) {
        continue;
      }
      const std::size_t length = headers[static_cast<std::size_t>(i)].msg_len;
      if (const auto record =
              DecodeMessageRecord(std::span(buffers[static_cast<std::size_t>(i)].data(), length))) {
        receiver(*record);
      }
    }
    if (received < static_cast<int>(BatchRecords)) {
      return;
    }
  }
}
