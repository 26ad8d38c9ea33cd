#include "tableengine/Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "rtl/AnsiText.h"
#include "rtl/Strings.h"
#include "tableengine/Table.h"

namespace {

constexpr const char* CollationName = "ANSITEXT";
constexpr int BusyTimeoutMs = 5000;

// SQLite calls this from inside its B-tree code, where an exception must not pass.
int CompareAnsiText(void*, int size1, const void* text1, int size2, const void* text2) noexcept
{
  const std::string_view a(static_cast<const char*>(text1), static_cast<std::size_t>(size1));
  const std::string_view b(static_cast<const char*>(text2), static_cast<std::size_t>(size2));
  try {
    return AnsiCompareText(a, b);
  } catch (...) {
    return a.compare(b);
  }
}

}  // namespace

TDatabase::TDatabase(TComponent* owner) : TComponent(owner) {}

TDatabase::~TDatabase()
{
  Disconnect();
  for (TTable* table : FTables) {
    table->FDatabase = nullptr;
  }
}

void TDatabase::SetDatabaseName(std::string name)
{
  if (Connected()) {
    throw EDatabaseError("Cannot change the name of a connected database");
  }
  FDatabaseName = std::move(name);
}

void TDatabase::SetDirectory(std::string directory)
{
  if (Connected()) {
    throw EDatabaseError("Cannot change the directory of a connected database");
  }
  FDirectory = std::move(directory);
}

std::string TDatabase::FileName() const
{
  std::string fileName = FDirectory;
  if (!fileName.empty() && fileName.back() != '\\' && fileName.back() != '/') {
    fileName += '/';
  }
  return fileName + FDatabaseName + ".DAT";
}

void TDatabase::Connect()
{
  if (Connected()) {
    return;
  }
  if (FDatabaseName.empty()) {
    throw EDatabaseError("Cannot connect a database without a name");
  }
  TSqliteConnection connection(FileName());
  if (sqlite3_create_collation_v2(connection.Handle(), CollationName, SQLITE_UTF8, nullptr, &CompareAnsiText,
                                  nullptr) != SQLITE_OK) {
    connection.Fail(sqlite3_errcode(connection.Handle()));
  }
  sqlite3_busy_timeout(connection.Handle(), BusyTimeoutMs);
  // A crash costs at most the last transactions, never consistency; the library is rebuilt
  // after a crash anyway. The first statement also proves the file is a database.
  connection.Execute(
      "PRAGMA journal_mode=WAL;"
      "PRAGMA synchronous=NORMAL;"
      "PRAGMA cache_size=-8192;");
  FConnection = std::move(connection);
}

void TDatabase::Disconnect() noexcept
{
  if (!Connected()) {
    return;
  }
  for (TTable* table : FTables) {
    table->Close();
  }
  if (FConnection.InTransaction()) {
    try {
      FConnection.Execute("ROLLBACK");
    } catch (const EDatabaseError&) {
      // Closing the connection rolls back all the same.
    }
  }
  FConnection.Close();
}

void TDatabase::CheckConnected(std::string_view operation) const
{
  if (!Connected()) {
    throw EDatabaseError(std::string(operation) + ": database " + FDatabaseName + " is not connected");
  }
}

void TDatabase::StartTransaction()
{
  CheckConnected("StartTransaction");
  if (InTransaction()) {
    throw EDatabaseError("StartTransaction: a transaction is already active");
  }
  // Immediate: the write lock is taken now, so a later write cannot fail halfway for a lock.
  FConnection.Execute("BEGIN IMMEDIATE");
}

void TDatabase::Commit()
{
  CheckConnected("Commit");
  if (!InTransaction()) {
    throw EDatabaseError("Commit: no transaction is active");
  }
  ResetAllWalks();
  FConnection.Execute("COMMIT");
}

void TDatabase::Rollback()
{
  CheckConnected("Rollback");
  if (!InTransaction()) {
    throw EDatabaseError("Rollback: no transaction is active");
  }
  ResetAllWalks();
  FConnection.Execute("ROLLBACK");
}

bool TDatabase::TableExists(std::string_view tableName)
{
  CheckConnected("TableExists");
  TSqliteStatement statement(FConnection, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1");
  statement.BindText(1, tableName);
  return statement.Step();
}

std::vector<std::string> TDatabase::CheckIntegrity()
{
  CheckConnected("CheckIntegrity");
  ResetAllWalks();
  TSqliteStatement statement(FConnection, "PRAGMA integrity_check(100)");
  std::vector<std::string> problems;
  while (statement.Step()) {
    const std::string_view line = statement.ColumnText(0);
    if (line != "ok") {
      problems.emplace_back(line);
    }
  }
  return problems;
}

void TDatabase::Attach(TTable& table)
{
  FTables.push_back(&table);
}

void TDatabase::Detach(TTable& table) noexcept
{
  std::erase(FTables, &table);
}

void TDatabase::BeforeWrite(std::string_view tableName) noexcept
{
  for (TTable* table : FTables) {
    if (table->FWalk != nullptr && SameText(table->FTableName, tableName)) {
      table->ResetWalk();
    }
  }
}

void TDatabase::ResetAllWalks() noexcept
{
  for (TTable* table : FTables) {
    table->ResetWalk();
  }
}
