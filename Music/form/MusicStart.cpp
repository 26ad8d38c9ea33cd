#include "Music/form/MusicStart.h"

#include "platform/files/Paths.h"
#include "rtl/AnsiText.h"
#include "rtl/FileUtils.h"

TViewSlots FindViewSlots(const TDbIdList& views)
{
  TViewSlots slots;
  for (int slot = 1; slot < ViewSlotCount; ++slot) {
    for (const TDbId& view : views.Items()) {
      if (AnsiLowerCase(view.Caption).find(ViewSlotKeywords[static_cast<std::size_t>(slot)]) !=
          std::string::npos) {
        slots[static_cast<std::size_t>(slot)] = view;
        break;
      }
    }
  }
  return slots;
}

int SlotOfItem(const TViewSlots& slots, const TDbId& item)
{
  for (int slot = 0; slot < ViewSlotCount; ++slot) {
    const TDbId& view = slots[static_cast<std::size_t>(slot)];
    if (view.Valid() && view.SameView(item)) {
      return slot;
    }
  }
  return FoldersSlot;
}

std::vector<int> FilledSlots(const TViewSlots& slots)
{
  std::vector<int> filled;
  for (int slot = 1; slot < ViewSlotCount; ++slot) {
    if (slots[static_cast<std::size_t>(slot)].Valid()) {
      filled.push_back(slot);
    }
  }
  return filled;
}

std::vector<std::string> StartFiles(const std::vector<std::string>& arguments)
{
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    // A host path is what a desktop hands over; the library knows files by their Windows names.
    std::string path = argument;
    if (!argument.empty() && argument.front() == '/') {
      path = WindowsPathOf(argument);
      if (path.empty()) {
        continue;
      }
    }
    if (FileExists(path)) {
      files.push_back(path);
    }
  }
  return files;
}
