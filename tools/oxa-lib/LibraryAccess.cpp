#include "tools/oxa-lib/LibraryAccess.h"

#include <filesystem>
#include <ostream>

#include "library/MusicDatabase.h"
#include "platform/Paths.h"
#include "rtl/FilePaths.h"
#include "scan/OxaMusicPlayerTypes.h"

std::string WindowsPath(const std::string& argument)
{
  std::string path = argument;
  if (argument.starts_with("/")) {
    path = WindowsPathOf(std::filesystem::absolute(argument).lexically_normal().string());
    if (path.empty()) {
      return path;
    }
  }
  std::string full;
  return FullWindowsPath(path, full) ? full : std::string();
}

std::string LibraryDirectoryOf(const std::optional<std::string>& dir)
{
  return dir ? WindowsPath(*dir) : GetDatabasePath();
}

bool UseLibraryDirectory(TMusicDatabase& database, const std::optional<std::string>& dir, std::ostream& err)
{
  const std::string directory = LibraryDirectoryOf(dir);
  if (directory.empty()) {
    err << "not a path the machine knows: " << dir.value_or("") << '\n';
    return false;
  }
  database.SetDirectory(directory);
  return true;
}

bool OpenForWriting(TMusicDatabase& database, std::ostream& err)
{
  if (database.ReadStamp() == MusicStampOpen) {
    err << "the library in " << database.Directory()
        << " is open (in use by the player, or left open by a crash); it is left as it is\n";
    return false;
  }
  if (!OpenLibrary(database)) {
    err << "cannot create a library in " << database.Directory() << '\n';
    return false;
  }
  return true;
}

bool OpenForReading(TMusicDatabase& database, std::ostream& err)
{
  if (database.ReadStamp().empty()) {
    err << "no library in " << database.Directory() << '\n';
    return false;
  }
  database.Connect();
  return true;
}
