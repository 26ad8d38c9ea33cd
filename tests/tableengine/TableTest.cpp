#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/files/Paths.h"
#include "rtl/AnsiText.h"
#include "tableengine/Database.h"
#include "tableengine/Table.h"
#include "tests/support/TempFolder.h"

namespace {

// A table shaped like the library's: an AutoInc key, a case-insensitive text index, a
// non-unique integer index and a bytes index.
void DefineSongs(TTable& table)
{
  table.SetTableName("Songs");
  table.FieldDefs() = {
      {"SongId", TFieldType::ftAutoInc, 0}, {"Path", TFieldType::ftString, 20},
      {"Folder", TFieldType::ftInteger, 0}, {"Tagged", TFieldType::ftBoolean, 0},
      {"Sum", TFieldType::ftBytes, 4},
  };
  table.IndexDefs() = {
      {"", "SongId", ixPrimary | ixUnique},
      {"PathIndex", "Path", ixCaseInsensitive},
      {"FolderIndex", "Folder", 0},
      {"SumIndex", "Sum", 0},
  };
}

class TableTest : public ::testing::Test {
 protected:
  TableTest()
  {
    Db.SetDatabaseName("TEST");
    Db.SetDirectory(WindowsPathOf(Folder.Path().string()) + "\\");
    Db.Connect();
    TTable maker(Db);
    DefineSongs(maker);
    maker.CreateTable();
  }

  // Inserts a song through cursor and returns its id.
  static std::int32_t Add(TTable& cursor, const std::string& path, std::int32_t folder)
  {
    cursor.Insert();
    cursor.FieldByName("Path").SetAsString(path);
    cursor.FieldByName("Folder").SetAsInteger(folder);
    cursor.Post();
    return cursor.FieldByName("SongId").AsInteger();
  }

  static std::vector<std::string> Walk(TTable& cursor)
  {
    std::vector<std::string> paths;
    for (cursor.First(); !cursor.Eof(); cursor.Next()) {
      paths.push_back(cursor.FieldByName("Path").AsString());
    }
    return paths;
  }

  TTempMachine Machine;
  TTempFolder Folder;
  TDatabase Db{nullptr};
};

TEST_F(TableTest, OpeningReadsTheFieldsAndIndexesBackFromTheFile)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("pathindex");
  songs.Open();
  ASSERT_EQ(songs.FieldCount(), 5);
  const std::array<std::pair<TFieldType, int>, 5> expected{{{TFieldType::ftAutoInc, 0},
                                                            {TFieldType::ftString, 20},
                                                            {TFieldType::ftInteger, 0},
                                                            {TFieldType::ftBoolean, 0},
                                                            {TFieldType::ftBytes, 4}}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(songs.Fields(i).DataType(), expected[static_cast<std::size_t>(i)].first) << i;
    EXPECT_EQ(songs.Fields(i).Size(), expected[static_cast<std::size_t>(i)].second) << i;
  }
  EXPECT_TRUE(songs.Eof());
  EXPECT_EQ(songs.RecordCount(), 0);
  EXPECT_NO_THROW(songs.SetIndexName("SumIndex"));
  EXPECT_THROW(songs.SetIndexName("NoSuchIndex"), EDatabaseError);
}

TEST_F(TableTest, AutoIncStartsAtOneAndNeverReusesADeletedId)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.Open();
  EXPECT_EQ(Add(songs, "a", 1), 1);
  EXPECT_EQ(Add(songs, "b", 1), 2);
  EXPECT_EQ(Add(songs, "c", 1), 3);
  ASSERT_TRUE(songs.FindKey(3));
  songs.Delete();
  EXPECT_EQ(Add(songs, "d", 1), 4);

  Db.Disconnect();
  EXPECT_FALSE(songs.Active());
  Db.Connect();
  songs.Open();
  ASSERT_TRUE(songs.FindKey(4));
  songs.Delete();
  EXPECT_EQ(Add(songs, "e", 1), 5);
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "e");
}

