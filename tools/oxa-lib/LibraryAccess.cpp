#include "tools/oxa-lib/LibraryAccess.h"

#include <filesystem>
#include <ostream>

#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "rtl/FilePaths.h"
#include "settings/OxaMusicPlayerTypes.h"

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
  // The lock first: only its holder may read an open stamp as a crash's.
  if (!database.Lock()) {
    err << database.OpenFailureText() << "; it is left as it is\n";
    return false;
  }
  if (database.ReadStamp() == MusicStampOpen) {
    database.Unlock();
    err << "the library in " << database.Directory()
        << " was left open by a crash; it is left as it is ('oxa-lib db recover' checks it and closes it, or "
           "rebuilds it with the favorites)\n";
    return false;
  }
  if (!OpenLibrary(database)) {
    err << database.OpenFailureText()
        << (database.OpenFailure() == TLibraryFailure::NotCreated ? "\n"
                                                                  : "; the library is left as it is\n");
    return false;
  }
  return true;
}

bool CloseAfterWriting(TMusicDatabase& database, std::ostream& err)
{
  database.SetConnected(false);
  if (database.ReadStamp() == MusicStampClosed) {
    return true;
  }
  err << "the library in " << database.Directory()
      << " could not be closed (its stamp stays open); 'oxa-lib db recover' closes it\n";
  return false;
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
