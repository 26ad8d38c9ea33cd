#include "OxaIPC/OxaIpcCommands.h"

#include "OxaIPC/OxaIpc.h"

void TOxaIpcCommandItem::Resolve(TOxaIpc* ipc)
{
  FCommandId = ipc != nullptr && ipc->Active() ? ipc->NameToId(CommandName) : 0;
}

void TOxaIpcCommands::Assign(const TOxaIpcCommands& other)
{
  if (&other == this) {
    return;
  }
  std::vector<std::unique_ptr<TOxaIpcCommandItem>> items;
  items.reserve(other.FItems.size());
  for (const auto& item : other.FItems) {
    items.push_back(std::make_unique<TOxaIpcCommandItem>(item->CommandName, item->OnDispatch));
  }
  FItems.swap(items);
}

TOxaIpcCommandItem& TOxaIpcCommands::Add(const std::string& name, TOxaIpcDispatchEvent handler)
{
  FItems.push_back(std::make_unique<TOxaIpcCommandItem>(name, handler));
  return *FItems.back();
}

void TOxaIpcCommands::Resolve(TOxaIpc* ipc)
{
  for (auto& item : FItems) {
    item->Resolve(ipc);
  }
}

TOxaIpcCommandItem* TOxaIpcCommands::Find(std::uint32_t nameId) const noexcept
{
  if (nameId == 0) {
    return nullptr;
  }
  for (const auto& item : FItems) {
    if (item->CommandId() == nameId) {
      return item.get();
    }
  }
  return nullptr;
}