TEST_F(TableTest, CursorsOnOneTableMoveIndependently)
{
  TTable byId(Db);
  TTable byFolder(Db);
  byId.SetTableName("Songs");
  byFolder.SetTableName("Songs");
  byFolder.SetIndexName("FolderIndex");
  byId.Open();
  byFolder.Open();
  Add(byId, "one", 30);
  Add(byId, "two", 10);
  Add(byId, "three", 20);

  byId.First();
  byFolder.First();
  EXPECT_EQ(byId.FieldByName("Path").AsString(), "one");
  EXPECT_EQ(byFolder.FieldByName("Path").AsString(), "two");
  byFolder.Next();
  EXPECT_EQ(byId.FieldByName("Path").AsString(), "one");
  EXPECT_EQ(byFolder.FieldByName("Path").AsString(), "three");

  // A change through one cursor reaches the other when it edits: only the changed field is
  // written, so neither cursor undoes the other's change.
  byId.FindKey(3);
  byId.Edit();
  byId.FieldByName("Tagged").SetAsBoolean(true);
  byId.Post();
  byFolder.Edit();
  EXPECT_TRUE(byFolder.FieldByName("Tagged").AsBoolean());
  byFolder.FieldByName("Path").SetAsString("THREE");
  byFolder.Post();
  byId.FindKey(3);
  EXPECT_EQ(byId.FieldByName("Path").AsString(), "THREE");
  EXPECT_TRUE(byId.FieldByName("Tagged").AsBoolean());
  EXPECT_EQ(Walk(byId), (std::vector<std::string>{"one", "two", "THREE"}));
  EXPECT_EQ(Walk(byFolder), (std::vector<std::string>{"two", "THREE", "one"}));
}

TEST_F(TableTest, FindKeyStopsOnTheFirstMatchAndNextWalksOnInIndexOrder)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("FolderIndex");
  songs.Open();
  for (const auto& [path, folder] :
       std::vector<std::pair<std::string, int>>{{"a", 5}, {"b", 7}, {"c", 5}, {"d", 3}, {"e", 7}, {"f", 5}}) {
    Add(songs, path, folder);
  }
  ASSERT_TRUE(songs.FindKey(5));
  std::vector<std::string> walked;
  for (; !songs.Eof(); songs.Next()) {
    walked.push_back(songs.FieldByName("Path").AsString());
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"a", "c", "f", "b", "e"}));

  // A miss leaves the cursor on its record.
  ASSERT_TRUE(songs.FindKey(3));
  EXPECT_FALSE(songs.FindKey(4));
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "d");
  songs.Next();
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "a");

  EXPECT_THROW(songs.FindKey("text"), EDatabaseError);
  songs.SetIndexName("");
  ASSERT_TRUE(songs.FindKey(2));
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "b");
  songs.Next();
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "c");
}

TEST_F(TableTest, CaseInsensitiveIndexFindsAndOrdersWithoutRegardToCase)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("PathIndex");
  songs.Open();
  const std::vector<std::string> paths{"beta",  "Émile", "alpha", "ÄRGER", "Zebra",
                                       "émile", "ärger", "Alpha", "zz"};
  for (const auto& path : paths) {
    Add(songs, path, 0);
  }
  std::vector<std::string> expected = paths;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  EXPECT_EQ(Walk(songs), expected);

  const std::vector<std::pair<std::string, std::string>> finds{
      {"ALPHA", "alpha"}, {"ÉMILE", "Émile"}, {"Ärger", "ÄRGER"}, {"zebra", "Zebra"}};
  for (const auto& [key, first] : finds) {
    ASSERT_TRUE(songs.FindKey(key)) << key;
    EXPECT_EQ(songs.FieldByName("Path").AsString(), first) << key;
  }
  EXPECT_FALSE(songs.FindKey("emile"));
  EXPECT_FALSE(songs.FindKey("alph"));
}

