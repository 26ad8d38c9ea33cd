#include "tableengine/Table.h"

#include <charconv>
#include <cstring>

#include "rtl/Strings.h"
#include "tableengine/Database.h"

namespace {

constexpr std::string_view IndexSeparator = "$";
constexpr std::string_view CaseInsensitiveCollation = "ANSITEXT";
// Changed fields are tracked as bits of one 64-bit mask.
constexpr std::size_t MaxFields = 64;

std::string Quote(std::string_view name)
{
  std::string quoted = "\"";
  for (const char c : name) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  return quoted + '"';
}

bool IsNumeric(TFieldType type) noexcept
{
  return type == TFieldType::ftAutoInc || type == TFieldType::ftInteger || type == TFieldType::ftBoolean;
}

// The declared type names say the engine's type, so an open table knows its fields again.
std::string DeclaredType(const TFieldDef& def)
{
  switch (def.DataType) {
    case TFieldType::ftAutoInc:
      return "INTEGER PRIMARY KEY AUTOINCREMENT";
    case TFieldType::ftInteger:
      return "INT NOT NULL DEFAULT 0";
    case TFieldType::ftBoolean:
      return "BOOLEAN NOT NULL DEFAULT 0";
    case TFieldType::ftString:
      return "VARCHAR(" + std::to_string(def.Size) + ") NOT NULL DEFAULT ''";
    case TFieldType::ftBytes:
      return "BLOB(" + std::to_string(def.Size) + ") NOT NULL DEFAULT (zeroblob(" + std::to_string(def.Size) +
             "))";
  }
  return {};
}

bool ParseSized(std::string_view type, std::string_view prefix, int& size)
{
  if (type.size() <= prefix.size() + 1 || type.substr(0, prefix.size()) != prefix || type.back() != ')') {
    return false;
  }
  const std::string_view digits = type.substr(prefix.size(), type.size() - prefix.size() - 1);
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
  return error == std::errc() && end == digits.data() + digits.size() && size >= 0;
}

[[noreturn]] void FailCreate(const std::string& tableName, const std::string& why)
{
  throw EDatabaseError("CreateTable " + tableName + ": " + why);
}

std::span<const std::byte> AsByteSpan(const std::string& data) noexcept
{
  return {reinterpret_cast<const std::byte*>(data.data()), data.size()};
}

}  // namespace

// ---- TField ----

std::int32_t TField::AsInteger() const
{
  if (!IsNumeric(FDef.DataType)) {
    throw EDatabaseError("Field '" + FDef.Name + "' is not a number field");
  }
  return static_cast<std::int32_t>(FTable.FRecord[static_cast<std::size_t>(FIndex)].Integer);
}

void TField::SetAsInteger(std::int32_t value)
{
  FTable.CheckWritable(*this);
  if (FDef.DataType == TFieldType::ftBoolean) {
    SetAsBoolean(value != 0);
    return;
  }
  if (FDef.DataType != TFieldType::ftInteger) {
    throw EDatabaseError("Field '" + FDef.Name + "' is not an integer field");
  }
  FTable.FRecord[static_cast<std::size_t>(FIndex)].Integer = value;
  FTable.FModified |= 1ULL << FIndex;
}

bool TField::AsBoolean() const
{
  return AsInteger() != 0;
}

void TField::SetAsBoolean(bool value)
{
  FTable.CheckWritable(*this);
  if (FDef.DataType != TFieldType::ftBoolean) {
    throw EDatabaseError("Field '" + FDef.Name + "' is not a boolean field");
  }
  FTable.FRecord[static_cast<std::size_t>(FIndex)].Integer = value ? 1 : 0;
  FTable.FModified |= 1ULL << FIndex;
}

