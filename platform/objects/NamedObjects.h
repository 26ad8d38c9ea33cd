#pragma once
// The machine's namespace of named kernel objects (mutexes, events, file mappings), shared by
// every process that uses the same machine folder. Internal to the platform layer.
//
// Each named object is one file in the machine folder's "objects" folder: a 4 KiB header page
// (kind, full name, the kind's shared state) followed, for mappings, by the data. Every process
// that holds a handle keeps the file open with a shared flock, so the object lives exactly as
// long as some process holds it, crash included: a file that nobody holds a lock on is a
// leftover of dead processes and is taken as absent (and reinitialised by the next creator).
// Opening, creating and the last close are serialised by an exclusive flock on the namespace's
// lock file, so a closing holder and a new opener never race on whether the object exists.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"
#include "platform/files/FileDescriptor.h"
#include "platform/objects/detail/MappedView.h"

enum class TObjectKind : std::uint32_t { Mutex = 1, Event = 2, Mapping = 3 };

// Longest object name accepted, in bytes (longer names fail with ERROR_FILENAME_EXCED_RANGE).
constexpr std::size_t MaxObjectNameLength = 2048;
// Where a mapping's data starts in its file; views are mapped from here.
constexpr std::size_t SectionDataOffset = 4096;

// The header page, shared by all holders. State is the kind's own shared state.
struct TSectionHeader {
  std::uint32_t Magic;
  std::uint32_t Kind;
  std::uint64_t DataSize;
  std::uint32_t NameLength;
  char Name[MaxObjectNameLength];
  alignas(64) unsigned char State[1024];
};
static_assert(sizeof(TSectionHeader) <= SectionDataOffset);

// The file name an object name gets in the namespace: bytes outside [A-Za-z0-9._-] (and a
// leading dot) are written as %XX; names whose escaped form would be too long for a file name
// keep a prefix and end in a hash of the whole name. The full name is kept in the header and
// compared on every open, so a hash collision can never join two different objects.
std::string EscapeObjectName(std::string_view name);
// The folder that holds the namespace's files (created when missing) and its lock file.
std::filesystem::path ObjectsFolder();
std::filesystem::path NamespaceLockPath(const std::filesystem::path& folder);

enum class TOpenMode { CreateOrOpen, OpenExisting };

// One process's hold on a named (or unnamed) object: the open file, its flock and the mapped
// header page. All handles of the process to the same object share one section.
class TNamedSection {
 public:
  // Opens or creates the object called name of kind. initialise fills the header's State of a
  // new object (the header is zeroed first). dataSize is the data size of a new mapping.
  // Returns null with the last error set (ERROR_FILE_NOT_FOUND when OpenExisting finds nothing,
  // ERROR_INVALID_HANDLE when the name belongs to another kind). existed tells whether the
  // object existed before this call.
  static std::shared_ptr<TNamedSection> Open(std::string_view name, TObjectKind kind, TOpenMode mode,
                                             std::uint64_t dataSize, bool& existed,
                                             const std::function<void(TSectionHeader&)>& initialise);

  TNamedSection(const TNamedSection&) = delete;
  TNamedSection& operator=(const TNamedSection&) = delete;
  ~TNamedSection();

  TSectionHeader& Header() const noexcept { return *FHeader; }
  int Descriptor() const noexcept { return FDescriptor.Get(); }
  TObjectKind Kind() const noexcept { return static_cast<TObjectKind>(FHeader->Kind); }
  std::uint64_t DataSize() const noexcept { return FHeader->DataSize; }
  // Other processes can open it.
  bool Named() const noexcept { return !FPath.empty(); }

  // Keeps this section (file, lock, header) for the rest of the process: a mutex still owned
  // by one of our threads must stay mapped, or the system's dead-owner list would point at
  // unmapped memory.
  void KeepForProcessLifetime() noexcept { FKeep = true; }

  // Built by Open.
  TNamedSection(std::filesystem::path path, TFileDescriptor descriptor, TMappedView header) noexcept;

 private:
  std::filesystem::path FPath;  // empty for unnamed objects
  TFileDescriptor FDescriptor;
  TMappedView FView;
  TSectionHeader* FHeader;  // the start of FView
  bool FKeep = false;
};