TEST_F(TableTest, TextsLongerThanTheDeclaredSizeAreStoredWhole)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("PathIndex");
  songs.Open();
  const std::string longPath = "C:\\Music\\" + std::string(600, 'x') + ".mp3";
  Add(songs, longPath, 1);
  songs.Close();
  songs.Open();
  ASSERT_TRUE(songs.FindKey(longPath));
  EXPECT_EQ(songs.FieldByName("Path").AsString(), longPath);
}

TEST_F(TableTest, BytesArePaddedToTheirBlockAndFoundByValue)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("SumIndex");
  songs.Open();
  const std::array<std::byte, 2> shortSum{std::byte{1}, std::byte{2}};
  const std::array<std::byte, 5> longSum{};
  songs.Insert();
  EXPECT_EQ(songs.FieldByName("Sum").AsBytes().size(), 4U);
  songs.FieldByName("Sum").SetAsBytes(shortSum);
  EXPECT_THROW(songs.FieldByName("Sum").SetAsBytes(longSum), EDatabaseError);
  songs.Post();
  const std::array<std::byte, 4> padded{std::byte{1}, std::byte{2}, std::byte{0}, std::byte{0}};
  ASSERT_TRUE(songs.FindKey(std::span<const std::byte>(padded)));
  EXPECT_TRUE(std::ranges::equal(songs.FieldByName("Sum").AsBytes(), padded));
  const std::array<std::uint8_t, 4> other{9, 8, 7, 6};
  songs.Insert();
  songs.FieldByName("Sum").SetAsBytes(other);
  songs.Post();
  songs.First();
  ASSERT_TRUE(songs.FindKey(other));
  EXPECT_EQ(songs.FieldByName("SongId").AsInteger(), 2);
}

TEST_F(TableTest, TransactionsCommitAndRollBack)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.Open();
  Db.StartTransaction();
  EXPECT_THROW(Db.StartTransaction(), EDatabaseError);
  Add(songs, "kept", 1);
  Db.Commit();
  Db.StartTransaction();
  Add(songs, "dropped", 1);
  ASSERT_TRUE(songs.FindKey(1));
  songs.Edit();
  songs.FieldByName("Folder").SetAsInteger(99);
  songs.Post();
  EXPECT_EQ(songs.RecordCount(), 2);
  Db.Rollback();
  EXPECT_FALSE(Db.InTransaction());
  EXPECT_THROW(Db.Commit(), EDatabaseError);
  EXPECT_EQ(Walk(songs), std::vector<std::string>{"kept"});
  EXPECT_EQ(songs.FieldByName("Folder").AsInteger(), 1);
  // The id of the rolled-back insert is free again: nothing outside the transaction saw it.
  EXPECT_EQ(Add(songs, "next", 1), 2);
}

TEST_F(TableTest, DeleteMovesToTheNextRecordSoAWalkCanDeleteAsItGoes)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("FolderIndex");
  songs.Open();
  for (int i = 0; i < 10; ++i) {
    Add(songs, "s" + std::to_string(i), i % 3);
  }
  songs.First();
  while (!songs.Eof()) {
    if (songs.FieldByName("Folder").AsInteger() != 1) {
      songs.Delete();
    } else {
      songs.Next();
    }
  }
  songs.SetIndexName("");
  EXPECT_EQ(Walk(songs), (std::vector<std::string>{"s1", "s4", "s7"}));
  ASSERT_TRUE(songs.FindKey(8));
  songs.Delete();
  EXPECT_TRUE(songs.Eof());
  EXPECT_THROW(songs.Edit(), EDatabaseError);
}

