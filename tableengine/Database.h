#pragma once
// TDatabase: one named database of the table engine, kept as one SQLite file in a directory.
//
// The file is Directory + DatabaseName + ".DAT" ("C:\Library\MUSIC.DAT"), a Windows path that the
// platform layer maps to the host (platform/files/Paths.h). While connected, and
// after a crash, SQLite keeps companion files beside it: the same name followed by "-wal",
// "-shm" or "-journal". Whoever deletes the database deletes those too, or a new database of the
// same name would inherit their contents.
//
// Table objects (TTable) name the database they belong to when they are made and register with
// it; each is an independent cursor. Case-insensitive indexes order and compare their texts with
// AnsiCompareText (registered with SQLite as the collation "ANSITEXT"). That order follows the
// user's locale, so the engine records in a table of its own, "TableEngineInfo", the order its
// indexes were built in, and rebuilds them on Connect when the order in use differs.
//
// Not thread-safe: a database and its tables belong to one thread.

#include <string>
#include <string_view>
#include <vector>

#include "rtl/Component.h"
#include "tableengine/Sqlite.h"

class TTable;

class TDatabase : public TComponent {
 public:
  explicit TDatabase(TComponent* owner);
  // Disconnects; tables still registered are closed and forget the database.
  ~TDatabase() override;

  const std::string& DatabaseName() const noexcept { return FDatabaseName; }
  // Raises EDatabaseError while connected.
  void SetDatabaseName(std::string name);
  const std::string& Directory() const noexcept { return FDirectory; }
  // Raises EDatabaseError while connected. An empty directory means the current one.
  void SetDirectory(std::string directory);
  // The database file: Directory, a separator when Directory lacks one, DatabaseName, ".DAT".
  std::string FileName() const;

  bool Connected() const noexcept { return static_cast<bool>(FConnection); }
  // Opens the database file, creating an empty database when it is missing. Does nothing when
  // connected. Raises EDatabaseError without a database name or when the directory does not
  // exist, ESqliteError when the file cannot be opened or is not a database.
  void Connect();
  // Closes every open table of this database (they become inactive), ends an open transaction
  // by rolling it back, and closes the file. Does nothing when not connected. Never throws.
  void Disconnect() noexcept;

  // Transactions of the whole database; they do not nest. StartTransaction raises
  // EDatabaseError when one is active or the database is not connected; Commit and Rollback
  // raise EDatabaseError when none is active. A failed Commit leaves the transaction open.
  void StartTransaction();
  void Commit();
  void Rollback();
  bool InTransaction() const noexcept { return FConnection.InTransaction(); }

  // Whether a table of that name exists. Raises EDatabaseError when not connected.
  bool TableExists(std::string_view tableName);
  // SQLite's consistency check of the file and its indexes: empty when sound, else one line per
  // problem found (at most 100).
  std::vector<std::string> CheckIntegrity();

 private:
  friend class TTable;

  void CheckConnected(std::string_view operation) const;
  void Attach(TTable& table);
  void Detach(TTable& table) noexcept;
  // A table is about to change rows. Every walk stops and seeks on from its current record
  // when it next moves: it must not continue on rows read before the change, and no read is
  // left pending across a write, so SQLite can always checkpoint its log.
  void BeforeWrite() noexcept;
  void ResetAllWalks() noexcept;
  TSqliteConnection& Connection() { return FConnection; }

  std::string FDatabaseName;
  std::string FDirectory;
  TSqliteConnection FConnection;
  std::vector<TTable*> FTables;  // registered, not owned
};

// One transaction of a database for the length of a scope: started on construction, rolled back
// on leaving the scope unless Commit succeeded, so a failure halfway leaves the database as it
// was before. Raises what StartTransaction and Commit raise.
class TTransaction {
 public:
  explicit TTransaction(TDatabase& database);
  ~TTransaction();
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;

  void Commit();

 private:
  TDatabase& FDatabase;
  bool FDone = false;
};
