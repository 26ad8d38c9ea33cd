#pragma once
// The carrier of window messages between processes. Internal to the platform layer.
//
// Every process that has windows, or waits for answers from other processes, owns a number
// from 1 to 0xFFFE: the name of its Unix-domain datagram socket in the abstract namespace
// ("oxa-msg-<uid>-<number>"). Binding the name is what claims the number, and the name goes
// with the process, crash included, so a dead process's number simply stops answering
// (ECONNREFUSED) and no file is left behind. Window handles carry the number, which makes
// them meaningful in every process. Only datagrams from processes of the same user are taken.
//
// One record per datagram, fixed size, little-endian; a reader thread decodes every record and
// hands it to the receiver installed with Start.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <thread>

#include "platform/core/WinTypes.h"
#include "platform/files/FileDescriptor.h"

enum class TRecordKind : std::uint32_t {
  Post = 1,   // a posted message
  Send = 2,   // a sent message; answered by a Reply with the same CallId
  Reply = 3,  // the answer to a Send or a Query
  Query = 4,  // does the window exist, whose is it, is its thread hung
  Ping = 5,   // does the process still exist (never answered)
};

// How a Send or Query went, in a Reply.
enum class TReplyStatus : std::uint32_t {
  Handled = 0,        // Result holds the window procedure's result
  InvalidWindow = 1,  // no such window
  Hung = 2,           // refused: the owning thread is hung (SMTO_ABORTIFHUNG)
  ThreadEnded = 3,    // the owning thread ended before handling it
  WindowFound = 4,    // Query: WParam = thread id, Result = process id, Flags = 1 when hung
};

// In the Flags of a Send or Query: answer to the sending thread's own socket.
constexpr std::uint32_t ReplyToQueueFlag = 0x40000000;

struct TMessageRecord {
  TRecordKind Kind = TRecordKind::Post;
  std::uint32_t Window = 0;  // the 32-bit window handle
  std::uint32_t Message = 0;
  std::uint32_t Flags = 0;  // SMTO_* of a Send
  std::uint64_t WParam = 0;
  std::int64_t LParam = 0;
  std::int64_t Result = 0;
  std::uint32_t SenderProcess = 0;  // the sender's transport number, for the Reply
  std::uint32_t SenderQueue = 0;    // the sending thread's queue, for the Reply
  std::uint64_t CallId = 0;
  TReplyStatus Status = TReplyStatus::Handled;
  std::uint32_t Time = 0;
};

constexpr std::size_t MessageRecordSize = 72;
using TRecordBytes = std::array<std::byte, MessageRecordSize>;

TRecordBytes EncodeMessageRecord(const TMessageRecord& record) noexcept;
// The record in bytes, or nothing when they are not exactly one well-formed record.
std::optional<TMessageRecord> DecodeMessageRecord(std::span<const std::byte> bytes) noexcept;

// This process's socket: bound on first use, read by a thread of its own.
class TMessageTransport {
 public:
  using TReceiver = std::function<void(const TMessageRecord&)>;

  // The process's transport, started with receiver on first call; null when no number could
  // be claimed (the last error is set).
  static TMessageTransport* Instance(const TReceiver& receiver);
  // The started transport, or null when none was started yet.
  static TMessageTransport* Existing() noexcept;

  std::uint32_t Number() const noexcept { return FNumber; }
  // Sends to process number; false with ERROR_INVALID_WINDOW_HANDLE when that process is gone,
  // ERROR_NOT_ENOUGH_QUOTA when it does not take records for a second.
  bool Send(std::uint32_t number, const TMessageRecord& record) const;
  // Sends straight to the socket of thread queue queueId of process number (see
  // OpenQueueSocket); false when there is none.
  bool SendToQueue(std::uint32_t number, std::uint32_t queueId, const TMessageRecord& record) const;

  // A thread's own socket, through which answers and sends for its windows reach it without
  // the reader thread: bound under this process's number and queueId; none on failure.
  TFileDescriptor OpenQueueSocket(std::uint32_t queueId) const;
  // Hands every record waiting on socket (never blocking) to receiver.
  static void ReceiveWaiting(int socket, const TReceiver& receiver);

  TMessageTransport(const TMessageTransport&) = delete;
  TMessageTransport& operator=(const TMessageTransport&) = delete;
  ~TMessageTransport();

  // Built by Instance.
  TMessageTransport(TFileDescriptor socket, std::uint32_t number, TReceiver receiver);

 private:
  void ReadLoop();

  TFileDescriptor FSocket;
  TFileDescriptor FStopEvent;
  std::uint32_t FNumber;
  TReceiver FReceiver;
  std::thread FReader;
};