TEST_F(TableTest, AWalkSeesRecordsAddedAndRemovedThroughAnotherCursor)
{
  TTable walker(Db);
  TTable writer(Db);
  for (TTable* table : {&walker, &writer}) {
    table->SetTableName("Songs");
    table->SetIndexName("FolderIndex");
    table->Open();
  }
  Add(writer, "a", 1);
  Add(writer, "b", 2);
  Add(writer, "c", 3);
  walker.First();
  ASSERT_EQ(walker.FieldByName("Path").AsString(), "a");
  Add(writer, "a2", 1);
  ASSERT_TRUE(writer.FindKey(2));
  writer.Delete();
  std::vector<std::string> rest;
  for (walker.Next(); !walker.Eof(); walker.Next()) {
    rest.push_back(walker.FieldByName("Path").AsString());
  }
  EXPECT_EQ(rest, (std::vector<std::string>{"a2", "c"}));
}

TEST_F(TableTest, AWalkCarriesOnOverEqualKeysWhileOtherTablesChange)
{
  TTable log(Db);
  log.SetTableName("Log");
  log.FieldDefs() = {{"Entry", TFieldType::ftString, 10}};
  log.CreateTable();
  log.Open();
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("FolderIndex");
  songs.Open();
  for (int i = 0; i < 6; ++i) {
    Add(songs, "s" + std::to_string(i), i < 4 ? 1 : 2);
  }
  std::vector<std::string> walked;
  for (songs.First(); !songs.Eof(); songs.Next()) {
    walked.push_back(songs.FieldByName("Path").AsString());
    log.Insert();
    log.FieldByName("Entry").SetAsString(walked.back());
    log.Post();
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"s0", "s1", "s2", "s3", "s4", "s5"}));
  EXPECT_EQ(log.RecordCount(), 6);
}

TEST_F(TableTest, CancelDropsTheChangesAndNavigationPostsThem)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.Open();
  Add(songs, "a", 1);
  songs.Edit();
  songs.FieldByName("Path").SetAsString("changed");
  songs.Cancel();
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "a");
  songs.Insert();
  songs.FieldByName("Path").SetAsString("never");
  songs.Cancel();
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "a");
  EXPECT_EQ(songs.RecordCount(), 1);
  songs.Edit();
  songs.FieldByName("Path").SetAsString("posted");
  songs.First();
  EXPECT_EQ(songs.State(), TTableState::dsBrowse);
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "posted");
}

TEST_F(TableTest, MisuseRaisesDatabaseErrors)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  EXPECT_THROW(songs.First(), EDatabaseError);
  songs.Open();
  Add(songs, "a", 1);
  EXPECT_THROW(songs.FieldByName("Path").SetAsString("x"), EDatabaseError);
  EXPECT_THROW(songs.FieldByName("Nothing"), EDatabaseError);
  EXPECT_EQ(songs.FindField("Nothing"), nullptr);
  songs.Edit();
  EXPECT_THROW(songs.FieldByName("SongId").SetAsInteger(7), EDatabaseError);
  EXPECT_THROW(songs.FieldByName("Path").SetAsInteger(7), EDatabaseError);
  EXPECT_THROW(songs.FieldByName("Folder").SetAsString("7"), EDatabaseError);
  EXPECT_THROW(songs.FieldByName("Path").AsInteger(), EDatabaseError);
  songs.Cancel();
  EXPECT_THROW(songs.SetTableName("Other"), EDatabaseError);

  TTable missing(Db);
  missing.SetTableName("Missing");
  EXPECT_THROW(missing.Open(), EDatabaseError);
  EXPECT_FALSE(missing.Active());
  TTable badIndex(Db);
  badIndex.SetTableName("Songs");
  badIndex.SetIndexName("Nothing");
  EXPECT_THROW(badIndex.Open(), EDatabaseError);
  EXPECT_FALSE(badIndex.Active());
}

