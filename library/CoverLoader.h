#pragma once
// Covers found, decoded and scaled on a worker thread, so the user-interface thread never waits
// for a file or a decoder: it asks for a track's cover at a size and gets it when it is there,
// or nothing yet; when covers arrive the loader says so through OnReady (on the worker thread:
// the owner posts itself a message and asks again on its own thread).
//
// The newest request is served first, so the rows on screen after a fast scroll load before
// those scrolled past. Answers are kept for the loader's life (the scaled covers are small).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/windows/Surface.h"
#include "rtl/SyncObjs.h"
#include "rtl/Thread.h"

class TCoverLoader : public TThread {
 public:
  enum class TCoverState : std::uint8_t { Pending, Ready, None };

  // Use TThread::New<TCoverLoader>(cacheFolder); it starts at once. cacheFolder: the scaled
  // covers' folder (TCoverCache::FolderOf the library folder).
  explicit TCoverLoader(std::string cacheFolder);
  // Drops what is still queued and ends the thread.
  ~TCoverLoader() override;

  // The cover of the music file scaled to fit a box x box square: Ready with the picture, None
  // when the file has no cover that decodes, Pending (the first ask queues it) while it loads.
  // The picture stays valid for the loader's life.
  std::pair<TCoverState, const TSurface*> Cover(const std::string& fileName, LONG box);

  // Waits until nothing is queued or being loaded.
  void WaitIdle();

  // Called on the worker thread after each answer. Set before asking for covers.
  std::function<void()> OnReady;

 protected:
  void Execute() override;

 private:
  using TKey = std::pair<std::string, LONG>;

  std::string FCacheFolder;
  TCriticalSection FLock;
  std::condition_variable_any FWake;  // something queued, or the end
  std::condition_variable_any FIdle;  // the queue became empty and nothing is being loaded
  // Guarded by FLock:
  std::deque<TKey> FQueue;
  std::map<TKey, std::unique_ptr<TSurface>> FAnswers;  // a null picture: no cover
  std::set<TKey> FAsked;
  bool FBusy = false;
  bool FEnding = false;
};
