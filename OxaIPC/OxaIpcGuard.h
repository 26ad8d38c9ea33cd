#pragma once
// The bus's internal brackets: the nesting depth of its public operations (only the outermost
// one turns damage into the damaged path; inner ones let it pass up) and the bus lock held for
// one operation with the body's generation brought up to date.

#include "OxaIPC/OxaIpc.h"

class TOxaIpcDepth {
 public:
  explicit TOxaIpcDepth(int& depth) noexcept : FDepth(depth) { ++FDepth; }
  ~TOxaIpcDepth() { Leave(); }
  TOxaIpcDepth(const TOxaIpcDepth&) = delete;
  TOxaIpcDepth& operator=(const TOxaIpcDepth&) = delete;
  void Leave() noexcept
  {
    if (!FLeft) {
      FLeft = true;
      --FDepth;
    }
  }

 private:
  int& FDepth;
  bool FLeft = false;
};

class TOxaIpcBusLock {
 public:
  TOxaIpcBusLock(TOxaIpc& ipc, DWORD timeout) : FIpc(ipc)
  {
    FOk = ipc.LockBus(timeout);
    if (FOk) {
      try {
        ipc.CheckGeneration();
      } catch (...) {
        ipc.FMutex.Unlock();
        throw;
      }
    }
  }
  ~TOxaIpcBusLock()
  {
    if (FOk && FIpc.FMutex.Locked()) {
      FIpc.FMutex.Unlock();
    }
  }
  TOxaIpcBusLock(const TOxaIpcBusLock&) = delete;
  TOxaIpcBusLock& operator=(const TOxaIpcBusLock&) = delete;
  explicit operator bool() const noexcept { return FOk; }

 private:
  TOxaIpc& FIpc;
  bool FOk = false;
};

template <class R, class F>
R TOxaIpc::Guarded(R failure, F&& body)
{
  if (FDepth > 0) {
    return body();
  }
  TOxaIpcDepth depth(FDepth);
  try {
    return body();
  } catch (const EOxaFatal&) {
    throw;
  } catch (const EOxaFailed& error) {
    TraceObject(this, "Damaged: %s", error.Message());
    depth.Leave();
    Damaged();
    return failure;
  }
}
