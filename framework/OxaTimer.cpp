#include "framework/OxaTimer.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "framework/OxaUtils.h"
#include "platform/objects/Synchronization.h"
#include "platform/windows/Messages.h"

TOxaTimerItem::TOxaTimerItem(TOxaObjects* ownerList, TOxaTimer& timer, std::int32_t value,
                             const TOxaTimerEvent& callback, std::uint64_t dueTime, std::uint64_t serial)
    : FOwnerList(ownerList),
      FTimer(&timer),
      FDueTime(dueTime),
      FValue(value),
      FCallback(callback),
      FSerial(serial)
{
}

TOxaTimerItem::~TOxaTimerItem()
{
  LeaveOwnerList();
  if (FTimer != nullptr) {
    FTimer->Unlist(*this);
  }
}

bool TOxaTimerItem::Marked() const noexcept
{
  return FTimer != nullptr && FSerial < FTimer->FPassLimit;
}

void TOxaTimerItem::LeaveOwnerList() noexcept
{
  LeaveParentList(FOwnerList, this);
}

TOxaTimer::TOxaTimer(TComponent* owner) : TComponent(owner) {}

TOxaTimer::~TOxaTimer()
{
  FDestroying = true;
  while (!FItems.empty()) {
    FreeObject(std::prev(FItems.end())->second);
  }
  try {
    Reschedule(false);
  } catch (const std::exception& error) {
    TraceObject(this, "Destroy: %s", error.what());
  }
  FThreaded = false;
  StopThread();
  FRetired.reset();
  DropWindow();
}

bool TOxaTimer::Destroying() const noexcept
{
  return FDestroying || (ComponentState() & csDestroying) != 0;
}

TOxaTimerItem* TOxaTimer::AddTimer(TOxaObjects* ownerList, std::int32_t value, const TOxaTimerEvent& callback,
                                   std::uint64_t dueTime)
{
  auto item = std::unique_ptr<TOxaTimerItem>(
      new TOxaTimerItem(ownerList, *this, value, callback, dueTime, FNextSerial++));
  TOxaObjects::Add(ownerList, item.get());
  // Equal due times keep the order they were added in: a multimap inserts after its equals.
  const bool last = FItems.empty() || std::prev(FItems.end())->first <= dueTime;
  item->FPosition =
      last ? FItems.emplace_hint(FItems.end(), dueTime, item.get()) : FItems.emplace(dueTime, item.get());
  TOxaTimerItem* added = item.release();  // owned by the owner list, or by this timer without one
  Reschedule(false);
  return added;
}

void TOxaTimer::CancelTimers(const TOxaTimerEvent& callback)
{
  std::vector<TOxaTimerItem*> cancelled;
  for (const auto& [due, item] : FItems) {
    if (item->FCallback == callback) {
      cancelled.push_back(item);
    }
  }
  for (TOxaTimerItem* item : cancelled) {
    FreeObject(item);
  }
  Reschedule(false);
}

bool TOxaTimer::HasTimer(const TOxaTimerEvent& callback) const
{
  return std::any_of(FItems.begin(), FItems.end(),
                     [&](const auto& entry) { return entry.second->FCallback == callback; });
}

void TOxaTimer::Unlist(TOxaTimerItem& item) noexcept
{
  FItems.erase(item.FPosition);
  item.FTimer = nullptr;
}

void TOxaTimer::SetThreaded(bool threaded)
{
  if (FThreaded == threaded) {
    return;
  }
  FThreaded = threaded;
  if ((ComponentState() & csLoading) == 0) {
    ApplyThreaded();
  }
}

void TOxaTimer::Loaded()
{
  TComponent::Loaded();
  ApplyThreaded();
}

void TOxaTimer::ApplyThreaded()
{
  if (FThreaded) {
    DropWindow();
  } else {
    StopThread();
  }
  Reschedule(false);
}

void TOxaTimer::StopThread()
{
  if (FThread == nullptr) {
    return;
  }
  FThread->Terminate();
  FThread->Wake();
  if (FInThreadPass) {
    // The worker waits for this very pass to return: it is joined once it has.
    FRetired = std::move(FThread);
    return;
  }
  // WaitFor serves Synchronize, so a worker that is handing over a pass still gets through.
  FThread->WaitFor();
  FThread.reset();
}

void TOxaTimer::DropWindow() noexcept
{
  if (FTimerId != 0 && FWindowHandle != nullptr) {
    KillTimer(FWindowHandle, FTimerId);
  }
  FWindow.reset();
  FTimerId = 0;
  FWindowHandle = nullptr;
  FPosted = false;
}

void TOxaTimer::Reschedule(bool fire)
{
  struct TNesting {
    explicit TNesting(int& count) : Count(count) { ++Count; }
    ~TNesting() { --Count; }
    TNesting(const TNesting&) = delete;
    TNesting& operator=(const TNesting&) = delete;
    int& Count;
  } nesting(FNesting);
  if (FNesting > 1) {
    return;  // the outermost call arms the trigger for whatever changed meanwhile
  }
  if (FRetired != nullptr && !FInThreadPass) {
    FRetired->WaitFor();
    FRetired.reset();
  }
  StopTrigger();
  if (fire) {
    try {
      FirePass();
    } catch (...) {
      // The items left must not wait for ever because one callback failed.
      Arm();
      throw;
    }
  }
  Arm();
}

void TOxaTimer::StopTrigger() noexcept
{
  // A worker cannot be suspended here: it keeps waiting until Arm gives it its new due time.
  if (!FThreaded && FTimerId != 0) {
    KillTimer(FWindowHandle, FTimerId);
    FTimerId = 0;
  }
}

