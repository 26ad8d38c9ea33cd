#include "platform/objects/NamedObjects.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>

#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/files/LockFile.h"

namespace {

constexpr std::uint32_t SectionMagic = 0x4F584E4FU;
// Escaped names up to this length are used as they are; longer ones are cut and hashed.
constexpr std::size_t MaxPlainFileName = 200;
constexpr std::size_t HashedPrefixLength = 120;
// Entries of sections this process no longer holds are swept once the table is this large.
constexpr std::size_t SectionSweepThreshold = 256;

std::uint64_t Fnv1a(std::string_view text, std::uint64_t basis) noexcept
{
  std::uint64_t hash = basis;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ULL;
  }
  return hash;
}

// The machine-wide exclusive lock over the namespace, held while an object is opened, created
// or finally closed.
TLockFile NamespaceLock(const std::filesystem::path& folder)
{
  return TLockFile(NamespaceLockPath(folder), 0600);
}

// The sections this process holds, by path: all handles of a process to one object share one
// section, and a second open in the same process reports that the object existed.
struct TSectionTable {
  std::mutex Lock;  // guards Sections
  std::map<std::string, std::weak_ptr<TNamedSection>> Sections;
};

TSectionTable& Sections()
{
  static TSectionTable table;
  return table;
}

DWORD ErrorFromErrno(int error) noexcept
{
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    default:
      return ERROR_NOT_ENOUGH_MEMORY;
  }
}

TMappedView MapHeader(int fd) noexcept
{
  return TMappedView(mmap(nullptr, SectionDataOffset, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0),
                     SectionDataOffset);
}

TSectionHeader* HeaderOf(const TMappedView& view) noexcept
{
  return static_cast<TSectionHeader*>(view.Get());
}

// Lays out a fresh object in fd: zeroed header, kind, name, size, the kind's initial state.
bool InitialiseSection(int fd, std::string_view name, TObjectKind kind, std::uint64_t dataSize,
                       const std::function<void(TSectionHeader&)>& initialise)
{
  const std::uint64_t fileSize =
      kind == TObjectKind::Mapping ? SectionDataOffset + dataSize : SectionDataOffset;
  if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(fileSize)) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  const TMappedView view = MapHeader(fd);
  if (!view.Valid()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  TSectionHeader* header = HeaderOf(view);
  header->Kind = static_cast<std::uint32_t>(kind);
  header->DataSize = kind == TObjectKind::Mapping ? dataSize : 0;
  header->NameLength = static_cast<std::uint32_t>(name.size());
  if (!name.empty()) {
    std::memcpy(header->Name, name.data(), name.size());
  }
  if (initialise) {
    initialise(*header);
  }
  // The magic goes last: a header without it was never finished and is not an object.
  header->Magic = SectionMagic;
  return true;
}

}  // namespace

std::string EscapeObjectName(std::string_view name)
{
  static constexpr char hexDigits[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || (c == '.' && i > 0);
    if (plain) {
      escaped.push_back(static_cast<char>(c));
    } else {
      escaped.push_back('%');
      escaped.push_back(hexDigits[c >> 4]);
      escaped.push_back(hexDigits[c & 0xF]);
    }
  }
  if (escaped.size() <= MaxPlainFileName) {
    return escaped;
  }
  const std::uint64_t first = Fnv1a(name, 0xCBF29CE484222325ULL);
  const std::uint64_t second = Fnv1a(name, 0x84222325CBF29CE4ULL);
  std::string hashed = escaped.substr(0, HashedPrefixLength);
  // Never end the prefix inside an escape.
  while (!hashed.empty() &&
         (hashed.back() == '%' || (hashed.size() >= 2 && hashed[hashed.size() - 2] == '%'))) {
    hashed.pop_back();
  }
  hashed.push_back('~');
  for (const std::uint64_t part : {first, second}) {
    for (int shift = 60; shift >= 0; shift -= 4) {
      hashed.push_back(hexDigits[(part >> shift) & 0xF]);
    }
  }
  return hashed;
}