std::string TField::AsString() const
{
  const auto& value = FTable.FRecord[static_cast<std::size_t>(FIndex)];
  switch (FDef.DataType) {
    case TFieldType::ftString:
    case TFieldType::ftBytes:
      return value.Data;
    case TFieldType::ftBoolean:
      return value.Integer != 0 ? "True" : "False";
    case TFieldType::ftAutoInc:
    case TFieldType::ftInteger:
      break;
  }
  return std::to_string(value.Integer);
}

void TField::SetAsString(std::string_view value)
{
  FTable.CheckWritable(*this);
  if (FDef.DataType != TFieldType::ftString) {
    throw EDatabaseError("Field '" + FDef.Name + "' is not a text field");
  }
  FTable.FRecord[static_cast<std::size_t>(FIndex)].Data.assign(value);
  FTable.FModified |= 1ULL << FIndex;
}

std::span<const std::byte> TField::AsBytes() const
{
  if (FDef.DataType != TFieldType::ftBytes && FDef.DataType != TFieldType::ftString) {
    throw EDatabaseError("Field '" + FDef.Name + "' is not a bytes field");
  }
  return AsByteSpan(FTable.FRecord[static_cast<std::size_t>(FIndex)].Data);
}

void TField::SetAsBytes(std::span<const std::byte> value)
{
  FTable.CheckWritable(*this);
  if (FDef.DataType != TFieldType::ftBytes) {
    throw EDatabaseError("Field '" + FDef.Name + "' is not a bytes field");
  }
  const auto size = static_cast<std::size_t>(FDef.Size);
  if (value.size() > size) {
    throw EDatabaseError("Field '" + FDef.Name + "' holds " + std::to_string(size) + " bytes, not " +
                         std::to_string(value.size()));
  }
  auto& data = FTable.FRecord[static_cast<std::size_t>(FIndex)].Data;
  data.assign(reinterpret_cast<const char*>(value.data()), value.size());
  data.resize(size, '\0');
  FTable.FModified |= 1ULL << FIndex;
}

// ---- TTable: definitions and state ----

TTable::TTable(TDatabase& database, TComponent* owner) : TComponent(owner), FDatabase(&database)
{
  database.Attach(*this);
}

TTable::~TTable()
{
  Close();
  if (FDatabase != nullptr) {
    FDatabase->Detach(*this);
  }
}

void TTable::SetTableName(std::string name)
{
  if (Active()) {
    throw EDatabaseError("Cannot change the table name of the open table " + FTableName);
  }
  FTableName = std::move(name);
}

void TTable::CheckActive(std::string_view operation) const
{
  if (!Active()) {
    throw EDatabaseError(std::string(operation) + ": table " + FTableName + " is not open");
  }
}

bool TTable::Exists() const
{
  if (FDatabase == nullptr) {
    throw EDatabaseError("Table " + FTableName + " has no database");
  }
  return FDatabase->TableExists(FTableName);
}

