#pragma once
// Move-only owners of an SQLite connection and a prepared statement: the engine's only contact
// with SQLite. Every failure raises ESqliteError with SQLite's message. The library above never
// includes this header; it speaks to TDatabase and TTable.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tableengine/DbError.h"

struct sqlite3;
struct sqlite3_stmt;

class TSqliteConnection {
 public:
  TSqliteConnection() = default;
  // Opens the database file, creating it when missing. Raises ESqliteError.
  explicit TSqliteConnection(const std::string& fileName);
  ~TSqliteConnection();
  TSqliteConnection(TSqliteConnection&& other) noexcept;
  TSqliteConnection& operator=(TSqliteConnection&& other) noexcept;
  TSqliteConnection(const TSqliteConnection&) = delete;
  TSqliteConnection& operator=(const TSqliteConnection&) = delete;

  explicit operator bool() const noexcept { return FHandle != nullptr; }
  sqlite3* Handle() const noexcept { return FHandle; }

  // Runs one or more statements that return no rows the caller wants.
  void Execute(const std::string& sql);
  std::int64_t LastInsertRowId() const noexcept;
  // Rows changed by the last INSERT, UPDATE or DELETE.
  int Changes() const noexcept;
  // Whether the connection is inside an explicit transaction.
  bool InTransaction() const noexcept;
  // Closes the connection; statements must have been finalized. Never throws.
  void Close() noexcept;

  // Raises ESqliteError with the connection's current message for code.
  [[noreturn]] void Fail(int code) const;

 private:
  sqlite3* FHandle = nullptr;
};

class TSqliteStatement {
 public:
  TSqliteStatement() = default;
  // Prepares sql for repeated use. Raises ESqliteError when it does not compile.
  TSqliteStatement(const TSqliteConnection& connection, std::string_view sql);
  ~TSqliteStatement();
  TSqliteStatement(TSqliteStatement&& other) noexcept;
  TSqliteStatement& operator=(TSqliteStatement&& other) noexcept;
  TSqliteStatement(const TSqliteStatement&) = delete;
  TSqliteStatement& operator=(const TSqliteStatement&) = delete;

  explicit operator bool() const noexcept { return FHandle != nullptr; }

  // True when a row is ready, false when the statement has finished. A failure resets the
  // statement and raises ESqliteError.
  bool Step();
  // Makes the statement ready to run again; its bindings stay.
  void Reset() noexcept;

  // Parameters count from 1. BindText and BindBlob copy the value; the *Static forms do not,
  // and the caller keeps the value alive until the statement is reset.
  void BindInt(int index, std::int64_t value);
  void BindText(int index, std::string_view value);
  void BindTextStatic(int index, std::string_view value);
  void BindBlob(int index, std::span<const std::byte> value);
  void BindBlobStatic(int index, std::span<const std::byte> value);

  // Columns count from 0 and are valid until the next Step or Reset.
  std::int64_t ColumnInt(int column) const noexcept;
  std::string_view ColumnText(int column) const noexcept;
  std::span<const std::byte> ColumnBlob(int column) const noexcept;

 private:
  void Check(int code) const;

  sqlite3_stmt* FHandle = nullptr;
};
