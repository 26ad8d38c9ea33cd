// Cursors: the stock ones and the program's ARGB cursor resources, and the one shown.
#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <string>

#include "platform/core/LastError.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/InputEvents.h"

namespace {

constexpr int MaxCursorSide = 256;
constexpr std::uintptr_t StockCursorBase = 0x00010000;
constexpr std::uintptr_t ResourceCursorBase = 0x00020000;

struct TCursorTable {
  std::mutex Lock;
  std::map<std::string, HCURSOR> ByName;
  std::map<HCURSOR, std::shared_ptr<const TCursorImage>> Images;
  std::uintptr_t Next = ResourceCursorBase;
  HCURSOR Current = nullptr;
};

TCursorTable& Cursors()
{
  static TCursorTable table;
  return table;
}

// A resource name: a number below 0x10000 passed as a pointer, or text.
std::string ResourceKey(const char* name)
{
  const auto value = reinterpret_cast<std::uintptr_t>(name);
  if (value < 0x10000) {
    std::string key = "#";
    key += std::to_string(value);
    return key;
  }
  std::string key = name;
  for (char& c : key) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return key;
}

}  // namespace

bool RegisterCursorResource(const char* name, int width, int height, int hotspotX, int hotspotY,
                            const std::uint32_t* argb, std::size_t pixelCount)
{
  if (name == nullptr || argb == nullptr || width <= 0 || height <= 0 || width > MaxCursorSide ||
      height > MaxCursorSide ||
      pixelCount < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return false;
  }
  auto image = std::make_shared<TCursorImage>();
  image->Width = width;
  image->Height = height;
  image->HotspotX = std::clamp(hotspotX, 0, width - 1);
  image->HotspotY = std::clamp(hotspotY, 0, height - 1);
  image->Argb.assign(argb, argb + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  TCursorTable& table = Cursors();
  const std::lock_guard guard(table.Lock);
  HCURSOR& handle = table.ByName[ResourceKey(name)];
  if (handle == nullptr) {
    handle = reinterpret_cast<HCURSOR>(table.Next++);
  }
  table.Images[handle] = std::move(image);
  return true;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name)
{
  if (name == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (instance == nullptr) {
    if (name == IDC_ARROW || name == IDC_WAIT) {
      return reinterpret_cast<HCURSOR>(StockCursorBase + reinterpret_cast<std::uintptr_t>(name));
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  TCursorTable& table = Cursors();
  const std::lock_guard guard(table.Lock);
  const auto found = table.ByName.find(ResourceKey(name));
  if (found == table.ByName.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return found->second;
}

std::shared_ptr<const TCursorImage> CursorImage(HCURSOR cursor)
{
  TCursorTable& table = Cursors();
  const std::lock_guard guard(table.Lock);
  const auto found = table.Images.find(cursor);
  return found == table.Images.end() ? nullptr : found->second;
}

HCURSOR SetCursor(HCURSOR cursor)
{
  TCursorTable& table = Cursors();
  HCURSOR previous = nullptr;
  std::shared_ptr<const TCursorImage> image;
  {
    const std::lock_guard guard(table.Lock);
    previous = std::exchange(table.Current, cursor);
    if (previous == cursor) {
      return previous;
    }
    if (const auto found = table.Images.find(cursor); found != table.Images.end()) {
      image = found->second;
    }
  }
  if (TDisplay* display = OpenedDisplay()) {
    display->ShowCursor(cursor, image.get());
  }
  return previous;
}

HCURSOR GetCursor()
{
  return CurrentCursor();
}

HCURSOR CurrentCursor()
{
  TCursorTable& table = Cursors();
  const std::lock_guard guard(table.Lock);
  return table.Current;
}
