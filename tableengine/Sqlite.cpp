#include "tableengine/Sqlite.h"

#include <sqlite3.h>

#include <utility>

#include "tableengine/WriteFaults.h"

namespace {

[[noreturn]] void FailWith(sqlite3* handle, int code)
{
  std::string message = handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(code);
  throw ESqliteError(code, std::move(message));
}

}  // namespace

bool ESqliteError::Damaged() const noexcept
{
  return Code() == SQLITE_CORRUPT || Code() == SQLITE_NOTADB;
}

TSqliteConnection::TSqliteConnection(const std::string& fileName)
{
  const int code = sqlite3_open_v2(fileName.c_str(), &FHandle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    // The handle carries the reason even when opening failed; it must be closed all the same.
    std::string message = FHandle != nullptr ? sqlite3_errmsg(FHandle) : sqlite3_errstr(code);
    Close();
    throw ESqliteError(code, "Cannot open \"" + fileName + "\": " + message);
  }
  sqlite3_extended_result_codes(FHandle, 1);
}

TSqliteConnection::~TSqliteConnection()
{
  Close();
}

TSqliteConnection::TSqliteConnection(TSqliteConnection&& other) noexcept
    : FHandle(std::exchange(other.FHandle, nullptr))
{
}

TSqliteConnection& TSqliteConnection::operator=(TSqliteConnection&& other) noexcept
{
  if (this != &other) {
    Close();
    FHandle = std::exchange(other.FHandle, nullptr);
  }
  return *this;
}

void TSqliteConnection::Close() noexcept
{
  if (FHandle != nullptr) {
    // v2 defers the close should a statement still be alive, instead of leaking the handle.
    sqlite3_close_v2(FHandle);
    FHandle = nullptr;
  }
}

void TSqliteConnection::Execute(const std::string& sql)
{
  if (sql == "COMMIT") {
    CountTableWrite();
  }
  char* error = nullptr;
  const int code = sqlite3_exec(FHandle, sql.c_str(), nullptr, nullptr, &error);
  if (code != SQLITE_OK) {
    std::string message = error != nullptr ? error : sqlite3_errstr(code);
    sqlite3_free(error);
    throw ESqliteError(code, std::move(message));
  }
}

std::int64_t TSqliteConnection::LastInsertRowId() const noexcept
{
  return sqlite3_last_insert_rowid(FHandle);
}

int TSqliteConnection::Changes() const noexcept
{
  return sqlite3_changes(FHandle);
}

bool TSqliteConnection::InTransaction() const noexcept
{
  return FHandle != nullptr && sqlite3_get_autocommit(FHandle) == 0;
}

void TSqliteConnection::Fail(int code) const
{
  FailWith(FHandle, code);
}

TSqliteStatement::TSqliteStatement(const TSqliteConnection& connection, std::string_view sql)
{
  const int code = sqlite3_prepare_v3(connection.Handle(), sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &FHandle, nullptr);
  if (code != SQLITE_OK) {
    connection.Fail(code);
  }
}

TSqliteStatement::~TSqliteStatement()
{
  sqlite3_finalize(FHandle);
}

TSqliteStatement::TSqliteStatement(TSqliteStatement&& other) noexcept
    : FHandle(std::exchange(other.FHandle, nullptr))
{
}

TSqliteStatement& TSqliteStatement::operator=(TSqliteStatement&& other) noexcept
{
  if (this != &other) {
    sqlite3_finalize(FHandle);
    FHandle = std::exchange(other.FHandle, nullptr);
  }
  return *this;
}

bool TSqliteStatement::Step()
{
  if (sqlite3_stmt_readonly(FHandle) == 0) {
    CountTableWrite();
  }
  const int code = sqlite3_step(FHandle);
  if (code == SQLITE_ROW) {
    return true;
  }
  if (code == SQLITE_DONE) {
    return false;
  }
  // Take the message before the reset, which may replace it.
  sqlite3* connection = sqlite3_db_handle(FHandle);
  std::string message = sqlite3_errmsg(connection);
  sqlite3_reset(FHandle);
  throw ESqliteError(code, std::move(message));
}

void TSqliteStatement::Reset() noexcept
{
  sqlite3_reset(FHandle);
}

void TSqliteStatement::Check(int code) const
{
  if (code != SQLITE_OK) {
    FailWith(sqlite3_db_handle(FHandle), code);
  }
}

void TSqliteStatement::BindInt(int index, std::int64_t value)
{
  Check(sqlite3_bind_int64(FHandle, index, value));
}

void TSqliteStatement::BindText(int index, std::string_view value)
{
  Check(sqlite3_bind_text64(FHandle, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void TSqliteStatement::BindTextStatic(int index, std::string_view value)
{
  Check(sqlite3_bind_text64(FHandle, index, value.data(), value.size(), SQLITE_STATIC, SQLITE_UTF8));
}

void TSqliteStatement::BindBlob(int index, std::span<const std::byte> value)
{
  // A null pointer would bind SQL NULL; an empty block must stay an (empty) block.
  static constexpr std::byte empty{};
  Check(sqlite3_bind_blob64(FHandle, index, value.empty() ? &empty : value.data(), value.size(),
                            SQLITE_TRANSIENT));
}

void TSqliteStatement::BindBlobStatic(int index, std::span<const std::byte> value)
{
  static constexpr std::byte empty{};
  Check(sqlite3_bind_blob64(FHandle, index, value.empty() ? &empty : value.data(), value.size(),
                            SQLITE_STATIC));
}

std::int64_t TSqliteStatement::ColumnInt(int column) const noexcept
{
  return sqlite3_column_int64(FHandle, column);
}

std::string_view TSqliteStatement::ColumnText(int column) const noexcept
{
  const auto* text = sqlite3_column_text(FHandle, column);
  const auto size = static_cast<std::size_t>(sqlite3_column_bytes(FHandle, column));
  return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text), size) : std::string_view();
}

std::span<const std::byte> TSqliteStatement::ColumnBlob(int column) const noexcept
{
  const void* data = sqlite3_column_blob(FHandle, column);
  const auto size = static_cast<std::size_t>(sqlite3_column_bytes(FHandle, column));
  return data != nullptr ? std::span<const std::byte>(static_cast<const std::byte*>(data), size)
                         : std::span<const std::byte>();
}
