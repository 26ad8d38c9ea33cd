#pragma once
// TTable: a cursor on one table of a TDatabase, with the definitions to create that table.
//
//   TTable files(database);
//   files.SetTableName("MusicFiles");
//   files.Open();                       // fields come from the stored table
//   files.SetIndexName("PathIndex");
//   if (files.FindKey(path)) { files.Edit(); files.FieldByName("Track").SetAsInteger(3); files.Post(); }
//   for (files.First(); !files.Eof(); files.Next()) { ... }
//
// Several TTable objects on the same table are independent cursors: each has its own active
// index, its own current record and its own prepared statements. A cursor keeps a copy of its
// current record; changes made through another cursor show when it moves or calls Edit. A walk
// (First or FindKey, then Next) steps one SQLite statement; after any write to the database it
// seeks on from its current record instead, so it sees the change.
//
// Field types: ftAutoInc (32-bit, assigned on Post of an insert, increasing from 1 and never
// reused, even after the record with the highest id was deleted; at most one per table, and it
// is the primary key), ftInteger (signed 32-bit), ftBoolean, ftString (Size is the declared
// length; longer texts are stored whole, never cut), ftBytes (a block of exactly Size bytes).
// No field is ever null: a new record starts as 0, false, "" and Size zero bytes.
//
// Indexes are on one field each. The primary index has the empty name and is unique; without an
// ixPrimary definition it is the AutoInc field, or insertion order. A cursor walks its active
// index in key order and, among equal keys, in insertion order; every step is one step of an
// SQLite index, so a walk never sorts.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/Component.h"
#include "tableengine/Sqlite.h"

class TDatabase;
class TTable;

enum class TFieldType { ftAutoInc, ftInteger, ftBoolean, ftString, ftBytes };

struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftInteger;
  int Size = 0;  // ftString: declared length; ftBytes: block length; else 0
};

// Index options, combined with "|".
using TIndexOptions = unsigned;
constexpr TIndexOptions ixPrimary = 1U << 0;
constexpr TIndexOptions ixUnique = 1U << 1;
// Texts compare and order with AnsiCompareText; only for ftString fields.
constexpr TIndexOptions ixCaseInsensitive = 1U << 2;

struct TIndexDef {
  std::string Name;  // empty for the primary index
  std::string Field;
  TIndexOptions Options = 0;
};

// One field of the open table's current record. Belongs to its table and lives from Open to
// Close. Getters read the cursor's current record; setters need the table in Edit or Insert
// state and raise EDatabaseError otherwise, or when the value does not suit the field's type.
class TField {
 public:
  TField(TTable& table, int index, TFieldDef def) : FTable(table), FIndex(index), FDef(std::move(def)) {}
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const noexcept { return FDef.Name; }
  TFieldType DataType() const noexcept { return FDef.DataType; }
  int Size() const noexcept { return FDef.Size; }

  // ftAutoInc, ftInteger, ftBoolean (0 or 1).
  std::int32_t AsInteger() const;
  void SetAsInteger(std::int32_t value);
  // ftBoolean, or a number that is not 0.
  bool AsBoolean() const;
  void SetAsBoolean(bool value);
  // Every type: numbers as decimal text, "True"/"False", the bytes of a block.
  std::string AsString() const;
  // ftString only.
  void SetAsString(std::string_view value);
  // ftBytes (and the bytes of a string). The view is valid until the record changes.
  std::span<const std::byte> AsBytes() const;
  // ftBytes only: a shorter block is padded with zero bytes; a longer one raises EDatabaseError.
  // The second form takes blocks kept as unsigned bytes (fingerprints).
  void SetAsBytes(std::span<const std::byte> value);
  void SetAsBytes(std::span<const std::uint8_t> value) { SetAsBytes(std::as_bytes(value)); }

 private:
  TTable& FTable;
  int FIndex;
  TFieldDef FDef;
};

enum class TTableState { dsInactive, dsBrowse, dsEdit, dsInsert };

class TTable : public TComponent {
 public:
  // The table registers with database, which must outlive it or disconnect it on destruction.
  explicit TTable(TDatabase& database, TComponent* owner = nullptr);
  ~TTable() override;

  TDatabase* Database() const noexcept { return FDatabase; }
  const std::string& TableName() const noexcept { return FTableName; }
  // Raises EDatabaseError while active.
  void SetTableName(std::string name);

  // The definitions CreateTable uses. Opening a table does not read or change them.
  std::vector<TFieldDef>& FieldDefs() noexcept { return FFieldDefs; }
  std::vector<TIndexDef>& IndexDefs() noexcept { return FIndexDefs; }
  // Creates the table and its indexes from the definitions, all or nothing. Raises
  // EDatabaseError while active, when not connected, when the table exists or the definitions
  // are inconsistent (duplicate names, an index on a missing field, an AutoInc that is not the
  // primary key, a case-insensitive index on a non-text field).
  void CreateTable();
  // Whether the table exists in the connected database.
  bool Exists() const;

  bool Active() const noexcept { return FState != TTableState::dsInactive; }
  // Opening reads the table's fields and indexes from the database, makes the fields, calls
  // DoAfterOpen and moves to the first record. Raises EDatabaseError when the database is not
  // connected, the table does not exist or was not made by this engine, or the active index
  // name is unknown. Closing cancels a pending Edit or Insert, calls DoBeforeClose and frees
  // the fields; it never throws.
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() noexcept;
  TTableState State() const noexcept { return FState; }

  // The active index; "" is the primary index. Names compare without regard to ASCII case.
  // May change while open: the cursor keeps its record and walks on in the new order. Raises
  // EDatabaseError for a name the open table does not have.
  const std::string& IndexName() const noexcept { return FIndexName; }
  void SetIndexName(std::string_view name);