std::filesystem::path ObjectsFolder()
{
  std::filesystem::path folder = MachineFolder() / "objects";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

std::filesystem::path NamespaceLockPath(const std::filesystem::path& folder)
{
  return folder / ".lock";
}

TNamedSection::TNamedSection(std::filesystem::path path, TFileDescriptor descriptor,
                             TMappedView header) noexcept
    : FPath(std::move(path)),
      FDescriptor(std::move(descriptor)),
      FView(std::move(header)),
      FHeader(static_cast<TSectionHeader*>(FView.Get()))
{
}

std::shared_ptr<TNamedSection> TNamedSection::Open(std::string_view name, TObjectKind kind, TOpenMode mode,
                                                   std::uint64_t dataSize, bool& existed,
                                                   const std::function<void(TSectionHeader&)>& initialise)
{
  existed = false;
  if (name.size() > MaxObjectNameLength) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  if (name.empty()) {
    if (mode == TOpenMode::OpenExisting) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    TFileDescriptor fd(memfd_create("oxa-object", MFD_CLOEXEC));
    if (fd.Get() < 0 || !InitialiseSection(fd.Get(), name, kind, dataSize, initialise)) {
      if (fd.Get() < 0) {
        SetLastError(ErrorFromErrno(errno));
      }
      return nullptr;
    }
    TMappedView view = MapHeader(fd.Get());
    if (!view.Valid()) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    return std::make_shared<TNamedSection>(std::filesystem::path(), std::move(fd), std::move(view));
  }

  const std::filesystem::path folder = ObjectsFolder();
  const std::filesystem::path path = folder / EscapeObjectName(name);

  auto& table = Sections();
  const std::lock_guard guard(table.Lock);
  if (table.Sections.size() >= SectionSweepThreshold) {
    std::erase_if(table.Sections, [](const auto& entry) { return entry.second.expired(); });
  }
  if (auto found = table.Sections.find(path.string()); found != table.Sections.end()) {
    if (auto section = found->second.lock()) {
      const TSectionHeader& header = section->Header();
      if (header.NameLength != name.size() || std::memcmp(header.Name, name.data(), name.size()) != 0 ||
          section->Kind() != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
      }
      existed = true;
      return section;
    }
  }

  const TLockFile namespaceLock = NamespaceLock(folder);
  if (!namespaceLock.Held()) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  const int flags = O_RDWR | O_CLOEXEC | (mode == TOpenMode::CreateOrOpen ? O_CREAT : 0);
  TFileDescriptor fd(open(path.c_str(), flags, 0600));
  if (fd.Get() < 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  // Nobody else holding the file means that it is new, or a leftover of processes that died.
  const bool live = flock(fd.Get(), LOCK_EX | LOCK_NB) != 0;
  if (!live) {
    if (mode == TOpenMode::OpenExisting) {
      unlink(path.c_str());
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    if (!InitialiseSection(fd.Get(), name, kind, dataSize, initialise)) {
      unlink(path.c_str());
      return nullptr;
    }
  }
  if (flock(fd.Get(), LOCK_SH) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  TMappedView view = MapHeader(fd.Get());
  if (!view.Valid()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const TSectionHeader* header = HeaderOf(view);
  if (header->Magic != SectionMagic || header->NameLength != name.size() ||
      std::memcmp(header->Name, name.data(), name.size()) != 0 ||
      header->Kind != static_cast<std::uint32_t>(kind)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  existed = live;
  auto section = std::make_shared<TNamedSection>(path, std::move(fd), std::move(view));
  table.Sections[path.string()] = section;
  return section;
}

TNamedSection::~TNamedSection()
{
  if (FKeep) {
    FDescriptor.Release();
    FView.Release();
    return;
  }
  FView.Reset();
  if (FPath.empty()) {
    return;
  }
  const TLockFile namespaceLock = NamespaceLock(FPath.parent_path());
  // Only the last holder gets its shared lock turned exclusive; it takes the object away.
  if (namespaceLock.Held() && flock(FDescriptor.Get(), LOCK_EX | LOCK_NB) == 0) {
    unlink(FPath.c_str());
  }
  // Dropped while the namespace is still locked, so the next holder to close sees the truth.
  FDescriptor.Reset();
}
