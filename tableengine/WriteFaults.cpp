#include "tableengine/WriteFaults.h"

#include <sqlite3.h>

#include <atomic>

#include "tableengine/DbError.h"

namespace {

// Shared by every thread of the process: armed by a test, read by every write.
std::atomic<std::uint32_t> failAt{0};
std::atomic<std::uint32_t> counted{0};

}  // namespace

void FailNthTableWrite(std::uint32_t n) noexcept
{
  counted = 0;
  failAt = n;
}

std::uint32_t CountedTableWrites() noexcept
{
  return counted;
}

void CountTableWrite()
{
  const std::uint32_t target = failAt.load(std::memory_order_relaxed);
  const std::uint32_t number = counted.fetch_add(1, std::memory_order_relaxed) + 1;
  if (target != 0 && number == target) {
    failAt = 0;
    throw ESqliteError(SQLITE_IOERR_WRITE, sqlite3_errstr(SQLITE_IOERR_WRITE));
  }
}
