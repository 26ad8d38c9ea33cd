#pragma once
// The floor of the library benchmarks: the library's own file opened with SQLite itself, with
// the engine's collation for case-insensitive texts, and statements kept for the whole run.

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/AnsiText.h"

inline int CompareAnsi(void*, int n1, const void* s1, int n2, const void* s2)
{
  return AnsiCompareText(std::string_view(static_cast<const char*>(s1), static_cast<std::size_t>(n1)),
                         std::string_view(static_cast<const char*>(s2), static_cast<std::size_t>(n2)));
}

class TPlain {
 public:
  explicit TPlain(const std::string& fileName)
  {
    if (sqlite3_open_v2(fileName.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
      throw std::runtime_error("cannot open " + fileName);
    }
    sqlite3_create_collation_v2(FDb, "ANSITEXT", SQLITE_UTF8, nullptr, &CompareAnsi, nullptr);
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-8192;");
  }
  ~TPlain()
  {
    for (sqlite3_stmt* statement : FStatements) {
      sqlite3_finalize(statement);
    }
    sqlite3_close_v2(FDb);
  }
  TPlain(const TPlain&) = delete;
  TPlain& operator=(const TPlain&) = delete;

  void Exec(const char* sql) { sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr); }
  sqlite3_stmt* Prepare(const std::string& sql)
  {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(FDb, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(FDb));
    }
    FStatements.push_back(statement);
    return statement;
  }
  sqlite3* Db() const { return FDb; }

 private:
  sqlite3* FDb = nullptr;
  std::vector<sqlite3_stmt*> FStatements;
};
