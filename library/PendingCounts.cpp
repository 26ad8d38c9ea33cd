#include "library/PendingCounts.h"

#include <algorithm>

std::optional<std::int32_t> TPendingCounts::AddRef(const std::string& key)
{
  const auto found = FIds.find(key);
  if (found == FIds.end()) {
    return std::nullopt;
  }
  ++FCounts[found->second];
  return found->second;
}

void TPendingCounts::Remember(std::string key, std::int32_t id, std::int32_t references)
{
  FIds.insert_or_assign(std::move(key), id);
  if (references != 0) {
    FCounts[id] += references;
  }
}

std::vector<std::pair<std::int32_t, std::int32_t>> TPendingCounts::Take()
{
  std::vector<std::pair<std::int32_t, std::int32_t>> counts;
  counts.reserve(FCounts.size());
  for (const auto& [id, references] : FCounts) {
    if (references != 0) {
      counts.emplace_back(id, references);
    }
  }
  // Written in id order: the writes walk the table's primary index forward.
  std::sort(counts.begin(), counts.end());
  FIds.clear();
  FCounts.clear();
  return counts;
}
