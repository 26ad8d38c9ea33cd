#include "settings/MusicStringList.h"

#include <array>
#include <exception>
#include <string>

#include "framework/OxaUtils.h"
#include "platform/core/ByteOrder.h"
#include "platform/core/HandleOwner.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/files/Files.h"
#include "rtl/Exception.h"
#include "rtl/FilePaths.h"
#include "rtl/FileStream.h"
#include "rtl/FileUtils.h"
#include "rtl/Format.h"

namespace {

constexpr std::string_view InvalidStreamMessage = "TMusicStringList.LoadFromStream: Invalid stream";

[[noreturn]] void InvalidStream()
{
  throw EReadError(std::string(InvalidStreamMessage));
}

void WriteInt32(TStream& stream, std::uint32_t value)
{
  std::array<unsigned char, 4> bytes{};
  ByteOrder::StoreLE32(bytes.data(), value);
  stream.WriteBuffer(bytes.data(), 4);
}

void WriteText(TStream& stream, std::string_view text)
{
  WriteInt32(stream, static_cast<std::uint32_t>(text.size()));
  stream.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
}

}  // namespace

// Reads through a stream that ends at a known position, so no count or length taken from the
// stream is trusted beyond the bytes really there.
class TMusicStringReader {
 public:
  explicit TMusicStringReader(TStream& stream) : FStream(stream), FLeft(stream.Size() - stream.Position()) {}

  std::uint32_t Int32()
  {
    std::array<unsigned char, 4> bytes{};
    Take(bytes.data(), 4);
    return ByteOrder::LoadLE32(bytes.data());
  }
  char Byte()
  {
    char c = 0;
    Take(&c, 1);
    return c;
  }
  std::string Text()
  {
    const std::uint32_t length = Int32();
    if (length > FLeft) {
      InvalidStream();
    }
    std::string text(length, '\0');
    Take(text.data(), length);
    return text;
  }
  // Every entry takes at least a kind byte and a length.
  void CheckCount(std::uint32_t count) const
  {
    if (static_cast<std::int64_t>(count) * 5 > FLeft) {
      InvalidStream();
    }
  }

 private:
  void Take(void* buffer, std::int64_t count)
  {
    if (count > FLeft) {
      InvalidStream();
    }
    FStream.ReadBuffer(buffer, count);
    FLeft -= count;
  }

  TStream& FStream;
  std::int64_t FLeft;
};

