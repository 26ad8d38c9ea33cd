#pragma once
// Directory search records over FindFirstFileA: FindFirst, FindNext and FindClose with the
// runtime's attribute-mask rule (a folder is returned only when faDirectory is asked for,
// hidden and system entries only when faHidden or faSysFile are; every other entry always).

#include <cstdint>
#include <string>

#include "platform/files/FindFiles.h"

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

// The local-time offset (in file-time ticks, modulo 2^64) of one hour of file times; Hour ~0:
// none yet.
struct TLocalHour {
  ULONGLONG Hour = ~0ULL;
  ULONGLONG Offset = 0;
};

struct TSearchRec {
  std::int32_t Time = 0;  // last write, local time, DOS date (high word) and time (low word)
  std::int64_t Size = 0;
  int Attr = 0;
  std::string Name;
  int ExcludeAttr = 0;
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA FindData{};  // the entry as the system gave it (the three file times)
  // The last hour converted, kept for the search.
  TLocalHour LocalTime;
  // The local day (in file-time days) of the last DOS date made, and that date (-1 when the day
  // has none: before 1980 or after 2107); ~0: none yet.
  ULONGLONG LocalDay = ~0ULL;
  std::int32_t LocalDayDate = -1;
};

// Starts a search; 0 with the first match in record, otherwise the Win32 error code (nothing to
// close then). A started search must end with FindClose.
int FindFirst(const std::string& path, int attr, TSearchRec& record);
// The same, starting from an hour an earlier search of one walk left in its record's LocalTime:
// the files of a tree share few hours, and asking the time-zone rules again in each folder was
// much of a small folder's listing.
int FindFirst(const std::string& path, int attr, TSearchRec& record, const TLocalHour& known);
// 0 with the next match, otherwise the Win32 error code (ERROR_NO_MORE_FILES at the end).
int FindNext(TSearchRec& record);
// Ends the search (again is harmless).
void FindClose(TSearchRec& record);
