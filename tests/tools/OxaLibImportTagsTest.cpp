// A generated library of every kind of tagged file, imported with oxa-lib db import: every
// record holds what was written into its file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/DeclaredDrives.h"
#include "tests/support/ProgramRun.h"
#include "tests/tags/WmaRuntime.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

namespace fs = std::filesystem;

std::string OxaLib(std::vector<std::string> arguments, int& exitCode)
{
  arguments.push_back("--dir");
  arguments.push_back("C:\\Lib");
  TProgramRun run = RunProgram(OXA_LIB_PROGRAM, arguments);
  exitCode = run.ExitCode;
  return run.Output;
}

// The JSON object of the record with this path in `db files --json` output; empty if none.
std::string RecordOf(const std::string& files, const std::string& windowsPath)
{
  std::string escaped;
  for (const char c : windowsPath) {
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  }
  const std::size_t at = files.find("\"path\":\"" + escaped + "\"");
  if (at == std::string::npos) {
    return {};
  }
  return files.substr(at, files.find('}', at) - at);
}

std::string Field(const std::string& key, const std::string& text)
{
  return "\"" + key + "\":\"" + text + "\"";
}

// Imports a generated library and returns how many records say something else than their file.
int WrongRecords(int fileCount, testmedia::TLibraryMix mix, int milliseconds = 3000)
{
  TDeclaredMachine machine;
  InstallWmaRuntime(OXA_WMVCORE_FILE);
  const fs::path music = machine.DriveFolder('C') / "Music";
  const std::vector<testmedia::TLibraryFile> library =
      testmedia::WriteLibrary(music, fileCount, 3, mix, milliseconds);

  int exitCode = -1;
  const std::string import = OxaLib({"db", "import", "C:\\Music"}, exitCode);
  EXPECT_EQ(exitCode, 0) << import;
  const std::string count = std::to_string(fileCount);
  EXPECT_NE(import.find("found " + count + " music files, read " + count + " (0 unreadable)"),
            std::string::npos)
      << import;
  const std::string files = OxaLib({"db", "files", "--json"}, exitCode);
  EXPECT_EQ(exitCode, 0);

  int wrong = 0;
  for (const testmedia::TLibraryFile& entry : library) {
    const std::string path =
        "C:\\Music\\" + entry.File.parent_path().filename().string() + "\\" + entry.File.filename().string();
    SCOPED_TRACE(path);
    const std::string record = RecordOf(files, path);
    EXPECT_FALSE(record.empty()) << files.substr(0, 2000);
    const bool right =
        (!entry.Tagged || record.find(Field("title", entry.Title)) != std::string::npos) &&
        record.find(Field("artist", entry.Artist)) != std::string::npos &&
        record.find(Field("album", entry.Album)) != std::string::npos &&
        record.find(Field("genre", entry.Genre)) != std::string::npos &&
        (entry.Year == 0 || record.find(Field("year", std::to_string(entry.Year))) != std::string::npos) &&
        record.find("\"track\":" + std::to_string(entry.Track) + ",") != std::string::npos;
    // Playing time within a second of what was encoded.
    const std::size_t length = record.find("\"length\":");
    const int seconds = length == std::string::npos ? -1 : std::stoi(record.substr(length + 9));
    EXPECT_TRUE(right) << record << "\nexpected " << entry.Title << " / " << entry.Artist << " / "
                       << entry.Album << " / " << entry.Genre << " / " << entry.Year << " / " << entry.Track;
    EXPECT_NEAR(seconds, entry.Seconds, 1) << record;
    EXPECT_GT(seconds, 0) << record;
    wrong += right ? 0 : 1;
  }
  return wrong;
}

TEST(OxaLibImportTags, EveryRecordOfAGeneratedLibraryHoldsWhatItsFileSays)
{
  EXPECT_EQ(WrongRecords(48, testmedia::TLibraryMix::Classic), 0);  // six of each kind
}

// FLAC, M4A, Ogg Vorbis and Opus beside the classic kinds.
TEST(OxaLibImportTags, TodaysFormatsReachTheLibraryWithTheirTags)
{
  EXPECT_EQ(WrongRecords(40, testmedia::TLibraryMix::Today), 0);
}

// The shortest files the generator makes, as the large benchmark libraries use them: every kind
// still reads with its tags and a playing time; anything shorter is refused.
TEST(OxaLibImportTags, TheShortestGeneratedFilesStillReadInFull)
{
  EXPECT_EQ(WrongRecords(40, testmedia::TLibraryMix::Today, testmedia::MinLibraryMilliseconds), 0);
  TDeclaredMachine machine;
  EXPECT_THROW(
      testmedia::WriteLibrary(machine.DriveFolder('C') / "Short", 1, 3, testmedia::TLibraryMix::Classic,
                              testmedia::MinLibraryMilliseconds - 1),
      testmedia::EMediaError);
}

}  // namespace