// The held lock of a list: the lock file, open for reading and writing with no sharing but
// deletion. While a process holds it no other open succeeds; when the holder dies the system
// closes its handle, so a lock file left behind opens at once and is taken over.
class TMusicStringList::TLock {
 public:
  // The lock, or null with busy true when another holds it (try again later), or null with
  // busy false and error set when the lock file cannot be opened at all.
  static std::unique_ptr<TLock> TryTake(const std::string& lockFileName, bool& busy, DWORD& error)
  {
    busy = false;
    error = ERROR_SUCCESS;
    THandleOwner handle(CreateFileA(lockFileName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.Valid()) {
      error = GetLastError();
      busy = error == ERROR_SHARING_VIOLATION;
      return nullptr;
    }
    // The holder before us deletes the file before closing it; an open that raced with that
    // delete holds a file that is no longer at the path, and must try again. What is at the
    // path now may be a newer holder's live lock file: a failed take only lets go of its handle.
    if (!StillAtPath(handle.Get(), lockFileName)) {
      busy = true;
      return nullptr;
    }
    return std::unique_ptr<TLock>(new TLock(std::move(handle), lockFileName));
  }

  ~TLock()
  {
    // Delete while still holding, so nobody can take a file that is about to vanish.
    DeleteFileA(FFileName.c_str());
  }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

 private:
  TLock(THandleOwner handle, std::string fileName)
      : FHandle(std::move(handle)), FFileName(std::move(fileName))
  {
  }

  static bool StillAtPath(HANDLE handle, const std::string& fileName)
  {
    BY_HANDLE_FILE_INFORMATION held{};
    if (GetFileInformationByHandle(handle, &held) == FALSE) {
      return false;
    }
    const THandleOwner atPath(CreateFileA(fileName.c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!atPath.Valid()) {
      return false;
    }
    BY_HANDLE_FILE_INFORMATION current{};
    const BOOL read = GetFileInformationByHandle(atPath.Get(), &current);
    return read != FALSE && current.dwVolumeSerialNumber == held.dwVolumeSerialNumber &&
           current.nFileIndexHigh == held.nFileIndexHigh && current.nFileIndexLow == held.nFileIndexLow;
  }

  THandleOwner FHandle;
  std::string FFileName;
};

TMusicStringList::TMusicStringList()
{
  SetOwnsObjects(true);
}

TMusicStringList::~TMusicStringList()
{
  if (FLock) {
    // A throw from here would end the process; the lock goes with the file's descriptor anyway.
    try {
      UnLockFile();
    } catch (const std::exception& e) {
      Trace("TMusicStringList: the file lock was not let go (%s)", std::string(e.what()));
    }
  }
}

TMusicStringList* TMusicStringList::List(int index) const
{
  return dynamic_cast<TMusicStringList*>(Objects(index));
}

TMusicStringItem* TMusicStringList::Item(int index) const
{
  return dynamic_cast<TMusicStringItem*>(Objects(index));
}

void TMusicStringList::Assign(const TStringList& source)
{
  if (&source == this) {
    return;
  }
  Clear();
  for (int i = 0; i < source.Count(); ++i) {
    TObject* object = source.Objects(i);
    if (const auto* list = dynamic_cast<const TMusicStringList*>(object)) {
      auto copy = std::make_unique<TMusicStringList>();
      copy->Assign(*list);
      AddObject(source[i], copy.release());
    } else if (const auto* item = dynamic_cast<const TMusicStringItem*>(object)) {
      AddObject(source[i], std::make_unique<TMusicStringItem>(item->Value).release());
    } else {
      Add(source[i]);
    }
  }
}

void TMusicStringList::SaveToStream(TStream& stream) const
{
  WriteInt32(stream, static_cast<std::uint32_t>(Count()));
  for (int i = 0; i < Count(); ++i) {
    if (const auto* list = List(i)) {
      stream.WriteBuffer("L", 1);
      WriteText(stream, Strings(i));
      list->SaveToStream(stream);
    } else if (const auto* item = Item(i)) {
      stream.WriteBuffer("S", 1);
      WriteText(stream, Strings(i));
      WriteText(stream, item->Value);
    } else {
      stream.WriteBuffer("N", 1);
      WriteText(stream, Strings(i));
    }
  }
}

void TMusicStringList::LoadFromStream(TStream& stream)
{
  Clear();
  try {
    TMusicStringReader reader(stream);
    LoadLevel(reader, 0);
  } catch (...) {
    Clear();
    throw;
  }
}

void TMusicStringList::LoadLevel(TMusicStringReader& reader, int depth)
{
  if (depth > MaxMusicStringListDepth) {
    InvalidStream();
  }
  const std::uint32_t count = reader.Int32();
  reader.CheckCount(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const char kind = reader.Byte();
    if (kind != 'N' && kind != 'S' && kind != 'L') {
      InvalidStream();
    }
    std::string text = reader.Text();
    if (kind == 'N') {
      Add(std::move(text));
    } else if (kind == 'S') {
      AddObject(std::move(text), std::make_unique<TMusicStringItem>(reader.Text()).release());
    } else {
      auto nested = std::make_unique<TMusicStringList>();
      nested->LoadLevel(reader, depth + 1);
      AddObject(std::move(text), nested.release());
    }
  }
}

void TMusicStringList::LoadFromFile(const std::string& fileName)
{
  try {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    // The entries are read a few bytes at a time: from memory, not with a system call each (a
    // library's roots made thousands of them at every start).
    if (file.Size() > MaxMusicStringFileSize) {
      InvalidStream();
    }
    TMemoryStream content;
    content.SetSize(file.Size());
    content.CopyFrom(file, 0);
    content.SetPosition(0);
    LoadFromStream(content);
  } catch (...) {
    Clear();
    throw;
  }
}

void TMusicStringList::SaveToFile(const std::string& fileName) const
{
  const std::string folder = ExtractFilePath(fileName);
  if (!folder.empty()) {
    ForceDirectories(folder);
  }
  const std::string temporary = fileName + ".tmp";
  try {
    TFileStream file(temporary, fmCreate);
    SaveToStream(file);
    file.Flush();
  } catch (...) {
    DeleteFileA(temporary.c_str());
    throw;
  }
  // One rename replaces the old file: a crash leaves the old file or the new one, never neither.
  if (MoveFileExA(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING) == FALSE) {
    const DWORD error = GetLastError();
    DeleteFileA(temporary.c_str());
    throw EWriteError(Format("Cannot replace %s (error %d)", fileName, error));
  }
}

bool TMusicStringList::LockFile(const std::string& fileName)
{
  const std::string folder = ExtractFilePath(fileName);
  if (!folder.empty()) {
    ForceDirectories(folder);
  }
  if (FLock) {
    throw EOxaFatal(ClassName() + ".LockFile: A file is already locked");
  }
  FLockFileName = fileName + ".lck";
  for (int attempt = 1; attempt <= LockAttempts; ++attempt) {
    bool busy = false;
    DWORD error = ERROR_SUCCESS;
    FLock = TLock::TryTake(FLockFileName, busy, error);
    if (FLock) {
      return true;
    }
    if (!busy) {
      Trace("%s.LockFile: cannot open %s (error %d)", ClassName(), FLockFileName, static_cast<int>(error));
      break;
    }
    Sleep(static_cast<DWORD>(attempt) * LockRetryStepMs);
  }
  FLockFileName.clear();
  return false;
}

void TMusicStringList::UnLockFile()
{
  if (!FLock) {
    throw EOxaFatal(ClassName() + ".UnLockFile: No file is locked");
  }
  FLock.reset();
}

TMusicStringOptions::TMusicStringOptions() : FRoot(std::make_unique<TMusicStringList>()) {}

void TMusicStringOptions::Load(const std::string& fileName)
{
  if (!FRoot->LockFile(fileName)) {
    return;
  }
  FKeptDamagedFile.clear();
  try {
    FRoot->LoadFromFile(fileName);
  } catch (const Exception& e) {
    // A missing or corrupt file reads as empty; a corrupt one is kept for the user.
    if (e.Message() == InvalidStreamMessage) {
      KeepDamaged(fileName);
    }
  }
  FRoot->UnLockFile();
  for (int i = FRoot->Count() - 1; i >= 0; --i) {
    if (FRoot->List(i) == nullptr) {
      FRoot->Delete(i);
    }
  }
}

TMusicStringList& TMusicStringOptions::Values(std::string_view key)
{
  int index = FRoot->IndexOf(key);
  if (index < 0) {
    index = FRoot->AddObject(std::string(key), std::make_unique<TMusicStringList>().release());
  } else if (FRoot->List(index) == nullptr) {
    FRoot->SetObject(index, std::make_unique<TMusicStringList>().release());
  }
  return *FRoot->List(index);
}

void TMusicStringOptions::KeepDamaged(const std::string& fileName)
{
  const std::string kept = fileName + ".corrupt";
  if (MoveFileExA(fileName.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE) {
    FKeptDamagedFile = kept;
    TraceObject(this, "%s is damaged; kept as %s", fileName, kept);
  } else {
    TraceObject(this, "%s is damaged and cannot be kept as %s (error %d)", fileName, kept, GetLastError());
  }
}

TMusicStringOptions::TStoreResult TMusicStringOptions::Store(const std::string& fileName,
                                                             std::span<const std::string> keys)
{
  FKeptDamagedFile.clear();
  FStoreError.clear();
  auto fresh = std::make_unique<TMusicStringList>();
  if (!fresh->LockFile(fileName)) {
    return TStoreResult::Locked;
  }
  try {
    fresh->LoadFromFile(fileName);
  } catch (const Exception& e) {
    // A missing file, or one whose content is not a list, is replaced by the stored keys. A file
    // that is there but could not be read this time keeps its keys: nothing is stored.
    const bool corrupt = e.Message() == InvalidStreamMessage;
    if (!corrupt && FileExists(fileName)) {
      FStoreError = e.Message();
      fresh->UnLockFile();
      return TStoreResult::Unreadable;
    }
    if (corrupt) {
      KeepDamaged(fileName);
    }
  }
  for (const std::string& key : keys) {
    const int old = fresh->IndexOf(key);
    if (old >= 0) {
      fresh->Delete(old);
    }
    const int index = FRoot->IndexOf(key);
    if (index >= 0) {
      // Move the entry with its nested list: the root gives the object up without freeing it.
      TObject* values = FRoot->Objects(index);
      std::string name = FRoot->Strings(index);
      FRoot->SetOwnsObjects(false);
      FRoot->Delete(index);
      FRoot->SetOwnsObjects(true);
      fresh->AddObject(std::move(name), values);
    }
  }
  // The lock belongs to the fresh list, which becomes the root.
  FRoot = std::move(fresh);
  TStoreResult result = TStoreResult::Stored;
  try {
    FRoot->SaveToFile(fileName);
  } catch (const Exception& e) {
    // A store that cannot be written leaves the file as it was.
    FStoreError = e.Message();
    TraceObject(this, "Store %s: %s", fileName, e.Message());
    result = TStoreResult::WriteFailed;
  }
  FRoot->UnLockFile();
  return result;
}
