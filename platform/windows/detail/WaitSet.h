#pragma once
// One thread's wait for messages also watches the descriptors its back ends and callers
// register here (a display connection, a process that may end): each readable descriptor runs
// its callback on the waiting thread, after the wait and with no queue lock held.

#include <poll.h>

#include <functional>
#include <vector>

class TWaitSet {
 public:
  // Registers what to run when descriptor becomes readable, replacing an earlier registration.
  void Add(int descriptor, std::function<void()> ready);
  void Remove(int descriptor);
  bool Empty() const noexcept { return FEntries.empty(); }

  // Appends a pollfd per descriptor; Dispatch later runs the callbacks of those polled ready
  // (polled[first] onwards, in the order Append gave).
  void Append(std::vector<pollfd>& polled) const;
  void Dispatch(const std::vector<pollfd>& polled, std::size_t first) const;

 private:
  struct TEntry {
    int Descriptor;
    std::function<void()> Ready;
  };
  std::vector<TEntry> FEntries;
};

// The calling thread's wait set.
TWaitSet& ThreadWaitSet();

// Keeps a descriptor in the calling thread's wait set while it lives.
class TWaitRegistration {
 public:
  TWaitRegistration(int descriptor, std::function<void()> ready);
  ~TWaitRegistration();
  TWaitRegistration(const TWaitRegistration&) = delete;
  TWaitRegistration& operator=(const TWaitRegistration&) = delete;

 private:
  int FDescriptor;
};
