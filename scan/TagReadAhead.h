#pragma once
// The tag reads of a scan's step 2 shared between the scan thread and a second thread, so a scan
// that reads many files uses two cores. The scan still takes the items one by one in path order
// (Await), so everything it does with them (counts, progress, what it keeps) happens in the same
// order as when it reads them itself; the second thread only reads ahead of it. Both claim the
// next unread item from one counter, the scan thread too whenever it would otherwise wait.
//
// Each read is preceded by the scan's pause, on whichever thread reads. The second thread runs at
// the lowest priority, as the scan does, and stops at its next item once cancelled is set.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/core/WinTypes.h"
#include "scan/KnownFiles.h"
#include "tags/OxaMusicTag.h"

class TTagReadAhead {
 public:
  // Reads items[reads[k]] for every k; with secondThread false the scan thread reads them all
  // itself (in Await). items and cancelled must outlive the object; items must not be resized
  // meanwhile.
  TTagReadAhead(TMusicFileItems& items, std::vector<std::uint32_t> reads, DWORD pause,
                const std::atomic<bool>& cancelled, bool secondThread);
  // Stops the second thread and waits for it: the items are the scan's alone again.
  ~TTagReadAhead();
  TTagReadAhead(const TTagReadAhead&) = delete;
  TTagReadAhead& operator=(const TTagReadAhead&) = delete;

  std::size_t Count() const noexcept { return FReads.size(); }
  std::uint32_t Item(std::size_t k) const noexcept { return FReads[k]; }
  // Returns once items[Item(k)] has been read, reading on this thread while items are left to
  // claim; k must grow from call to call. False when cancelled first. An exception raised by the
  // read of that item on the second thread is raised here.
  bool Await(std::size_t k);

 private:
  class TWorker;

  // Claims the next unread item and reads it with tag; false when none is left or cancelled.
  bool ReadNext(TOxaMusicTag& tag);

  TMusicFileItems& FItems;
  const std::vector<std::uint32_t> FReads;
  const DWORD FPause;
  const std::atomic<bool>& FCancelled;
  std::atomic<std::size_t> FNext{0};
  std::vector<std::atomic<bool>> FDone;
  std::vector<std::exception_ptr> FErrors;  // by read, each written before its FDone
  std::mutex FLock;                         // with FReadDone: a read is done
  std::condition_variable FReadDone;
  TOxaMusicTag FTag;  // the scan thread's
  std::unique_ptr<TWorker> FWorker;
};
