#include "scan/TagReadAhead.h"

#include <chrono>

#include "platform/core/Time.h"
#include "rtl/Thread.h"

class TTagReadAhead::TWorker : public TThread {
 public:
  explicit TWorker(TTagReadAhead& owner) : TThread(true), FOwner(owner) {}
  ~TWorker() override { TerminateAndWait(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

 protected:
  void Execute() override
  {
    TOxaMusicTag tag;
    while (!Terminated() && FOwner.ReadNext(tag)) {
    }
  }

 private:
  TTagReadAhead& FOwner;
};

TTagReadAhead::TTagReadAhead(TMusicFileItems& items, std::vector<std::uint32_t> reads, DWORD pause,
                             const std::atomic<bool>& cancelled, bool secondThread)
    : FItems(items),
      FReads(std::move(reads)),
      FPause(pause),
      FCancelled(cancelled),
      FDone(FReads.size()),
      FErrors(FReads.size())
{
  // With a single read there is nothing to share.
  if (secondThread && FReads.size() > 1) {
    FWorker = TThread::New<TWorker>(*this);
    FWorker->SetPriority(TThreadPriority::tpLowest);
    FWorker->Start();
  }
}

TTagReadAhead::~TTagReadAhead()
{
  if (FWorker) {
    FWorker->Terminate();
    FWorker.reset();
  }
}

bool TTagReadAhead::ReadNext(TOxaMusicTag& tag)
{
  if (FCancelled) {
    return false;
  }
  const std::size_t k = FNext.fetch_add(1);
  if (k >= FReads.size()) {
    return false;
  }
  if (FPause > 0) {
    Sleep(FPause);
  }
  try {
    tag.ReadItem(FItems[FReads[k]]);
  } catch (...) {
    FErrors[k] = std::current_exception();
  }
  {
    const std::lock_guard lock(FLock);
    FDone[k].store(true, std::memory_order_release);
  }
  FReadDone.notify_all();
  return true;
}

bool TTagReadAhead::Await(std::size_t k)
{
  while (!FDone[k].load(std::memory_order_acquire)) {
    if (FCancelled) {
      return false;
    }
    if (ReadNext(FTag)) {
      continue;
    }
    // The item is the second thread's, being read now; the wait is short, and cut off now and
    // then to look at cancelled.
    std::unique_lock lock(FLock);
    FReadDone.wait_for(lock, std::chrono::milliseconds(20),
                       [&] { return FDone[k].load(std::memory_order_acquire); });
  }
  if (FErrors[k]) {
    std::rethrow_exception(FErrors[k]);
  }
  return true;
}
