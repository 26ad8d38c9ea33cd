#include "tags/TagFiles.h"

#include "platform/FileIdentity.h"
#include "platform/Files.h"
#include "platform/LastError.h"
#include "rtl/Exception.h"
#include "rtl/FileStream.h"

namespace {

DWORD AttributesOf(const std::string& fileName)
{
  return GetFileAttributesA(fileName.c_str());
}

}  // namespace

bool TagFileExists(const std::string& fileName)
{
  const DWORD attributes = AttributesOf(fileName);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool TagFileReadOnly(const std::string& fileName)
{
  const DWORD attributes = AttributesOf(fileName);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool TagFileProtected(const std::string& fileName)
{
  const DWORD attributes = AttributesOf(fileName);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool TagFileClearReadOnly(const std::string& fileName)
{
  const DWORD attributes = AttributesOf(fileName);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
    return attributes != INVALID_FILE_ATTRIBUTES;
  }
  SetFileAttributesA(fileName.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  return !TagFileReadOnly(fileName);
}

namespace {

// A link is saved through: the file it names is the one replaced, and the link stays a link.
std::string FinalName(std::string fileName)
{
  std::string finalPath;
  return GetFinalPathA(fileName.c_str(), finalPath) ? finalPath : fileName;
}

}  // namespace

TReplacementFile::TReplacementFile(std::string fileName, const TCreateFileStream& create)
    : FFileName(FinalName(std::move(fileName))), FTemporaryName(TemporaryName(FFileName))
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
    DeleteFileA(FTemporaryName.c_str());
  }
}

void TReplacementFile::Commit()
{
  if (auto* file = dynamic_cast<TFileStream*>(FStream.get())) {
    file->Flush();
  }
  FStream.reset();
  // The new file is the old one to its owner: same permissions, same owner and group.
  if (!CopyFileIdentityA(FFileName.c_str(), FTemporaryName.c_str())) {
    throw EWriteError("Cannot give \"" + FTemporaryName + "\" the permissions of \"" + FFileName +
                      "\" (error " + std::to_string(GetLastError()) + ")");
  }
  // The new file takes the place of the old one in one step: readers see either file, whole.
  if (!MoveFileExA(FTemporaryName.c_str(), FFileName.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw EWriteError("Cannot replace \"" + FFileName + "\" (error " + std::to_string(GetLastError()) + ")");
  }
  FCommitted = true;
}