TEST_F(TableTest, CreateTableRefusesInconsistentDefinitionsAndLeavesNothingBehind)
{
  struct TCase {
    const char* What;
    std::vector<TFieldDef> Fields;
    std::vector<TIndexDef> Indexes;
  };
  const std::vector<TCase> cases{
      {"no fields", {}, {}},
      {"duplicate field", {{"A", TFieldType::ftInteger, 0}, {"a", TFieldType::ftInteger, 0}}, {}},
      {"two AutoInc", {{"A", TFieldType::ftAutoInc, 0}, {"B", TFieldType::ftAutoInc, 0}}, {}},
      {"AutoInc not primary",
       {{"A", TFieldType::ftAutoInc, 0}, {"B", TFieldType::ftInteger, 0}},
       {{"", "B", ixPrimary}}},
      {"index on missing field", {{"A", TFieldType::ftInteger, 0}}, {{"X", "B", 0}}},
      {"unnamed secondary index", {{"A", TFieldType::ftInteger, 0}}, {{"", "A", 0}}},
      {"case-insensitive number", {{"A", TFieldType::ftInteger, 0}}, {{"X", "A", ixCaseInsensitive}}},
      {"bytes without size", {{"A", TFieldType::ftBytes, 0}}, {}},
      {"duplicate index", {{"A", TFieldType::ftInteger, 0}}, {{"X", "A", 0}, {"x", "A", 0}}},
  };
  for (const auto& c : cases) {
    TTable table(Db);
    table.SetTableName("Bad");
    table.FieldDefs() = c.Fields;
    table.IndexDefs() = c.Indexes;
    EXPECT_THROW(table.CreateTable(), EDatabaseError) << c.What;
    EXPECT_FALSE(Db.TableExists("Bad")) << c.What;
  }
  TTable again(Db);
  DefineSongs(again);
  EXPECT_THROW(again.CreateTable(), EDatabaseError);
}

TEST_F(TableTest, APrimaryKeyOnTextIsUniqueAndOrdersTheWalk)
{
  TTable names(Db);
  names.SetTableName("Names");
  names.FieldDefs() = {{"Name", TFieldType::ftString, 10}, {"RefCount", TFieldType::ftInteger, 0}};
  names.IndexDefs() = {{"", "Name", ixPrimary | ixUnique}};
  names.CreateTable();
  names.Open();
  for (const char* name : {"LIVE", "DEMO", "ROCK\\LIVE"}) {
    names.Insert();
    names.FieldByName("Name").SetAsString(name);
    names.Post();
  }
  names.Insert();
  names.FieldByName("Name").SetAsString("DEMO");
  EXPECT_THROW(names.Post(), ESqliteError);
  names.Cancel();
  std::vector<std::string> walked;
  for (names.First(); !names.Eof(); names.Next()) {
    walked.push_back(names.FieldByName("Name").AsString());
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"DEMO", "LIVE", "ROCK\\LIVE"}));
  EXPECT_TRUE(names.FindKey("LIVE"));
  EXPECT_FALSE(names.FindKey("live"));
}

TEST_F(TableTest, TheDatabaseIsOneFileNamedAfterTheDatabase)
{
  EXPECT_EQ(Db.FileName(), WindowsPathOf(Folder.Path().string()) + "\\TEST.DAT");
  EXPECT_TRUE(Db.CheckIntegrity().empty());
  Db.Disconnect();
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Folder.Path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"TEST.DAT"});
  EXPECT_THROW(Db.StartTransaction(), EDatabaseError);
}

TEST_F(TableTest, AFileThatIsNotADatabaseFailsToConnect)
{
  Db.Disconnect();
  TTempFolder other;
  other.WriteFile("JUNK.DAT", std::string(4096, 'j'));
  TDatabase junk(nullptr);
  junk.SetDatabaseName("JUNK");
  junk.SetDirectory(WindowsPathOf(other.Path().string()));
  EXPECT_THROW(junk.Connect(), ESqliteError);
  EXPECT_FALSE(junk.Connected());
  junk.SetDirectory(WindowsPathOf(other.Path().string()) + "\\missing\\");
  EXPECT_THROW(junk.Connect(), EDatabaseError);
}

// Rebuilds the text indexes of a database file in reverse binary order, as if another locale had
// built them, and records that order as the one in use.
int CompareReversed(void*, int n1, const void* s1, int n2, const void* s2)
{
  return -std::string_view(static_cast<const char*>(s1), static_cast<std::size_t>(n1))
              .compare(std::string_view(static_cast<const char*>(s2), static_cast<std::size_t>(n2)));
}

