#pragma once
// What the bus tests share: a throw-away machine per test, a bus that counts its events, and
// a hostile member that writes into the body without any care.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "OxaIPC/OxaIpc.h"
#include "platform/core/ByteOrder.h"
#include "tests/support/TempFolder.h"

class TBusEvents : public TObject {
 public:
  void Opened(TObject*) { ++Opens, LockedInHandler = LockedInHandler || Ipc->Locked(); }
  void Closed(TObject*) { ++Closes, LockedInHandler = LockedInHandler || Ipc->Locked(); }
  void Damaged(TObject*) { ++Damages; }
  void Watch(TOxaIpc& ipc)
  {
    Ipc = &ipc;
    ipc.OnOpen = MakeMethod<&TBusEvents::Opened>(this);
    ipc.OnClose = MakeMethod<&TBusEvents::Closed>(this);
    ipc.OnDamaged = MakeMethod<&TBusEvents::Damaged>(this);
  }
  TOxaIpc* Ipc = nullptr;
  int Opens = 0;
  int Closes = 0;
  int Damages = 0;
  bool LockedInHandler = false;
};

// Byte offsets of the body header's words inside the body heap.
constexpr std::uint32_t BodyProcessesAt = 16 + 16;
constexpr std::uint32_t BodyClientsAt = 16 + 20;
constexpr std::uint32_t BodyNamesAt = 16 + 24;

// A member that maps the body of a generation and writes into it as a crashed or hostile one
// would.
class THostileMember {
 public:
  THostileMember(const std::string& group, std::uint32_t generation, std::uint32_t bodySize)
  {
    bool existed = false;
    FMutex.Open(OxaIpcMutexName(group), existed);
    FBody.Open(FMutex, OxaIpcBodyName(group, generation), OxaIpcBodyHeaderSize, bodySize);
  }
  std::uint32_t Word(std::uint32_t offset) { return ByteOrder::LoadLE32(Base() + offset); }
  void SetWord(std::uint32_t offset, std::uint32_t value) { ByteOrder::StoreLE32(Base() + offset, value); }
  std::uint8_t* Base() { return static_cast<std::uint8_t*>(FBody.ToPointer(0)); }

 private:
  TOxaMutex FMutex;
  TOxaProcessMemory FBody;
};

class TBusTest : public ::testing::Test {
 protected:
  TBusTest() : FIpc(std::make_unique<TOxaIpc>(nullptr)) { FEvents.Watch(*FIpc); }
  TOxaIpc& Ipc() { return *FIpc; }

  TTempMachine FMachine;
  TBusEvents FEvents;  // outlives the bus, whose end still raises its events
  std::unique_ptr<TOxaIpc> FIpc;
};
