#pragma once
// A stream over a file (a Windows or host path), opened with the runtime's mode and share flags;
// the share flags hold against every other handle of the file, in any process.

#include <cstdint>
#include <string>

#include "platform/core/HandleOwner.h"
#include "platform/core/Handles.h"
#include "rtl/Stream.h"

// Open modes (low nibble) and share modes (high nibble), combined with "|".
constexpr std::uint16_t fmOpenRead = 0x0000;
constexpr std::uint16_t fmOpenWrite = 0x0001;
constexpr std::uint16_t fmOpenReadWrite = 0x0002;
constexpr std::uint16_t fmShareCompat = 0x0000;
constexpr std::uint16_t fmShareExclusive = 0x0010;
constexpr std::uint16_t fmShareDenyWrite = 0x0020;
constexpr std::uint16_t fmShareDenyRead = 0x0030;
constexpr std::uint16_t fmShareDenyNone = 0x0040;
// Creates the file (or empties an existing one) and opens it for reading and writing.
constexpr std::uint16_t fmCreate = 0xFF00;

class TFileStream : public TStream {
 public:
  // Raises EFOpenError ("Cannot open file \"%s\". %s") or, with fmCreate, EFCreateError
  // ("Cannot create file \"%s\". %s") with the system's reason.
  TFileStream(const std::string& fileName, std::uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t newSize) override;
  // The file's size from the system, without moving the position.
  std::int64_t Size() override;

  const std::string& FileName() const noexcept { return FFileName; }
  // Forces written data to the disk; raises EWriteError when the system refuses.
  void Flush();

 private:
  // Moves the handle to FPosition when a seek left it elsewhere; false when the system refuses.
  bool Settle();

  std::string FFileName;
  THandleOwner FHandle;
  // Seeks only note the position: a read then reads there without moving the handle, a write or
  // resize first moves the handle, so the readers' many look-ups and back-steps cost no calls.
  // -1: not known, ask the handle.
  std::int64_t FPosition = 0;
  std::int64_t FHandlePosition = 0;
};
