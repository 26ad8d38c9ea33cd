#include "tableengine/Database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/files/Paths.h"
#include "rtl/AnsiText.h"
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

// The order AnsiCompareText gives a set of texts whose order differs between locales (and
// between collation versions): an index built in one order cannot be searched in another.
std::string CollationSignature()
{
  std::vector<std::string> probes{
      "a",      "A", "\u00e4", "\u00e5", "\u00e6", "b",      "c",      "\u010d", "ch", "d",  "h",      "i",
      "\u0131", "l", "\u0142", "n",      "\u00f1", "o",      "\u00f6", "\u00f8", "s",  "ss", "\u00df", "u",
      "\u00fc", "v", "w",      "y",      "z",      "\u00fe", "1",      "-",      "_",  " "};
  std::stable_sort(probes.begin(), probes.end(),
                   [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  std::string signature;
  for (std::size_t i = 0; i < probes.size(); ++i) {
    if (i > 0) {
      signature += AnsiCompareText(probes[i - 1], probes[i]) == 0 ? "=" : "<";
    }
    signature += probes[i];
  }
  return signature;
}

// Rebuilds the case-insensitive indexes when the collation's order is not the one they were
// built in, and records the order in use.
void CheckCollation(TSqliteConnection& connection)
{
  connection.Execute("CREATE TABLE IF NOT EXISTS TableEngineInfo (Name TEXT PRIMARY KEY, Value TEXT)");
  const std::string signature = CollationSignature();
  TSqliteStatement read(connection, "SELECT Value FROM TableEngineInfo WHERE Name = 'Collation'");
  const bool known = read.Step();
  const bool same = known && read.ColumnText(0) == signature;
  read.Reset();
  if (same) {
    return;
  }
  if (known) {
    connection.Execute(std::string("REINDEX ") + CollationName);
  }
  TSqliteStatement write(connection,
                         "INSERT OR REPLACE INTO TableEngineInfo (Name, Value) VALUES ('Collation', ?1)");
  write.BindText(1, signature);
  write.Step();
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
    fileName += '\\';
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
  std::string hostFileName;
  if (!HostPathOf(FileName(), hostFileName)) {
    throw EDatabaseError("Cannot open \"" + FileName() + "\": no such folder (error " +
                         std::to_string(GetLastError()) + ")");
  }
  TSqliteConnection connection(hostFileName);
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
  CheckCollation(connection);
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

void TDatabase::BeforeWrite() noexcept
{
  ResetAllWalks();
}

void TDatabase::ResetAllWalks() noexcept
{
  for (TTable* table : FTables) {
    table->ResetWalk();
  }
}

TTransaction::TTransaction(TDatabase& database) : FDatabase(database)
{
  FDatabase.StartTransaction();
}

TTransaction::~TTransaction()
{
  if (FDone || !FDatabase.InTransaction()) {
    return;
  }
  try {
    FDatabase.Rollback();
  } catch (const std::exception&) {
    // SQLite undoes a transaction left open when the connection closes; nothing is lost.
  }
}

void TTransaction::Commit()
{
  FDatabase.Commit();
  FDone = true;
}