void TOxaTimer::FirePass()
{
  FPassLimit = FNextSerial;
  std::uint64_t now = GetTickCount64();
  for (;;) {
    auto first = FItems.begin();
    while (first != FItems.end() && !first->second->Marked()) {
      ++first;  // added during this pass: waits for the next one
    }
    if (first == FItems.end()) {
      break;
    }
    if (first->first > now) {
      now = GetTickCount64();
      if (first->first > now) {
        break;
      }
    }
    TOxaTimerItem* item = first->second;
    Unlist(*item);
    // Leaving the owner list first: a callback that frees its own object cannot free the item
    // under the call, and the item goes here whatever the callback does.
    item->LeaveOwnerList();
    const TOwnedObject<TOxaTimerItem> fired(item);
    const TOxaTimerEvent callback = item->FCallback;
    callback(this, item->FValue, item->FDueTime);
  }
  FPassLimit = 0;
}

void TOxaTimer::Arm()
{
  if (FThreaded) {
    if (FItems.empty()) {
      if (FThread != nullptr) {
        FThread->SetDueTime(TOxaTimerThread::Never);
      }
      return;
    }
    if (FThread == nullptr) {
      FThread = TThread::New<TOxaTimerThread>(*this);
    }
    FThread->SetDueTime(FItems.begin()->first);
    FThread->Start();
    return;
  }
  if (!FItems.empty() && !Destroying()) {
    ArmWindow();
  }
}

void TOxaTimer::ArmWindow()
{
  if (FWindow == nullptr) {
    FWindow = std::make_unique<TOxaMessageWindow>();
    FWindow->OnMessage = MakeMethod<&TOxaTimer::WindowMessage>(this);
  }
  if (!FWindow->Active()) {
    TForm* mainForm = Application().MainForm();
    FWindow->SetParent(mainForm != nullptr && mainForm->HandleAllocated() ? mainForm->Handle()
                                                                          : Application().Handle());
    FWindow->Open();
    FWindowHandle = FWindow->Handle();
  }
  const std::uint64_t due = FItems.begin()->first;
  const std::uint64_t now = GetTickCount64();
  if (now + PostWithin >= due) {
    // lParam stays 0: a WM_TIMER with one is dispatched as a timer procedure.
    if (!FPosted && PostMessageA(FWindowHandle, WM_TIMER, reinterpret_cast<WPARAM>(this), 0)) {
      FPosted = true;
    }
    if (!FPosted) {
      throw EOutOfResources("Failed to create timer");
    }
    return;
  }
  const std::uint64_t elapse = std::min<std::uint64_t>(due - now, std::numeric_limits<UINT>::max());
  FTimerId = SetTimer(FWindowHandle, reinterpret_cast<UINT_PTR>(this), static_cast<UINT>(elapse), nullptr);
  if (FTimerId == 0) {
    throw EOutOfResources("Failed to create timer");
  }
}

void TOxaTimer::WindowMessage(TObject*, TMessage& message, bool& handled)
{
  if (message.Msg == WM_DESTROY) {
    // The window goes (closed here, or with its parent): so do its timer and its posted message.
    FPosted = false;
    FTimerId = 0;
    FWindowHandle = nullptr;
    return;
  }
  if (message.Msg == WM_TIMER && message.WParam == reinterpret_cast<WPARAM>(this) && !Destroying() &&
      !FThreaded) {
    handled = true;
    message.Result = 0;
    FPosted = false;
    Reschedule(true);
  }
}

void TOxaTimer::ThreadPass(const TOxaTimerThread& thread)
{
  if (&thread != FThread.get() || !FThreaded || Destroying()) {
    return;  // a worker on its way out
  }
  FInThreadPass = true;
  try {
    Reschedule(true);
  } catch (const std::exception& error) {
    // As a handler of the message window would: the worker must live on to fire the rest.
    Trace("OxaTimer: Exception%s", error.what());
    std::fprintf(stderr, "OxaTimer: Exception%s\n", error.what());
  }
  FInThreadPass = false;
}

TOxaTimerThread::TOxaTimerThread(TOxaTimer& timer)
    : TThread(true),
      FTimer(timer),
      FDueTime(GetTickCount64() + FirstWait),
      FEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
  if (!FEvent.Valid()) {
    throw EOutOfResources("Failed to create timer");
  }
  // Time-critical only as far as the host lets an unprivileged process go.
  SetPriority(TThreadPriority::tpTimeCritical);
}

TOxaTimerThread::~TOxaTimerThread()
{
  Terminate();
  Wake();
  TerminateAndWait();
}

void TOxaTimerThread::SetDueTime(std::uint64_t dueTime)
{
  FDueTime.store(dueTime);
  Wake();
}

void TOxaTimerThread::Wake() noexcept
{
  SetEvent(FEvent.Get());
}

void TOxaTimerThread::Execute()
{
  while (!Terminated()) {
    std::uint64_t due = FDueTime.load();
    const std::uint64_t now = GetTickCount64();
    if (due > now) {
      const DWORD wait =
          due == Never ? INFINITE : static_cast<DWORD>(std::min<std::uint64_t>(due - now, INFINITE - 1));
      WaitForSingleObject(FEvent.Get(), wait);
      continue;  // woken early: the due time may have moved
    }
    // Handed over once: the pass sets the next due time. A due time changed meanwhile is read
    // again first.
    if (!FDueTime.compare_exchange_strong(due, Never) || Terminated()) {
      continue;
    }
    Synchronize([this] { FTimer.ThreadPass(*this); });
  }
}
