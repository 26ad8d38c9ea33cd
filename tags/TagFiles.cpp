#include "tags/TagFiles.h"

#include <algorithm>

#include "platform/core/LastError.h"
#include "platform/files/FileIdentity.h"
#include "platform/files/Files.h"
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

bool IsReplacementName(std::string_view fileName) noexcept
{
  const std::string_view suffix = TReplacementFile::TemporarySuffix;
  return fileName.size() > suffix.size() &&
         std::equal(suffix.rbegin(), suffix.rend(), fileName.rbegin(), [](char a, char b) {
           return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
         });
}

bool RemoveStaleReplacement(const std::string& fileName)
{
  if (!IsReplacementName(fileName) || !TagFileExists(fileName)) {
    return false;
  }
  // Opening it exclusively fails while the save that composes it has it open; held so, it is
  // removed before any save can take it up again.
  try {
    const TFileStream probe(fileName, fmOpenReadWrite | fmShareExclusive);
    return DeleteFileA(fileName.c_str());
  } catch (const Exception&) {
    return false;
  }
}

namespace {

// A link is saved through: the file it names is the one replaced, and the link stays a link.
std::string FinalName(const std::string& fileName)
{
  std::string finalPath;
  return GetFinalPathA(fileName.c_str(), finalPath) ? finalPath : fileName;
}

}  // namespace

TReplacementFile::TReplacementFile(const std::string& fileName, const TCreateFileStream& create)
    : FFileName(FinalName(fileName)), FTemporaryName(TemporaryName(FFileName))
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
    // The clean-up must not hide why the save failed from the one who reports it.
    const DWORD error = GetLastError();
    FStream.reset();
    DeleteFileA(FTemporaryName.c_str());
    SetLastError(error);
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
