#include "tags/TagFiles.h"

#include <filesystem>
#include <system_error>

#include "rtl/Exception.h"
#include "rtl/FileStream.h"

namespace fs = std::filesystem;

namespace {

fs::path HostPath(const std::string& fileName)
{
  return fs::path(fileName);
}

}  // namespace

bool TagFileExists(const std::string& fileName)
{
  std::error_code error;
  return fs::is_regular_file(HostPath(fileName), error);
}

bool TagFileReadOnly(const std::string& fileName)
{
  std::error_code error;
  const fs::file_status status = fs::status(HostPath(fileName), error);
  if (error) {
    return false;
  }
  return (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool TagFileProtected(const std::string& fileName)
{
  const std::string name = HostPath(fileName).filename().string();
  return TagFileReadOnly(fileName) || (!name.empty() && name.front() == '.');
}

bool TagFileClearReadOnly(const std::string& fileName)
{
  if (!TagFileReadOnly(fileName)) {
    return true;
  }
  std::error_code error;
  fs::permissions(HostPath(fileName), fs::perms::owner_write, fs::perm_options::add, error);
  return !TagFileReadOnly(fileName);
}

TReplacementFile::TReplacementFile(std::string fileName, const TCreateFileStream& create)
    : FFileName(std::move(fileName)), FTemporaryName(TemporaryName(FFileName))
{
  if (create) {
    FStream = create(FTemporaryName);
  } else {
    FStream = std::make_unique<TFileStream>(FTemporaryName, fmCreate);
  }
}

TReplacementFile::~TReplacementFile()
{
  if (!FCommitted) {
    FStream.reset();
    std::error_code error;
    fs::remove(HostPath(FTemporaryName), error);
  }
}

void TReplacementFile::Commit()
{
  if (auto* file = dynamic_cast<TFileStream*>(FStream.get())) {
    file->Flush();
  }
  FStream.reset();
  std::error_code error;
  const fs::file_status old = fs::status(HostPath(FFileName), error);
  if (!error) {
    fs::permissions(HostPath(FTemporaryName), old.permissions(), error);
  }
  error.clear();
  // The new file takes the place of the old one in one step: readers see either file, whole.
  fs::rename(HostPath(FTemporaryName), HostPath(FFileName), error);
  if (error) {
    throw EWriteError("Cannot replace \"" + FFileName + "\". " + error.message());
  }
  FCommitted = true;
}
