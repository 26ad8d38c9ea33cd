#include "rtl/FileSearch.h"

#include "platform/Files.h"
#include "platform/LastError.h"

namespace {

int FindMatchingFile(TSearchRec& record)
{
  while ((record.FindData.dwFileAttributes & static_cast<DWORD>(record.ExcludeAttr)) != 0) {
    if (!FindNextFileA(record.FindHandle, &record.FindData)) {
      return static_cast<int>(GetLastError());
    }
  }
  FILETIME local{};
  WORD date = 0;
  WORD time = 0;
  FileTimeToLocalFileTime(&record.FindData.ftLastWriteTime, &local);
  if (FileTimeToDosDateTime(&local, &date, &time)) {
    record.Time = static_cast<std::int32_t>((static_cast<std::uint32_t>(date) << 16) | time);
  } else {
    record.Time = 0;
  }
  record.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(record.FindData.nFileSizeHigh) << 32) |
                                          record.FindData.nFileSizeLow);
  record.Attr = static_cast<int>(record.FindData.dwFileAttributes);
  record.Name = record.FindData.cFileName;
  return 0;
}

}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& record)
{
  record.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  record.FindHandle = FindFirstFileA(path.c_str(), &record.FindData);
  if (record.FindHandle == INVALID_HANDLE_VALUE) {
    return static_cast<int>(GetLastError());
  }
  const int result = FindMatchingFile(record);
  if (result != 0) {
    FindClose(record);
  }
  return result;
}

int FindNext(TSearchRec& record)
{
  if (!FindNextFileA(record.FindHandle, &record.FindData)) {
    return static_cast<int>(GetLastError());
  }
  return FindMatchingFile(record);
}

void FindClose(TSearchRec& record)
{
  if (record.FindHandle != INVALID_HANDLE_VALUE) {
    ::FindClose(record.FindHandle);
    record.FindHandle = INVALID_HANDLE_VALUE;
  }
}
