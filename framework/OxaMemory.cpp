// The named mapping (TOxaMappedMemory) and the heap shared under a mutex (TOxaProcessMemory).

#include "framework/OxaMemory.h"

#include "platform/core/ByteOrder.h"
#include "platform/core/LastError.h"
#include "platform/core/Time.h"
#include "platform/objects/FileMappings.h"

namespace {

const char* NameOrNull(const std::string& name)
{
  return name.empty() ? nullptr : name.c_str();
}

}  // namespace

TOxaMappedMemory::~TOxaMappedMemory()
{
  Close();
}

void TOxaMappedMemory::Open(const std::string& name, std::uint32_t size, bool& existed)
{
  if (IsOpen()) {
    throw EOxaAlreadyOpen("Already open");
  }
  const std::uint64_t bytes = std::uint64_t{size} + 4;
  THandleOwner mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                          static_cast<DWORD>(bytes >> 32), static_cast<DWORD>(bytes),
                                          NameOrNull(name)));
  if (!mapping.Valid()) {
    throw EOxaFailed("Failed to open memory");
  }
  existed = GetLastError() == ERROR_ALREADY_EXISTS;
  // The whole size is mapped, so an existing mapping smaller than asked fails here.
  auto* view = static_cast<std::uint8_t*>(MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, bytes));
  if (view == nullptr) {
    throw EOxaFailed("Failed to map memory");
  }
  if (!existed) {
    ByteOrder::StoreLE32(view, size);
  } else if (ByteOrder::LoadLE32(view) != size) {
    UnmapViewOfFile(view);
    throw EOxaFailed("Failed to map memory");
  }
  FMapping = std::move(mapping);
  FView = view;
}

bool TOxaMappedMemory::OpenReadOnly(const std::string& name)
{
  if (IsOpen()) {
    throw EOxaAlreadyOpen("Already open");
  }
  THandleOwner mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()));
  if (!mapping.Valid()) {
    return false;
  }
  void* word = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 4);
  std::uint8_t* view = nullptr;
  if (word != nullptr) {
    const std::uint64_t bytes = std::uint64_t{ByteOrder::LoadLE32(word)} + 4;
    UnmapViewOfFile(word);
    view = static_cast<std::uint8_t*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, bytes));
  }
  if (view == nullptr) {
    throw EOxaFailed("Failed to map memory");
  }
  FMapping = std::move(mapping);
  FView = view;
  return true;
}

std::uint32_t TOxaMappedMemory::Size() const
{
  if (!IsOpen()) {
    throw EOxaNotOpen("Not open");
  }
  return ByteOrder::LoadLE32(FView);
}

void TOxaMappedMemory::Close() noexcept
{
  if (!IsOpen()) {
    return;
  }
  UnmapViewOfFile(FView);
  FView = nullptr;
  FMapping.Reset();
}

// Holds the mutex for one operation. A dead owner may have left the heap half-written: then
// the heap is checked first and a damaged one is refused.
class TOxaProcessMemory::TGuard {
 public:
  enum class TDamage { Raise, Report };

  TGuard(TOxaProcessMemory& memory, TDamage damage) : FLock(*memory.FMutex)
  {
    if (memory.FMutex->Abandoned() && memory.FManager.IsOpen() && damage == TDamage::Raise) {
      RaiseOnDamage(memory.FManager);
    }
  }

  static void RaiseOnDamage(const TOxaMemoryManager& manager)
  {
    const std::string report = manager.Check();
    if (!report.empty()) {
      throw EOxaFailed("Damaged memory after its owner died:\r\n" + report);
    }
  }

 private:
  TOxaMutexLock FLock;
};

TOxaProcessMemory::~TOxaProcessMemory()
{
  Close();
}

void TOxaProcessMemory::RequireOpen() const
{
  if (!FOpen) {
    throw EOxaNotOpen("Not open");
  }
}

std::uint32_t TOxaProcessMemory::TotalSize(std::uint32_t headerSize, std::uint32_t dataSize) const
{
  const std::uint64_t total = OxaBlockBytes(dataSize) + OxaHeapOverhead + OxaBlockBytes(headerSize);
  // The mapping adds its size word to the heap.
  if (total > 0xFFFFFFFFu - 4) {
    throw EOxaOutOfMemory(Format("Size is more than %d", 0xFFFFFFFFu - 4));
  }
  return static_cast<std::uint32_t>(total);
}