  // Navigation. A pending Edit or Insert is posted first. Eof is true after First on an empty
  // table, after Next from the last record and after deleting the last record; the record
  // before stays readable then.
  void First();
  void Next();
  bool Eof() const noexcept { return FEof; }
  std::int32_t RecordCount();

  // Finds the first record (in the order of the active index) whose key equals value: a
  // case-insensitive index compares with AnsiCompareText. On success the cursor is on it and
  // Next walks on through the other matches and the rest of the index; on failure the cursor
  // stays where it was. Raises EDatabaseError when value does not suit the key's type.
  bool FindKey(std::int64_t value);
  bool FindKey(std::string_view value);
  bool FindKey(std::span<const std::byte> value);
  bool FindKey(std::span<const std::uint8_t> value) { return FindKey(std::as_bytes(value)); }

  // Edit re-reads the current record (it may have been changed through another cursor) and
  // raises EDatabaseError when there is none or it no longer exists. Insert starts a new record.
  // Post writes the changed fields (an edit) or the whole record (an insert, after which the
  // AutoInc field holds the new id and the cursor is on the new record); a failed Post (a
  // violated unique index) raises ESqliteError and keeps the state. Cancel drops the changes.
  // Delete removes the current record and moves to the record after it, or to Eof; in Insert
  // state it only cancels the new record.
  void Edit();
  void Insert();
  void Post();
  void Cancel() noexcept;
  void Delete();

  // Reads the given fields of every record in insertion order with one statement, without
  // loading records or moving the cursor (for bulk reads that need a few columns of each record).
  // row gets the statement with the fields' values as columns 0, 1, ... in the order given;
  // they are valid during the call only. Raises EDatabaseError when inactive.
  void ReadFields(std::span<const TField* const> fields,
                  const std::function<void(const TSqliteStatement&)>& row);

  int FieldCount() const noexcept { return static_cast<int>(FFields.size()); }
  TField& Fields(int index) const { return *FFields.at(static_cast<std::size_t>(index)); }
  // Names compare without regard to ASCII case. FieldByName raises EDatabaseError
  // ("Field 'X' not found") where FindField returns null.
  TField& FieldByName(std::string_view name) const;
  TField* FindField(std::string_view name) const noexcept;

 protected:
  // Right after the fields are made on Open, and just before they are freed on Close.
  virtual void DoAfterOpen() {}
  virtual void DoBeforeClose() {}

 private:
  friend class TDatabase;
  friend class TField;

  struct TValue {
    std::int64_t Integer = 0;
    std::string Data;  // text or bytes
  };
  struct TStoredIndex {
    std::string Name;
    int Field = -1;  // -1: insertion order (rowid)
    bool CaseInsensitive = false;
    bool RowIdKey = false;  // the key is the rowid itself (AutoInc primary or insertion order)
  };
  struct TIndexStatements {
    TSqliteStatement First;  // whole index
    TSqliteStatement Find;   // key = ?1
    TSqliteStatement Same;   // key = ?1 and rowid > ?2
    TSqliteStatement Later;  // key > ?1 (rowid > ?1 for a rowid key)
  };
  enum class TWalk { None, Open, Bounded };

  void CheckActive(std::string_view operation) const;
  void CheckBrowseMode();
  void CheckWritable(const TField& field) const;
  void ReadSchema();
  int FindIndex(std::string_view name) const noexcept;
  const TStoredIndex& ActiveIndex() const { return FIndexes[static_cast<std::size_t>(FActiveIndex)]; }
  TIndexStatements& Statements();
  std::string SelectList() const;
  std::string KeyExpression(const TStoredIndex& index) const;

  bool Start(TSqliteStatement& statement, TWalk walk);
  void LoadRecord(const TSqliteStatement& statement);
  void BindKey(TSqliteStatement& statement, int parameter, const TStoredIndex& index, const TValue& key);
  void MoveAfterCurrent();
  bool FindValue(const TValue& key, TFieldType keyType);
  void ResetWalk() noexcept;
  void WriteInsert();
  void WriteUpdate();
  void BindValue(TSqliteStatement& statement, int parameter, int field);
  bool Reread();

  TDatabase* FDatabase;
  std::string FTableName;
  std::string FIndexName;
  std::vector<TFieldDef> FFieldDefs;
  std::vector<TIndexDef> FIndexDefs;

  TTableState FState = TTableState::dsInactive;
  std::vector<TFieldDef> FStoredFields;
  std::vector<TStoredIndex> FIndexes;
  std::vector<std::unique_ptr<TField>> FFields;
  int FAutoIncField = -1;
  int FActiveIndex = 0;

  std::vector<TValue> FRecord;
  std::vector<TValue> FSavedRecord;  // the record before Edit or Insert, for Cancel
  std::int64_t FRowId = 0;
  std::int64_t FSavedRowId = 0;
  bool FHasRecord = false;
  bool FSavedHasRecord = false;
  bool FEof = true;
  std::uint64_t FModified = 0;  // one bit per field changed since Edit

  // Prepared statements, made on first use and freed on Close.
  std::vector<TIndexStatements> FIndexStatements;
  TSqliteStatement FInsert;
  TSqliteStatement FDelete;
  TSqliteStatement FCount;
  TSqliteStatement FByRowId;
  std::vector<std::pair<std::uint64_t, TSqliteStatement>> FUpdates;  // by changed-field mask
  TSqliteStatement* FWalk = nullptr;  // the statement the cursor is stepping, if any
  TWalk FWalkKind = TWalk::None;
};
