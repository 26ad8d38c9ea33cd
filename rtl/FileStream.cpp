#include "rtl/FileStream.h"

#include <algorithm>

#include "platform/core/LastError.h"
#include "platform/files/Files.h"
#include "rtl/Exception.h"
#include "rtl/FileUtils.h"

namespace {

// The share nibble: compatibility and exclusive share nothing.
DWORD ShareModeOf(std::uint16_t mode)
{
  switch (mode & 0xF0) {
    case fmShareDenyWrite:
      return FILE_SHARE_READ;
    case fmShareDenyRead:
      return FILE_SHARE_WRITE;
    case fmShareDenyNone:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
      return 0;
  }
}

DWORD AccessOf(std::uint16_t mode)
{
  switch (mode & 0x0F) {
    case fmOpenWrite:
      return GENERIC_WRITE;
    case fmOpenReadWrite:
      return GENERIC_READ | GENERIC_WRITE;
    default:
      return GENERIC_READ;
  }
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, std::uint16_t mode) : FFileName(fileName)
{
  if (mode == fmCreate) {
    FHandle.Reset(CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FHandle.Valid()) {
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + SysErrorMessage(GetLastError()));
    }
    return;
  }
  FHandle.Reset(CreateFileA(fileName.c_str(), AccessOf(mode), ShareModeOf(mode), nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!FHandle.Valid()) {
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + SysErrorMessage(GetLastError()));
  }
}

TFileStream::~TFileStream() = default;

bool TFileStream::Settle()
{
  if (FPosition < 0 || FPosition == FHandlePosition) {
    return true;
  }
  if (!SetFilePointerEx(FHandle.Get(), FPosition, nullptr, FILE_BEGIN)) {
    FPosition = FHandlePosition = -1;
    return false;
  }
  FHandlePosition = FPosition;
  return true;
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
  // Where a seek left the handle behind, a positioned read replaces the seek.
  const bool positioned = FPosition >= 0 && FPosition != FHandlePosition;
  std::int64_t done = 0;
  bool failed = false;
  while (done < count) {
    const auto chunk = static_cast<DWORD>(std::min<std::int64_t>(count - done, 0x40000000));
    DWORD got = 0;
    char* into = static_cast<char*>(buffer) + done;
    const BOOL ok = positioned ? ReadFileAt(FHandle.Get(), into, chunk, &got, FPosition + done)
                               : ReadFile(FHandle.Get(), into, chunk, &got, nullptr);
    if (!ok) {
      failed = true;
      break;
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  if (failed && !positioned) {
    FPosition = FHandlePosition = -1;  // a failed read may have moved the handle
  } else if (FPosition >= 0) {
    FPosition += done;
    if (!positioned) {
      FHandlePosition = FPosition;
    }
  }
  return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
  if (!Settle()) {
    return 0;
  }
  std::int64_t done = 0;
  bool failed = false;
  while (done < count) {
    const auto chunk = static_cast<DWORD>(std::min<std::int64_t>(count - done, 0x40000000));
    DWORD put = 0;
    const BOOL ok = WriteFile(FHandle.Get(), static_cast<const char*>(buffer) + done, chunk, &put, nullptr);
    done += put;
    if (!ok || put == 0) {
      failed = !ok;
      break;
    }
  }
  if (failed) {
    FPosition = FHandlePosition = -1;
  } else if (FPosition >= 0) {
    FPosition += done;
    FHandlePosition = FPosition;
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) {
    if (FPosition < 0) {
      LONGLONG current = 0;
      if (!SetFilePointerEx(FHandle.Get(), 0, &current, FILE_CURRENT)) {
        return -1;
      }
      FPosition = FHandlePosition = current;
    }
    base = FPosition;
  } else if (origin == TSeekOrigin::soEnd) {
    LONGLONG size = 0;
    if (!GetFileSizeEx(FHandle.Get(), &size)) {
      return -1;
    }
    base = size;
  }
  const std::int64_t target = base + offset;
  if (target < 0) {
    // Let the system refuse it, so the last error says why.
    SetFilePointerEx(FHandle.Get(), target, nullptr, FILE_BEGIN);
    return -1;
  }
  FPosition = target;
  return target;
}

void TFileStream::SetSize(std::int64_t newSize)
{
  const std::int64_t position = Position();
  if (Seek(newSize, TSeekOrigin::soBeginning) != newSize || !Settle() || !SetEndOfFile(FHandle.Get())) {
    throw EWriteError("Stream write error");
  }
  Seek(std::min(position, newSize), TSeekOrigin::soBeginning);
}

std::int64_t TFileStream::Size()
{
  LONGLONG size = 0;
  return GetFileSizeEx(FHandle.Get(), &size) ? size : TStream::Size();
}

void TFileStream::Flush()
{
  if (!FlushFileBuffers(FHandle.Get())) {
    throw EWriteError("Stream write error");
  }
}
