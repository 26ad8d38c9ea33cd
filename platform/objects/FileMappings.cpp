#include "platform/objects/FileMappings.h"

#include <sys/mman.h>

#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/core/LastError.h"
#include "platform/objects/NamedObjects.h"

namespace {

constexpr std::uint64_t AllocationGranularity = 0x10000;

class TMappingObject : public TKernelObject {
 public:
  explicit TMappingObject(std::shared_ptr<TNamedSection> section) : FSection(std::move(section)) {}
  const std::shared_ptr<TNamedSection>& Section() const noexcept { return FSection; }

 private:
  std::shared_ptr<TNamedSection> FSection;
};

struct TView {
  std::size_t Length;
  std::shared_ptr<TNamedSection> Section;  // keeps the mapping alive while the view exists
};

// The process's views by base address.
struct TViewTable {
  std::mutex Lock;  // guards Views
  std::map<const void*, TView> Views;
};

TViewTable& Views()
{
  static TViewTable table;
  return table;
}

}  // namespace

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, const char* name)
{
  const std::uint64_t size = (static_cast<std::uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
  if (file != INVALID_HANDLE_VALUE || size == 0 || (protect != PAGE_READWRITE && protect != PAGE_READONLY)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool existed = false;
  auto section = TNamedSection::Open(name == nullptr ? std::string_view() : std::string_view(name),
                                     TObjectKind::Mapping, TOpenMode::CreateOrOpen, size, existed, nullptr);
  if (!section) {
    return nullptr;
  }
  HANDLE handle = RegisterHandle(std::make_shared<TMappingObject>(std::move(section)));
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE OpenFileMappingA(DWORD, BOOL, const char* name)
{
  bool existed = false;
  auto section = TNamedSection::Open(name == nullptr ? std::string_view() : std::string_view(name),
                                     TObjectKind::Mapping, TOpenMode::OpenExisting, 0, existed, nullptr);
  if (!section) {
    return nullptr;
  }
  return RegisterHandle(std::make_shared<TMappingObject>(std::move(section)));
}

void* MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                    std::size_t bytes)
{
  const auto object = LookupHandleAs<TMappingObject>(mapping);
  if (!object) {
    return nullptr;
  }
  const std::uint64_t offset = (static_cast<std::uint64_t>(fileOffsetHigh) << 32) | fileOffsetLow;
  if (offset % AllocationGranularity != 0) {
    SetLastError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  const std::uint64_t size = object->Section()->DataSize();
  if (offset >= size || (bytes != 0 && bytes > size - offset)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const std::size_t length = bytes != 0 ? bytes : static_cast<std::size_t>(size - offset);
  const int protection = (desiredAccess & FILE_MAP_WRITE) != 0 ? PROT_READ | PROT_WRITE : PROT_READ;
  void* view = mmap(nullptr, length, protection, MAP_SHARED, object->Section()->Descriptor(),
                    static_cast<off_t>(SectionDataOffset + offset));
  if (view == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto& table = Views();
  const std::lock_guard guard(table.Lock);
  table.Views.emplace(view, TView{length, object->Section()});
  return view;
}

BOOL UnmapViewOfFile(const void* baseAddress)
{
  std::shared_ptr<TNamedSection> section;
  {
    auto& table = Views();
    const std::lock_guard guard(table.Lock);
    const auto found = table.Views.find(baseAddress);
    if (found == table.Views.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    munmap(const_cast<void*>(baseAddress), found->second.Length);
    section = std::move(found->second.Section);
    table.Views.erase(found);
  }
  // The section (and with it perhaps the mapping) goes outside the table lock.
  section.reset();
  return TRUE;
}
