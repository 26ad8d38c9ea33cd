#pragma once
// The table engine's exceptions. EDatabaseError reports misuse of a database or table object
// (a table that is not open, a field that does not exist, a value of the wrong type) and
// definitions that cannot be created; ESqliteError is a failure of the storage underneath, with
// the storage's own message and result code.

#include <string>

#include "rtl/Exception.h"

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

class ESqliteError : public EDatabaseError {
 public:
  ESqliteError(int code, std::string message) : EDatabaseError(std::move(message)), FCode(code) {}

  // The primary SQLite result code (SQLITE_BUSY, SQLITE_CONSTRAINT, ...), extended bits removed.
  int Code() const noexcept { return FCode & 0xFF; }
  // The file is damaged or no database at all (as opposed to a storage that refuses now: no
  // space, no access, a lock, an I/O error).
  bool Damaged() const noexcept;

 private:
  int FCode;
};