void TTable::CreateTable()
{
  if (FDatabase == nullptr) {
    throw EDatabaseError("CreateTable: table " + FTableName + " has no database");
  }
  FDatabase->CheckConnected("CreateTable");
  const auto fail = [this](const std::string& why) { FailCreate(FTableName, why); };
  if (Active()) {
    fail("the table is open");
  }
  if (FTableName.empty()) {
    fail("no table name");
  }
  if (FFieldDefs.empty() || FFieldDefs.size() > MaxFields) {
    fail("a table has 1 to 64 fields");
  }
  const auto fieldOf = [this](std::string_view name) -> const TFieldDef* {
    for (const auto& def : FFieldDefs) {
      if (SameText(def.Name, name)) {
        return &def;
      }
    }
    return nullptr;
  };
  const TFieldDef* autoInc = nullptr;
  std::string columns;
  for (std::size_t i = 0; i < FFieldDefs.size(); ++i) {
    const auto& def = FFieldDefs[i];
    if (def.Name.empty() || fieldOf(def.Name) != &def) {
      fail("empty or duplicate field name '" + def.Name + "'");
    }
    if (def.DataType == TFieldType::ftAutoInc) {
      if (autoInc != nullptr) {
        fail("more than one AutoInc field");
      }
      autoInc = &def;
    }
    if ((def.DataType == TFieldType::ftBytes && def.Size <= 0) || def.Size < 0) {
      fail("field '" + def.Name + "' has no size");
    }
    columns += (i == 0 ? "" : ", ") + Quote(def.Name) + ' ' + DeclaredType(def);
  }

  std::string sql = "SAVEPOINT CreateTable; CREATE TABLE " + Quote(FTableName) + " (" + columns + ");";
  bool hasPrimary = false;
  for (std::size_t i = 0; i < FIndexDefs.size(); ++i) {
    const auto& index = FIndexDefs[i];
    const TFieldDef* field = fieldOf(index.Field);
    if (field == nullptr) {
      FailCreate(FTableName, "index '" + index.Name + "' is on the missing field '" + index.Field + "'");
    }
    const bool primary = (index.Options & ixPrimary) != 0;
    if (primary ? !index.Name.empty() || hasPrimary : index.Name.empty()) {
      fail("one primary index, with the empty name; every other index needs a name");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (SameText(FIndexDefs[j].Name, index.Name)) {
        fail("duplicate index name '" + index.Name + "'");
      }
    }
    if ((index.Options & ixCaseInsensitive) != 0 && field->DataType != TFieldType::ftString) {
      fail("case-insensitive index '" + index.Name + "' on a field that is not text");
    }
    if (primary) {
      hasPrimary = true;
      if (autoInc != nullptr && field != autoInc) {
        fail("the AutoInc field must be the primary key");
      }
      if (field == autoInc) {
        continue;  // the AutoInc field is SQLite's row id: it is its own index
      }
    }
    const bool unique = primary || (index.Options & ixUnique) != 0;
    sql += std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
           Quote(FTableName + std::string(IndexSeparator) + index.Name) + " ON " + Quote(FTableName) + " (" +
           Quote(field->Name) +
           ((index.Options & ixCaseInsensitive) != 0 ? " COLLATE " + std::string(CaseInsensitiveCollation)
                                                     : "") +
           ");";
  }
  sql += "RELEASE CreateTable;";

  if (FDatabase->TableExists(FTableName)) {
    fail("the table exists");
  }
  try {
    FDatabase->Connection().Execute(sql);
  } catch (const EDatabaseError&) {
    try {
      FDatabase->Connection().Execute("ROLLBACK TO CreateTable; RELEASE CreateTable;");
    } catch (const EDatabaseError&) {
      // The savepoint was never opened; nothing to undo.
    }
    throw;
  }
}

