#pragma once
// The commands of a bus client: message names mapped to handlers. A command's id is the interned
// id of its name, resolved while its client is registered (0 otherwise, which matches nothing).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpcMessage.h"

class TOxaIpc;

class TOxaIpcCommandItem {
 public:
  TOxaIpcCommandItem() = default;
  TOxaIpcCommandItem(std::string name, TOxaIpcDispatchEvent handler)
      : CommandName(std::move(name)), OnDispatch(handler)
  {
  }
  const std::string& DisplayName() const noexcept { return CommandName; }
  std::uint32_t CommandId() const noexcept { return FCommandId; }
  // Looks the name up on an active bus; nullptr (or an inactive bus) clears the id.
  void Resolve(TOxaIpc* ipc);

  std::string CommandName;
  TOxaIpcDispatchEvent OnDispatch;

 private:
  std::uint32_t FCommandId = 0;
};

class TOxaIpcCommands {
 public:
  TOxaIpcCommands() = default;
  TOxaIpcCommands(const TOxaIpcCommands& other) { Assign(other); }
  TOxaIpcCommands& operator=(const TOxaIpcCommands& other)
  {
    Assign(other);
    return *this;
  }
  // Copies names and handlers; ids are resolved by whoever owns the copy.
  void Assign(const TOxaIpcCommands& other);
  TOxaIpcCommandItem& Add(const std::string& name, TOxaIpcDispatchEvent handler);
  void Clear() noexcept { FItems.clear(); }
  int Count() const noexcept { return static_cast<int>(FItems.size()); }
  TOxaIpcCommandItem& Items(int index) const { return *FItems.at(static_cast<std::size_t>(index)); }
  void Resolve(TOxaIpc* ipc);
  // The first item whose id is nameId; nullptr for none or for id 0.
  TOxaIpcCommandItem* Find(std::uint32_t nameId) const noexcept;

 private:
  std::vector<std::unique_ptr<TOxaIpcCommandItem>> FItems;
};
