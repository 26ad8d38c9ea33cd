#include "library/CoverLoader.h"

#include <mutex>

#include "library/CoverCache.h"
#include "library/TrackCover.h"

TCoverLoader::TCoverLoader(std::string cacheFolder) : TThread(false), FCacheFolder(std::move(cacheFolder))
{
  SetPriority(TThreadPriority::tpLower);
}

TCoverLoader::~TCoverLoader()
{
  {
    std::lock_guard lock(FLock);
    FEnding = true;
    FQueue.clear();
  }
  FWake.notify_all();
  TerminateAndWait();
}

std::pair<TCoverLoader::TCoverState, const TSurface*> TCoverLoader::Cover(const std::string& fileName,
                                                                          LONG box)
{
  TKey key{fileName, box};
  std::lock_guard lock(FLock);
  const auto answer = FAnswers.find(key);
  if (answer != FAnswers.end()) {
    return {answer->second ? TCoverState::Ready : TCoverState::None, answer->second.get()};
  }
  if (FAsked.insert(key).second) {
    FQueue.push_back(std::move(key));
    FWake.notify_one();
  }
  return {TCoverState::Pending, nullptr};
}

void TCoverLoader::WaitIdle()
{
  std::unique_lock lock(FLock);
  FIdle.wait(lock, [this] { return FQueue.empty() && !FBusy; });
}

void TCoverLoader::Execute()
{
  TCoverCache cache(FCacheFolder);
  for (;;) {
    TKey key;
    {
      std::unique_lock lock(FLock);
      FWake.wait(lock, [this] { return FEnding || !FQueue.empty(); });
      if (FEnding) {
        return;
      }
      key = std::move(FQueue.back());
      FQueue.pop_back();
      FBusy = true;
    }
    std::unique_ptr<TSurface> picture;
    const TTrackCover cover = FindTrackCover(key.first);
    if (cover.Source != TCoverSource::None) {
      picture = cache.Get(cover.Bytes, key.second, key.second);
    }
    {
      std::lock_guard lock(FLock);
      FAnswers[key] = std::move(picture);
    }
    if (OnReady) {
      OnReady();
    }
    {
      std::lock_guard lock(FLock);
      FBusy = false;
    }
    FIdle.notify_all();
  }
}
