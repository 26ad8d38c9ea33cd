#pragma once
// TMusicStringList: a string list whose entries may carry a nested list or a single string item,
// with its own binary stream format, a safe save and a lock file shared between processes.
// TMusicStringOptions: named lists (keys with their nested lists of values) kept in one such
// file, each load and store taking the lock for its own duration.
//
// Stream format (integers 32-bit little-endian): the count of entries, then per entry a kind
// byte "N" (no object), "S" (an item follows) or "L" (a nested list follows), the string's byte
// length and bytes, then for "S" the item's string as length and bytes, for "L" the nested list
// in this same format.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/core/Handles.h"
#include "rtl/Stream.h"
#include "rtl/StringList.h"

class TMusicStringReader;

// One string carried by an entry.
class TMusicStringItem : public TObject {
 public:
  TMusicStringItem() = default;
  explicit TMusicStringItem(std::string value) : Value(std::move(value)) {}

  std::string Value;
};

// The lock file's retry schedule: attempt n waits n * LockRetryStepMs before the next.
constexpr int LockAttempts = 128;
constexpr unsigned LockRetryStepMs = 50;

// Nested lists deeper than this are refused as an invalid stream, so a crafted file cannot
// exhaust the stack.
constexpr int MaxMusicStringListDepth = 64;
// A list file larger than this is refused as an invalid stream: it is read whole into memory.
constexpr std::int64_t MaxMusicStringFileSize = 64 * 1024 * 1024;

class TMusicStringList : public TStringList {
 public:
  TMusicStringList();
  ~TMusicStringList() override;
  TMusicStringList(const TMusicStringList&) = delete;
  TMusicStringList& operator=(const TMusicStringList&) = delete;

  // Empties this list and copies every entry of source: nested lists deeply, items as new
  // items, other objects not at all. Assigning the list to itself changes nothing.
  void Assign(const TStringList& source);

  // The nested list or the item of an entry, or null when it has the other kind or none.
  TMusicStringList* List(int index) const;
  TMusicStringItem* Item(int index) const;

  void SaveToStream(TStream& stream) const;
  // Empties the list, then reads the format. A bad kind byte, or a count or length larger than
  // what the stream holds, raises EReadError "TMusicStringList.LoadFromStream: Invalid stream".
  void LoadFromStream(TStream& stream);

  // Reads the file; on any failure the list is left empty and the error propagates.
  void LoadFromFile(const std::string& fileName);
  // The safe save: creates the file's folder when missing, writes fileName + ".tmp" and renames
  // it over the file in one step, so a crash leaves either the old or the new file. Raises on
  // failure, leaving the old file in place.
  void SaveToFile(const std::string& fileName) const;

  // Takes the cross-process lock of fileName (the file fileName + ".lck"). While another holds
  // it, retries after n * 50 ms on attempt n for 128 attempts; any other failure to open the
  // lock file (a missing folder, no access) ends at once with a trace line naming the error.
  // False when it could not be taken. A lock file left by a process that died is taken over at
  // once. Raises EOxaFatal
  // "TMusicStringList.LockFile: A file is already locked" when this list holds a lock.
  bool LockFile(const std::string& fileName);
  // Releases the lock; raises EOxaFatal "TMusicStringList.UnLockFile: No file is locked" when
  // none is held.
  void UnLockFile();
  bool Locked() const noexcept { return FLock != nullptr; }
  const std::string& LockFileName() const noexcept { return FLockFileName; }

 private:
  void LoadLevel(TMusicStringReader& reader, int depth);

  class TLock;
  std::unique_ptr<TLock> FLock;
  std::string FLockFileName;
};

class TMusicStringOptions : public TObject {
 public:
  TMusicStringOptions();

  TMusicStringList& Root() noexcept { return *FRoot; }

  // What Store did.
  enum class TStoreResult { Stored, Locked, Unreadable, WriteFailed };

  // Locks the file, reads it into Root (a missing or corrupt file reads as empty), unlocks it,
  // and keeps only the entries with a nested list. When the lock cannot be taken Root stays as
  // it is. A corrupt file is kept beside as fileName + ".corrupt" (KeptDamagedFile).
  void Load(const std::string& fileName);
  // The nested list of key (compared without regard to case), created empty when absent.
  TMusicStringList& Values(std::string_view key);
  // Merges the named keys of Root into the file under its lock: the file is read afresh, each
  // key's entry replaced by Root's, and the result safe-saved, so keys another process wrote
  // meanwhile are kept. A missing file is replaced; a corrupt one is kept beside as fileName +
  // ".corrupt" first. Does nothing when the lock cannot be taken or an existing file cannot be
  // read (its other keys would be lost). The keys move out of Root. StoreError tells the
  // system's reason of a failure.
  TStoreResult Store(const std::string& fileName, std::span<const std::string> keys);

  // The name the last Load or Store kept a damaged file under; empty when it found none.
  const std::string& KeptDamagedFile() const noexcept { return FKeptDamagedFile; }
  const std::string& StoreError() const noexcept { return FStoreError; }

 private:
  // Moves the damaged file aside, so what replaces it does not take the user's only copy.
  void KeepDamaged(const std::string& fileName);

  std::unique_ptr<TMusicStringList> FRoot;
  std::string FKeptDamagedFile;
  std::string FStoreError;
};