std::unique_ptr<TOxaMappedMemory> TOxaProcessMemory::OpenMapping(const std::string& name, std::uint32_t size,
                                                                 bool& existed)
{
  // A mapping may be missing for a moment while its last holder closes it, so a failure is
  // tried again; but a lasting one (another size under the same name) must not hold every
  // process on the mutex for ever.
  for (int attempt = 0;; ++attempt) {
    auto memory = std::make_unique<TOxaMappedMemory>();
    try {
      memory->Open(name, size, existed);
      return memory;
    } catch (const EOxaFailed&) {
      if (attempt == MappingRetries) {
        throw EOxaFailed("Failed to map memory");
      }
    }
    Sleep(MappingRetryPause);
  }
}

void TOxaProcessMemory::Open(TOxaMutex& mutex, const std::string& name, std::uint32_t headerSize,
                             std::uint32_t dataSize)
{
  if (FOpen) {
    throw EOxaAlreadyOpen("Already open");
  }
  FMutex = &mutex;
  TGuard guard(*this, TGuard::TDamage::Raise);
  const std::uint32_t total = TotalSize(headerSize, dataSize);
  bool existed = false;
  auto memory = OpenMapping(name, total, existed);
  try {
    FManager.Open(memory->Data(), total, headerSize, !existed);
    if (existed) {
      FManager.VerifyHeader();
      if (FMutex->Abandoned()) {
        TGuard::RaiseOnDamage(FManager);
      }
    }
  } catch (...) {
    FManager.Close();
    throw;
  }
  FMemory = std::move(memory);
  FOpen = true;
}

void TOxaProcessMemory::Grow(const std::string& name, std::uint32_t dataSize)
{
  RequireOpen();
  TGuard guard(*this, TGuard::TDamage::Raise);
  const std::uint32_t headerSize = FManager.GetHeaderSize();
  const std::uint32_t total = TotalSize(headerSize, dataSize);
  bool existed = false;
  auto memory = OpenMapping(name, total, existed);
  if (existed) {
    // Another process grew the heap first: its copy is the heap now.
    TOxaMemoryManager attached;
    attached.Open(memory->Data(), total, headerSize, false);
    attached.VerifyHeader();
    FManager.Close();
    FManager.Open(memory->Data(), total, headerSize, false);
  } else {
    FManager.Relocate(memory->Data(), total);
  }
  FMemory = std::move(memory);
}

void* TOxaProcessMemory::Alloc(std::uint32_t n)
{
  RequireOpen();
  TGuard guard(*this, TGuard::TDamage::Raise);
  return FManager.Alloc(n);
}

void TOxaProcessMemory::Free(void* p)
{
  RequireOpen();
  TGuard guard(*this, TGuard::TDamage::Raise);
  FManager.Free(p);
}

std::uint32_t TOxaProcessMemory::GetSize()
{
  RequireOpen();
  TGuard guard(*this, TGuard::TDamage::Raise);
  return FMemory->Size();
}

void* TOxaProcessMemory::GetHeader()
{
  RequireOpen();
  TGuard guard(*this, TGuard::TDamage::Raise);
  return FManager.GetHeader();
}

std::uint32_t TOxaProcessMemory::GetHeaderSize()
{
  RequireOpen();
  TGuard guard(*this, TGuard::TDamage::Raise);
  return FManager.GetHeaderSize();
}

std::string TOxaProcessMemory::Check()
{
  RequireOpen();
  TGuard guard(*this, TGuard::TDamage::Report);
  return FManager.Check();
}

std::uint32_t TOxaProcessMemory::ToOffset(const void* p) const
{
  RequireOpen();
  return FManager.ToOffset(p);
}

void* TOxaProcessMemory::ToPointer(std::uint32_t offset) const
{
  RequireOpen();
  return FManager.ToPointer(offset);
}

void TOxaProcessMemory::Close() noexcept
{
  if (!FOpen) {
    return;
  }
  FManager.Close();
  FMemory.reset();
  FOpen = false;
}
