#include "rtl/FileStream.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/LastError.h"
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
    FHandle = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE) {
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + SysErrorMessage(GetLastError()));
    }
    return;
  }
  FHandle = CreateFileA(fileName.c_str(), AccessOf(mode), ShareModeOf(mode), nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE) {
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + SysErrorMessage(GetLastError()));
  }
}

TFileStream::~TFileStream()
{
  if (FHandle != INVALID_HANDLE_VALUE) {
    CloseHandle(FHandle);
  }
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count)
{
  std::int64_t done = 0;
  while (done < count) {
    const auto chunk = static_cast<DWORD>(std::min<std::int64_t>(count - done, 0x40000000));
    DWORD got = 0;
    if (!ReadFile(FHandle, static_cast<char*>(buffer) + done, chunk, &got, nullptr) || got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count)
{
  std::int64_t done = 0;
  while (done < count) {
    const auto chunk = static_cast<DWORD>(std::min<std::int64_t>(count - done, 0x40000000));
    DWORD put = 0;
    const BOOL ok = WriteFile(FHandle, static_cast<const char*>(buffer) + done, chunk, &put, nullptr);
    done += put;
    if (!ok || put == 0) {
      break;
    }
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
  DWORD method = FILE_BEGIN;
  if (origin == TSeekOrigin::soCurrent) {
    method = FILE_CURRENT;
  } else if (origin == TSeekOrigin::soEnd) {
    method = FILE_END;
  }
  LONGLONG position = 0;
  return SetFilePointerEx(FHandle, offset, &position, method) ? position : -1;
}

void TFileStream::SetSize(std::int64_t newSize)
{
  const std::int64_t position = Position();
  if (Seek(newSize, TSeekOrigin::soBeginning) != newSize || !SetEndOfFile(FHandle)) {
    throw EWriteError("Stream write error");
  }
  Seek(std::min(position, newSize), TSeekOrigin::soBeginning);
}

std::int64_t TFileStream::Size()
{
  LONGLONG size = 0;
  return GetFileSizeEx(FHandle, &size) ? size : TStream::Size();
}

void TFileStream::Flush()
{
  if (!FlushFileBuffers(FHandle)) {
    throw EWriteError("Stream write error");
  }
}