void ReindexInAnotherOrder(const std::string& hostFile)
{
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(hostFile.c_str(), &db), SQLITE_OK);
  sqlite3_create_collation(db, "ANSITEXT", SQLITE_UTF8, nullptr, &CompareReversed);
  EXPECT_EQ(
      sqlite3_exec(db, "REINDEX ANSITEXT; UPDATE TableEngineInfo SET Value = 'z<a' WHERE Name = 'Collation';",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
}

TEST_F(TableTest, IndexesBuiltInAnotherCollationOrderAreRebuiltOnConnect)
{
  {
    TTable songs(Db);
    songs.SetTableName("Songs");
    songs.Open();
    for (const char* path : {"delta", "Alpha", "charlie", "Bravo"}) {
      Add(songs, path, 0);
    }
  }
  Db.Disconnect();
  ReindexInAnotherOrder((Folder.Path() / "TEST.DAT").string());
  Db.Connect();
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.SetIndexName("PathIndex");
  songs.Open();
  EXPECT_EQ(Walk(songs), (std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}));
  for (const char* path : {"ALPHA", "bravo", "Charlie", "DELTA"}) {
    EXPECT_TRUE(songs.FindKey(path)) << path;
  }
  EXPECT_TRUE(Db.CheckIntegrity().empty());
}

}  // namespace

TEST_F(TableTest, ReadFieldsGivesTheChosenColumnsOfEveryRecordInIdOrderAndLeavesTheCursor)
{
  TTable songs(Db);
  songs.SetTableName("Songs");
  songs.Open();
  EXPECT_THROW(TTable(Db).ReadFields({}, [](const TSqliteStatement&) {}), EDatabaseError);
  const std::array<const TField*, 3> columns{&songs.FieldByName("Sum"), &songs.FieldByName("SongId"),
                                             &songs.FieldByName("Path")};
  int rows = 0;
  songs.ReadFields(columns, [&](const TSqliteStatement&) { ++rows; });
  EXPECT_EQ(rows, 0);

  Add(songs, "zeta", 1);
  Add(songs, "Alpha", 2);
  Add(songs, "mid", 3);
  songs.Edit();
  const std::array<std::uint8_t, 2> sum{7, 9};
  songs.FieldByName("Sum").SetAsBytes(sum);
  songs.Post();
  ASSERT_TRUE(songs.FindKey(1));
  songs.Delete();
  Add(songs, "last", 4);
  songs.SetIndexName("PathIndex");
  ASSERT_TRUE(songs.FindKey("LAST"));

  struct TRow {
    std::int64_t Id;
    std::string Path;
    std::vector<std::byte> Sum;
  };
  std::vector<TRow> read;
  songs.ReadFields(columns, [&](const TSqliteStatement& row) {
    const auto bytes = row.ColumnBlob(0);
    read.push_back({row.ColumnInt(1), std::string(row.ColumnText(2)), {bytes.begin(), bytes.end()}});
  });
  // Id order whatever the cursor's index, the deleted record left out, blocks whole.
  ASSERT_EQ(read.size(), 3U);
  const std::array<std::pair<std::int64_t, const char*>, 3> expected{{{2, "Alpha"}, {3, "mid"}, {4, "last"}}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(read[i].Id, expected[i].first) << i;
    EXPECT_EQ(read[i].Path, expected[i].second) << i;
    ASSERT_EQ(read[i].Sum.size(), 4U) << i;
  }
  EXPECT_EQ(read[1].Sum[0], std::byte{7});
  EXPECT_EQ(read[1].Sum[1], std::byte{9});
  EXPECT_EQ(read[0].Sum[0], std::byte{0});
  // The cursor stays on its record and walks on from it.
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "last");
  songs.Next();
  EXPECT_EQ(songs.FieldByName("Path").AsString(), "mid");
}
