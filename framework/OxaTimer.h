#pragma once
// One-shot callbacks at absolute times on the 64-bit tick clock (GetTickCount64, milliseconds).
//
// TOxaTimer keeps its items in due order and fires the due ones in a pass on the user-interface
// thread, triggered either through its message window (a posted WM_TIMER when the first item is
// due within 5 ms, else a window timer) or, when Threaded, by a worker thread that waits for the
// first due time and hands the pass to the user-interface thread with Synchronize. Each item is
// a plain entry of the owner list it was scheduled for, so freeing that list's owner cancels it.
// Everything but the worker's wait belongs to the user-interface thread. A timer is not freed
// from inside one of its own callbacks.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "forms/Forms.h"
#include "framework/OxaMessageWindow.h"
#include "framework/OxaObjects.h"
#include "platform/core/HandleOwner.h"
#include "platform/core/Handles.h"
#include "rtl/Component.h"
#include "rtl/Method.h"
#include "rtl/Thread.h"

class TOxaTimer;
class TOxaTimerThread;

// Called with the timer, the item's value and its due time.
using TOxaTimerEvent = TMethod<void(TOxaTimer* sender, std::int32_t value, std::uint64_t dueTime)>;

// One scheduled callback. Freeing it cancels it.
class TOxaTimerItem : public TObject {
 public:
  // Leaves its owner list and the timer's list.
  ~TOxaTimerItem() override;
  TOxaTimerItem(const TOxaTimerItem&) = delete;
  TOxaTimerItem& operator=(const TOxaTimerItem&) = delete;

  TOxaObjects* OwnerList() const noexcept { return FOwnerList; }
  TOxaTimer* Timer() const noexcept { return FTimer; }
  // Scheduled before the running firing pass began, so that pass may fire it.
  bool Marked() const noexcept;
  std::uint64_t DueTime() const noexcept { return FDueTime; }
  std::int32_t Value() const noexcept { return FValue; }
  const TOxaTimerEvent& Callback() const noexcept { return FCallback; }

 private:
  friend class TOxaTimer;
  using TPosition = std::multimap<std::uint64_t, TOxaTimerItem*>::iterator;

  TOxaTimerItem(TOxaObjects* ownerList, TOxaTimer& timer, std::int32_t value, const TOxaTimerEvent& callback,
                std::uint64_t dueTime, std::uint64_t serial);
  void LeaveOwnerList() noexcept;

  TOxaObjects* FOwnerList;
  TOxaTimer* FTimer;  // null once fired or when the timer has let it go
  std::uint64_t FDueTime;
  std::int32_t FValue;
  TOxaTimerEvent FCallback;
  std::uint64_t FSerial;  // the order of scheduling
  TPosition FPosition{};
};

class TOxaTimer : public TComponent {
 public:
  // A posted or window-timer WM_TIMER is used when the first item is due within this many ms.
  static constexpr std::uint64_t PostWithin = 5;

  explicit TOxaTimer(TComponent* owner);
  // Frees every item (the last first), stops every trigger, ends the worker and the window.
  ~TOxaTimer() override;

  // Schedules callback for dueTime, registered in ownerList when there is one; items due at
  // the same time fire in the order they were added. Returns the item, which the owner list
  // (or else the timer) owns. Raises EOutOfResources "Failed to create timer" when no window
  // timer can be had.
  TOxaTimerItem* AddTimer(TOxaObjects* ownerList, std::int32_t value, const TOxaTimerEvent& callback,
                          std::uint64_t dueTime);
  // Frees every item with this callback (code and object).
  void CancelTimers(const TOxaTimerEvent& callback);
  bool HasTimer(const TOxaTimerEvent& callback) const;
  int Count() const noexcept { return static_cast<int>(FItems.size()); }

  bool Threaded() const noexcept { return FThreaded; }
  // Takes effect at once, or after loading while the component is being loaded.
  void SetThreaded(bool threaded);

  // For tests and diagnostics: the trigger armed now.
  bool Posted() const noexcept { return FPosted; }
  UINT_PTR SystemTimer() const noexcept { return FTimerId; }
  bool HasWorker() const noexcept { return FThread != nullptr; }

 protected:
  void Loaded() override;

 private:
  friend class TOxaTimerItem;
  friend class TOxaTimerThread;

  void Reschedule(bool fire);
  void StopTrigger() noexcept;
  void FirePass();
  void Arm();
  void ArmWindow();
  void ApplyThreaded();
  void StopThread();
  void DropWindow() noexcept;
  void Unlist(TOxaTimerItem& item) noexcept;
  void WindowMessage(TObject* sender, TMessage& message, bool& handled);
  // The worker's pass, on the user-interface thread.
  void ThreadPass(const TOxaTimerThread& thread);
  bool Destroying() const noexcept;

  std::multimap<std::uint64_t, TOxaTimerItem*> FItems;
  std::unique_ptr<TOxaMessageWindow> FWindow;
  HWND FWindowHandle = nullptr;
  UINT_PTR FTimerId = 0;
  std::unique_ptr<TOxaTimerThread> FThread;
  std::unique_ptr<TOxaTimerThread> FRetired;  // switched off inside its own pass; joined later
  bool FThreaded = false;
  bool FPosted = false;
  bool FInThreadPass = false;
  bool FDestroying = false;
  int FNesting = 0;
  std::uint64_t FNextSerial = 0;
  std::uint64_t FPassLimit = 0;  // items with a smaller serial are marked
};

// Waits for the timer's first due time and runs the firing pass on the user-interface thread.
class TOxaTimerThread : public TThread {
 public:
  static constexpr std::uint64_t Never = UINT64_MAX;
  // How far ahead a new worker's first due time lies, until the first reschedule.
  static constexpr std::uint64_t FirstWait = 0x7FFFFFFF;

  // Created suspended: Start it.
  explicit TOxaTimerThread(TOxaTimer& timer);
  ~TOxaTimerThread() override;

  // Sets the due time and wakes the worker to wait for it (Never: until told again).
  void SetDueTime(std::uint64_t dueTime);
  void Wake() noexcept;
  std::uint64_t DueTime() const noexcept { return FDueTime.load(); }

 protected:
  void Execute() override;

 private:
  TOxaTimer& FTimer;
  std::atomic<std::uint64_t> FDueTime;  // written by the user-interface thread, read by the worker
  THandleOwner FEvent;                  // auto-reset: the due time changed or the worker must end
};
