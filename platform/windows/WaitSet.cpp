#include "platform/windows/detail/WaitSet.h"

#include <algorithm>

void TWaitSet::Add(int descriptor, std::function<void()> ready)
{
  Remove(descriptor);
  FEntries.push_back(TEntry{descriptor, std::move(ready)});
}

void TWaitSet::Remove(int descriptor)
{
  std::erase_if(FEntries, [&](const TEntry& entry) { return entry.Descriptor == descriptor; });
}

void TWaitSet::Append(std::vector<pollfd>& polled) const
{
  for (const auto& entry : FEntries) {
    polled.push_back(pollfd{entry.Descriptor, POLLIN, 0});
  }
}

void TWaitSet::Dispatch(const std::vector<pollfd>& polled, std::size_t first) const
{
  // A callback may change the set: what to run is taken first.
  std::vector<std::function<void()>> ready;
  for (std::size_t i = first; i < polled.size(); ++i) {
    if (polled[i].revents == 0) {
      continue;
    }
    const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                    [&](const TEntry& entry) { return entry.Descriptor == polled[i].fd; });
    if (found != FEntries.end() && found->Ready) {
      ready.push_back(found->Ready);
    }
  }
  for (const auto& run : ready) {
    run();
  }
}

TWaitSet& ThreadWaitSet()
{
  thread_local TWaitSet set;
  return set;
}

TWaitRegistration::TWaitRegistration(int descriptor, std::function<void()> ready) : FDescriptor(descriptor)
{
  ThreadWaitSet().Add(descriptor, std::move(ready));
}

TWaitRegistration::~TWaitRegistration()
{
  ThreadWaitSet().Remove(FDescriptor);
}
