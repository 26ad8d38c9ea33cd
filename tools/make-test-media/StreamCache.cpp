#include "tools/make-test-media/StreamCache.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <thread>

namespace testmedia {

namespace {

std::optional<std::filesystem::path> CacheFolder()
{
  const char* folder = std::getenv("OXA_TEST_MEDIA_CACHE");
  if (folder == nullptr || *folder == '\0') {
    return std::nullopt;
  }
  return std::filesystem::path(folder);
}

}  // namespace

std::optional<TBytes> CachedStream(const std::string& key)
{
  const auto folder = CacheFolder();
  if (!folder) {
    return std::nullopt;
  }
  std::ifstream in(*folder / key, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  TBytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || bytes.empty()) {
    return std::nullopt;
  }
  return bytes;
}

void CacheStream(const std::string& key, const TBytes& stream)
{
  const auto folder = CacheFolder();
  if (!folder || stream.empty()) {
    return;
  }
  std::error_code error;
  std::filesystem::create_directories(*folder, error);
  // Tests run side by side: each writes its own aside name, and the rename makes one of the
  // identical copies the stored one.
  const auto unique = std::random_device{}() ^ std::hash<std::thread::id>{}(std::this_thread::get_id()) ^
                      static_cast<std::size_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const std::filesystem::path aside = *folder / (key + ".part" + std::to_string(unique));
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(aside, error);
      return;
    }
  }
  std::filesystem::rename(aside, *folder / key, error);
  if (error) {
    std::filesystem::remove(aside, error);
  }
}

}  // namespace testmedia
