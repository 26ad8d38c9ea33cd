#include <mutex>

#include "framework/OxaUtils.h"
#include "library/MusicFavorites.h"
#include "rtl/FileUtils.h"

TMusicFavoriteThread::TMusicFavoriteThread() : TThread(false)
{
  SetPriority(TThreadPriority::tpLowest);
}

TMusicFavoriteThread::~TMusicFavoriteThread()
{
  {
    std::lock_guard lock(FLock);
    FEnding = true;
  }
  FWake.notify_all();
  TerminateAndWait();
}

void TMusicFavoriteThread::Queue(const std::string& fileName, std::unique_ptr<TMusicStringList> list)
{
  {
    std::lock_guard lock(FLock);
    std::erase_if(FQueue, [&](const TRequest& request) { return request.FileName == fileName; });
    FQueue.push_back(TRequest{fileName, std::move(list)});
  }
  FWake.notify_all();
}

void TMusicFavoriteThread::Flush()
{
  std::unique_lock lock(FLock);
  if (FHolds > 0) {
    throw EOxaFatal(ClassName() + ".Flush: Held");
  }
  FIdle.wait(lock, [this] { return FQueue.empty() && !FBusy; });
}

TMusicFavoriteThread::THold::THold(TMusicFavoriteThread& thread) : FThread(thread)
{
  std::lock_guard lock(FThread.FLock);
  ++FThread.FHolds;
}

TMusicFavoriteThread::THold::~THold()
{
  {
    std::lock_guard lock(FThread.FLock);
    --FThread.FHolds;
  }
  FThread.FWake.notify_all();
}

int TMusicFavoriteThread::QueuedCount()
{
  std::lock_guard lock(FLock);
  return static_cast<int>(FQueue.size());
}

std::exception_ptr TMusicFavoriteThread::TakeFailure()
{
  std::lock_guard lock(FLock);
  return std::exchange(FFailure, nullptr);
}

void TMusicFavoriteThread::Execute()
{
  for (;;) {
    TRequest request;
    {
      std::unique_lock lock(FLock);
      FWake.wait(lock, [this] { return FEnding || (!FQueue.empty() && FHolds == 0); });
      if (FQueue.empty()) {
        return;
      }
      request = std::move(FQueue.front());
      FQueue.pop_front();
      FBusy = true;
    }
    Write(request);
    {
      std::lock_guard lock(FLock);
      FBusy = false;
    }
    FIdle.notify_all();
  }
}

void TMusicFavoriteThread::Write(TRequest& request)
{
  try {
    if (request.List) {
      TraceObject(this, "Save: %s", request.FileName);
      request.List->SaveToFile(request.FileName);
    } else {
      TraceObject(this, "Delete: %s", request.FileName);
      if (!DeleteFile(request.FileName) && FileExists(request.FileName)) {
        throw EOxaFailed(Format("%s.Delete: %s cannot be deleted", ClassName(), request.FileName));
      }
    }
  } catch (...) {
    std::lock_guard lock(FLock);
    if (!FFailure) {
      FFailure = std::current_exception();
    }
    TraceObject(this, "Failed: %s", request.FileName);
  }
  request.List.reset();
  if (AfterFile) {
    AfterFile(request.FileName);
  }
}