void TTable::ReadSchema()
{
  auto& connection = FDatabase->Connection();
  FStoredFields.clear();
  FIndexes.clear();
  FAutoIncField = -1;

  TSqliteStatement columns(connection, "SELECT name, type, pk FROM pragma_table_info(?1) ORDER BY cid");
  columns.BindText(1, FTableName);
  while (columns.Step()) {
    TFieldDef def;
    def.Name = columns.ColumnText(0);
    const std::string_view type = columns.ColumnText(1);
    if (type == "INTEGER" && columns.ColumnInt(2) == 1) {
      def.DataType = TFieldType::ftAutoInc;
      FAutoIncField = static_cast<int>(FStoredFields.size());
    } else if (type == "INT") {
      def.DataType = TFieldType::ftInteger;
    } else if (type == "BOOLEAN") {
      def.DataType = TFieldType::ftBoolean;
    } else if (ParseSized(type, "VARCHAR(", def.Size)) {
      def.DataType = TFieldType::ftString;
    } else if (ParseSized(type, "BLOB(", def.Size)) {
      def.DataType = TFieldType::ftBytes;
    } else {
      throw EDatabaseError("Table " + FTableName + ": field '" + def.Name + "' has the foreign type '" +
                           std::string(type) + "'");
    }
    FStoredFields.push_back(std::move(def));
  }
  if (FStoredFields.empty()) {
    throw EDatabaseError("Table " + FTableName + " does not exist");
  }
  if (FStoredFields.size() > MaxFields) {
    throw EDatabaseError("Table " + FTableName + " has more than 64 fields");
  }

  TStoredIndex primary;
  primary.Field = FAutoIncField;
  primary.RowIdKey = true;
  FIndexes.push_back(primary);

  const std::string prefix = FTableName + std::string(IndexSeparator);
  TSqliteStatement indexes(connection, "SELECT name FROM pragma_index_list(?1)");
  TSqliteStatement keys(connection,
                        "SELECT cid, coll FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno");
  indexes.BindText(1, FTableName);
  while (indexes.Step()) {
    const std::string_view sqlName = indexes.ColumnText(0);
    if (sqlName.substr(0, prefix.size()) != prefix) {
      continue;
    }
    TStoredIndex index;
    index.Name = sqlName.substr(prefix.size());
    keys.BindText(1, sqlName);
    if (keys.Step()) {
      index.Field = static_cast<int>(keys.ColumnInt(0));
      index.CaseInsensitive = SameText(keys.ColumnText(1), CaseInsensitiveCollation);
    }
    keys.Reset();
    if (index.Field < 0 || index.Field >= static_cast<int>(FStoredFields.size())) {
      throw EDatabaseError("Table " + FTableName + ": index '" + index.Name + "' is not on a field");
    }
    if (index.Name.empty()) {
      FIndexes.front() = std::move(index);
    } else {
      FIndexes.push_back(std::move(index));
    }
  }
}

