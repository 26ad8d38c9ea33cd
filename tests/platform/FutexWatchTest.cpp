#include <gtest/gtest.h>
#include <linux/futex.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/objects/FutexWatch.h"

namespace {

bool Readable(int descriptor, int milliseconds)
{
  pollfd look{descriptor, POLLIN, 0};
  return poll(&look, 1, milliseconds) > 0;
}

void Wake(std::atomic<std::uint32_t>& word)
{
  syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

TEST(TFutexWatchTest, FiresWhenAWordNoLongerHoldsItsValue)
{
  ASSERT_TRUE(TFutexWatch::Supported()) << "the kernel cannot wait on several futexes";
  enum class TChange { None, Before, After, UndoneBeforeTheLook };
  struct TCase {
    const char* Name;
    TChange Change;
    bool Fires;
  };
  const TCase cases[] = {
      {"nothing changes", TChange::None, false},
      {"changed before the watch started", TChange::Before, true},
      {"changed and woken while watched", TChange::After, true},
      {"woken with the value back as it was", TChange::UndoneBeforeTheLook, false},
  };
  for (const auto& c : cases) {
    std::atomic<std::uint32_t> quiet{0};
    std::atomic<std::uint32_t> word{0};
    if (c.Change == TChange::Before) {
      word = 1;
    }
    const TFutexWatch watch({{&quiet, 0}, {&word, 0}});
    ASSERT_GE(watch.Descriptor(), 0) << c.Name;
    if (c.Change == TChange::After) {
      word = 1;
      Wake(word);
    } else if (c.Change == TChange::UndoneBeforeTheLook) {
      Wake(word);
    }
    EXPECT_EQ(Readable(watch.Descriptor(), 100), c.Fires) << c.Name;
  }
}

TEST(TFutexWatchTest, TakesUpToMaxWords)
{
  std::vector<std::atomic<std::uint32_t>> words(TFutexWatch::MaxWords + 1);
  for (const std::size_t count :
       {std::size_t{0}, std::size_t{1}, TFutexWatch::MaxWords, TFutexWatch::MaxWords + 1}) {
    std::vector<TFutexWatch::TWord> watched;
    for (std::size_t i = 0; i < count; ++i) {
      watched.push_back(TFutexWatch::TWord{&words[i], 0});
    }
    const TFutexWatch watch(watched);
    EXPECT_EQ(watch.Descriptor() >= 0, count >= 1 && count <= TFutexWatch::MaxWords) << count;
  }
}

// A watch that never fires ends with its owner, at once.
TEST(TFutexWatchTest, EndsWithoutAChange)
{
  std::atomic<std::uint32_t> word{0};
  for (int i = 0; i < 50; ++i) {
    const TFutexWatch watch({{&word, 0}});
    EXPECT_GE(watch.Descriptor(), 0);
  }
}

}  // namespace
