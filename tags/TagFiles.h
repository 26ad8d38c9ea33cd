#pragma once
// The file operations the taggers need beyond reading: attribute checks, and the safe way to
// rewrite a music file — compose the new file beside the old one and replace the old one in a
// single rename, so a crash or a full disk leaves the original as it was.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "rtl/Stream.h"

bool TagFileExists(const std::string& fileName);
// Read-only, hidden or system: files the taggers must not write.
bool TagFileProtected(const std::string& fileName);
bool TagFileReadOnly(const std::string& fileName);
// Makes the file writable; false when it stays read-only.
bool TagFileClearReadOnly(const std::string& fileName);

// Whether the name is that of a file a save composes (TReplacementFile::TemporaryName).
bool IsReplacementName(std::string_view fileName) noexcept;
// Removes the file when it is one a save composed and nobody holds open any more: what a killed
// save left behind. A save still composing holds its file exclusively, so it is never taken
// from under it. True when the file was removed.
bool RemoveStaleReplacement(const std::string& fileName);

// Creates (or empties) the file a save composes; TFileStream with fmCreate unless a test hands in
// a stream that fails on purpose.
using TCreateFileStream = std::function<std::unique_ptr<TStream>(const std::string& fileName)>;

// The new content of a file under construction beside it. Destroyed without Commit, it removes
// the half-written file and leaves the original alone. A symbolic link is written through: the
// file it names is replaced and the link stays. The new file gets the old one's permission bits,
// owner and group.
class TReplacementFile {
 public:
  // Raises EFCreateError when the new file cannot be created.
  TReplacementFile(const std::string& fileName, const TCreateFileStream& create);
  ~TReplacementFile();
  TReplacementFile(const TReplacementFile&) = delete;
  TReplacementFile& operator=(const TReplacementFile&) = delete;

  TStream& Stream() noexcept { return *FStream; }
  // Forces the new file to the disk, closes it and renames it over the original. Raises
  // EWriteError when any of that fails; the original is then unchanged.
  void Commit();

  static std::string TemporaryName(const std::string& fileName)
  {
    return fileName + std::string(TemporarySuffix);
  }
  static constexpr std::string_view TemporarySuffix = ".oxatmp";

 private:
  std::string FFileName;
  std::string FTemporaryName;
  std::unique_ptr<TStream> FStream;
  bool FCommitted = false;
};
