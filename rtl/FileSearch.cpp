#include "rtl/FileSearch.h"

#include "platform/core/LastError.h"
#include "platform/files/Files.h"

namespace {

constexpr ULONGLONG kTicksPerHour = 3600ULL * 10'000'000ULL;

ULONGLONG TicksOf(const FILETIME& time) noexcept
{
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(ULONGLONG ticks) noexcept
{
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The local form of a file time. The files of one folder mostly share an hour, and asking the
// time-zone rules for every entry was most of a listing's own work, so the offset of the hour is
// kept for the search; an hour whose first and last second differ in offset (a change of clock
// inside it) is converted entry by entry.
void LocalFileTime(TSearchRec& record, const FILETIME& utc, FILETIME& local)
{
  const ULONGLONG ticks = TicksOf(utc);
  const ULONGLONG hour = ticks / kTicksPerHour;
  if (hour != record.LocalTime.Hour) {
    const FILETIME first = FileTimeOf(hour * kTicksPerHour);
    const FILETIME last = FileTimeOf(hour * kTicksPerHour + kTicksPerHour - 1);
    FILETIME firstLocal{};
    FILETIME lastLocal{};
    if (!FileTimeToLocalFileTime(&first, &firstLocal) || !FileTimeToLocalFileTime(&last, &lastLocal) ||
        TicksOf(firstLocal) - TicksOf(first) != TicksOf(lastLocal) - TicksOf(last)) {
      FileTimeToLocalFileTime(&utc, &local);
      return;
    }
    record.LocalTime = {hour, TicksOf(firstLocal) - TicksOf(first)};
  }
  local = FileTimeOf(ticks + record.LocalTime.Offset);
}

// The DOS date and time of a local file time (0 when it has none). Days of file time begin at
// midnight as DOS days do, so the date is made once a day and the time is the rest.
std::int32_t DosTimeOf(TSearchRec& record, const FILETIME& local)
{
  constexpr ULONGLONG kTicksPerDay = 24 * kTicksPerHour;
  const ULONGLONG ticks = TicksOf(local);
  const ULONGLONG day = ticks / kTicksPerDay;
  if (day != record.LocalDay) {
    const FILETIME midnight = FileTimeOf(day * kTicksPerDay);
    WORD date = 0;
    WORD time = 0;
    record.LocalDay = day;
    record.LocalDayDate = FileTimeToDosDateTime(&midnight, &date, &time) ? date : -1;
  }
  if (record.LocalDayDate < 0) {
    return 0;
  }
  const ULONGLONG seconds = ticks % kTicksPerDay / 10'000'000ULL;
  const auto time =
      static_cast<std::uint32_t>(((seconds / 3600) << 11) | ((seconds / 60 % 60) << 5) | (seconds % 60 / 2));
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(record.LocalDayDate) << 16) | time);
}

int FindMatchingFile(TSearchRec& record)
{
  while ((record.FindData.dwFileAttributes & static_cast<DWORD>(record.ExcludeAttr)) != 0) {
    if (!FindNextFileA(record.FindHandle, &record.FindData)) {
      return static_cast<int>(GetLastError());
    }
  }
  FILETIME local{};
  LocalFileTime(record, record.FindData.ftLastWriteTime, local);
  record.Time = DosTimeOf(record, local);
  record.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(record.FindData.nFileSizeHigh) << 32) |
                                          record.FindData.nFileSizeLow);
  record.Attr = static_cast<int>(record.FindData.dwFileAttributes);
  record.Name = record.FindData.cFileName;
  return 0;
}

}  // namespace

int FindFirst(const std::string& path, int attr, TSearchRec& record)
{
  return FindFirst(path, attr, record, TLocalHour{});
}

int FindFirst(const std::string& path, int attr, TSearchRec& record, const TLocalHour& known)
{
  record.LocalTime = known;
  record.LocalDay = ~0ULL;
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