int TTable::FindIndex(std::string_view name) const noexcept
{
  for (std::size_t i = 0; i < FIndexes.size(); ++i) {
    if (SameText(FIndexes[i].Name, name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void TTable::SetActive(bool active)
{
  if (active == Active()) {
    return;
  }
  if (!active) {
    Close();
    return;
  }
  if (FDatabase == nullptr) {
    throw EDatabaseError("Open: table " + FTableName + " has no database");
  }
  FDatabase->CheckConnected("Open " + FTableName);
  ReadSchema();
  const int activeIndex = FindIndex(FIndexName);
  if (activeIndex < 0) {
    throw EDatabaseError("Open: table " + FTableName + " has no index '" + FIndexName + "'");
  }
  FActiveIndex = activeIndex;
  FFields.clear();
  FRecord.assign(FStoredFields.size(), TValue());
  for (std::size_t i = 0; i < FStoredFields.size(); ++i) {
    FFields.push_back(std::make_unique<TField>(*this, static_cast<int>(i), FStoredFields[i]));
  }
  FIndexStatements.clear();
  FIndexStatements.resize(FIndexes.size());
  FState = TTableState::dsBrowse;
  try {
    DoAfterOpen();
    First();
  } catch (...) {
    Close();
    throw;
  }
}

void TTable::Close() noexcept
{
  if (!Active()) {
    return;
  }
  Cancel();
  try {
    DoBeforeClose();
  } catch (...) {
    // Closing must finish: the fields are freed below whatever the hook did.
  }
  ResetWalk();
  FIndexStatements.clear();
  FUpdates.clear();
  FInsert = TSqliteStatement();
  FDelete = TSqliteStatement();
  FCount = TSqliteStatement();
  FByRowId = TSqliteStatement();
  FFields.clear();
  FRecord.clear();
  FSavedRecord.clear();
  FHasRecord = false;
  FEof = true;
  FState = TTableState::dsInactive;
}

void TTable::SetIndexName(std::string_view name)
{
  if (!Active()) {
    FIndexName = name;
    return;
  }
  const int index = FindIndex(name);
  if (index < 0) {
    throw EDatabaseError("SetIndexName: table " + FTableName + " has no index '" + std::string(name) + "'");
  }
  CheckBrowseMode();
  ResetWalk();
  FActiveIndex = index;
  FIndexName = name;
}

TField* TTable::FindField(std::string_view name) const noexcept
{
  for (const auto& field : FFields) {
    if (SameText(field->FieldName(), name)) {
      return field.get();
    }
  }
  return nullptr;
}

TField& TTable::FieldByName(std::string_view name) const
{
  TField* field = FindField(name);
  if (field == nullptr) {
    throw EDatabaseError("Field '" + std::string(name) + "' not found");
  }
  return *field;
}

void TTable::CheckWritable(const TField& field) const
{
  if (FState != TTableState::dsEdit && FState != TTableState::dsInsert) {
    throw EDatabaseError("Field '" + field.FieldName() + "': table " + FTableName +
                         " is not in edit or insert mode");
  }
  if (field.DataType() == TFieldType::ftAutoInc) {
    throw EDatabaseError("Field '" + field.FieldName() + "' is assigned by the engine");
  }
}

void TTable::CheckBrowseMode()
{
  if (FState == TTableState::dsEdit || FState == TTableState::dsInsert) {
    Post();
  }
}

// ---- TTable: statements and walking ----

std::string TTable::SelectList() const
{
  std::string list;
  for (const auto& def : FStoredFields) {
    list += Quote(def.Name) + ", ";
  }
  return list + "rowid";
}

std::string TTable::KeyExpression(const TStoredIndex& index) const
{
  if (index.RowIdKey) {
    return "rowid";
  }
  std::string key = Quote(FStoredFields[static_cast<std::size_t>(index.Field)].Name);
  if (index.CaseInsensitive) {
    key += " COLLATE " + std::string(CaseInsensitiveCollation);
  }
  return key;
}

TTable::TIndexStatements& TTable::Statements()
{
  auto& statements = FIndexStatements[static_cast<std::size_t>(FActiveIndex)];
  if (!statements.First) {
    // Every statement is answered by a walk of the index itself (equal keys are kept in rowid
    // order inside an SQLite index), so none of them sorts.
    const auto& index = ActiveIndex();
    const std::string select = "SELECT " + SelectList() + " FROM " + Quote(FTableName);
    const std::string key = KeyExpression(index);
    auto& connection = FDatabase->Connection();
    if (index.RowIdKey) {
      statements.First = TSqliteStatement(connection, select + " ORDER BY rowid");
      statements.Find = TSqliteStatement(connection, select + " WHERE rowid = ?1");
      statements.Later = TSqliteStatement(connection, select + " WHERE rowid > ?1 ORDER BY rowid");
    } else {
      statements.First = TSqliteStatement(connection, select + " ORDER BY " + key + ", rowid");
      statements.Find = TSqliteStatement(connection, select + " WHERE " + key + " = ?1 ORDER BY rowid");
      statements.Same =
          TSqliteStatement(connection, select + " WHERE " + key + " = ?1 AND rowid > ?2 ORDER BY rowid");
      statements.Later =
          TSqliteStatement(connection, select + " WHERE " + key + " > ?1 ORDER BY " + key + ", rowid");
    }
  }
  return statements;
}

void TTable::ReadFields(std::span<const TField* const> fields,
                        const std::function<void(const TSqliteStatement&)>& row)
{
  CheckActive("ReadFields");
  std::string list;
  for (const TField* field : fields) {
    list += (list.empty() ? "" : ", ") + Quote(field->FieldName());
  }
  TSqliteStatement statement(FDatabase->Connection(), "SELECT " +
                                                          (list.empty() ? std::string("rowid") : list) +
                                                          " FROM " + Quote(FTableName) + " ORDER BY rowid");
  while (statement.Step()) {
    row(statement);
  }
}

void TTable::ResetWalk() noexcept
{
  if (FWalk != nullptr) {
    FWalk->Reset();
    FWalk = nullptr;
  }
  FWalkKind = TWalk::None;
}

void TTable::LoadRecord(const TSqliteStatement& statement)
{
  const int count = static_cast<int>(FStoredFields.size());
  for (int i = 0; i < count; ++i) {
    auto& value = FRecord[static_cast<std::size_t>(i)];
    switch (FStoredFields[static_cast<std::size_t>(i)].DataType) {
      case TFieldType::ftAutoInc:
      case TFieldType::ftInteger:
      case TFieldType::ftBoolean:
        value.Integer = statement.ColumnInt(i);
        break;
      case TFieldType::ftString:
        value.Data.assign(statement.ColumnText(i));
        break;
      case TFieldType::ftBytes: {
        const auto bytes = statement.ColumnBlob(i);
        value.Data.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        break;
      }
    }
  }
  FRowId = statement.ColumnInt(count);
}

bool TTable::Start(TSqliteStatement& statement, TWalk walk)
{
  bool found = false;
  try {
    found = statement.Step();
  } catch (...) {
    FWalk = nullptr;
    throw;
  }
  if (!found) {
    statement.Reset();
    return false;
  }
  LoadRecord(statement);
  FWalk = &statement;
  FWalkKind = walk;
  FHasRecord = true;
  FEof = false;
  return true;
}

void TTable::BindKey(TSqliteStatement& statement, int parameter, const TStoredIndex& index, const TValue& key)
{
  if (index.Field < 0) {
    statement.BindInt(parameter, key.Integer);
    return;
  }
  switch (FStoredFields[static_cast<std::size_t>(index.Field)].DataType) {
    case TFieldType::ftString:
      statement.BindText(parameter, key.Data);
      break;
    case TFieldType::ftBytes:
      statement.BindBlob(parameter, AsByteSpan(key.Data));
      break;
    default:
      statement.BindInt(parameter, key.Integer);
      break;
  }
}

void TTable::MoveAfterCurrent()
{
  ResetWalk();
  const auto& index = ActiveIndex();
  auto& statements = Statements();
  if (index.RowIdKey) {
    statements.Later.BindInt(1, FRowId);
  } else {
    const TValue& key = FRecord[static_cast<std::size_t>(index.Field)];
    statements.Same.BindInt(2, FRowId);
    BindKey(statements.Same, 1, index, key);
    if (Start(statements.Same, TWalk::Bounded)) {
      return;
    }
    BindKey(statements.Later, 1, index, key);
  }
  if (!Start(statements.Later, TWalk::Open)) {
    FEof = true;
  }
}

void TTable::First()
{
  CheckActive("First");
  CheckBrowseMode();
  ResetWalk();
  if (!Start(Statements().First, TWalk::Open)) {
    FHasRecord = false;
    FEof = true;
  }
}

void TTable::Next()
{
  CheckActive("Next");
  CheckBrowseMode();
  if (FEof) {
    return;
  }
  if (!FHasRecord) {
    FEof = true;
    return;
  }
  if (FWalk == nullptr) {
    MoveAfterCurrent();
    return;
  }
  bool found = false;
  try {
    found = FWalk->Step();
  } catch (...) {
    FWalk = nullptr;
    throw;
  }
  if (found) {
    LoadRecord(*FWalk);
    return;
  }
  const TWalk kind = FWalkKind;
  ResetWalk();
  if (kind == TWalk::Bounded) {
    MoveAfterCurrent();  // the last record with this key: carry on with the greater keys
  } else {
    FEof = true;
  }
}

std::int32_t TTable::RecordCount()
{
  CheckActive("RecordCount");
  if (!FCount) {
    FCount = TSqliteStatement(FDatabase->Connection(), "SELECT COUNT(*) FROM " + Quote(FTableName));
  }
  FCount.Step();
  const auto count = static_cast<std::int32_t>(FCount.ColumnInt(0));
  FCount.Reset();
  return count;
}

bool TTable::FindValue(const TValue& key, TFieldType keyType)
{
  CheckActive("FindKey");
  CheckBrowseMode();
  const auto& index = ActiveIndex();
  const TFieldType indexType = index.Field >= 0
                                   ? FStoredFields[static_cast<std::size_t>(index.Field)].DataType
                                   : TFieldType::ftInteger;
  const bool fits = keyType == indexType || (IsNumeric(keyType) && IsNumeric(indexType));
  if (!fits) {
    throw EDatabaseError("FindKey: the key of index '" + index.Name + "' of table " + FTableName +
                         " is of another type");
  }
  ResetWalk();
  auto& find = Statements().Find;
  BindKey(find, 1, index, key);
  return Start(find, TWalk::Bounded);
}

bool TTable::FindKey(std::int64_t value)
{
  TValue key;
  key.Integer = value;
  return FindValue(key, TFieldType::ftInteger);
}

bool TTable::FindKey(std::string_view value)
{
  TValue key;
  key.Data = value;
  return FindValue(key, TFieldType::ftString);
}

bool TTable::FindKey(std::span<const std::byte> value)
{
  TValue key;
  key.Data.assign(reinterpret_cast<const char*>(value.data()), value.size());
  return FindValue(key, TFieldType::ftBytes);
}

// ---- TTable: changing records ----

bool TTable::Reread()
{
  if (!FByRowId) {
    FByRowId = TSqliteStatement(FDatabase->Connection(), "SELECT " + SelectList() + " FROM " +
                                                             Quote(FTableName) + " WHERE rowid = ?1");
  }
  FByRowId.BindInt(1, FRowId);
  const bool found = FByRowId.Step();
  if (found) {
    LoadRecord(FByRowId);
  }
  FByRowId.Reset();
  return found;
}

void TTable::Edit()
{
  CheckActive("Edit");
  if (FState != TTableState::dsBrowse) {
    return;
  }
  if (!FHasRecord) {
    throw EDatabaseError("Edit: table " + FTableName + " has no current record");
  }
  if (!Reread()) {
    throw EDatabaseError("Edit: the current record of table " + FTableName + " has been deleted");
  }
  FSavedRecord = FRecord;
  FModified = 0;
  FState = TTableState::dsEdit;
}

void TTable::Insert()
{
  CheckActive("Insert");
  CheckBrowseMode();
  FSavedRecord = FRecord;
  FSavedRowId = FRowId;
  FSavedHasRecord = FHasRecord;
  for (std::size_t i = 0; i < FRecord.size(); ++i) {
    FRecord[i].Integer = 0;
    FRecord[i].Data.clear();
    if (FStoredFields[i].DataType == TFieldType::ftBytes) {
      FRecord[i].Data.resize(static_cast<std::size_t>(FStoredFields[i].Size), '\0');
    }
  }
  FModified = 0;
  FState = TTableState::dsInsert;
}

void TTable::BindValue(TSqliteStatement& statement, int parameter, int field)
{
  const auto& value = FRecord[static_cast<std::size_t>(field)];
  switch (FStoredFields[static_cast<std::size_t>(field)].DataType) {
    case TFieldType::ftString:
      statement.BindTextStatic(parameter, value.Data);
      break;
    case TFieldType::ftBytes:
      statement.BindBlobStatic(parameter, AsByteSpan(value.Data));
      break;
    default:
      statement.BindInt(parameter, value.Integer);
      break;
  }
}

void TTable::WriteInsert()
{
  auto& connection = FDatabase->Connection();
  if (!FInsert) {
    std::string names;
    std::string values;
    int parameter = 0;
    for (std::size_t i = 0; i < FStoredFields.size(); ++i) {
      if (static_cast<int>(i) == FAutoIncField) {
        continue;
      }
      names += (parameter == 0 ? "" : ", ") + Quote(FStoredFields[i].Name);
      values += (parameter == 0 ? "?" : ", ?") + std::to_string(parameter + 1);
      ++parameter;
    }
    FInsert = TSqliteStatement(
        connection, parameter == 0
                        ? "INSERT INTO " + Quote(FTableName) + " DEFAULT VALUES"
                        : "INSERT INTO " + Quote(FTableName) + " (" + names + ") VALUES (" + values + ")");
  }
  int parameter = 1;
  for (int i = 0; i < static_cast<int>(FStoredFields.size()); ++i) {
    if (i != FAutoIncField) {
      BindValue(FInsert, parameter++, i);
    }
  }
  FDatabase->BeforeWrite();
  FInsert.Step();
  FInsert.Reset();
  FRowId = connection.LastInsertRowId();
  if (FAutoIncField >= 0) {
    FRecord[static_cast<std::size_t>(FAutoIncField)].Integer = FRowId;
  }
}

void TTable::WriteUpdate()
{
  auto& connection = FDatabase->Connection();
  TSqliteStatement* update = nullptr;
  for (auto& [mask, statement] : FUpdates) {
    if (mask == FModified) {
      update = &statement;
      break;
    }
  }
  int parameter = 0;
  if (update == nullptr) {
    // Only the changed fields are written, so an edit through one cursor keeps what another
    // cursor changed in the other fields, and an unchanged key costs no index update.
    std::string assignments;
    for (std::size_t i = 0; i < FStoredFields.size(); ++i) {
      if ((FModified & (1ULL << i)) != 0) {
        assignments += (parameter == 0 ? "" : ", ") + Quote(FStoredFields[i].Name) + " = ?" +
                       std::to_string(parameter + 1);
        ++parameter;
      }
    }
    FUpdates.emplace_back(
        FModified, TSqliteStatement(connection, "UPDATE " + Quote(FTableName) + " SET " + assignments +
                                                    " WHERE rowid = ?" + std::to_string(parameter + 1)));
    update = &FUpdates.back().second;
  }
  parameter = 1;
  for (int i = 0; i < static_cast<int>(FStoredFields.size()); ++i) {
    if ((FModified & (1ULL << i)) != 0) {
      BindValue(*update, parameter++, i);
    }
  }
  update->BindInt(parameter, FRowId);
  FDatabase->BeforeWrite();
  update->Step();
  update->Reset();
  if (connection.Changes() == 0) {
    throw EDatabaseError("Post: the current record of table " + FTableName + " has been deleted");
  }
}

void TTable::Post()
{
  CheckActive("Post");
  if (FState == TTableState::dsEdit) {
    if (FModified != 0) {
      WriteUpdate();
    }
  } else if (FState == TTableState::dsInsert) {
    WriteInsert();
    FHasRecord = true;
    FEof = false;
  } else {
    return;
  }
  FModified = 0;
  FSavedRecord.clear();
  FState = TTableState::dsBrowse;
}

void TTable::Cancel() noexcept
{
  if (FState == TTableState::dsEdit) {
    FRecord.swap(FSavedRecord);
  } else if (FState == TTableState::dsInsert) {
    FRecord.swap(FSavedRecord);
    FRowId = FSavedRowId;
    FHasRecord = FSavedHasRecord;
  } else {
    return;
  }
  FSavedRecord.clear();
  FModified = 0;
  FState = TTableState::dsBrowse;
}

void TTable::Delete()
{
  CheckActive("Delete");
  if (FState == TTableState::dsInsert) {
    Cancel();
    return;
  }
  Cancel();
  if (!FHasRecord) {
    throw EDatabaseError("Delete: table " + FTableName + " has no current record");
  }
  if (!FDelete) {
    FDelete =
        TSqliteStatement(FDatabase->Connection(), "DELETE FROM " + Quote(FTableName) + " WHERE rowid = ?1");
  }
  FDelete.BindInt(1, FRowId);
  FDatabase->BeforeWrite();
  FDelete.Step();
  FDelete.Reset();
  MoveAfterCurrent();
  if (FEof) {
    FHasRecord = false;
  }
}
